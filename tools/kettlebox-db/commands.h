#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace kb::cli {

// What one subcommand of kettlebox-db sees: its own arguments (without the command's name)
// and the two streams. It returns the process's exit code.
struct Context {
    QStringList args;
    QTextStream& out;
    QTextStream& err;
};

// One subcommand: its name, the usage line and a few lines of help, and what runs it. Each
// command lives in a file of its own and is listed once in commands.cpp.
struct Command {
    QString name;
    QString usage; // "init [--sample] [FOLDER]"
    QString help;  // what it does, in a few lines
    int (*run)(Context& ctx);
};

const QList<Command>& commands();

// Exit codes shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Prints the command's usage to standard error and returns kExitUsage.
int usageError(Context& ctx, const QString& commandName);
// True when the arguments ask for help; the command's help was then printed.
bool helpAsked(Context& ctx, const QString& commandName);

// The folder a command works in: the argument given, or the current folder. Prints a message
// and returns an empty string when it does not exist.
QString existingFolder(Context& ctx, const QString& folder);

// Text from a recipe file or an imported file made safe for a terminal: control characters
// (escape sequences above all) are shown as "\x1b" and the like, never sent raw; line breaks
// are kept only when `keepLines`.
QString printable(const QString& text, bool keepLines = false);

// "kettlebox-db: " and the message on standard error; returns kExitFailed.
int fail(Context& ctx, const QString& message);

} // namespace kb::cli
