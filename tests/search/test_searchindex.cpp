// The search index: what a query finds and in which order, and that the index follows every
// change made through the store and notices changes made behind its back.

#include "history/history.h"
#include "search/searchindex.h"
#include "tests/store/store_fixture.h"

#include <QFile>
#include <QTest>

using namespace kb;
using namespace kb::test;

namespace {

QString v(const QString& text) {
    return text + QLatin1Char(' ');
}

} // namespace

class TestSearchIndex : public QObject {
    Q_OBJECT

    std::unique_ptr<StoreFixture> f;
    std::unique_ptr<SearchIndex> index;

    std::unique_ptr<Database> open() { return Database::OpenDatabase(f->base); }

    // The names found for `text`, best first, as "category/name".
    QStringList find(const QString& text) {
        auto db = open();
        index->ensureCurrent(*db);
        QStringList out;
        for (const SearchHit& h : index->search(*db, text, 200, SearchIndex::Match::Anywhere).hits)
            out << h.recipe.place.category + QLatin1Char('/') + h.recipe.name();
        return out;
    }

    bool current() {
        auto db = open();
        return index->isCurrent(*db);
    }

    void addThroughStore(const QString& category, const QString& name, const QString& author,
                         const QString& ingredients, const QString& instructions) {
        f->setBoxes(name, author, ingredients, instructions);
        f->store->AddRecipe(category);
    }

  private slots:
    void init() {
        f = std::make_unique<StoreFixture>();
        index = std::make_unique<SearchIndex>(SearchIndex::fileFor(f->base));
        f->store->addFollower(index.get());
        f->makeCategory(QStringLiteral("Desserts"));
        f->makeCategory(QStringLiteral("Soups"));
        f->addRow(QStringLiteral("Desserts"),
                  {v(QStringLiteral("Crème brûlée")), v(QStringLiteral("Émile Zola")),
                   v(QStringLiteral("cream\nsugar\nvanilla")),
                   v(QStringLiteral("Bake in a water bath."))});
        f->addRow(QStringLiteral("Soups"),
                  {v(QStringLiteral("Tomato Soup")), v(QStringLiteral("Ann")),
                   v(QStringLiteral("2 tomatoes\n1 onion")),
                   v(QStringLiteral("Simmer the onion, add the tomatoes and stir."))});
        f->addRow(QStringLiteral("Soups"),
                  {v(QStringLiteral("Onion Soup")), v(QStringLiteral("Tom Baker")),
                   v(QStringLiteral("6 onions\nbutter")),
                   v(QStringLiteral("Brown the onions slowly. Serve with cheese toast."))});
    }
    void cleanup() {
        f.reset();
        index.reset();
    }

    void aQueryFindsExactlyTheRecipesWithEveryWord_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("found");
        const QString brulee = QStringLiteral("Desserts/Crème brûlée");
        const QString tomato = QStringLiteral("Soups/Tomato Soup");
        const QString onion = QStringLiteral("Soups/Onion Soup");
        QTest::newRow("no accents") << QStringLiteral("creme brulee") << QStringList{brulee};
        QTest::newRow("upper case") << QStringLiteral("CRÈME") << QStringList{brulee};
        QTest::newRow("author") << QStringLiteral("emile") << QStringList{brulee};
        QTest::newRow("start of a word") << QStringLiteral("tom") << QStringList{tomato, onion};
        QTest::newRow("inside a word too") << QStringLiteral("mato") << QStringList{tomato};
        QTest::newRow("any field, any order")
            << QStringLiteral("cheese onion") << QStringList{onion};
        QTest::newRow("every word") << QStringLiteral("soup vanilla") << QStringList{};
        QTest::newRow("phrase") << QStringLiteral("\"add the tomatoes\"") << QStringList{tomato};
        QTest::newRow("phrase, other order") << QStringLiteral("\"the add\"") << QStringList{};
        QTest::newRow("unclosed quote") << QStringLiteral("\"brown the") << QStringList{onion};
        QTest::newRow("OR is a word") << QStringLiteral("onion OR vanilla") << QStringList{};
        QTest::newRow("punctuation") << QStringLiteral("-onion* (\"") << QStringList{onion, tomato};
        QTest::newRow("nothing") << QStringLiteral("  ") << QStringList{};
    }
    void aQueryFindsExactlyTheRecipesWithEveryWord() {
        QFETCH(QString, query);
        QFETCH(QStringList, found);
        QCOMPARE(find(query), found);
    }

    void aWordInsideACompoundWordRanksAfterWordStarts() {
        f->addRow(QStringLiteral("Desserts"),
                  {v(QStringLiteral("Apfelstrudel")), v(QStringLiteral("Oma")),
                   v(QStringLiteral("apples")), v(QStringLiteral("Roll up."))});
        f->addRow(QStringLiteral("Desserts"),
                  {v(QStringLiteral("Pear Tart")), v(QStringLiteral("Ann")),
                   v(QStringLiteral("strudel dough")), v(QStringLiteral("Bake."))});
        QCOMPARE(find(QStringLiteral("strudel")),
                 (QStringList{QStringLiteral("Desserts/Pear Tart"),
                              QStringLiteral("Desserts/Apfelstrudel")}));
        auto db = open();
        QCOMPARE(index->search(*db, QStringLiteral("STRUDEL apfel")).total, 0); // word starts
        const SearchResult r =
            index->search(*db, QStringLiteral("STRUDEL apfel"), 200, SearchIndex::Match::Anywhere);
        QCOMPARE(r.total, 1);
        QCOMPARE(r.hits.at(0).recipe.author(), QStringLiteral("Oma"));
        QVERIFY2(r.hits.at(0).snippet.contains(QStringLiteral("«Apfel»«strudel»")) ||
                     r.hits.at(0).snippet.contains(QStringLiteral("Apfel«strudel»")),
                 qPrintable(r.hits.at(0).snippet));
    }

    void aMatchInTheNameRanksAboveAuthorIngredientsAndInstructions() {
        f->addRow(QStringLiteral("Soups"),
                  {v(QStringLiteral("Leek Soup")), v(QStringLiteral("Ann")),
                   v(QStringLiteral("leeks")), v(QStringLiteral("Serve with a basil leaf."))});
        f->addRow(QStringLiteral("Soups"),
                  {v(QStringLiteral("Green Soup")), v(QStringLiteral("Ann")),
                   v(QStringLiteral("basil")), v(QStringLiteral("Blend."))});
        f->addRow(QStringLiteral("Soups"),
                  {v(QStringLiteral("Pesto")), v(QStringLiteral("Basil Fawlty")),
                   v(QStringLiteral("pine nuts")), v(QStringLiteral("Pound."))});
        f->addRow(QStringLiteral("Desserts"),
                  {v(QStringLiteral("Basil Sorbet")), v(QStringLiteral("Ann")),
                   v(QStringLiteral("sugar")), v(QStringLiteral("Freeze."))});
        QCOMPARE(
            find(QStringLiteral("basil")),
            (QStringList{QStringLiteral("Desserts/Basil Sorbet"), QStringLiteral("Soups/Pesto"),
                         QStringLiteral("Soups/Green Soup"), QStringLiteral("Soups/Leek Soup")}));
        auto db = open();
        const SearchResult r = index->search(*db, QStringLiteral("basil"), 2);
        QCOMPARE(r.total, 4);
        QCOMPARE(r.hits.size(), 2);
        // The row's piece of text shows the match marked.
        QVERIFY2(r.hits.at(0).snippet.contains(QStringLiteral("«Basil»")),
                 qPrintable(r.hits.at(0).snippet));
    }

    void theIndexFollowsEveryWriteOfTheStore() {
        QCOMPARE(find(QStringLiteral("gazpacho")), QStringList{}); // built now
        addThroughStore(QStringLiteral("Soups"), QStringLiteral("Gazpacho"), QStringLiteral("Rosa"),
                        QStringLiteral("cucumber"), QStringLiteral("Chill."));
        QVERIFY(current());
        QCOMPARE(find(QStringLiteral("gazpacho")), QStringList{QStringLiteral("Soups/Gazpacho")});

        f->setBoxes(QStringLiteral("Gazpacho"), QStringLiteral("Rosa"), QStringLiteral("peppers"),
                    QStringLiteral("Chill well."));
        f->store->UpdateRecipe(QStringLiteral("Soups"), QStringLiteral("Gazpacho"));
        QVERIFY(current());
        QCOMPARE(find(QStringLiteral("cucumber")), QStringList{});
        QCOMPARE(find(QStringLiteral("peppers")), QStringList{QStringLiteral("Soups/Gazpacho")});

        f->store->DeleteRecipe(QStringLiteral("Soups"), QStringLiteral("Gazpacho"));
        QVERIFY(current());
        QCOMPARE(find(QStringLiteral("gazpacho")), QStringList{});

        f->dialogs.answerInput(QStringLiteral("Salads"));
        f->store->CreateCategory();
        addThroughStore(QStringLiteral("Salads"), QStringLiteral("Onion Salad"), QString(),
                        QString(), QString());
        QVERIFY(current());
        QCOMPARE(find(QStringLiteral("salad")), QStringList{QStringLiteral("Salads/Onion Salad")});

        f->dialogs.answer(vbYes);
        f->store->DeleteCategory(QStringLiteral("Soups"));
        QVERIFY(current());
        QCOMPARE(find(QStringLiteral("onion")), QStringList{QStringLiteral("Salads/Onion Salad")});
    }

    void anUndeleteLeavesTheIndexTrustedOnTheNextStart() {
        HistoryFollower history;
        f->store->addFollower(&history);
        QCOMPARE(find(QStringLiteral("onion")).size(), 2); // built now
        f->store->DeleteRecipe(QStringLiteral("Soups"), QStringLiteral("Onion Soup"));
        putBack(f->store->file(), listHistory(f->store->file()).first().id);
        f->store->closeFollowers();
        f->store->file().removeFollower(&history);

        // The stamp kept is of the file as committed: the next start reads no recipe.
        SearchIndex later(SearchIndex::fileFor(f->base));
        int categoriesRead = 0;
        auto db = open();
        QVERIFY(later.isCurrent(*db, [&](std::int64_t, std::int64_t) {
            ++categoriesRead;
            return true;
        }));
        QCOMPARE(categoriesRead, 0);
        QCOMPARE(later.search(*db, QStringLiteral("onion")).total, 2);
    }

    void theIndexNeverShowsAsACategory() {
        QCOMPARE(find(QStringLiteral("soup")).size(), 2);
        QVERIFY(QFile::exists(SearchIndex::fileFor(f->base)));
        auto db = open();
        QCOMPARE(db->TableDefs(),
                 (QStringList{QStringLiteral("Desserts"), QStringLiteral("Soups")}));
        db->Close();
        f->store->LoadCatalogue();
        QCOMPARE(f->tree().filter(QRegularExpression(QStringLiteral("^  \\S"))),
                 (QStringList{QStringLiteral("  Desserts"), QStringLiteral("  Soups")}));
    }

    void aChangeByAnotherProgramIsNoticedAndRebuilt_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("row added")
            << QStringLiteral("INSERT INTO \"Soups\" VALUES ('Pea Soup ', 'x ', 'peas ', 'Cook. ')")
            << QStringLiteral("pea") << QStringList{QStringLiteral("Soups/Pea Soup")};
        QTest::newRow("row edited")
            << QStringLiteral("UPDATE \"Soups\" SET \"Name\" = 'Big Onion "
                              "Soup ' WHERE \"Name\" = 'Onion Soup '")
            << QStringLiteral("big") << QStringList{QStringLiteral("Soups/Big Onion Soup")};
        QTest::newRow("row deleted")
            << QStringLiteral("DELETE FROM \"Soups\" WHERE \"Name\" = 'Onion Soup '")
            << QStringLiteral("\"onion soup\"") << QStringList{};
        // A table made elsewhere may name its columns otherwise; position counts.
        QTest::newRow("table added")
            << QStringLiteral("CREATE TABLE \"Stews\" (a, b, c, d); "
                              "INSERT INTO \"Stews\" VALUES ('Irish "
                              "Stew', NULL, NULL, NULL)")
            << QStringLiteral("irish") << QStringList{QStringLiteral("Stews/Irish Stew")};
        QTest::newRow("table dropped")
            << QStringLiteral("DROP TABLE \"Soups\"") << QStringLiteral("soup") << QStringList{};
    }
    void aChangeByAnotherProgramIsNoticedAndRebuilt() {
        QFETCH(QString, sql);
        QFETCH(QString, query);
        QFETCH(QStringList, found);
        QCOMPARE(find(QStringLiteral("\"onion soup\"")),
                 QStringList{QStringLiteral("Soups/Onion Soup")});
        QVERIFY(current());
        // A write of our own just before leaves the index current, and no less watchful.
        addThroughStore(QStringLiteral("Soups"), QStringLiteral("Pumpkin Soup"), QString(),
                        QString(), QString());
        QVERIFY(current());
        // The next start trusts the file as the last one left it without reading it (a
        // fingerprint spoiled behind its back goes unnoticed), and is no less watchful.
        f->store->closeFollowers();
        SearchIndex next(SearchIndex::fileFor(f->base));
        {
            auto db = open();
            next.attach(*db);
            db->Execute(QStringLiteral("UPDATE search.categories SET rows = rows + 7"));
            QVERIFY(next.isCurrent(*db));
        }
        f->exec(sql);
        QVERIFY(!current());
        {
            auto db = open();
            QVERIFY(!next.isCurrent(*db));
        }
        int calls = 0;
        bool withinTotal = true;
        {
            auto db = open();
            QVERIFY(index->ensureCurrent(*db, [&](std::int64_t done, std::int64_t total) {
                ++calls;
                withinTotal = withinTotal && done <= total;
                return true;
            }));
        }
        QVERIFY(calls > 0);
        QVERIFY(withinTotal);
        QVERIFY(current());
        QCOMPARE(find(query), found);
    }

    void aLostOrForeignIndexFileIsMadeAgain() {
        QCOMPARE(find(QStringLiteral("tomato")).size(), 1);
        const QString file = SearchIndex::fileFor(f->base);
        QFile::remove(file);
        QVERIFY(!current());
        QCOMPARE(find(QStringLiteral("tomato")).size(), 1);

        // A file of something else in its place is put aside; saving a recipe still works.
        QFile::remove(file);
        QFile junk(file);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        addThroughStore(QStringLiteral("Soups"), QStringLiteral("Tomato Tart"), QString(),
                        QString(), QString());
        QCOMPARE(f->rows(QStringLiteral("Soups")).size(), 3);
        QVERIFY(QFile::exists(file + QStringLiteral(".unreadable")));
        QCOMPARE(find(QStringLiteral("tomato")).size(), 2);
    }
};

QTEST_MAIN(TestSearchIndex)
#include "test_searchindex.moc"
