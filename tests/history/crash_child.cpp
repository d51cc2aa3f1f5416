// Deletes recipes or whole categories through the store with the history following, as fast as
// it can, until it is killed. Run by test_crash.

#include "history/history.h"
#include "platform/imagelist.h"
#include "store/recipebas.h"
#include "tests/support/scripted_dialogs.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTreeView>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const QString base = QString::fromLocal8Bit(argv[1]);
    const bool categories = qstrcmp(argv[2], "categories") == 0;
    const int count = QByteArray(argv[3]).toInt();
    QTreeView tv;
    QListWidget list;
    QLineEdit t1, t2;
    QPlainTextEdit t3, t4;
    kb::ImageList images{QIcon(), QIcon(), QIcon(), QIcon()};
    kb::test::ScriptedDialogs dialogs;
    kb::RecipeBas store({&tv, &list, &t1, &t2, &t3, &t4, &images}, dialogs);
    kb::HistoryFollower history;
    store.addFollower(&history);
    store.DatabasePath = base;
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
