// Deletes recipes or whole categories through the store with the history following, as fast as
// it can, until it is killed. Run by test_crash.

#include "history/history.h"
#include "tests/support/store_controls.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const QString base = QString::fromLocal8Bit(argv[1]);
    const bool categories = qstrcmp(argv[2], "categories") == 0;
    const int count = QByteArray(argv[3]).toInt();
    kb::test::StoreControls w(base);
    kb::RecipeBas& store = w.store;
    kb::test::ScriptedDialogs& dialogs = w.dialogs;
    kb::HistoryFollower history;
    store.addFollower(&history);
    std::printf("ready\n");
    std::fflush(stdout);
    for (int i = 1; i <= count; ++i) {
        if (categories) {
            dialogs.answer(kb::vbYes);
            store.DeleteCategory(QStringLiteral("C%1").arg(i));
        } else {
            store.DeleteRecipe(QStringLiteral("Soups"), QStringLiteral("R%1").arg(i));
        }
        dialogs.clear();
    }
    return 0;
}
