// The tree's nodes over a tree view: placing, keys, children read when a node is opened, and
// what the view and a screen reader make of them.

#include "core/store_error.h"
#include "platform/imagelist.h"
#include "platform/nodes.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

using namespace kb;

namespace {

QStringList lines(const NodeModel& m, NodeId parent = 0, int depth = 0) {
    QStringList out;
    for (NodeId id : m.children(parent)) {
        out << QString(depth * 2, QLatin1Char(' ')) + m.text(id);
        out << lines(m, id, depth + 1);
    }
    return out;
}

} // namespace

class TestNodes : public QObject {
    Q_OBJECT

  private slots:
    void placesNodesRelativeToKeyedOnes() {
        QTreeView view;
        ImageList images;
        Nodes nodes(&view);
        nodes.setImageList(&images);
        nodes.Add({}, tvwLast, QStringLiteral("AB"), QStringLiteral("Kettlebox Recipe"), 1);
        nodes.Add(QStringLiteral("AB"), tvwChild, QStringLiteral("b"), QStringLiteral("b"), 2, 3);
        nodes.Add(QStringLiteral("b"), tvwPrevious, QStringLiteral("a"), QStringLiteral("a"), 2);
        nodes.Add(QStringLiteral("b"), tvwNext, QStringLiteral("d"), QStringLiteral("d"), 2);
        nodes.Add(QStringLiteral("d"), tvwPrevious, QStringLiteral("c"), QStringLiteral("c"), 2);
        nodes.Add(QStringLiteral("a"), tvwFirst, QStringLiteral("0"), QStringLiteral("0"), 2);
        nodes.Add(QStringLiteral("a"), tvwLast, QStringLiteral("z"), QStringLiteral("z"), 2);
        nodes.Add(QStringLiteral("b"), tvwChild, {}, QStringLiteral("one"), 4, 3);
        nodes.Add(QStringLiteral("b"), tvwChild, {}, QStringLiteral("one"), 4, 3); // same text
        nodes.Add({}, tvwFirst, QStringLiteral("top"), QStringLiteral("top"));
        const QStringList expected{"top",     "Kettlebox Recipe", "  0", "  a", "  b",
                                   "    one", "    one",          "  c", "  d", "  z"};
        QCOMPARE(lines(nodes.model()), expected);

        // The view sees the same rows, parents and keys.
        const NodeModel& m = nodes.model();
        const QModelIndex root = m.index(1, 0);
        QCOMPARE(root.data().toString(), QStringLiteral("Kettlebox Recipe"));
        QCOMPARE(Nodes::key(root), QStringLiteral("AB"));
        const QModelIndex b = m.index(2, 0, root);
        QCOMPARE(Nodes::key(b), QStringLiteral("b"));
        QCOMPARE(m.rowCount(b), 2);
        QCOMPARE(m.index(1, 0, b).parent(), b);
        QCOMPARE(Nodes::key(m.index(0, 0, b)), QString()); // a recipe has no key
        QCOMPARE(m.index(5, 0, root).data().toString(), QStringLiteral("z"));
        QVERIFY(!m.index(0, 1, root).isValid());
    }

    void refusalsAddNothing() {
        QTreeView view;
        ImageList images;
        Nodes nodes(&view);
        nodes.setImageList(&images);
        nodes.Add({}, tvwLast, QStringLiteral("AB"), QStringLiteral("Kettlebox Recipe"), 1);
        // A key already in use, even one spelt as the root's; an unknown relative; a picture
        // the list does not have; a relationship that does not exist.
        QVERIFY_THROWS_EXCEPTION(StoreError, nodes.Add(QStringLiteral("AB"), tvwChild,
                                                       QStringLiteral("AB"), QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(
            StoreError, nodes.Add(QStringLiteral("nope"), tvwChild, {}, QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(
            StoreError, nodes.Add(QStringLiteral("AB"), tvwChild, {}, QStringLiteral("x"), 5));
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 nodes.Add(QStringLiteral("AB"), 9, {}, QStringLiteral("x")));
        QCOMPARE(nodes.model().nodeCount(), 1);
        // Keys are case-sensitive, and keyless nodes may share their text.
        nodes.Add(QStringLiteral("AB"), tvwChild, QStringLiteral("ab"), QStringLiteral("ab"));
        QCOMPARE(nodes.model().nodeCount(), 2);
    }

    void clearIsOneResetAndEnsureVisibleWaitsForIt() {
        QTreeView view;
        ImageList images;
        view.resize(200, 60);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        Nodes::modelOf(&view);
        QSignalSpy resets(view.model(), &QAbstractItemModel::modelReset);
        QSignalSpy inserts(view.model(), &QAbstractItemModel::rowsInserted);
        NodeId last = 0;
        {
            Nodes nodes(&view);
            nodes.setImageList(&images);
            nodes.Clear();
            last = nodes.Add({}, tvwLast, QStringLiteral("AB"), QStringLiteral("root"), 1);
            nodes.EnsureVisible(last);
            for (int c = 0; c < 3; ++c) {
                const QString key = QStringLiteral("c%1").arg(c);
                last = nodes.Add(QStringLiteral("AB"), tvwChild, key, key, 2, 3);
                for (int r = 0; r < 20; ++r)
                    last = nodes.Add(key, tvwChild, {}, QString::number(r), 4, 3);
            }
            nodes.EnsureVisible(last);
        }
        QCOMPARE(resets.size(), 1);
        QCOMPARE(inserts.size(), 0);
        // The last node's parents are open, the others closed, and it is scrolled into view.
        NodeModel& m = Nodes::modelOf(&view);
        const QModelIndex root = m.index(0, 0);
        QVERIFY(view.isExpanded(root));
        QVERIFY(view.isExpanded(m.index(2, 0, root)));
        QVERIFY(!view.isExpanded(m.index(0, 0, root)));
        const QRect shown = view.visualRect(m.indexOf(last));
        QVERIFY(view.viewport()->rect().contains(shown));
    }

    void childrenAreReadWhenTheNodeIsOpened() {
        QTreeView view;
        ImageList images;
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QStringList stored{"first", "second"};
        QStringList asked;
        {
            Nodes nodes(&view);
            nodes.setImageList(&images);
            nodes.model().setReader([&](const QString& key) {
                asked << key;
                if (key == QStringLiteral("broken"))
                    throw StoreError(QStringLiteral("gone"));
                return key == QStringLiteral("full") ? stored : QStringList();
            });
            nodes.Clear();
            nodes.Add({}, tvwLast, QStringLiteral("AB"), QStringLiteral("root"), 1);
            for (const char* key : {"full", "empty", "broken"}) {
                nodes.Add(QStringLiteral("AB"), tvwChild, QLatin1String(key), QLatin1String(key), 2,
                          3);
                nodes.AddLater(QLatin1String(key), qstrcmp(key, "empty") != 0, 4, 3);
            }
            nodes.EnsureVisible(nodes.find(QStringLiteral("broken")));
        }
        NodeModel& m = Nodes::modelOf(&view);
        const QModelIndex root = m.index(0, 0);
        const QModelIndex full = m.index(0, 0, root);
        // Nothing is read until a node is opened; the arrow shows whether there are rows.
        QVERIFY(asked.isEmpty());
        QVERIFY(m.hasChildren(full));
        QVERIFY(!m.hasChildren(m.index(1, 0, root)));
        QCOMPARE(m.rowCount(full), 0);

        // Read at the moment of opening, not at the load.
        stored << QStringLiteral("third");
        view.expand(full);
        QCOMPARE(asked, QStringList{QStringLiteral("full")});
        QCOMPARE(m.rowCount(full), 3);
        QCOMPARE(m.index(2, 0, full).data().toString(), QStringLiteral("third"));
        view.collapse(full);
        view.expand(full);
        QCOMPARE(asked.size(), 1); // once per load

        // A failed read shows nothing and does not throw into the view.
        view.expand(m.index(2, 0, root));
        QCOMPARE(m.rowCount(m.index(2, 0, root)), 0);

        // A child added under a closed node comes after the ones already stored.
        Nodes nodes(&view);
        nodes.Add(QStringLiteral("empty"), tvwChild, {}, QStringLiteral("new"), 4, 3);
        QCOMPARE(m.rowCount(m.index(1, 0, root)), 1);
    }

    void aScreenReaderSeesTheTreeAsAWidgetTreeShowsIt() {
        QTreeView view;
        view.setHeaderHidden(true);
        view.setAccessibleName(QStringLiteral("Recipes"));
        ImageList images;
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        {
            Nodes nodes(&view);
            nodes.setImageList(&images);
            nodes.model().setReader([](const QString&) { return QStringList{"Leek", "Onion"}; });
            nodes.Clear();
            nodes.Add({}, tvwLast, QStringLiteral("AB"), QStringLiteral("Kettlebox Recipe"), 1);
            nodes.Add(QStringLiteral("AB"), tvwChild, QStringLiteral("Soups"),
                      QStringLiteral("Soups"), 2, 3);
            nodes.AddLater(QStringLiteral("Soups"), true, 4, 3);
            nodes.Add(QStringLiteral("AB"), tvwChild, QStringLiteral("Tarts"),
                      QStringLiteral("Tarts"), 2, 3);
            nodes.AddLater(QStringLiteral("Tarts"), false, 4, 3);
            nodes.EnsureVisible(nodes.find(QStringLiteral("Tarts")));
        }
        QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(tree);
        QCOMPARE(tree->role(), QAccessible::Tree);
        QCOMPARE(tree->text(QAccessible::Name), QStringLiteral("Recipes"));
        auto item = [&](int row) { return tree->tableInterface()->cellAt(row, 0); };
        QCOMPARE(tree->tableInterface()->rowCount(), 3);
        QAccessibleInterface* root = item(0);
        QAccessibleInterface* soups = item(1);
        QAccessibleInterface* tarts = item(2);
        QCOMPARE(root->role(), QAccessible::TreeItem);
        QCOMPARE(root->text(QAccessible::Name), QStringLiteral("Kettlebox Recipe"));
        QVERIFY(root->state().expandable && root->state().expanded);
        QCOMPARE(soups->text(QAccessible::Name), QStringLiteral("Soups"));
        QVERIFY(soups->state().expandable && !soups->state().expanded);
        QVERIFY(!tarts->state().expandable);

        view.expand(Nodes::modelOf(&view).index(1, 0, Nodes::modelOf(&view).index(0, 0)));
        QCOMPARE(tree->tableInterface()->rowCount(), 5);
        QCOMPARE(item(3)->text(QAccessible::Name), QStringLiteral("Leek"));
        QVERIFY(!item(3)->state().expandable);
    }
};

QTEST_MAIN(TestNodes)
#include "test_nodes.moc"
