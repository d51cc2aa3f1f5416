#include "main_fixture.h"

#include "core/app.h"
#include "core/database.h"
#include "core/recipetable.h"
#include "platform/nodes.h"
#include "ui/controls/xpcmdbutton.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeView>
#include <functional>

namespace kb::test {

namespace {

QString trimmed(const std::optional<QString>& value) {
    return value ? trimSpaces(*value) : QString();
}

} // namespace

MainFixture::MainFixture() = default;

MainFixture::~MainFixture() {
    if (m_form)
        m_form->End = nullptr;
}

void MainFixture::makeFile(const QList<QPair<QString, QList<Recipe>>>& categories) {
    const QString base = m_dir.filePath(QStringLiteral("Recipe"));
    Database::CreateDatabase(base);
    auto db = Database::OpenDatabase(base);
    for (const auto& [name, recipes] : categories) {
        db->AppendTableDef(recipeTableDef(*db, name));
        auto rs = db->OpenRecordset(name);
        for (const Recipe& r : recipes) {
            rs->AddNew();
            rs->SetField(0, storedValue(r.name));
            rs->SetField(1, storedValue(r.author));
            rs->SetField(2, storedValue(r.ingredients));
            rs->SetField(3, storedValue(r.instructions));
            rs->Update();
        }
        rs->Close();
    }
    db->Close();
}

QList<Recipe> MainFixture::storedRecipes(const QString& category) const {
    auto db = Database::OpenDatabase(m_dir.filePath(QStringLiteral("Recipe")));
    auto rs = db->OpenRecordset(category);
    QList<Recipe> recipes;
    const int count = rs->RecordCount();
    if (count > 0)
        rs->MoveFirst();
    for (int i = 0; i < count; ++i) {
        recipes.append({trimmed(rs->Fields(0)), trimmed(rs->Fields(1)), trimmed(rs->Fields(2)),
                        trimmed(rs->Fields(3))});
        rs->MoveNext();
    }
    rs->Close();
    db->Close();
    return recipes;
}

QStringList MainFixture::storedNames(const QString& category) const {
    QStringList names;
    for (const Recipe& r : storedRecipes(category))
        names << r.name;
    return names;
}

QStringList MainFixture::tables() const {
    auto db = Database::OpenDatabase(m_dir.filePath(QStringLiteral("Recipe")));
    QStringList names = db->TableDefs();
    db->Close();
    return names;
}

Main& MainFixture::start() {
    m_form = std::make_unique<Main>(dialogs, m_dir.path());
    m_form->End = [this] { ++ended; };
    m_form->OpenUrl = [this](const QString& url) { opened << url; };
    m_form->Form_Load();
    m_form->show();
    if (!QTest::qWaitForWindowExposed(m_form.get()))
        qWarning("main window not exposed");
    return *m_form;
}

namespace {

// Every node in tree order, reading closed categories as opening them would.
void walk(QAbstractItemModel* model, const QModelIndex& at, int depth,
          const std::function<void(const QModelIndex&, int)>& visit) {
    if (at.isValid())
        visit(at, depth);
    if (model->canFetchMore(at))
        model->fetchMore(at);
    for (int i = 0; i < model->rowCount(at); ++i)
        walk(model, model->index(i, 0, at), depth + 1, visit);
}

} // namespace

QStringList MainFixture::tree() const {
    QStringList lines;
    walk(m_form->Tv->model(), {}, -1, [&](const QModelIndex& at, int depth) {
        lines << QString(depth * 2, QLatin1Char(' ')) + at.data().toString();
    });
    return lines;
}

QModelIndex MainFixture::node(const QString& text, const QString& parent) const {
    QModelIndex found;
    walk(m_form->Tv->model(), {}, -1, [&](const QModelIndex& at, int) {
        if (found.isValid() || at.data().toString() != text)
            return;
        if (parent.isNull() || (at.parent().isValid() && at.parent().data().toString() == parent))
            found = at;
    });
    return found;
}

bool MainFixture::isOpen(const QString& text) const {
    return m_form->Tv->isExpanded(node(text));
}

void MainFixture::clickNode(const QModelIndex& item) {
    QVERIFY(item.isValid());
    QList<QModelIndex> above;
    for (QModelIndex p = item.parent(); p.isValid(); p = p.parent())
        above.prepend(p);
    for (const QModelIndex& p : above)
        m_form->Tv->expand(p);
    m_form->Tv->scrollTo(item);
    const QRect rect = m_form->Tv->visualRect(item);
    QVERIFY(rect.isValid());
    QTest::mouseClick(m_form->Tv->viewport(), Qt::LeftButton, {}, rect.center());
}

void MainFixture::clickNode(const QString& text, const QString& parent) {
    clickNode(node(text, parent));
}

bool MainFixture::press(QWidget* button) {
    if (!button || !button->isVisible() || !button->isEnabled())
        return false;
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    return true;
}

QList<bool> MainFixture::pairs() const {
    const Main& f = *m_form;
    return {f.Save->isVisible(),       f.Cancel->isVisible(),      f.saveedited->isVisible(),
            f.canceledit->isVisible(), f.delcatagroy->isVisible(), f.cancelcata->isVisible()};
}

bool MainFixture::fieldsLocked() const {
    const Main& f = *m_form;
    const QList<bool> locked = {f.Text1->isReadOnly(), f.Text2->isReadOnly(), f.Text3->isReadOnly(),
                                f.Text4->isReadOnly()};
    // Partly locked fields are a fault in themselves, whichever way the caller checks.
    if (locked.count(true) != 0 && locked.count(true) != 4)
        QTest::qFail("the four fields are partly locked", __FILE__, __LINE__);
    return locked.count(true) == 4;
}

QStringList MainFixture::fields() const {
    const Main& f = *m_form;
    return {f.Text1->text(), f.Text2->text(), f.Text3->toPlainText(), f.Text4->toPlainText()};
}

void MainFixture::type(const QString& t1, const QString& t2, const QString& t3, const QString& t4) {
    Main& f = *m_form;
    f.Text1->setText(t1);
    f.Text2->setText(t2);
    f.Text3->setPlainText(t3);
    f.Text4->setPlainText(t4);
}

QList<QPair<QString, QList<Recipe>>> sampleCollection() {
    return {
        {QStringLiteral("Soups"),
         {{QStringLiteral("Tomato Soup"), QStringLiteral("Ann"),
           QStringLiteral("6 tomatoes\n1 onion"), QStringLiteral("Chop.\nSimmer 20 minutes.")},
          {QStringLiteral("Lentil Soup"), QStringLiteral("Bob"), QStringLiteral("1 cup lentils"),
           QStringLiteral("Boil.")}}},
        {QStringLiteral("baking"),
         {{QStringLiteral("Scones"), QStringLiteral(""), QStringLiteral("flour\nbutter"),
           QStringLiteral("Bake.")},
          {QStringLiteral("Bread"), QStringLiteral("Cy"), QStringLiteral("flour"),
           QStringLiteral("Knead.")}}},
    };
}

} // namespace kb::test
