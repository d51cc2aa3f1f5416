#include "store/recipebas.h"

#include "core/app.h"
#include "core/recipetable.h"
#include "core/store_error.h"
#include "platform/dialogs.h"
#include "platform/nodes.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

namespace kb {

namespace {

// Runs one step under the skipping policy: a failure is passed over and the caller goes on.
template <typename Fn> void skipping(Fn&& step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

// A step of an operation whose policy has not switched to skipping yet: a failure ends the
// operation, after letting go of the file so that no lock outlives the command.
template <typename Fn> void orClose(RecipeBas& store, Fn&& step) {
    try {
        step();
    } catch (...) {
        store.CloseRecipeDatabase();
        throw;
    }
}

Recordset& current(const std::unique_ptr<Recordset>& rs) {
    if (!rs)
        throw StoreError(QStringLiteral("No category is open."));
    return *rs;
}

} // namespace

RecipeBas::RecipeBas(const RecipeControls& controls, Dialogs& dialogs)
    : m_c(controls), m_dialogs(dialogs) {}

RecipeBas::~RecipeBas() {
    // The tree may outlive the store: opening a node must not call back into it.
    if (m_c.Tv)
        if (auto* model = qobject_cast<NodeModel*>(m_c.Tv->model()))
            model->setReader({});
    CloseRecipeDatabase();
}

void RecipeBas::OpenRecipeDatabase() {
    RecipeDatabase = Database::OpenDatabase(DatabasePath, kRecipeConnect);
}

void RecipeBas::CloseRecipeDatabase() {
    skipping([&] {
        if (RecipeRecordset)
            RecipeRecordset->Close();
    });
    skipping([&] {
        if (RecipeDatabase)
            RecipeDatabase->Close();
    });
    RecipeRecordset.reset();
    RecipeDatabase.reset();
}

void RecipeBas::openCategory(const QString& category) {
    orClose(*this, [&] {
        OpenRecipeDatabase();
        // No category at all: the recipe was not chosen in the tree since the last command
        // that let go of it (Cancel of an edit empties it).
        if (category.isEmpty())
            throw StoreError(QStringLiteral("No recipe is chosen in the list. Click the recipe "
                                            "in the list on the left first, then try again."));
        RecipeRecordset = RecipeDatabase->OpenRecordset(category);
    });
}

void RecipeBas::LoadCatalogue() {
    Nodes nodes(m_c.Tv);
    nodes.setImageList(m_c.ImageList1);
    nodes.model().setReader([this](const QString& table) { return readCategory(table); });
    NodeId last = 0;
    bool skip = false;
    // The category being listed, and those that could not be listed in full: one table must
    // never hide the others, so a category's failure is noted and the next one goes on.
    QString table;
    QStringList unreadable;
    auto step = [&](auto&& fn) {
        if (!skip) {
            orClose(*this, fn);
            return;
        }
        try {
            fn();
        } catch (const std::exception&) {
            if (!table.isNull() && !unreadable.contains(table))
                unreadable << table;
        }
    };

    step([&] { OpenRecipeDatabase(); });
    step([&] { nodes.Clear(); });
    step([&] {
        last = nodes.Add({}, tvwLast, kRootKey, kRootText, kRootPicture);
        nodes.EnsureVisible(last);
    });
    QStringList tables;
    step([&] { tables = RecipeDatabase->TableDefs(); });
    skip = true;

    QStringList shown; // the categories that have a node
    for (const QString& name : std::as_const(tables)) {
        if (isExcludedTable(name))
            continue;
        table = name;
        bool listed = false;
        step([&] {
            last = nodes.Add(kRootKey, tvwChild, table, table, kCategoryPicture, kSelectedPicture);
            listed = true;
        });
        // Without its own node the recipes would land under whatever node has that key.
        if (listed)
            shown << table;
    }
    table = QString();
    // Only a category that is shown open needs its names; the others are read when the user
    // opens them, from the file as it is then. Whether one has rows shows meanwhile as its
    // expand arrow.
    const QList<bool> rows = RecipeFile::categoriesWithRecipes(*RecipeDatabase, shown, unreadable);
    for (qsizetype i = 0; i < shown.size(); ++i)
        step([&] { nodes.AddLater(shown.at(i), rows.at(i), kRecipePicture, kSelectedPicture); });
    // The last node added is the last category's last recipe, when it has any: read that one
    // category now, so that EnsureVisible opens it with its last recipe in view.
    step([&] {
        if (nodes.hasLater(last))
            if (const NodeId recipe = nodes.readNow(last))
                last = recipe;
    });
    for (const QString& t : std::as_const(m_lateUnreadable))
        if (!unreadable.contains(t))
            unreadable << t;
    m_lateUnreadable.clear();
    step([&] { nodes.EnsureVisible(last); });
    nodes.finish();
    CloseRecipeDatabase();
    reportUnreadable(unreadable, true);
}

void RecipeBas::reportUnreadable(const QStringList& tables, bool complete) {
    // Said once for each table: the tree is rebuilt after every change, and the same news
    // after each save would drown the messages that matter.
    QStringList fresh;
    for (const QString& t : tables)
        if (!m_reportedUnreadable.contains(t))
            fresh << t;
    if (complete)
        m_reportedUnreadable = tables;
    else
        m_reportedUnreadable += fresh;
    if (fresh.isEmpty())
        return;
    const QString names =
        QLatin1Char('"') + tables.join(QStringLiteral("\", \"")) + QLatin1Char('"');
    m_dialogs.msgBox((tables.size() == 1
                          ? QStringLiteral("The category %1 could not be read, so it is not "
                                           "shown in full.")
                          : QStringLiteral("The categories %1 could not be read, so they are "
                                           "not shown in full."))
                             .arg(names) +
                         QStringLiteral(" Every other category is shown."),
                     vbExclamation, kAppTitle);
}

QStringList RecipeBas::namesOf(Recordset& rs, bool& failed) {
    const QStringList names = RecipeFile::recipeNames(rs, failed);
    // The hidden list is the names' scratch buffer, empty again afterwards.
    m_c.List1->addItems(names);
    QStringList entries;
    const int listed = m_c.List1->count();
    entries.reserve(listed);
    for (int i = 0; i < listed; ++i)
        entries << m_c.List1->item(i)->text();
    m_c.List1->clear();
    return entries;
}

QStringList RecipeBas::readCategory(const QString& table) {
    // Within a command the file is open already; a user opening a node opens it for the read.
    // The shared recordset is left alone either way.
    bool failed = false;
    QStringList names;
    try {
        std::unique_ptr<Database> own;
        Database* db = RecipeDatabase.get();
        if (!db) {
            own = Database::OpenDatabase(DatabasePath, kRecipeConnect);
            db = own.get();
        }
        std::unique_ptr<Recordset> rs = db->OpenRecordset(table);
        names = namesOf(*rs, failed);
        rs->Close();
        if (own)
            own->Close();
    } catch (const std::exception&) {
        failed = true;
    }
    if (failed && !m_lateUnreadable.contains(table)) {
        m_lateUnreadable << table;
        // Opened by the user: said once the view is done with the opening, never in the
        // middle of its layout. Within a load, the load says it with the others.
        if (!RecipeDatabase)
            QTimer::singleShot(0, &m_context, [this] {
                const QStringList tables = m_lateUnreadable;
                m_lateUnreadable.clear();
                reportUnreadable(tables, false);
            });
    }
    return names;
}

void RecipeBas::LoadCategoryTree() {
    Nodes nodes(m_c.Tv);
    nodes.setImageList(m_c.ImageList1);
    QStringList unreadable;
    orClose(*this, [&] {
        OpenRecipeDatabase();
        nodes.Clear();
        NodeId last = nodes.Add({}, tvwLast, kRootKey, kRootText, kRootPicture);
        nodes.EnsureVisible(last);
        for (const QString& table : RecipeDatabase->TableDefs()) {
            if (isExcludedTable(table))
                continue;
            // As in the full tree, one category that can't be listed hides no other.
            try {
                last = nodes.Add(kRootKey, tvwChild, table, table, kCategoryPicture);
            } catch (const std::exception&) {
                unreadable << table;
            }
        }
        nodes.EnsureVisible(last);
    });
    nodes.finish();
    CloseRecipeDatabase();
    reportUnreadable(unreadable, false);
}

void RecipeBas::ShowRecipe(const QString& category, const QString& name, int occurrence) {
    openCategory(category);
    orClose(*this, [&] {
        Recordset& rs = current(RecipeRecordset);
        rs.MoveFirst(); // an empty category fails here, as a scan from its first row would
        // The first row in stored order whose trimmed name matches, or the later one of that
        // name asked for; a missing name reads as "".
        if (RecipeFile::findRecipe(rs, name, occurrence, true)) {
            const std::optional<QString> stored = rs.Fields(0);
            // The name box shows the name exactly as stored, its trailing space included.
            m_c.Text1->setText(stored.value_or(QString()));
            m_c.Text2->setText(trimSpaces(rs.Fields(1).value_or(QString())));
            m_c.Text3->setPlainText(trimSpaces(rs.Fields(2).value_or(QString())));
            m_c.Text4->setPlainText(trimSpaces(rs.Fields(3).value_or(QString())));
            CloseRecipeDatabase();
            return;
        }
        m_c.Text1->setReadOnly(true);
        m_c.Text2->setReadOnly(true);
        m_c.Text3->setReadOnly(true);
        m_c.Text4->setReadOnly(true);
        CloseRecipeDatabase();
    });
}

RecipeFields RecipeBas::boxValues() const {
    return {storedValue(m_c.Text1->text()), storedValue(m_c.Text2->text()),
            storedValue(m_c.Text3->toPlainText()), storedValue(m_c.Text4->toPlainText())};
}

void lockRecipeFields(const RecipeControls& c, bool locked) {
    c.Text1->setReadOnly(locked);
    c.Text2->setReadOnly(locked);
    c.Text3->setReadOnly(locked);
    c.Text4->setReadOnly(locked);
}

void emptyRecipeFields(const RecipeControls& c) {
    c.Text1->setText(QString());
    c.Text2->setText(QString());
    c.Text3->setPlainText(QString());
    c.Text4->setPlainText(QString());
}

void requireRecipeName(const RecipeControls& c) {
    // A recipe without a name gets a tree entry with no text and no key, which reads as a
    // category: it could never be shown, edited or deleted again.
    if (trimSpaces(c.Text1->text()).isEmpty())
        throw StoreError(QStringLiteral("A recipe needs a name, so nothing was saved. Type the "
                                        "recipe's name in Recipe Name, then save again."));
}

void RecipeBas::AddRecipe(const QString& category) {
    requireRecipeName(m_c);
    openCategory(category);
    orClose(*this, [&] {
        file().addRecipe(*RecipeDatabase, current(RecipeRecordset), category, boxValues());
        sayUnconfirmed();
    });
    CloseRecipeDatabase();
}

bool RecipeBas::openAndFind(const QString& category, const QString& name, int occurrence) {
    openCategory(category);
    bool match = false;
    orClose(*this, [&] {
        Recordset& rs = current(RecipeRecordset);
        // An empty table has no first row; it simply holds no match.
        if (rs.RecordCount() == 0)
            return;
        rs.MoveFirst();
        // The first row in stored order whose trimmed name matches; a missing name never
        // does. A failing search is reported, not taken for a recipe that is gone.
        match = RecipeFile::findRecipe(rs, name, occurrence, false);
    });
    return match;
}

int RecipeBas::occurrenceOf(const QString& category, const QString& name, std::int64_t rowid) {
    openCategory(category);
    int occurrence = 0;
    orClose(*this,
            [&] { occurrence = RecipeFile::occurrenceOf(current(RecipeRecordset), name, rowid); });
    CloseRecipeDatabase();
    return occurrence;
}

void RecipeBas::goneElsewhere(const QString& category, const QString& name) {
    // The file changed under this window: show it as it is, keep the typing, say why.
    CloseRecipeDatabase();
    skipping([&] { LoadCatalogue(); });
    throw StoreError(QStringLiteral("The recipe \"%1\" is no longer in the category \"%2\": "
                                    "it was changed or removed outside this window, so nothing "
                                    "was written. The list on the left now shows the recipes as "
                                    "they are; what you typed is still here.")
                         .arg(trimSpaces(name), category));
}

void RecipeBas::UpdateRecipe(const QString& category, const QString& name, int occurrence) {
    requireRecipeName(m_c);
    if (!openAndFind(category, name, occurrence))
        goneElsewhere(category, name);
    // A new name must be free; a recipe keeping its own name is left alone, so that a file
    // that already holds two of one name can still be edited.
    if (trimSpaces(m_c.Text1->text()) != trimSpaces(name)) {
        orClose(*this, [&] {
            Recordset& rs = current(RecipeRecordset);
            RecipeFile::refuseTakenName(rs, category, m_c.Text1->text(), rs.RowId());
        });
        CloseRecipeDatabase();
        if (!openAndFind(category, name, occurrence))
            goneElsewhere(category, name);
    }
    // The edit is not passed over: a failed save goes back to the caller with the boxes as
    // typed, so nothing the user typed is lost and no success is claimed.
    orClose(*this, [&] {
        file().updateRecipe(*RecipeDatabase, current(RecipeRecordset), category, boxValues());
        sayUnconfirmed();
    });
    m_dialogs.msgBox(QStringLiteral("Recipe UpDated"));
    CloseRecipeDatabase();
    emptyRecipeFields(m_c);
    skipping([&] { LoadCatalogue(); });
}

void RecipeBas::DeleteRecipe(const QString& category, const QString& name, int occurrence) {
    if (!openAndFind(category, name, occurrence))
        goneElsewhere(category, name);
    // A failed delete goes back to the caller, who would otherwise report a row as deleted
    // that is still there.
    orClose(*this, [&] {
        file().deleteRecipe(*RecipeDatabase, current(RecipeRecordset), category);
        sayUnconfirmed();
    });
    CloseRecipeDatabase();
    emptyRecipeFields(m_c);
    skipping([&] { LoadCatalogue(); });
}

RecipeFile& RecipeBas::file() {
    // DatabasePath is the window's to set; the file follows it.
    m_file.setDatabasePath(DatabasePath);
    return m_file;
}

void RecipeBas::sayUnconfirmed() {
    const QString warning = m_file.takeWarning();
    if (!warning.isEmpty())
        m_dialogs.msgBox(warning, vbExclamation);
}

void RecipeBas::closeFollowers() noexcept {
    if (!DatabasePath.isEmpty())
        file().closing();
}

void RecipeBas::CreateCategory() {
    NewCategoryName = m_dialogs.inputBox(QStringLiteral("Enter a Name For New Category"),
                                         QStringLiteral("Create New Category"), QString());
    if (NewCategoryName.isEmpty())
        return;
    // The root's key: such a category could never get a node of its own in the tree.
    if (NewCategoryName == kRootKey)
        throw StoreError(QStringLiteral("The category name \"%1\" is used by the list itself, "
                                        "so no category was made. Please choose another name.")
                             .arg(NewCategoryName));
    {
        // This operation keeps its own database object, released however it ends.
        std::unique_ptr<Database> db = Database::OpenDatabase(DatabasePath, kRecipeConnect);
        file().createCategory(*db, NewCategoryName);
        db->Close();
        sayUnconfirmed();
    }
    m_dialogs.msgBox(NewCategoryName + QStringLiteral(" Category Created"));
    LoadCatalogue();
}

void RecipeBas::DeleteCategory(const QString& category) {
    const QString question =
        QStringLiteral("This will Delete Category \"") + category +
        QStringLiteral("\"\r\nAll of It's Recipes\r\nDo you want to continue ?");
    if (m_dialogs.msgBox(question, vbYesNo + vbCritical + vbDefaultButton2,
                         QStringLiteral("Warnning")) != vbYes)
        return;
    orClose(*this, [&] {
        OpenRecipeDatabase();
        file().deleteCategory(*RecipeDatabase, category);
        sayUnconfirmed();
    });
    CloseRecipeDatabase();
    LoadCatalogue();
    m_dialogs.msgBox(QStringLiteral("Category ") + SelectedCategory +
                     QStringLiteral(" Has Been Deleted"));
}

} // namespace kb
