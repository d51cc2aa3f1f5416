#pragma once

#include <QString>

namespace kbbench {

// The child process that starts the form on `folder` and reports "<ms to first paint> <MiB>
// <categories>".
int firstPaintChild(int argc, char** argv, const QString& folder);
// The window's bars on copies of the two files; `program` is the built program, for the
// second start.
void windowBars(const QString& r100k, const QString& big5000, const QString& program);

} // namespace kbbench
