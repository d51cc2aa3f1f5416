#pragma once

#include "access/convert.h"
#include "tools/jetgen/jetgen.h"

#include <QByteArray>
#include <QString>

namespace kb::test {

// A sample Access file of tests/access/data.
QString accessData(const QString& name);
// The reader as built.
QString readerHelper();
// The program's companion on the command line, as built.
QString dbTool();
// Import options that use the built reader, with quick limits for tests.
access::ImportOptions importOptions();

void writeFile(const QString& path, const QByteArray& bytes);
// A stand-in reader: a shell script with this body, made executable.
QString fakeHelper(const QString& dir, const QByteArray& body);

// The stored value format the import writes: text without surrounding spaces, then one space.
QString stored(const QString& text);

} // namespace kb::test
