// Renames one recipe through Save Edited's store path with its details following, as fast as
// it can, until it is killed. Run by test_details_crash.

#include "details/details.h"
#include "tests/support/store_controls.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    kb::test::StoreControls w(QString::fromLocal8Bit(argv[1]));
    kb::DetailsFollower details;
    w.store.addFollower(&details);
    std::printf("ready\n");
    std::fflush(stdout);
    for (int i = 1;; ++i) {
        w.setBoxes(QStringLiteral("R%1").arg(i), QStringLiteral("A"), QStringLiteral("I"),
                   QStringLiteral("S"));
        w.store.UpdateRecipe(QStringLiteral("Soups"), QStringLiteral("R%1").arg(i - 1));
        w.dialogs.clear();
    }
}
