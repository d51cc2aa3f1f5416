// The contained reader: what it reads from real and generated files, the limits it runs under,
// and the checks of its stream.

#include "access/header.h"
#include "access/reader.h"
#include "core/store_error.h"
#include "tests/access/access_fixture.h"
#include "tests/support/files.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <fcntl.h>
#include <unistd.h>

using namespace kb;
using namespace kb::access;

namespace {

const SourceTable* table(const SourceFile& f, const QString& name) {
    for (const SourceTable& t : f.tables)
        if (t.name == name)
            return &t;
    return nullptr;
}

QStringList userTables(const SourceFile& f) {
    QStringList out;
    for (const SourceTable& t : f.tables)
        if (!t.isSystem())
            out << t.name;
    return out;
}

// A file of these bytes in dir.
QString fileOf(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString file = dir.filePath(QStringLiteral("r.mdb"));
    test::writeFile(file, bytes);
    return file;
}

QString failureOf(const QString& file, const QString& helper, const Limits& limits) {
    try {
        readAccessFile(file, helper, limits);
    } catch (const StoreError& e) {
        return e.message();
    }
    return {};
}

// A stream as the reader writes it.
struct StreamBuilder {
    QByteArray bytes = QByteArray("KBMDB01\n");
    static QByteArray u32(quint32 v) {
        v = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char*>(&v), 4);
    }
    StreamBuilder& rec(char tag, const QByteArray& payload) {
        bytes += tag + u32(static_cast<quint32>(payload.size())) + payload;
        return *this;
    }
    StreamBuilder& table(quint32 i, const QByteArray& name, quint32 rows) {
        return rec('T', u32(i) + u32(0) + u32(rows) + QByteArray("\x04\x00\x00", 3) + name);
    }
    StreamBuilder& row(quint32 i, const QByteArray& text) {
        QByteArray p = u32(i);
        for (int c = 0; c < 4; ++c)
            p += '\0' + u32(static_cast<quint32>(text.size())) + text;
        return rec('R', p);
    }
    StreamBuilder& end(quint32 i, quint32 rows) { return rec('E', u32(i) + u32(rows)); }
    StreamBuilder& done(quint32 tables) { return rec('Z', u32(tables)); }
};

} // namespace

class TestAccessReader : public QObject {
    Q_OBJECT

  private slots:
    void sampleFiles_data();
    void sampleFiles();
    void recipeFileValues();
    void memoAtAndOverTheBindSize_data();
    void memoAtAndOverTheBindSize();
    void faultsOfTheFileAreReported();
    void environmentDoesNotReachTheReader();
    void readerRunsShutIn();
    void stoppedReaders_data();
    void stoppedReaders();
    void streamChecks_data();
    void streamChecks();
    void mutatedStreamsNeverPass();
    void fuzzedFilesNeverHangOrChange();
};

void TestAccessReader::sampleFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<QString>("password");
    const QStringList four = {QStringLiteral("Table1"), QStringLiteral("Table2"),
                              QStringLiteral("Table3"), QStringLiteral("Table4")};
    const QStringList one = {QStringLiteral("Table1")};
    QTest::newRow("Jet 3") << "data_V1997_test.mdb" << int(FileKind::Jet3) << four << "";
    QTest::newRow("Jet 4 (2000)") << "data_V2000_test.mdb" << int(FileKind::Jet4) << four << "";
    QTest::newRow("Jet 4 (2003), no user table")
        << "data_V2003_empty.mdb" << int(FileKind::Jet4) << QStringList() << "";
    QTest::newRow("ACE") << "data_V2010_test.accdb" << int(FileKind::Ace) << four << "";
    QTest::newRow("Jet 3, no password")
        << "password_V1997_no-password.mdb" << int(FileKind::Jet3) << four << "";
    QTest::newRow("Jet 4 with password")
        << "password_V2000_with-password.mdb" << int(FileKind::Jet4) << one << "password";
    QTest::newRow("Jet 4 (2003) with password")
        << "password_V2003_with-password.mdb" << int(FileKind::Jet4) << one << "password";
}

void TestAccessReader::sampleFiles() {
    QFETCH(QString, file);
    QFETCH(int, kind);
    QFETCH(QStringList, tables);
    QFETCH(QString, password);
    const HeaderInfo h = readHeader(test::accessData(file));
    QCOMPARE(int(h.kind), kind);
    QVERIFY(!h.encrypted);
    if (h.kind != FileKind::Ace)
        QCOMPARE(h.password.value_or(QStringLiteral("?")), password);
    QCOMPARE(h.passwordIsOurs(), password.isEmpty());

    const SourceFile f = readAccessFile(test::accessData(file), test::readerHelper());
    QCOMPARE(userTables(f), tables);
    // System tables are listed with their flags, their rows are never read.
    const SourceTable* msys = table(f, QStringLiteral("MSysObjects"));
    QVERIFY(msys && msys->isSystem() && msys->rows.isEmpty());
    for (const QString& name : tables) {
        const SourceTable* t = table(f, name);
        QCOMPARE(t->rows.size(), t->storedRows);
    }
}

void TestAccessReader::recipeFileValues() {
    QTemporaryDir dir;
    const QList<jet::Table> tables = jet::recipeTables();
    QList<int> progress;
    const SourceFile f = readAccessFile(fileOf(dir, jet::writeJet4(tables)), test::readerHelper(),
                                        {}, [&](std::int64_t done, std::int64_t total) {
                                            progress << static_cast<int>(done * 100 / total);
                                            return true;
                                        });
    QVERIFY(!progress.isEmpty() && progress.last() == 100);
    QVERIFY(std::is_sorted(progress.begin(), progress.end()));

    QStringList want; // the file's own order, not sorted
    for (const jet::Table& t : tables)
        want << t.name;
    QCOMPARE(userTables(f), want);
    for (const jet::Table& jt : tables) {
        const SourceTable* t = table(f, jt.name);
        QCOMPARE(t->rows.size(), jt.rows.size());
        QCOMPARE(t->storedRows, jt.rows.size());
        for (qsizetype r = 0; r < jt.rows.size(); ++r) {
            const jet::Row& w = jt.rows[r];
            const std::array<std::optional<QString>, 4> values = {w.name, w.author, w.ingredients,
                                                                  w.instructions};
            for (int c = 0; c < 4; ++c) {
                QString expected = values[static_cast<size_t>(c)].value_or(QString());
                // A character outside the Basic Multilingual Plane comes back as "??".
                expected.replace(QStringLiteral("\U0001F336"), QStringLiteral("??"));
                QCOMPARE(t->rows[r][c].text, expected);
                QVERIFY(!t->rows[r][c].cut);
            }
        }
    }
    QVERIFY(table(f, QStringLiteral("Main Dishes"))->rows[0][2].text.size() > 16384);
}

void TestAccessReader::memoAtAndOverTheBindSize_data() {
    QTest::addColumn<qint64>("bindSize");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("cut");
    const qint64 old = 16384;
    const qint64 ours = Limits{}.bindSize;
    QTest::newRow("16384, our bind size") << ours << 16384 << false;
    QTest::newRow("200000, our bind size") << ours << 200000 << false;
    QTest::newRow("1000, old bind size") << old << 1000 << false;
    QTest::newRow("16384, old bind size") << old << 16384 << true;
}

void TestAccessReader::memoAtAndOverTheBindSize() {
    QFETCH(qint64, bindSize);
    QFETCH(int, length);
    QFETCH(bool, cut);
    QTemporaryDir dir;
    QString text;
    while (text.size() < length)
        text += QStringLiteral("Stir well.\n");
    text.truncate(length);
    jet::Table t;
    t.name = QStringLiteral("Long");
    t.rows = {{QStringLiteral("Long one"), QStringLiteral("A"), text, QStringLiteral("short")}};
    Limits limits;
    limits.bindSize = bindSize;
    const SourceFile f =
        readAccessFile(fileOf(dir, jet::writeJet4({t})), test::readerHelper(), limits);
    const Row& row = table(f, QStringLiteral("Long"))->rows[0];
    const Value& v = row[2];
    QCOMPARE(v.cut, cut);
    QVERIFY(!row[3].cut);
    if (cut)
        QVERIFY(v.text.size() < length && text.startsWith(v.text));
    else
        QCOMPARE(v.text, text);
}

void TestAccessReader::faultsOfTheFileAreReported() {
    QTemporaryDir dir;
    jet::Table counted;
    counted.name = QStringLiteral("Counted");
    counted.rows = {{QStringLiteral("a"), {}, {}, {}}, {QStringLiteral("b"), {}, {}, {}}};
    counted.storedRows = 5;
    jet::Table mapless;
    mapless.name = QStringLiteral("Mapless");
    mapless.rows = counted.rows;
    mapless.noPageMap = true;
    jet::Table narrow;
    narrow.name = QStringLiteral("Narrow");
    narrow.columns = 2;
    narrow.rows = {{QStringLiteral("n"), QStringLiteral("m"), QStringLiteral("x"), {}}};
    const SourceFile f = readAccessFile(fileOf(dir, jet::writeJet4({counted, mapless, narrow})),
                                        test::readerHelper());
    QCOMPARE(table(f, QStringLiteral("Counted"))->storedRows, 5);
    QCOMPARE(table(f, QStringLiteral("Counted"))->rows.size(), 2);
    // Refused, not walked: its definition has no page map.
    QCOMPARE(table(f, QStringLiteral("Mapless"))->status, 1);
    QVERIFY(table(f, QStringLiteral("Mapless"))->rows.isEmpty());
    const SourceTable* n = table(f, QStringLiteral("Narrow"));
    QCOMPARE(n->columns, 2);
    QCOMPARE(n->rows[0][1].text, QStringLiteral("m"));
    QVERIFY(n->rows[0][2].noColumn && n->rows[0][3].noColumn);
}

void TestAccessReader::environmentDoesNotReachTheReader() {
    QTemporaryDir dir;
    const QString file = fileOf(dir, jet::writeJet4(jet::recipeTables()));
    // These would change the library's decoding or make it print debug output.
    qputenv("MDBOPTS", "debug_all");
    qputenv("MDBICONV", "ISO-8859-1");
    qputenv("MDB_JET3_CHARSET", "KOI8-R");
    const QString wrapper = test::fakeHelper(
        dir.path(), "[ -z \"$MDBOPTS$MDBICONV$MDB_JET3_CHARSET$HOME$LANG\" ] || exit 9\nexec '" +
                        QFile::encodeName(test::readerHelper()) + "' \"$@\"");
    const SourceFile f = readAccessFile(file, wrapper);
    qunsetenv("MDBOPTS");
    qunsetenv("MDBICONV");
    qunsetenv("MDB_JET3_CHARSET");
    QCOMPARE(table(f, QStringLiteral("Soups"))->rows[1][1].text, QStringLiteral("Ольга Петрова"));
}

void TestAccessReader::readerRunsShutIn() {
    QTemporaryDir dir;
    const QString file = fileOf(dir, jet::writeJet4(jet::recipeTables()));
    // A descriptor of ours without close-on-exec, as a library might leave one.
    const int ours = ::open(QFile::encodeName(file).constData(), O_RDONLY);
    QVERIFY(ours >= 0);
    const SourceFile f = readAccessFile(file, QStringLiteral(KB_READER_PROBE));
    ::close(ours);
    const QStringList ways = userTables(f);
    if (ways == QStringList{QStringLiteral("no filter")})
        QSKIP("This kernel refuses system-call filters");
    QVERIFY2(ways.isEmpty(), qPrintable(ways.join(QStringLiteral(", "))));
    QVERIFY(!QFileInfo::exists(file + QStringLiteral(".written")));
}

void TestAccessReader::stoppedReaders_data() {
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("wallMs");
    QTest::newRow("hangs") << QByteArray("exec /bin/sleep 30") << "took too long" << 0;
    QTest::newRow("floods its output")
        << QByteArray("printf 'KBMDB01\\nR\\000\\000\\000\\004'; exec /bin/cat /dev/zero")
        << "far more" << 0;
    QTest::newRow("spins past its CPU time")
        << QByteArray("while :; do :; done") << "stopped on the file's damaged contents" << 60000;
    QTest::newRow("crashes") << QByteArray("kill -SEGV $$") << "stopped on the file's damaged" << 0;
    QTest::newRow("fails") << QByteArray("exit 2") << "not an Access database" << 0;
    QTest::newRow("writes nonsense")
        << QByteArray("printf 'hello, world'") << "does not start as it should" << 0;
    QTest::newRow("stops half-way")
        << QByteArray("printf 'KBMDB01\\nV\\001\\000\\000\\000\\001'") << "ends too early" << 0;
    // It may not write files: the first byte ends it.
    QTest::newRow("writes a file") << QByteArray("printf x > \"$1.written\"; printf 'KBMDB01\\n'")
                                   << "stopped on the file's damaged" << 0;
}

void TestAccessReader::stoppedReaders() {
    QFETCH(QByteArray, script);
    QFETCH(QString, message);
    QFETCH(int, wallMs);
    QTemporaryDir dir;
    const QString file = fileOf(dir, jet::writeJet4(jet::recipeTables()));
    Limits limits;
    // The reader that spins must meet its CPU limit first, on however busy a machine.
    limits.wallMs = wallMs ? wallMs : 1500;
    limits.cpuSeconds = 1;
    limits.outputBytes = 1 << 20;
    QElapsedTimer clock;
    clock.start();
    const QString error = failureOf(file, test::fakeHelper(dir.path(), script), limits);
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(error.contains(QStringLiteral("can't be read")));
    QVERIFY(clock.elapsed() < limits.wallMs + 5000);
    QCOMPARE(QFileInfo(file + QStringLiteral(".written")).size(), 0);
}

void TestAccessReader::streamChecks_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<bool>("good");
    const auto base = [] { return StreamBuilder().rec('V', "\x01").table(0, "Soups", 1); };
    QTest::newRow("whole") << base().row(0, "Tomato").end(0, 1).done(1).bytes << true;
    QTest::newRow("no end") << base().row(0, "Tomato").end(0, 1).bytes << false;
    QTest::newRow("table not finished") << base().row(0, "Tomato").done(1).bytes << false;
    QTest::newRow("row of no table") << base().row(3, "Tomato").end(0, 0).done(1).bytes << false;
    QTest::newRow("count differs") << base().row(0, "Tomato").end(0, 2).done(1).bytes << false;
    QTest::newRow("table after rows")
        << base().row(0, "x").table(1, "Late", 0).end(0, 1).done(2).bytes << false;
    QTest::newRow("not UTF-8") << base().row(0, "\xc3\x28").end(0, 1).done(1).bytes << false;
    QTest::newRow("table count differs") << base().row(0, "x").end(0, 1).done(2).bytes << false;
    QTest::newRow("more after the end")
        << base().row(0, "x").end(0, 1).done(1).rec('V', "\x01").bytes << false;
    QTest::newRow("unknown record") << base().rec('Q', "").bytes << false;
    QByteArray huge = base().bytes + 'R' + StreamBuilder::u32(0xfffffff0U);
    QTest::newRow("impossible length") << huge << false;
}

void TestAccessReader::streamChecks() {
    QFETCH(QByteArray, stream);
    QFETCH(bool, good);
    // Fed in small pieces, as a pipe delivers it.
    StreamParser p;
    for (qsizetype at = 0; at < stream.size(); at += 7)
        p.feed(stream.constData() + at, std::min<qsizetype>(7, stream.size() - at));
    QCOMPARE(p.finish(), good);
    QCOMPARE(p.error().isEmpty(), good);
}

void TestAccessReader::mutatedStreamsNeverPass() {
    const QByteArray good = StreamBuilder()
                                .rec('V', "\x01")
                                .table(0, "Soups", 2)
                                .row(0, "Tomato")
                                .row(0, "Leek")
                                .end(0, 2)
                                .done(1)
                                .bytes;
    QRandomGenerator rng(13);
    int passed = 0;
    for (int i = 0; i < 3000; ++i) {
        QByteArray s = good;
        const int flips = 1 + rng.bounded(4);
        for (int f = 0; f < flips; ++f)
            s[rng.bounded(static_cast<int>(s.size()))] = static_cast<char>(rng.bounded(256));
        if (rng.bounded(4) == 0)
            s.truncate(rng.bounded(static_cast<int>(s.size())));
        StreamParser p;
        p.feed(s.constData(), s.size());
        if (p.finish()) {
            ++passed;
            // Whatever passes is whole: every table finished, every count right.
            const SourceFile f = p.take();
            for (const SourceTable& t : f.tables)
                QVERIFY(t.ended || t.status != 0 || t.isSystem());
        }
    }
    QVERIFY(passed < 3000);
}

void TestAccessReader::fuzzedFilesNeverHangOrChange() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("fuzz.mdb"));
    jet::Table t;
    t.name = QStringLiteral("Soups");
    t.rows = jet::recipeTables().first().rows;
    const QByteArray original = jet::writeJet4({t, jet::recipeTables()[1]});
    Limits limits;
    limits.wallMs = 3000;
    limits.cpuSeconds = 2;
    QRandomGenerator rng(2026);
    int read = 0, refused = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 200; ++i) {
        QByteArray m = original;
        const int flips = 1 + rng.bounded(24);
        for (int f = 0; f < flips; ++f) {
            // Mostly the catalogue and table definitions, where a reader is most fragile.
            const int page = rng.bounded(4) == 0 ? rng.bounded(static_cast<int>(m.size() / 4096))
                                                 : 2 + rng.bounded(8);
            const int at = page * 4096 + rng.bounded(rng.bounded(2) ? 128 : 4096);
            if (at < m.size())
                m[at] = static_cast<char>(rng.bounded(256));
        }
        test::writeFile(file, m);
        try {
            readAccessFile(file, test::readerHelper(), limits);
            ++read;
        } catch (const StoreError& e) {
            QVERIFY(e.message().contains(QStringLiteral("can't be read")));
            ++refused;
        }
        QCOMPARE(test::fileBytes(file), m);
    }
    qInfo("fuzzed files: %d read, %d refused, %lld ms", read, refused,
          static_cast<long long>(clock.elapsed()));
}

QTEST_GUILESS_MAIN(TestAccessReader)
#include "test_reader.moc"
