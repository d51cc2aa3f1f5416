// The encrypted database layer: opening, refusing files that are not ours, table definitions
// and the table-type recordset.

#include "core/database.h"
#include "core/store_error.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace kb;

namespace {

// The passphrase every recipe file is keyed with.
const QByteArray kKey = "5820741963mxrdbe";

// Makes a file with SQLite directly, keyed with `password` (none: a plain file).
void makeRaw(const QString& fileName, const QByteArray& password, const char* sql) {
    sqlite3* db = nullptr;
    QVERIFY(sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK);
    if (!password.isEmpty())
        sqlite3_key(db, password.constData(), static_cast<int>(password.size()));
    QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

QByteArray bytesOf(const QString& fileName) {
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString messageOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const StoreError& e) {
        return e.message();
    }
    return QStringLiteral("<no failure>");
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString base() const { return m_dir.filePath("Recipe"); }
    QString file() const { return base() + ".mdb"; }

  private slots:
    void init() {
        QFile::remove(file());
        Database::setBusyTimeout(std::chrono::milliseconds(150));
    }

    void opensAFileMadeWithThePassphrase() {
        // Made by SQLCipher itself from the passphrase; opened by us with the derived key.
        makeRaw(file(), kKey,
                "CREATE TABLE Soups (Name, Author, Ingredients, Instructions);"
                "INSERT INTO Soups VALUES ('Leek ', 'Ann ', 'x ', 'y ')");
        for (int round = 0; round < 2; ++round) { // the second open uses the cached key
            auto db = Database::OpenDatabase(base());
            QCOMPARE(db->TableDefs(), QStringList{"Soups"});
            auto rs = db->OpenRecordset("Soups");
            QCOMPARE(rs->Fields(0), std::optional<QString>("Leek "));
        }
    }

    void refusesFilesThatAreNotOurs_data() {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QString>("says");
        QTest::newRow("missing") << QByteArray("missing") << "is missing";
        QTest::newRow("empty") << QByteArray("empty") << "not a Kettlebox recipe file";
        QTest::newRow("random bytes") << QByteArray("random") << "not a Kettlebox recipe file";
        QTest::newRow("plain database") << QByteArray("plain") << "unprotected database";
        QTest::newRow("wrong password") << QByteArray("password") << "password does not match";
        QTest::newRow("folder") << QByteArray("folder") << "not a Kettlebox recipe file";
    }
    void refusesFilesThatAreNotOurs() {
        QFETCH(QByteArray, kind);
        QFETCH(QString, says);
        if (kind == "empty" || kind == "random") {
            QFile f(file());
            QVERIFY(f.open(QIODevice::WriteOnly));
            QList<quint32> noise(kind == "random" ? 2048 : 0);
            QRandomGenerator::global()->fillRange(noise.data(), noise.size());
            f.write(reinterpret_cast<const char*>(noise.constData()), noise.size() * 4);
        } else if (kind == "plain") {
            makeRaw(file(), {}, "CREATE TABLE Soups (Name); INSERT INTO Soups VALUES ('x')");
        } else if (kind == "password") {
            makeRaw(file(), "not the password", "CREATE TABLE Soups (Name)");
        } else if (kind == "folder") {
            QVERIFY(QDir(m_dir.path()).mkdir("Recipe.mdb"));
        }
        const QByteArray before = bytesOf(file());
        const QString message = messageOf([&] { Database::OpenDatabase(base()); });
        QVERIFY2(message.contains(says), qPrintable(message));
        QCOMPARE(bytesOf(file()), before);
        QVERIFY(!QFile::exists(file() + "-journal"));
        if (kind == "missing")
            QVERIFY(!QFile::exists(file())); // never created by opening
        if (kind == "folder")
            QDir(file()).removeRecursively();
    }

    void createRefusesAnExistingFile() {
        Database::CreateDatabase(base());
        const QByteArray before = bytesOf(file());
        QVERIFY(before.size() >= 1024);
        QVERIFY(messageOf([&] { Database::CreateDatabase(base()); }).contains("already exists"));
        QCOMPARE(bytesOf(file()), before);
        QVERIFY(Database::OpenDatabase(base())->TableDefs().isEmpty());
    }

    void tablesListInNameOrderRegardlessOfCase() {
        makeRaw(file(), kKey,
                "CREATE TABLE banana (a); CREATE TABLE \"Äpfel\" (a); CREATE TABLE apfel (a);"
                "CREATE TABLE Apfelkuchen (a); CREATE TABLE \"äpfel\" (a); CREATE TABLE Zoo (a);"
                "CREATE TABLE zzzNothing (a); CREATE TABLE \"Öl\" (a); CREATE TABLE oel (a);"
                "CREATE TABLE counted (id INTEGER PRIMARY KEY AUTOINCREMENT)");
        auto db = Database::OpenDatabase(base());
        // The engine's own table (sqlite_sequence) is not a table definition of ours.
        QCOMPARE(db->TableDefs(), (QStringList{"apfel", "Äpfel", "äpfel", "Apfelkuchen", "banana",
                                               "counted", "oel", "Öl", "Zoo", "zzzNothing"}));
    }

    void newTablesGetTheirColumnsAndTheRulesHold() {
        Database::CreateDatabase(base());
        auto db = Database::OpenDatabase(base());
        TableDef def = db->CreateTableDef("Mum's \"best\" 100%");
        def.AppendField(TableDef::CreateField("Name", dbText));
        def.AppendField(TableDef::CreateField("Ingredients", dbMemo));
        db->AppendTableDef(def);
        QCOMPARE(db->TableDefs(), QStringList{"Mum's \"best\" 100%"});
        QVERIFY(messageOf([&] { db->CreateTableDef("MUM'S \"BEST\" 100%"); }).contains("case"));
        QVERIFY(messageOf([&] { db->CreateTableDef("sqlite_master"); }).contains("reserved"));
        // Made meanwhile by another program: refused at append, nothing written.
        TableDef late = db->CreateTableDef("Late");
        late.AppendField(TableDef::CreateField("Name", dbText));
        makeRaw(file(), kKey, "CREATE TABLE late (a)");
        QVERIFY(messageOf([&] { db->AppendTableDef(late); }).contains("already"));

        auto rs = db->OpenRecordset("Mum's \"best\" 100%");
        QCOMPARE(rs->FieldCount(), 2);
        db->DeleteTableDef("mum's \"BEST\" 100%"); // found regardless of letter case
        QCOMPARE(db->TableDefs(), QStringList{"late"});
        QCOMPARE(messageOf([&] { db->DeleteTableDef("Gone"); }),
                 QStringLiteral("The category \"Gone\" no longer exists."));
        QCOMPARE(messageOf([&] { db->OpenRecordset("Gone"); }),
                 QStringLiteral("The category \"Gone\" no longer exists."));
    }

    void recordsetWalksAndWritesInStoredOrder() {
        makeRaw(file(), kKey,
                "CREATE TABLE \"T [x] %2\" (Name, Author);"
                "INSERT INTO \"T [x] %2\" VALUES ('one', NULL);"
                "INSERT INTO \"T [x] %2\" VALUES (NULL, '');"
                "INSERT INTO \"T [x] %2\" VALUES ('three', 'c');"
                "CREATE TABLE Empty (Name)");
        auto db = Database::OpenDatabase(base());
        auto rs = db->OpenRecordset("T [x] %2");
        QCOMPARE(rs->RecordCount(), 3);
        rs->MoveFirst();
        QCOMPARE(rs->Fields(0), std::optional<QString>("one"));
        QCOMPARE(rs->Fields(1), std::nullopt); // missing, not empty
        rs->MoveNext();
        QCOMPARE(rs->Fields(0), std::nullopt);
        QCOMPARE(rs->Fields(1), std::optional<QString>(""));

        // Editing keeps the row's place; the walk goes on from it.
        rs->Edit();
        rs->SetField(0, QStringLiteral("two"));
        rs->Update();
        QCOMPARE(rs->Fields(0), std::optional<QString>("two"));
        rs->MoveNext();
        QCOMPARE(rs->Fields(0), std::optional<QString>("three"));

        // Adding appends; deleting leaves the recordset between its neighbours.
        rs->AddNew();
        rs->SetField(0, QStringLiteral("four"));
        rs->Update();
        rs->MoveFirst();
        rs->MoveNext();
        rs->Delete();
        QVERIFY_THROWS_EXCEPTION(StoreError, rs->Fields(0));
        rs->MoveNext();
        QCOMPARE(rs->Fields(0), std::optional<QString>("three"));
        rs->MoveNext();
        QCOMPARE(rs->Fields(0), std::optional<QString>("four"));
        rs->MoveNext();
        QVERIFY(rs->Eof());
        QVERIFY_THROWS_EXCEPTION(StoreError, rs->MoveNext());
        QCOMPARE(rs->RecordCount(), 3);
        QVERIFY_THROWS_EXCEPTION(StoreError, rs->Fields(2));
        QVERIFY_THROWS_EXCEPTION(StoreError, rs->SetField(0, QStringLiteral("no edit")));

        auto empty = db->OpenRecordset("Empty");
        QVERIFY(empty->Eof());
        QVERIFY(messageOf([&] { empty->MoveFirst(); }).contains("has no recipes"));

        // Closing the file closes its recordsets; closing twice is harmless.
        db->Close();
        db->Close();
        QVERIFY_THROWS_EXCEPTION(StoreError, rs->MoveFirst());
        rs->Close();
        rs->Close();
    }

    void aSideFileCommitsWithTheRecipeFileOrNotAtAll() {
        Database::CreateDatabase(base());
        const QString side = m_dir.filePath("Recipe.side");
        QFile::remove(side);
        auto db = Database::OpenDatabase(base());
        db->AppendTableDef([&] {
            TableDef def = db->CreateTableDef("Soups");
            def.AppendField(TableDef::CreateField("Name", dbText));
            return def;
        }());
        db->AttachSideFile("side", side);
        QVERIFY(QFile::exists(side));
        QVERIFY(!bytesOf(side).startsWith("SQLite format 3")); // encrypted like the recipe file
        db->Execute("CREATE TABLE side.notes (text TEXT)");

        // A failure inside the transaction takes back the recipe row and the side row alike.
        auto rs = db->OpenRecordset("Soups");
        auto addLeek = [&](bool fail) {
            db->Transaction([&] {
                rs->AddNew();
                rs->SetField(0, QString("Leek"));
                rs->Update();
                db->Execute("INSERT INTO side.notes VALUES (?1)", {QString("leek")});
                if (fail)
                    throw StoreError("stop");
            });
        };
        QCOMPARE(messageOf([&] { addLeek(true); }), QString("stop"));
        QCOMPARE(rs->RecordCount(), 0);
        QCOMPARE(db->Query("SELECT count(*) FROM side.notes").at(0).at(0).toInt(), 0);

        addLeek(false);
        QCOMPARE(rs->RecordCount(), 1);
        QCOMPARE(db->Query("SELECT text FROM side.notes").at(0).at(0).toString(), QString("leek"));
        // The side file's tables are never categories.
        QCOMPARE(db->TableDefs(), QStringList{"Soups"});
        rs.reset();
        db->Close();

        // Opened again, the side file takes the recipe file's key.
        auto again = Database::OpenDatabase(base());
        again->AttachSideFile("side", side);
        QCOMPARE(again->Query("SELECT count(*) FROM side.notes").at(0).at(0).toInt(), 1);
    }

    void aWriteWaitsForAnotherWriterThenFailsClearly() {
        makeRaw(file(), kKey, "CREATE TABLE Soups (Name); INSERT INTO Soups VALUES ('Leek ')");
        auto db = Database::OpenDatabase(base());
        auto rs = db->OpenRecordset("Soups");
        sqlite3* other = nullptr;
        sqlite3_open_v2(QFile::encodeName(file()).constData(), &other, SQLITE_OPEN_READWRITE,
                        nullptr);
        sqlite3_key(other, kKey.constData(), int(kKey.size()));
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        rs->Edit();
        rs->SetField(0, QStringLiteral("Onion "));
        const QString message = messageOf([&] { rs->Update(); });
        QVERIFY2(message.contains("busy") && message.contains("not saved"), qPrintable(message));
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        rs->MoveFirst();
        QCOMPARE(rs->Fields(0), std::optional<QString>("Leek "));
        rs->Edit();
        rs->SetField(0, QStringLiteral("Onion "));
        rs->Update();
        QCOMPARE(Database::OpenDatabase(base())->OpenRecordset("Soups")->Fields(0),
                 std::optional<QString>("Onion "));
    }

    void aFileReplacedUnderAnOpenConnectionIsNotCalledReadOnly() {
        makeRaw(file(), kKey, "CREATE TABLE Soups (Name); INSERT INTO Soups VALUES ('Leek ')");
        auto db = Database::OpenDatabase(base());
        auto rs = db->OpenRecordset("Soups");
        // Another program puts a file of its own in place, as a restore does.
        const QString other = m_dir.filePath("Other.mdb");
        makeRaw(other, kKey, "CREATE TABLE Soups (Name)");
        QVERIFY(QFile::remove(file()));
        QVERIFY(QFile::rename(other, file()));
        rs->Edit();
        rs->SetField(0, QStringLiteral("Onion "));
        const QString message = messageOf([&] { rs->Update(); });
        QVERIFY2(message.contains("replaced") && message.contains("not saved") &&
                     !message.contains("read-only"),
                 qPrintable(message));
    }
};

QTEST_MAIN(TestDatabase)
#include "test_database.moc"
