#include "core/app.h"
#include "platform/dialogs.h"
#include "platform/fonts.h"
#include "platform/single_instance.h"
#include "ui/main/mainform.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kb::kAppTitle);
    QApplication::setApplicationDisplayName(kb::kAppTitle);
    QApplication::setOrganizationName(kb::kAppTitle);

    // A second start hands the focus to the running window and ends before opening anything.
    kb::SingleInstance instance;
    if (!instance.claim())
        return 0;

    kb::registerClassicFonts();
    kb::QtDialogs dialogs;
    kb::Main form(dialogs, QCoreApplication::applicationDirPath());
    // One window per recipe file, whatever the environment of the copies.
    if (!instance.holdRecipeFile(form.appFolder(), dialogs))
        return 1;
    QObject::connect(&instance, &kb::SingleInstance::activateRequested, &form,
                     [&form] { kb::bringToFront(&form); });
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
