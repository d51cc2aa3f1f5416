// kettlebox-db: the recipe file's companion on the command line. It links no widgets and
// opens no window (Qt's image readers check photos without one), so it runs on a machine
// without a display.

#include "core/recipefile.h"
#include "tools/kettlebox-db/commands.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

namespace {

void overview(QTextStream& s) {
    s << "usage: kettlebox-db COMMAND [ARGUMENTS]\n\nCommands:\n";
    for (const kb::cli::Command& c : kb::cli::commands())
        s << "  kettlebox-db " << c.usage << "\n";
    s << "\nkettlebox-db COMMAND --help tells more of one command.\n"
         "kettlebox-db --version prints the version.\n";
}

int run(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(KB_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        overview(err);
        return kb::cli::kExitUsage;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        overview(out);
        return kb::cli::kExitOk;
    }
    if (name == QLatin1String("--version")) {
        out << "kettlebox-db " << KB_VERSION << "\n";
        return kb::cli::kExitOk;
    }
    for (const kb::cli::Command& c : kb::cli::commands()) {
        if (c.name == name) {
            kb::cli::Context ctx{args, out, err};
            // Each command says its own failures; anything that gets past one is still said
            // in one line, never as an abort with a core dump.
            try {
                const int code = c.run(ctx);
                // A side file of another recipe file found and put aside on the way.
                for (const QString& notice : kb::takeSideFileNotices())
                    err << "kettlebox-db: " << notice << "\n";
                return code;
            } catch (const std::exception& e) {
                out.flush();
                err << "kettlebox-db: " << name
                    << " failed: " << QString::fromUtf8(e.what()).simplified() << "\n";
            } catch (...) {
                out.flush();
                err << "kettlebox-db: " << name << " failed for a reason it could not name.\n";
            }
            return kb::cli::kExitUsage;
        }
    }
    err << "kettlebox-db: unknown command \"" << name << "\".\n";
    overview(err);
    return kb::cli::kExitUsage;
}

} // namespace

// The last resort: whatever escapes the set-up, the parsing of the arguments or a command's own
// guard is still said in one line, with the usage exit code, never as an abort.
int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        const QByteArray what = QByteArray(e.what()).simplified();
        std::fprintf(stderr, "kettlebox-db: stopped: %s\n", what.constData());
    } catch (...) {
        std::fputs("kettlebox-db: stopped for a reason it could not name.\n", stderr);
    }
    return kb::cli::kExitUsage;
}
