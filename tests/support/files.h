#pragma once

#include <QByteArray>
#include <QString>

namespace kb::test {

// The whole content of a file; empty when it can't be read.
QByteArray fileBytes(const QString& fileName);

} // namespace kb::test
