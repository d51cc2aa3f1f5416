#pragma once

#include <QString>

namespace kb::test {

// The text of a PDF file as pdftotext reads it (pages separated by form feeds), or a null
// string when pdftotext is not installed.
QString pdfText(const QString& path);

// True when the file exists and starts like a PDF.
bool looksLikePdf(const QString& path);

} // namespace kb::test
