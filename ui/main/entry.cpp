#include "core/app.h"
#include "core/appfolder.h"
#include "platform/dialogs.h"
#include "platform/fonts.h"
#include "platform/single_instance.h"
#include "ui/main/mainform.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kHelp =
    "usage: kettlebox [--help | --version]\n"
    "\n"
    "Kettlebox Recipe " KB_VERSION ": a personal collection of cooking recipes.\n"
    "Started without arguments it opens the recipe window; a second start on the same\n"
    "recipe file brings the running window to the front.\n"
    "\n"
    "The recipes live in Recipe.mdb in the application folder: for a copy that is not\n"
    "installed, its own folder when it holds Recipe.mdb or can be written to; otherwise\n"
    "~/.local/share/Kettlebox, which is given an empty recipe file on the first start.\n"
    "kettlebox-db makes and looks after recipe files on the command line.\n";

// Answered before any window system is touched, so they work without a display.
bool answeredOnTheCommandLine(int argc, char* argv[], int& exitCode) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kettlebox %s\n", KB_VERSION);
            exitCode = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            exitCode = 0;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    int exitCode = 0;
    if (answeredOnTheCommandLine(argc, argv, exitCode))
        return exitCode;

    // No organisation name: the user's data folder is then ~/.local/share/Kettlebox itself.
    // Set before the application object, so that the recipe folder is known without it.
    QCoreApplication::setApplicationName(kb::kAppTitle);
    const QString folder = kb::resolveAppFolder(kb::processPlaces());
    const QString instanceName = kb::SingleInstance::nameFor(folder);
    // A copy already running on this recipe file takes the hand-over before any window system
    // is touched; one on another file is none of this start's business.
    if (kb::SingleInstance::handOver(instanceName))
        return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(kb::kAppTitle);
    QApplication::setApplicationVersion(QStringLiteral(KB_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(KB_APP_ID));

    // A second start hands the focus to the running window and ends before opening anything.
    kb::SingleInstance instance(instanceName);
    if (!instance.claim())
        return 0;

    kb::registerClassicFonts();
    kb::QtDialogs dialogs;
    kb::Main form(dialogs, folder);
    // One window per recipe file, whatever the environment of the copies.
    if (!instance.holdRecipeFile(form.appFolder(), dialogs))
        return 1;
    QObject::connect(&instance, &kb::SingleInstance::activateRequested, &form,
                     [&form] { kb::bringToFront(&form); });
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
