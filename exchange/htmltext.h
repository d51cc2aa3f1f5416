#pragma once

#include <QString>
#include <QStringView>

namespace kb::exchange {

// Character references (named, decimal, hexadecimal) replaced by the characters they stand for,
// as a browser reads them in text; anything that is not a reference is left alone.
QString decodeEntities(QStringView text);

// What a reader sees of a bit of HTML as plain text: tags removed, the ones that break a line
// (<br>, <p>, <li>, headings, ...) turned into line breaks, references decoded (twice when the
// site encoded them twice), runs of spaces made one, each line trimmed, several blank lines
// made one, and control characters other than the line break dropped.
// `sourceBreaks`: whether the line breaks of the text itself count (they do in JSON strings;
// in a page's own markup they are only spaces).
QString htmlToText(QStringView html, bool sourceBreaks = true);

} // namespace kb::exchange
