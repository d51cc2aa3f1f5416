#include "core/appfolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/files.h"

using namespace kb;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

bool never(const QString&) {
    return false;
}

} // namespace

// Which folder the program keeps its recipes in, and the starter file a new user is given.
// As root every permission bit is overridden, so an unwritable program folder is stood in for
// by the `writable` argument; folderIsWritable itself is tried on places nobody can write to.
class TestAppFolder : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        m_program = m_root->filePath(QStringLiteral("bin"));
        m_data = m_root->filePath(QStringLiteral("home/.local/share/Kettlebox"));
        m_starter = m_root->filePath(QStringLiteral("share/kettlebox/Recipe.mdb"));
        QVERIFY(QDir().mkpath(m_program));
        QVERIFY(QDir().mkpath(QFileInfo(m_starter).path()));
        writeFile(m_starter, "starter");
    }

    void programFolderWins() {
        const AppFolderPlaces places{m_program, m_data, m_starter};
        // Holding Recipe.mdb: the program's folder, writable or not.
        writeFile(m_program + QStringLiteral("/Recipe.mdb"), "mine");
        QCOMPARE(resolveAppFolder(places, never), m_program);
        QFile::remove(m_program + QStringLiteral("/Recipe.mdb"));
        // Writable and empty: still the program's folder, and nothing is copied anywhere.
        QCOMPARE(resolveAppFolder(places), m_program);
        QVERIFY(!QFileInfo::exists(m_program + QStringLiteral("/Recipe.mdb")));
        QVERIFY(!QFileInfo::exists(m_data));
    }

    void unwritableFolderTurnsToTheDataFolder() {
        const AppFolderPlaces places{m_program, m_data, m_starter};
        QCOMPARE(resolveAppFolder(places, never), m_data);
        const QString copy = m_data + QStringLiteral("/Recipe.mdb");
        QCOMPARE(test::fileBytes(copy), QByteArray("starter"));
        QCOMPARE(QFile::permissions(copy) & 0x0777, QFileDevice::ReadUser | QFileDevice::WriteUser);
        // No work file is left beside it.
        QCOMPARE(QDir(m_data).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Recipe.mdb")});
        QVERIFY(!QFileInfo::exists(m_program + QStringLiteral("/Recipe.mdb")));
    }

    void installedCopyAlwaysUsesTheDataFolder() {
        // Run by root, /usr/bin is writable, and may even hold a file an earlier version left.
        AppFolderPlaces places{m_program, m_data, m_starter};
        places.installed = true;
        writeFile(m_program + QStringLiteral("/Recipe.mdb"), "left behind");
        QCOMPARE(resolveAppFolder(places), m_data);
        QCOMPARE(test::fileBytes(m_data + QStringLiteral("/Recipe.mdb")), QByteArray("starter"));
        QCOMPARE(QDir(m_program).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Recipe.mdb")});
    }

    void starterIsCopiedOnceAndNeverOverAFile() {
        const AppFolderPlaces places{m_program, m_data, m_starter};
        QCOMPARE(resolveAppFolder(places, never), m_data);
        const QString copy = m_data + QStringLiteral("/Recipe.mdb");
        writeFile(copy, "the user's recipes");
        writeFile(m_starter, "a newer starter");
        QCOMPARE(resolveAppFolder(places, never), m_data);
        QCOMPARE(test::fileBytes(copy), QByteArray("the user's recipes"));
        QVERIFY(provideStarterFile(m_starter, m_data));
        QCOMPARE(test::fileBytes(copy), QByteArray("the user's recipes"));
    }

    void missingStarterLeavesTheFolderEmpty() {
        const AppFolderPlaces places{m_program, m_data, m_root->filePath(QStringLiteral("none"))};
        QCOMPARE(resolveAppFolder(places, never), m_data);
        QVERIFY(QFileInfo(m_data).isDir());
        QVERIFY(QDir(m_data).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        QVERIFY(!provideStarterFile(QString(), m_data));
    }

    void writableIsTriedNotGuessed() {
        QVERIFY(folderIsWritable(m_program));
        QVERIFY(QDir(m_program).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        QVERIFY(!folderIsWritable(m_root->filePath(QStringLiteral("missing"))));
        QVERIFY(!folderIsWritable(m_starter)); // a file, not a folder
        // Not even root can make a file here.
        QVERIFY(!folderIsWritable(QStringLiteral("/proc")));
    }

  private:
    std::unique_ptr<QTemporaryDir> m_root;
    QString m_program, m_data, m_starter;
};

QTEST_GUILESS_MAIN(TestAppFolder)
#include "test_appfolder.moc"
