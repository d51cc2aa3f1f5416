#pragma once

// The main window's controls as the store sees them, without the window, and a store on them:
// for programs that drive the store alone (benchmarks, a child killed mid-write).

#include "platform/imagelist.h"
#include "store/recipebas.h"
#include "tests/support/scripted_dialogs.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTreeView>

namespace kb::test {

struct StoreControls {
    QTreeView tv;
    QListWidget list;
    QLineEdit t1, t2;
    QPlainTextEdit t3, t4;
    ImageList images{QIcon(), QIcon(), QIcon(), QIcon()};
    ScriptedDialogs dialogs;
    RecipeBas store{RecipeControls{&tv, &list, &t1, &t2, &t3, &t4, &images}, dialogs};

    explicit StoreControls(const QString& databasePath) { store.DatabasePath = databasePath; }

    void setBoxes(const QString& name, const QString& author, const QString& ingredients,
                  const QString& instructions) {
        t1.setText(name);
        t2.setText(author);
        t3.setPlainText(ingredients);
        t4.setPlainText(instructions);
    }
};

} // namespace kb::test
