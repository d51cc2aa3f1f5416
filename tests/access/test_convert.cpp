// The conversion as a whole: the new file, the kept original on both of its paths, the report,
// files that can't be read, adding to an existing file, the command line, and kill -9 at any
// moment of it.

#include "access/convert.h"
#include "access/header.h"
#include "core/database.h"
#include "core/store_error.h"
#include "tests/access/access_fixture.h"
#include "tests/support/files.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <sys/stat.h>

using namespace kb;
using namespace kb::access;

namespace {

ino_t inode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

QList<QStringList> storedRows(const QString& base, const QString& table) {
    auto db = Database::OpenDatabase(base);
    auto rs = db->OpenRecordset(table);
    QList<QStringList> rows;
    if (rs->RecordCount() > 0) {
        rs->MoveFirst();
        while (!rs->Eof()) {
            QStringList r;
            for (int c = 0; c < 4; ++c)
                r << rs->Fields(c).value_or(QStringLiteral("<missing>"));
            rows << r;
            rs->MoveNext();
        }
    }
    return rows;
}

QStringList hiddenLeftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral(".Recipe*")}, QDir::Files | QDir::Hidden);
}

struct RunResult {
    int code = -1;
    QString out, err;
};

RunResult runTool(const QStringList& args) {
    QProcess p;
    p.start(test::dbTool(), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

class TestAccessConvert : public QObject {
    Q_OBJECT

  private slots:
    void convertsInPlace_data();
    void convertsInPlace();
    void keptNameAlreadyTaken();
    void unreadableFilesStayUntouched_data();
    void unreadableFilesStayUntouched();
    void passwordInTheHeader();
    void addsToAnExistingFile();
    void commandLine();
    void killedAtAnyMoment();
};

void TestAccessConvert::convertsInPlace_data() {
    QTest::addColumn<bool>("hardLinks");
    QTest::newRow("hard link") << true;
    QTest::newRow("copy and compare") << false;
}

void TestAccessConvert::convertsInPlace() {
    QFETCH(bool, hardLinks);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Recipe.mdb"));
    jet::Options jo;
    jo.password = QStringLiteral("5820741963mxrdbe");
    const QByteArray original = jet::writeJet4(jet::recipeTables(), jo);
    test::writeFile(file, original);
    const ino_t before = inode(file);

    ImportOptions opts = test::importOptions();
    opts.hardLinks = hardLinks;
    QList<int> progress;
    opts.progress = [&](std::int64_t done, std::int64_t total) {
        progress << static_cast<int>(done * 100 / total);
        return true;
    };
    const Report report = convertInPlace(dir.path(), opts);

    const QString kept = dir.filePath(QStringLiteral("Recipe.access.mdb"));
    QCOMPARE(test::fileBytes(kept), original);
    QCOMPARE(inode(kept) == before, hardLinks);
    QVERIFY(!readHeader(file).isAccess());
    QCOMPARE(report.keptAs, kept);
    QCOMPARE(progress.last(), 100);
    QVERIFY(std::is_sorted(progress.begin(), progress.end()));
    QVERIFY(hiddenLeftovers(dir.path()).isEmpty());

    // Every table and every value comes in; the one name the store refuses is adjusted.
    const QString base = dir.filePath(QStringLiteral("Recipe"));
    QCOMPARE(Database::OpenDatabase(base)->TableDefs().size(), 6);
    for (const jet::Table& t : jet::recipeTables()) {
        QList<QStringList> want;
        for (const jet::Row& w : t.rows) {
            QStringList r;
            for (const auto& v : {w.name, w.author, w.ingredients, w.instructions})
                r << test::stored(v.value_or(QString()).replace(QStringLiteral("\U0001F336"),
                                                                QStringLiteral("??")));
            want << r;
        }
        QCOMPARE(storedRows(base, QString(t.name).replace(QStringLiteral(". [Old]"),
                                                          QStringLiteral("_ _Old_"))),
                 want);
    }
    QCOMPARE(report.recipes, 8);
    QVERIFY(report.complete);
    const QString saved = QString::fromUtf8(
        test::fileBytes(dir.filePath(QStringLiteral("Recipe.access-report.txt"))));
    QVERIFY(
        saved.contains(QStringLiteral("\"Pies & Tarts. [Old]\" is now \"Pies & Tarts_ _Old_\"")));
    QVERIFY(saved.contains(QStringLiteral("\"Main Dishes\", recipe 2 (\"麻婆豆腐\"): in the "
                                          "instructions")));
    QVERIFY(saved.contains(QStringLiteral("6 categories, 8 recipes\r\n")));
}

void TestAccessConvert::keptNameAlreadyTaken() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Recipe.mdb"));
    const QByteArray original = jet::writeJet4(jet::recipeTables());
    test::writeFile(file, original);
    const QString taken = dir.filePath(QStringLiteral("Recipe.access.mdb"));
    test::writeFile(taken, "someone else's file");
    const Report report = convertInPlace(dir.path(), test::importOptions());
    QCOMPARE(test::fileBytes(taken), QByteArray("someone else's file"));
    QCOMPARE(report.keptAs, dir.filePath(QStringLiteral("Recipe.access (2).mdb")));
    QCOMPARE(test::fileBytes(report.keptAs), original);

    // A kept copy from a conversion that was stopped before it finished is used again.
    QTemporaryDir again;
    test::writeFile(again.filePath(QStringLiteral("Recipe.mdb")), original);
    test::writeFile(again.filePath(QStringLiteral("Recipe.access.mdb")), original);
    QCOMPARE(convertInPlace(again.path(), test::importOptions()).keptAs,
             again.filePath(QStringLiteral("Recipe.access.mdb")));
}

void TestAccessConvert::unreadableFilesStayUntouched_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("encrypted ACE")
        << test::fileBytes(test::accessData(QStringLiteral("encryption_office-agile-4.4.accdb")))
        << "encrypted";
    QByteArray broken = jet::writeJet4(jet::recipeTables());
    broken.replace(2 * 4096, 4096, QByteArray(4096, 'x'));
    QTest::newRow("no catalogue") << broken << "list of tables is missing or damaged";
    QTest::newRow("header only") << broken.left(4096) << "can't be read";
}

void TestAccessConvert::unreadableFilesStayUntouched() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Recipe.mdb"));
    test::writeFile(file, bytes);
    try {
        convertInPlace(dir.path(), test::importOptions());
        QFAIL("converted an unreadable file");
    } catch (const StoreError& e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    QCOMPARE(test::fileBytes(file), bytes);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({QStringLiteral("Recipe.mdb")}));
}

void TestAccessConvert::passwordInTheHeader() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("x.mdb"));
    const QList<std::pair<QString, bool>> cases = {{QStringLiteral("5820741963mxrdbe"), true},
                                                   {QString(), true},
                                                   {QStringLiteral("secret"), false},
                                                   {QStringLiteral("päßwörd"), false}};
    for (const auto& [password, ours] : cases) {
        jet::Options o;
        o.password = password;
        o.created = 40000.25 + password.size();
        test::writeFile(file, jet::writeJet4({}, o));
        const HeaderInfo h = readHeader(file);
        QCOMPARE(h.kind, FileKind::Jet4);
        QCOMPARE(h.password.value_or(QStringLiteral("?")), password);
        QCOMPARE(h.passwordIsOurs(), ours);
    }
}

void TestAccessConvert::addsToAnExistingFile() {
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("Recipe"));
    Database::CreateDatabase(base);
    {
        auto db = Database::OpenDatabase(base);
        TableDef def = db->CreateTableDef(QStringLiteral("Soups"));
        def.AppendField(TableDef::CreateField(QStringLiteral("Name"), dbText));
        def.AppendField(TableDef::CreateField(QStringLiteral("Author"), dbText));
        def.AppendField(TableDef::CreateField(QStringLiteral("Ingredients"), dbMemo));
        def.AppendField(TableDef::CreateField(QStringLiteral("Instructions"), dbMemo));
        db->AppendTableDef(def);
        auto rs = db->OpenRecordset(QStringLiteral("Soups"));
        rs->AddNew();
        rs->SetField(0, QStringLiteral("Mine "));
        rs->Update();
    }
    const QString source = dir.filePath(QStringLiteral("old.mdb"));
    const QByteArray original = jet::writeJet4(jet::recipeTables());
    test::writeFile(source, original);
    const Report report = importInto(source, dir.path(), test::importOptions());
    QVERIFY(report.keptAs.isEmpty());
    QVERIFY(report.renames.contains(QStringLiteral("\"Soups\" is now \"Soups (2)\"")));
    QCOMPARE(storedRows(base, QStringLiteral("Soups")).size(), 1);
    QCOMPARE(storedRows(base, QStringLiteral("Soups (2)")).size(), 3);
    QCOMPARE(test::fileBytes(source), original);
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Recipe.access.mdb"))));
}

void TestAccessConvert::commandLine() {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("old.mdb"));
    test::writeFile(source, jet::writeJet4(jet::recipeTables()));
    const QString into = dir.filePath(QStringLiteral("new"));
    QDir().mkpath(into);
    RunResult r = runTool({QStringLiteral("import-access"), source, into});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(QStringLiteral("6 categories, 8 recipes")), qPrintable(r.out));
    QVERIFY(QFileInfo::exists(QDir(into).filePath(QStringLiteral("Recipe.mdb"))));

    // Rows missing against the stored count: reported, exit 1; the rows read still come in.
    jet::Table t;
    t.name = QStringLiteral("Short");
    t.rows = {{QStringLiteral("a"), {}, {}, {}}};
    t.storedRows = 4;
    test::writeFile(source, jet::writeJet4({t}));
    r = runTool({QStringLiteral("import-access"), source, into});
    QCOMPARE(r.code, 1);
    QVERIFY(r.out.contains(QStringLiteral("the file says it holds 4 recipes, 1 were read")));
    QCOMPARE(
        storedRows(QDir(into).filePath(QStringLiteral("Recipe")), QStringLiteral("Short")).size(),
        1);

    QCOMPARE(runTool({QStringLiteral("import-access")}).code, 2);
    QCOMPARE(runTool({QStringLiteral("import-access"), source, into, QStringLiteral("x")}).code, 2);
    r = runTool({QStringLiteral("import-access"), dir.filePath(QStringLiteral("none.mdb"))});
    QCOMPARE(r.code, 1);
    r = runTool({QStringLiteral("import-access"), QStringLiteral("--help")});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.contains(QStringLiteral("import-access ACCESSFILE [FOLDER]")));
}

void TestAccessConvert::killedAtAnyMoment() {
    const QByteArray original = jet::writeJet4(jet::manyRecipes(400, 6));
    const auto runIn = [&](const QString& folder, int killAfterMs) {
        QProcess p;
        p.start(test::dbTool(), {QStringLiteral("import-access"),
                                 QDir(folder).filePath(QStringLiteral("Recipe.mdb")), folder});
        p.waitForStarted();
        if (killAfterMs >= 0) {
            QThread::msleep(static_cast<unsigned long>(killAfterMs));
            p.kill(); // SIGKILL
        }
        p.waitForFinished(60000);
    };
    QElapsedTimer clock;
    clock.start();
    {
        QTemporaryDir dir;
        test::writeFile(dir.filePath(QStringLiteral("Recipe.mdb")), original);
        runIn(dir.path(), -1);
    }
    const int whole = static_cast<int>(clock.elapsed());
    int original_ = 0, converted = 0;
    for (int step = 0; step <= 6; ++step) {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Recipe.mdb"));
        const QString kept = dir.filePath(QStringLiteral("Recipe.access.mdb"));
        test::writeFile(file, original);
        runIn(dir.path(), whole * step / 6);
        const QByteArray now = test::fileBytes(file);
        if (now == original) {
            ++original_;
        } else {
            ++converted;
            // The complete new file, and the original kept beside it.
            QCOMPARE(test::fileBytes(kept), original);
            auto db = Database::OpenDatabase(dir.filePath(QStringLiteral("Recipe")));
            QCOMPARE(db->TableDefs().size(), 6);
        }
        if (QFileInfo::exists(kept))
            QCOMPARE(test::fileBytes(kept), original);
        // Whatever was left, the next conversion finishes and clears the leftovers away.
        if (now == original && step % 2 == 0) {
            const Report r = convertInPlace(dir.path(), test::importOptions());
            QCOMPARE(r.recipes, 400);
            QVERIFY(hiddenLeftovers(dir.path()).isEmpty());
        }
    }
    qInfo("kill -9 over %d ms: %d times the original, %d times the new file", whole, original_,
          converted);
}

QTEST_GUILESS_MAIN(TestAccessConvert)
#include "test_convert.moc"
