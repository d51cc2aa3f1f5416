#include "main_fixture.h"

#include "core/app.h"
#include "core/database.h"
#include "core/recipetable.h"
#include "platform/nodes.h"
#include "ui/controls/xpcmdbutton.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

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

QStringList MainFixture::tree() const {
    QStringList lines;
    for (QTreeWidgetItemIterator it(m_form->Tv); *it; ++it) {
        int depth = 0;
        for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent())
            ++depth;
        lines << QString(depth * 2, QLatin1Char(' ')) + (*it)->text(0);
    }
    return lines;
}

QTreeWidgetItem* MainFixture::node(const QString& text, const QString& parent) const {
    for (QTreeWidgetItemIterator it(m_form->Tv); *it; ++it) {
        if ((*it)->text(0) != text)
            continue;
        if (parent.isNull() || ((*it)->parent() && (*it)->parent()->text(0) == parent))
            return *it;
    }
    return nullptr;
}

void MainFixture::clickNode(QTreeWidgetItem* item) {
    QVERIFY(item);
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        p->setExpanded(true);
    m_form->Tv->scrollToItem(item);
    const QRect rect = m_form->Tv->visualItemRect(item);
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
