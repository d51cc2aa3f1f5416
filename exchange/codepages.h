#pragma once

#include <QByteArray>
#include <QString>

namespace kb::exchange {

// The single-byte code pages old recipe programs wrote, which Qt's converters don't all offer.
enum class CodePage { Utf8, Cp437, Windows1252 };

QString decode(const QByteArray& bytes, CodePage page);
QByteArray encode(const QString& text, CodePage page); // characters the page lacks become '?'

// Which code page a text file was most likely written in: UTF-8 when it is valid UTF-8,
// otherwise whichever single-byte page gives the more plausible text.
CodePage detectCodePage(const QByteArray& bytes);

QString codePageName(CodePage page);

} // namespace kb::exchange
