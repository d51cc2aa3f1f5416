// Creating and deleting categories.

#include "core/store_error.h"
#include "tests/store/store_fixture.h"

#include <QTest>

using namespace kb;
using namespace kb::test;

class TestCategories : public QObject {
    Q_OBJECT

  private slots:
    void createMakesATableWithTheFourColumns() {
        StoreFixture f;
        f.makeCategory("Soups");
        f.dialogs.answerInput("Äpfel & \"Birnen\" 100%");
        f.store->CreateCategory();
        const QString name = QStringLiteral("Äpfel & \"Birnen\" 100%");
        QCOMPARE(f.store->NewCategoryName, name);
        const auto& prompt = f.dialogs.prompts().first();
        QCOMPARE(prompt.text, QStringLiteral("Enter a Name For New Category"));
        QCOMPARE(prompt.title, QStringLiteral("Create New Category"));
        QCOMPARE(prompt.defaultText, QString());
        QCOMPARE(f.dialogs.messages(), QStringList{name + " Category Created"});
        QCOMPARE(f.tree(), (QStringList{"Kettlebox Recipe", "  " + name, "  Soups"}));

        // Every recipe operation works on it at once.
        f.setBoxes("Crumble", "Me", "apples", "bake");
        f.store->AddRecipe(name);
        f.store->ShowRecipe(name, "Crumble");
        QCOMPARE(f.text1.text(), QStringLiteral("Crumble "));
        const QList<Row> rows = f.rows(name);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].size(), 4);
    }

    void cancelOrEmptyCreatesNothing() {
        StoreFixture f;
        f.dialogs.answerInput("");
        f.store->CreateCategory();
        QVERIFY(f.dialogs.messages().isEmpty());
        QVERIFY(f.topLevelCount() == 0);
        QCOMPARE(f.store->NewCategoryName, QString());
    }

    void refusedNamesSayWhichRuleAndChangeNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("says");
        QTest::newRow("exists") << "Soups"
                                << "already a category";
        QTest::newRow("exists, other case") << "SOUPS"
                                            << "letter case";
        QTest::newRow("exists, other case non-ASCII") << "äpfel"
                                                      << "letter case";
        QTest::newRow("spaces only") << "   "
                                     << "begin with a space";
        QTest::newRow("leading space") << " Cakes"
                                       << "begin with a space";
        QTest::newRow("too long") << QString(65, 'x') << "at most 64";
        QTest::newRow("dot") << "Mr. Chef"
                             << "can't contain \".\"";
        QTest::newRow("bang") << "Yum!"
                              << "can't contain \"!\"";
        QTest::newRow("backtick") << "a`b"
                                  << "can't contain \"`\"";
        QTest::newRow("bracket") << "Pies [old]"
                                 << "can't contain \"[\"";
        QTest::newRow("closing bracket") << "Pies ]"
                                         << "can't contain \"]\"";
        QTest::newRow("tab") << "Pies\tTarts"
                             << "control characters";
        QTest::newRow("line break") << "Pies\nTarts"
                                    << "control characters";
        QTest::newRow("the root's key") << "AB"
                                        << "used by the list itself";
    }
    void refusedNamesSayWhichRuleAndChangeNothing() {
        QFETCH(QString, name);
        QFETCH(QString, says);
        StoreFixture f;
        f.makeCategory("Soups");
        f.makeCategory("Äpfel");
        const QByteArray before = fileBytes(f.fileName());
        f.dialogs.answerInput(name);
        try {
            f.store->CreateCategory();
            QFAIL("the name must be refused");
        } catch (const StoreError& e) {
            QVERIFY2(e.message().contains(says), qPrintable(e.message()));
        }
        QVERIFY(f.dialogs.messages().isEmpty());
        QCOMPARE(f.topLevelCount(), 0);
        QCOMPARE(fileBytes(f.fileName()), before);
        QCOMPARE(f.store->NewCategoryName, name);
    }

    void aNameOf64CharactersIsAccepted() {
        StoreFixture f;
        const QString name(64, QChar(0x00e9));
        f.dialogs.answerInput(name);
        f.store->CreateCategory();
        QVERIFY(f.category(name).isValid());
    }

    void deleteAsksThenDropsTheTable() {
        StoreFixture f;
        f.makeCategory("Old \"Pies\"");
        f.makeCategory("Soups");
        f.addRecipe("Old \"Pies\"", "Apple");
        f.store->SelectedCategory = "Old \"Pies\"";
        f.dialogs.answer(vbYes);
        f.store->DeleteCategory("Old \"Pies\"");
        const auto& question = f.dialogs.prompts().first();
        QCOMPARE(question.text, QStringLiteral("This will Delete Category \"Old \"Pies\"\"\r\n"
                                               "All of It's Recipes\r\nDo you want to continue ?"));
        QCOMPARE(question.style, 276);
        QCOMPARE(question.title, QStringLiteral("Warnning"));
        QCOMPARE(f.dialogs.messages().last(),
                 QStringLiteral("Category Old \"Pies\" Has Been Deleted"));
        QCOMPARE(f.tree(), (QStringList{"Kettlebox Recipe", "  Soups"}));
        QCOMPARE(f.store->SelectedCategory, QStringLiteral("Old \"Pies\""));
    }

    void answeringNoDeletesNothing() {
        StoreFixture f;
        f.makeCategory("Soups");
        const QByteArray before = fileBytes(f.fileName());
        f.dialogs.answer(vbNo);
        f.store->DeleteCategory("Soups");
        QCOMPARE(f.dialogs.prompts().size(), 1);
        QCOMPARE(fileBytes(f.fileName()), before);
        QCOMPARE(f.topLevelCount(), 0);
    }

    void deletingAVanishedCategoryIsReported() {
        StoreFixture f;
        f.makeCategory("Soups");
        f.store->LoadCatalogue();
        f.exec("DROP TABLE Soups");
        f.store->SelectedCategory = "Soups";
        f.dialogs.answer(vbYes);
        try {
            f.store->DeleteCategory("Soups");
            QFAIL("a vanished category must be reported");
        } catch (const StoreError& e) {
            QCOMPARE(e.message(), QStringLiteral("The category \"Soups\" no longer exists."));
        }
        QCOMPARE(f.dialogs.messages().size(), 1); // only the question
        QVERIFY(f.category("Soups").isValid());   // the tree is not rebuilt
        QVERIFY(!f.store->RecipeDatabase);
    }
};

QTEST_MAIN(TestCategories)
#include "test_categories.moc"
