#pragma once

// A command-line tool run as a user runs it: its exit code and what it printed.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace kb::test {

struct ToolRun {
    int code = -1; // -1 also when it did not end in time
    QString out;
    QString err;
};

inline ToolRun runTool(const QString& program, const QStringList& args, int timeoutMs = 120000) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs))
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace kb::test
