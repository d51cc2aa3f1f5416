#include "core/database.h"

#include "core/busywait.h"
#include "core/recipefile.h"
#include "core/store_error.h"

#include <QCollator>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMutex>
#include <QStorageInfo>
#include <QVariant>

#include <cerrno>
#include <cstring>
#include <limits>
#include <openssl/evp.h>
#include <sqlite3.h>
#include <unistd.h>

#ifndef SQLITE_HAS_CODEC
#error "the recipe file needs SQLCipher's sqlite3.h with its codec API"
#endif

namespace kb {

namespace {

// The file format: SQLCipher 3's defaults, so that one file opens with SQLCipher 3 and 4.
constexpr int kKdfIterations = 64000;
constexpr int kKeyBytes = 32;
constexpr int kSaltBytes = 16;
constexpr qint64 kPageSize = 1024;
// Marks files made by this program, so that a look at the header tells them apart.
constexpr int kApplicationId = 0x4b42524e;

std::chrono::milliseconds g_busyTimeout{5000};

const QString kMain = QStringLiteral("main");

QString passwordOf(const QString& connect) {
    for (const QString& part : connect.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq > 0 &&
            part.left(eq).trimmed().compare(QLatin1String("pwd"), Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1);
    }
    return {};
}

QString fileOf(const QString& path) {
    return path + QLatin1String(".mdb");
}

QString nativeName(const QString& fileName) {
    return QDir::toNativeSeparators(fileName);
}

// Key derivation costs tens of milliseconds; a file's key only changes with its salt.
QByteArray derivedKey(const QString& fileName, const QString& password, const QByteArray& salt) {
    static QMutex mutex;
    static QHash<QString, QByteArray> cache;
    const QString id =
        QFileInfo(fileName).absoluteFilePath() + QLatin1Char('\n') +
        QString::fromLatin1(salt.toHex()) + QLatin1Char('\n') +
        QString::fromLatin1(
            QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1).toHex());
    QMutexLocker lock(&mutex);
    auto it = cache.constFind(id);
    if (it != cache.constEnd())
        return *it;
    // libcrypto is in the process through SQLCipher already, and derives several times faster
    // than a hand-rolled loop over QMessageAuthenticationCode.
    const QByteArray utf8 = password.toUtf8();
    QByteArray key(kKeyBytes, Qt::Uninitialized);
    if (PKCS5_PBKDF2_HMAC_SHA1(utf8.constData(), static_cast<int>(utf8.size()),
                               reinterpret_cast<const unsigned char*>(salt.constData()),
                               static_cast<int>(salt.size()), kKdfIterations,
                               static_cast<int>(key.size()),
                               reinterpret_cast<unsigned char*>(key.data())) != 1)
        throw StoreError(QStringLiteral("The key of the recipe file could not be derived."));
    cache.insert(id, key);
    return key;
}

} // namespace

QString quotedIdentifier(const QString& identifier) {
    QString out = identifier;
    out.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

namespace detail {

// What a statement does: the header pragmas read or set the first page only and must not make
// the connection parse the schema; failures are worded by whether a change was being written.
enum class Access { Read, Write, HeaderRead, HeaderWrite };

constexpr bool writes(Access a) {
    return a == Access::Write || a == Access::HeaderWrite;
}
constexpr bool parsesSchema(Access a) {
    return a == Access::Read || a == Access::Write;
}

struct Connection {
    sqlite3* db = nullptr;
    QString fileName;

    ~Connection() { close(); }
    bool isOpen() const { return db != nullptr; }
    void close() {
        if (db) {
            // Statements still held by recordsets are finalized by them; close_v2 waits for that.
            sqlite3_close_v2(db);
            db = nullptr;
        }
    }

    [[noreturn]] void fail(int rc, Access access) const;
    void exec(const char* sql, Access access) const;
    void requireLiveTransaction(Access access) const;

    // Settings whose pragmas parse the whole schema. They are applied just before the first
    // statement that parses it anyway, so that an open by itself stays cheap in a file of many
    // categories.
    void prepareForWork() const;
    mutable bool prepared = false;
    // The raw key the file was opened with; side files attached to it share it.
    QByteArray rawKey;
    // The file's salt, which a copy made by the backup interface must carry too.
    QByteArray salt;
    // Writes made while an explicit transaction is open join it instead of committing alone.
    mutable int transactionDepth = 0;
    // Set when the last commit was made but the disk failed to confirm it afterwards.
    mutable QString unconfirmed;
};

[[noreturn]] void Connection::fail(int rc, Access access) const {
    const bool writing = writes(access);
    const QString file = nativeName(fileName);
    const QString detail = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
    const int primary = rc & 0xff;
    // What the system said beneath the engine's code tells a full disk or a failing one from
    // a folder that can't be written to or a file that is not ours.
    const int system = db ? sqlite3_system_errno(db) : 0;
    const bool fromSystem = primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN ||
                            primary == SQLITE_FULL || primary == SQLITE_NOTADB ||
                            primary == SQLITE_CORRUPT || primary == SQLITE_READONLY;
    if (fromSystem && (system == ENOSPC || system == EDQUOT))
        throw StoreError(writing ? QStringLiteral("The disk is full, so the change was not saved.")
                                 : QStringLiteral("The recipe file \"%1\" could not be read: "
                                                  "the disk is full.")
                                       .arg(file));
    if (fromSystem && system == EIO)
        throw StoreError(
            QStringLiteral("The recipe file \"%1\" could not be %2: the disk reported an error.")
                .arg(file, writing ? QStringLiteral("written") : QStringLiteral("read")));
    // A journal left by an interrupted change must be played back before the file can be read;
    // a read-only file can't take that, though nothing was about to be written.
    if (rc == SQLITE_READONLY_ROLLBACK || rc == SQLITE_READONLY_RECOVERY)
        throw StoreError(QStringLiteral("The recipe file \"%1\" can't be used: an interrupted "
                                        "change left \"%2\" beside it, which must be undone "
                                        "first, but the file is read-only. Make the file and "
                                        "its folder writable, then try again.")
                             .arg(file, nativeName(fileName + QStringLiteral("-journal"))));
    switch (primary) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw StoreError(
            QStringLiteral("The recipe file \"%1\" is busy: another program is using it%2. "
                           "Please try again in a moment.")
                .arg(file, writing ? QStringLiteral(", so the change was not saved") : QString()));
    case SQLITE_READONLY:
        // The engine falls back to reading alone when a file can't be opened for writing, and
        // says read-only for a file moved away under it: neither is a read-only file.
        if (db && sqlite3_extended_errcode(db) == SQLITE_READONLY_DBMOVED)
            throw StoreError(QStringLiteral("The recipe file \"%1\" was moved or replaced by "
                                            "another program while it was open, so the change "
                                            "was not saved. Open it again, then repeat the "
                                            "change.")
                                 .arg(file));
        if (::access(QFile::encodeName(fileName).constData(), W_OK) == 0)
            throw StoreError(QStringLiteral("The recipe file \"%1\" could not be opened for "
                                            "writing: the disk may be full or failing, so the "
                                            "change was not saved.")
                                 .arg(file));
        throw StoreError(
            QStringLiteral("The recipe file \"%1\" is read-only, so the change was not saved.")
                .arg(file));
    case SQLITE_FULL:
        throw StoreError(QStringLiteral("The disk is full, so the change was not saved."));
    case SQLITE_CANTOPEN:
        if (writing) {
            // The engine retries a failed open read-only, so the system's reason is gone by
            // now; the folder itself tells whether it is the cause.
            const QString folder = QFileInfo(fileName).absolutePath();
            if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
                throw StoreError(QStringLiteral("The change was not saved: the folder of the "
                                                "recipe file \"%1\" can't be written to.")
                                     .arg(file));
            const QStorageInfo disk(folder);
            if (disk.isValid() && disk.bytesAvailable() < kPageSize * 16)
                throw StoreError(QStringLiteral("The disk is full, so the change was not saved."));
            throw StoreError(QStringLiteral("The change was not saved: the file that guards a "
                                            "change, \"%1\", could not be made beside the "
                                            "recipe file. The disk may be full or failing.")
                                 .arg(nativeName(fileName + QStringLiteral("-journal"))));
        }
        throw StoreError(QStringLiteral("The recipe file \"%1\" can't be opened.").arg(file));
    case SQLITE_NOTADB:
        throw StoreError(QStringLiteral("\"%1\" is not a Kettlebox recipe file, or its password "
                                        "does not match.")
                             .arg(file));
    case SQLITE_CORRUPT:
        throw StoreError(QStringLiteral("The recipe file \"%1\" is damaged.").arg(file));
    case SQLITE_IOERR:
        throw StoreError(
            QStringLiteral("The recipe file \"%1\" could not be %2: the disk reported an error.")
                .arg(file, writing ? QStringLiteral("written") : QStringLiteral("read")));
    default:
        throw StoreError(
            QStringLiteral("The recipe file \"%1\" could not be %2 (%3).")
                .arg(file, writing ? QStringLiteral("changed") : QStringLiteral("read"), detail));
    }
}

void Connection::prepareForWork() const {
    if (prepared || !db)
        return;
    prepared = true;
    exec("PRAGMA synchronous = FULL", Access::HeaderWrite);
    // Every page is decrypted on its way into the cache; a cache that holds a whole category
    // lets a count of its rows and the walk over them share one decryption.
    exec("PRAGMA cache_size = -16384", Access::HeaderRead);
}

void Connection::requireLiveTransaction(Access access) const {
    // A failed write may make the engine roll the whole transaction back by itself; a write
    // after that would run on its own and commit half a change. Nothing runs past the first
    // failure.
    if (writes(access) && transactionDepth > 0 && db && sqlite3_get_autocommit(db) != 0)
        throw StoreError(QStringLiteral("The change was not saved: a step of it failed, and the "
                                        "recipe file \"%1\" was left as it was before.")
                             .arg(nativeName(fileName)));
}

void Connection::exec(const char* sql, Access access) const {
    requireLiveTransaction(access);
    if (parsesSchema(access))
        prepareForWork();
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, access);
}

} // namespace detail

using detail::Access;
using detail::Connection;

namespace {

// One prepared statement, finalized when it goes.
class Statement {
  public:
    Statement() = default;
    Statement(const Connection& c, const QString& sql, Access access) : m_conn(&c) {
        c.requireLiveTransaction(access);
        if (parsesSchema(access))
            c.prepareForWork();
        const QByteArray utf8 = sql.toUtf8();
        const int rc = sqlite3_prepare_v2(c.db, utf8.constData(), static_cast<int>(utf8.size()),
                                          &m_stmt, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            c.fail(rc, access);
        }
    }
    Statement(Statement&& other) noexcept { *this = std::move(other); }
    Statement& operator=(Statement&& other) noexcept {
        std::swap(m_stmt, other.m_stmt);
        std::swap(m_conn, other.m_conn);
        return *this;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }

    explicit operator bool() const { return m_stmt != nullptr; }
    sqlite3_stmt* get() const { return m_stmt; }
    void reset() const {
        if (m_stmt) {
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
        }
    }
    void bind(int i, const std::optional<QString>& value) const {
        if (!value) {
            sqlite3_bind_null(m_stmt, i);
            return;
        }
        const QByteArray utf8 = value->toUtf8();
        sqlite3_bind_text(m_stmt, i, utf8.constData(), static_cast<int>(utf8.size()),
                          SQLITE_TRANSIENT);
    }
    void bind(int i, std::int64_t value) const { sqlite3_bind_int64(m_stmt, i, value); }
    // True for a row, false when done; throws on failure (and resets the statement).
    bool step(Access access) const {
        m_conn->requireLiveTransaction(access);
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        sqlite3_reset(m_stmt);
        m_conn->fail(rc, access);
    }
    std::optional<QString> text(int column) const {
        if (sqlite3_column_type(m_stmt, column) == SQLITE_NULL)
            return std::nullopt;
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
    }

  private:
    sqlite3_stmt* m_stmt = nullptr;
    const Connection* m_conn = nullptr;
};

// Opens a write transaction that holds the write lock of `schema` from the start, waiting
// (busy timeout) for another writer instead of failing at once. BEGIN IMMEDIATE would lock every
// attached side file as well, and a commit over several locked files goes through a
// super-journal even when one alone changed: three more syncs on every Save. The others are
// locked as they are first written; every writer locks the recipe file first, so none holds a
// side file another is waiting for. A schema without a table to lock by falls back to locking
// everything.
void beginWrite(const Connection& c, const QString& schema) {
    QString table;
    {
        Statement st(
            c,
            QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type = 'table' "
                           "AND substr(name, 1, 7) <> 'sqlite_' AND sql NOT LIKE 'CREATE VIRTUAL%' "
                           "LIMIT 1")
                .arg(quotedIdentifier(schema)),
            Access::Read);
        if (st.step(Access::Read))
            table = st.text(0).value_or(QString());
    }
    if (!table.isEmpty()) {
        c.exec("BEGIN", Access::Write);
        // Takes the lock and changes nothing: no page is written for it.
        const QByteArray lock = QStringLiteral("DELETE FROM %1.%2 WHERE 0")
                                    .arg(quotedIdentifier(schema), quotedIdentifier(table))
                                    .toUtf8();
        const int rc = sqlite3_exec(c.db, lock.constData(), nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            return;
        // Only a table dropped by another program in between is worth the other way; the
        // words of any other failure are taken before the rollback clears them.
        try {
            if ((rc & 0xff) != SQLITE_ERROR)
                c.fail(sqlite3_extended_errcode(c.db), Access::Write);
        } catch (...) {
            sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    c.exec("BEGIN IMMEDIATE", Access::Write);
}

// A write as one transaction: whatever fails is rolled back so the file keeps its last good
// state. Inside an explicit transaction the body joins it, so that several writes (a recipe and
// its history, say) commit together or not at all.
template <typename Fn>
void writeTransaction(const Connection& c, const QString& lockSchema, Fn&& body) {
    if (c.transactionDepth > 0) {
        body();
        return;
    }
    c.unconfirmed.clear();
    beginWrite(c, lockSchema);
    ++c.transactionDepth;
    try {
        body();
        --c.transactionDepth;
        const int rc = sqlite3_exec(c.db, "COMMIT", nullptr, nullptr, nullptr);
        // A change over several files is committed when the file that ties their journals
        // together is removed; a failed sync of the folder after that leaves it committed,
        // only not yet confirmed by the disk.
        if (rc != SQLITE_OK && sqlite3_extended_errcode(c.db) == SQLITE_IOERR_DIR_FSYNC) {
            c.unconfirmed =
                QStringLiteral("The change is in the recipe file \"%1\", but the disk reported "
                               "an error as it was being stored for good: should the computer "
                               "stop suddenly, it may be lost. The disk may be failing.")
                    .arg(nativeName(c.fileName));
            return;
        }
        if (rc != SQLITE_OK)
            c.fail(rc, Access::Write);
    } catch (...) {
        c.transactionDepth = 0;
        sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

QString missingCategory(const QString& name) {
    return QStringLiteral("The category \"%1\" no longer exists.").arg(name);
}

QStringList allTables(const Connection& c) {
    Statement st(c, QStringLiteral("SELECT name FROM main.sqlite_master WHERE type = 'table'"),
                 Access::Read);
    QStringList names;
    while (st.step(Access::Read))
        names << st.text(0).value_or(QString());
    return names;
}

bool isInternal(const QString& name) {
    return name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

// SQLCipher sets its crypto library up when a keyed connection opens and tears it down again
// when the last one closes. One keyed in-memory database held for the life of the process keeps
// that set-up, so each short open of the recipe file costs only the open itself.
void keepCipherReady() {
    struct Anchor {
        sqlite3* db = nullptr;
        Anchor() {
            if (sqlite3_open(":memory:", &db) == SQLITE_OK)
                sqlite3_key(db, "kettlebox", 9);
        }
        ~Anchor() { sqlite3_close(db); }
    };
    static Anchor anchor;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Database

Database::Database(std::shared_ptr<Connection> connection)
    : m_connection(std::move(connection)), m_fileName(m_connection->fileName) {}

Database::~Database() {
    Close();
}

void Database::setBusyTimeout(std::chrono::milliseconds timeout) {
    g_busyTimeout = timeout;
}
std::chrono::milliseconds Database::busyTimeout() {
    return g_busyTimeout;
}

namespace {

// Waits for another program's lock in short steps up to the busy timeout, and says once that
// the wait began, so that the window can show it is busy rather than frozen.
int waitWhileBusy(void*, int attempt) {
    constexpr int kStepMs = 10;
    if (attempt == 0)
        notifyBusyWait();
    if (std::chrono::milliseconds(static_cast<long long>(attempt) * kStepMs) >= g_busyTimeout)
        return 0;
    sqlite3_sleep(kStepMs);
    return 1;
}

// Opens `fileName` and keys it; `flags` say whether a missing file may be made. The key is a
// passphrase for a new file and the raw key, "x'…'", for an existing one. Checks that the
// SQLite in the process is SQLCipher's, which is the only one that may be there: a plain one
// would ignore the key silently.
std::shared_ptr<Connection> openUnkeyed(const QString& fileName, int flags, Access access) {
    keepCipherReady();
    auto conn = std::make_shared<Connection>();
    conn->fileName = fileName;
    const QByteArray utf8Name = QFile::encodeName(fileName);
    const int rc = sqlite3_open_v2(utf8Name.constData(), &conn->db, flags, nullptr);
    if (rc != SQLITE_OK)
        conn->fail(rc, access);
    sqlite3_busy_handler(conn->db, waitWhileBusy, nullptr);
    return conn;
}

void setKey(Connection& conn, const QByteArray& key) {
    if (key.isEmpty() ||
        sqlite3_key(conn.db, key.constData(), static_cast<int>(key.size())) != SQLITE_OK)
        throw StoreError(QStringLiteral("The recipe file \"%1\" can't be opened: its key could "
                                        "not be set.")
                             .arg(nativeName(conn.fileName)));
    Statement st(conn, QStringLiteral("PRAGMA cipher_version"), Access::HeaderRead);
    const QString version = st.step(Access::Read) ? st.text(0).value_or(QString()) : QString();
    if (version.isEmpty())
        throw StoreError(QStringLiteral("This program was built without the encryption the "
                                        "recipe file needs."));
    if (version.section(QLatin1Char('.'), 0, 0).toInt() >= 4)
        conn.exec("PRAGMA cipher_compatibility = 3", Access::HeaderRead);
}

std::shared_ptr<Connection> openKeyed(const QString& fileName, int flags, const QByteArray& key,
                                      Access access) {
    auto conn = openUnkeyed(fileName, flags, access);
    setKey(*conn, key);
    return conn;
}

// The first bytes of the file, read through the connection's own file handle. A second handle
// of our own would be worse than redundant: closing it drops every POSIX lock this process
// holds on the file, another connection's write lock included.
QByteArray headerThroughEngine(const Connection& conn, int bytes) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(conn.db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods)
        return {};
    QByteArray header(bytes, '\0');
    if (file->pMethods->xRead(file, header.data(), bytes, 0) != SQLITE_OK)
        return {};
    return header;
}

// Makes a new encrypted file at `fileName` under a temporary name, moved in place only when it
// is complete, so a failure never leaves a half-made file behind. `key` is as for openKeyed.
void createKeyed(const QString& fileName, const QByteArray& key) {
    const QString shown = nativeName(fileName);
    const QString temp = fileName + QLatin1String(".new");
    QFile::remove(temp);
    QFile::remove(temp + QLatin1String("-journal"));
    try {
        auto conn =
            openKeyed(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, key, Access::HeaderWrite);
        conn->exec("PRAGMA journal_mode = DELETE", Access::HeaderWrite);
        // Writing the header makes the file a full page long from the start.
        const QByteArray id = "PRAGMA application_id = " + QByteArray::number(kApplicationId);
        conn->exec(id.constData(), Access::HeaderWrite);
    } catch (...) {
        QFile::remove(temp);
        throw;
    }
    if (QFileInfo::exists(fileName) || !QFile::rename(temp, fileName)) {
        QFile::remove(temp);
        throw StoreError(
            QStringLiteral("\"%1\" already exists or can't be written; nothing was changed.")
                .arg(shown));
    }
}

} // namespace

std::unique_ptr<Database> Database::OpenDatabase(const QString& path, const QString& connect) {
    const QString fileName = fileOf(path);
    const QString shown = nativeName(fileName);
    const QFileInfo info(fileName);
    if (!info.exists())
        throw StoreError(QStringLiteral("The recipe file \"%1\" is missing. A new one can be made "
                                        "with \"kettlebox-db init\".")
                             .arg(shown));
    if (!info.isFile())
        throw StoreError(QStringLiteral("\"%1\" is not a Kettlebox recipe file.").arg(shown));

    // Look at the header first: an empty or plain file must be refused before SQLCipher is
    // keyed on it, or a later write would turn it into a new encrypted file.
    if (info.size() < kPageSize)
        throw StoreError(
            QStringLiteral("\"%1\" is not a Kettlebox recipe file (it is empty or too short).")
                .arg(shown));
    auto conn = openUnkeyed(fileName, SQLITE_OPEN_READWRITE, Access::Read);
    const QByteArray salt = headerThroughEngine(*conn, kSaltBytes);
    if (salt.size() < kSaltBytes)
        throw StoreError(QStringLiteral("The recipe file \"%1\" can't be read.").arg(shown));
    if (salt.startsWith(QByteArrayLiteral("SQLite format 3")))
        throw StoreError(QStringLiteral("\"%1\" is an unprotected database, not a Kettlebox "
                                        "recipe file.")
                             .arg(shown));

    const QByteArray key = "x'" + derivedKey(fileName, passwordOf(connect), salt).toHex() + "'";
    setKey(*conn, key);
    conn->rawKey = key;
    conn->salt = salt;
    // A wrong key only shows at the first read. The header field reads the first page (and so
    // checks the key) without parsing the whole schema, which only the work that follows needs.
    {
        Statement st(*conn, QStringLiteral("PRAGMA user_version"), Access::HeaderRead);
        st.step(Access::Read);
    }
    return std::unique_ptr<Database>(new Database(std::move(conn)));
}

void Database::CreateDatabase(const QString& path, const QString& connect) {
    const QString fileName = fileOf(path);
    if (QFileInfo::exists(fileName))
        throw StoreError(QStringLiteral("\"%1\" already exists; it was left as it is.")
                             .arg(nativeName(fileName)));
    const QByteArray password = passwordOf(connect).toUtf8();
    if (password.isEmpty())
        throw StoreError(QStringLiteral("A recipe file needs a password."));
    createKeyed(fileName, password);
}

void Database::AttachSideFile(const QString& schema, const QString& fileName) {
    requireOpen();
    if (!QFileInfo::exists(fileName)) {
        createKeyed(fileName, m_connection->rawKey);
        matchRecipeFileMode(m_fileName, fileName);
    }
    Statement st(*m_connection,
                 QStringLiteral("ATTACH DATABASE ?1 AS %1 KEY ?2").arg(quotedIdentifier(schema)),
                 Access::HeaderRead);
    st.bind(1, std::optional<QString>(fileName));
    sqlite3_bind_text(st.get(), 2, m_connection->rawKey.constData(),
                      static_cast<int>(m_connection->rawKey.size()), SQLITE_TRANSIENT);
    st.step(Access::Read);
    // The first read of the side file is where a wrong key or a foreign file shows.
    Statement check(
        *m_connection,
        QStringLiteral("SELECT count(*) FROM %1.sqlite_master").arg(quotedIdentifier(schema)),
        Access::HeaderRead);
    check.step(Access::Read);
}

bool Database::IsSideFileOfAnother(const QString& fileName) const {
    requireOpen();
    if (!QFileInfo(fileName).isFile())
        return false;
    try {
        auto side = openKeyed(fileName, SQLITE_OPEN_READONLY, m_connection->rawKey, Access::Read);
        const int rc =
            sqlite3_exec(side->db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        return (rc & 0xff) == SQLITE_NOTADB;
    } catch (const StoreError&) {
        // Not even opened: a disk fault, not a file of another's.
        return false;
    }
}

void Database::Transaction(const std::function<void()>& body, const QString& lockSchema) {
    requireOpen();
    writeTransaction(*m_connection, lockSchema, body);
}

QString Database::UnconfirmedCommit() const {
    return m_connection ? m_connection->unconfirmed : QString();
}

bool Database::InTransaction() const {
    return m_connection && m_connection->isOpen() && m_connection->transactionDepth > 0;
}

namespace {

void bindVariant(const Statement& st, int i, const QVariant& v) {
    if (v.isNull()) {
        sqlite3_bind_null(st.get(), i);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        st.bind(i, static_cast<std::int64_t>(v.toLongLong()));
        return;
    case QMetaType::Double:
        sqlite3_bind_double(st.get(), i, v.toDouble());
        return;
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob(st.get(), i, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
        return;
    }
    default:
        st.bind(i, std::optional<QString>(v.toString()));
    }
}

QVariant columnVariant(const Statement& st, int i) {
    switch (sqlite3_column_type(st.get(), i)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant::fromValue<qint64>(sqlite3_column_int64(st.get(), i));
    case SQLITE_FLOAT:
        return sqlite3_column_double(st.get(), i);
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(st.get(), i)),
                          sqlite3_column_bytes(st.get(), i));
    default:
        return st.text(i).value_or(QString());
    }
}

} // namespace

QList<QVariantList> Database::Query(const QString& sql, const QVariantList& binds) const {
    requireOpen();
    Statement st(*m_connection, sql, Access::Read);
    for (qsizetype i = 0; i < binds.size(); ++i)
        bindVariant(st, static_cast<int>(i + 1), binds.at(i));
    QList<QVariantList> rows;
    const int columns = sqlite3_column_count(st.get());
    while (st.step(Access::Read)) {
        QVariantList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row.append(columnVariant(st, c));
        rows.append(std::move(row));
    }
    return rows;
}

std::int64_t Database::Execute(const QString& sql, const QVariantList& binds) {
    requireOpen();
    std::int64_t changed = 0;
    writeTransaction(*m_connection, kMain, [&] {
        Statement st(*m_connection, sql, Access::Write);
        for (qsizetype i = 0; i < binds.size(); ++i)
            bindVariant(st, static_cast<int>(i + 1), binds.at(i));
        while (st.step(Access::Write)) {
        }
        changed = sqlite3_changes(m_connection->db);
    });
    return changed;
}

std::int64_t Database::LastInsertId() const {
    requireOpen();
    return sqlite3_last_insert_rowid(m_connection->db);
}

void Database::BackupTo(const QString& fileName, const Progress& progress) const {
    backupSchemaTo(QStringLiteral("main"), fileName, progress);
}

void Database::BackupSideFileTo(const QString& schema, const QString& fileName) const {
    backupSchemaTo(schema, fileName, {});
}

std::int64_t Database::DataVersion(const QString& schema) const {
    return Query(QStringLiteral("PRAGMA %1.data_version").arg(quotedIdentifier(schema)))
        .value(0)
        .value(0)
        .toLongLong();
}

void Database::backupSchemaTo(const QString& schema, const QString& fileName,
                              const Progress& progress) const {
    requireOpen();
    const Connection& c = *m_connection;
    const bool main = schema == QLatin1String("main");
    const auto removeCopy = [&] {
        QFile::remove(fileName);
        QFile::remove(fileName + QLatin1String("-journal"));
    };
    if (c.transactionDepth > 0)
        throw StoreError(QStringLiteral("A copy of the recipe file can't be made while a change "
                                        "is being written."));
    removeCopy();
    // Made empty first with the recipe file's access, so that no recipe is ever in a file
    // more open than the recipe file.
    {
        QFile made(fileName);
        if (made.open(QIODevice::WriteOnly))
            made.close();
        matchRecipeFileMode(m_fileName, fileName);
    }
    // A raw key followed by the salt keys a new file with exactly that salt.
    // Side files are keyed with the raw key alone, their salt read from their own header.
    const QByteArray key =
        main ? c.rawKey.left(c.rawKey.size() - 1) + c.salt.toHex() + "'" : c.rawKey;
    int rc = SQLITE_OK;
    bool stopped = false;
    // What the copy's own side of the work failed with, which is not the recipe file's fault.
    int copyErrno = 0;
    bool copyFailed = false;
    try {
        auto dest =
            openKeyed(fileName, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, key, Access::Write);
        // The copy is not in use until it is complete and checked: no journal, and one sync
        // at the end instead of one per step.
        dest->exec("PRAGMA journal_mode = OFF", Access::HeaderWrite);
        dest->exec("PRAGMA synchronous = OFF", Access::HeaderWrite);
        sqlite3_backup* backup =
            sqlite3_backup_init(dest->db, "main", c.db, schema.toUtf8().constData());
        if (!backup)
            dest->fail(sqlite3_errcode(dest->db), Access::Write);
        // Steps of a megabyte, so that progress can be shown; a write by another
        // connection between two steps makes the engine start again, never mix two states.
        const auto waitUntil = std::chrono::steady_clock::now() + g_busyTimeout;
        for (;;) {
            rc = sqlite3_backup_step(backup, 1024);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                if (std::chrono::steady_clock::now() > waitUntil)
                    break;
                sqlite3_sleep(20);
                continue;
            }
            if (rc != SQLITE_OK && rc != SQLITE_DONE)
                break;
            const int total = sqlite3_backup_pagecount(backup);
            const bool goOn =
                reportProgress(progress, total - sqlite3_backup_remaining(backup), total);
            if (rc == SQLITE_DONE)
                break;
            if (!goOn) {
                stopped = true;
                break;
            }
        }
        const int finish = sqlite3_backup_finish(backup);
        if (rc == SQLITE_DONE && finish != SQLITE_OK)
            rc = finish;
        if (rc != SQLITE_DONE && rc != SQLITE_OK && sqlite3_errcode(dest->db) != SQLITE_OK) {
            copyFailed = true;
            copyErrno = sqlite3_system_errno(dest->db);
        }
        dest->close();
        if (rc == SQLITE_DONE) {
            QFile written(fileName);
            if (!written.open(QIODevice::ReadWrite) || ::fsync(written.handle()) != 0) {
                rc = SQLITE_IOERR;
                copyFailed = true;
                copyErrno = errno;
            }
        }
    } catch (const StoreError&) {
        removeCopy();
        // Raised by the copy's own connection: it is the copy that could not be written, and
        // nothing of the recipe file is at stake.
        const QStorageInfo disk(QFileInfo(fileName).absolutePath());
        throw StoreError(
            QStringLiteral("The copy \"%1\" could not be written: %2.")
                .arg(nativeName(fileName),
                     disk.isValid() && disk.bytesAvailable() < kPageSize * 64
                         ? QStringLiteral("the disk is full")
                         : QStringLiteral("its folder can't be written to, or the disk reported "
                                          "an error")));
    } catch (...) {
        removeCopy();
        throw;
    }
    if (stopped) {
        removeCopy();
        throw StoreError(QStringLiteral("The copy of the recipe file was stopped."));
    }
    if (rc != SQLITE_DONE) {
        removeCopy();
        if (copyFailed || (rc & 0xff) == SQLITE_FULL)
            throw StoreError(
                QStringLiteral("The copy \"%1\" could not be written: %2.")
                    .arg(nativeName(fileName),
                         copyErrno == ENOSPC || copyErrno == EDQUOT || (rc & 0xff) == SQLITE_FULL
                             ? QStringLiteral("the disk is full")
                             : QStringLiteral("the disk reported an error")));
        c.fail(rc, Access::Read);
    }
}

void Database::requireOpen() const {
    if (!m_connection || !m_connection->isOpen())
        throw StoreError(
            QStringLiteral("The recipe file \"%1\" is not open.").arg(nativeName(m_fileName)));
}

bool Database::lessByName(const QString& a, const QString& b) {
    // An explicit locale, so that the order does not depend on the user's settings and
    // "Äpfel" sorts beside "apfel".
    thread_local const QCollator collator = [] {
        QCollator c{QLocale(QLocale::English, QLocale::UnitedStates)};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const int order = collator.compare(a, b);
    if (order != 0)
        return order < 0;
    return a < b; // a fixed order for names the collator holds equal
}

QStringList Database::TableDefs() const {
    requireOpen();
    QStringList names = allTables(*m_connection);
    names.removeIf(isInternal);
    std::sort(names.begin(), names.end(), lessByName);
    return names;
}

void Database::checkNewTableName(const QString& name, const QStringList& existing) {
    if (name.isEmpty())
        throw StoreError(QStringLiteral("A category needs a name."));
    if (name.startsWith(QLatin1Char(' ')))
        throw StoreError(
            QStringLiteral("The category name \"%1\" can't begin with a space.").arg(name));
    if (name.size() > 64)
        throw StoreError(QStringLiteral("The category name \"%1\" is too long: a name may have at "
                                        "most 64 characters.")
                             .arg(name));
    for (const QChar ch : name) {
        if (QStringLiteral(".!`[]").contains(ch))
            throw StoreError(QStringLiteral("The category name \"%1\" can't contain \"%2\": a "
                                            "name may not contain any of . ! ` [ ]")
                                 .arg(name, ch));
        if (ch.category() == QChar::Other_Control)
            throw StoreError(QStringLiteral("A category name can't contain tabs, line breaks or "
                                            "other control characters."));
    }
    if (isInternal(name))
        throw StoreError(QStringLiteral("The category name \"%1\" is reserved: a name may not "
                                        "begin with \"sqlite_\".")
                             .arg(name));
    for (const QString& other : existing) {
        if (other.compare(name, Qt::CaseInsensitive) == 0) {
            if (other == name)
                throw StoreError(
                    QStringLiteral("There is already a category called \"%1\".").arg(name));
            throw StoreError(QStringLiteral("There is already a category called \"%1\", and "
                                            "names that differ only in letter case count as the "
                                            "same.")
                                 .arg(other));
        }
    }
}

TableDef Database::CreateTableDef(const QString& name) const {
    requireOpen();
    checkNewTableName(name, allTables(*m_connection));
    return TableDef(name);
}

void Database::AppendTableDef(const TableDef& def) {
    requireOpen();
    if (def.Fields().isEmpty())
        throw StoreError(
            QStringLiteral("The category \"%1\" can't be made without columns.").arg(def.Name()));
    QStringList columns;
    for (const Field& f : def.Fields()) {
        const char* type = nullptr;
        if (f.type == dbText)
            type = " VARCHAR(255)";
        else if (f.type == dbMemo)
            type = " TEXT";
        if (!type || f.name.isEmpty())
            throw StoreError(QStringLiteral("The category \"%1\" can't be made: its column "
                                            "\"%2\" is not valid.")
                                 .arg(def.Name(), f.name));
        columns << quotedIdentifier(f.name) + QLatin1String(type);
    }
    writeTransaction(*m_connection, kMain, [&] {
        // Checked again inside the transaction: another program may have made it meanwhile.
        checkNewTableName(def.Name(), allTables(*m_connection));
        Statement st(*m_connection,
                     QStringLiteral("CREATE TABLE %1 (%2)")
                         .arg(quotedIdentifier(def.Name()), columns.join(QLatin1String(", "))),
                     Access::Write);
        st.step(Access::Write);
        // Rows are found by their trimmed name; the index keeps that quick in a long category
        // and goes with the table when it is dropped.
        Statement index(*m_connection,
                        QStringLiteral("CREATE INDEX %1 ON %2 (trim(%3, ' '))")
                            .arg(quotedIdentifier(nameIndexOf(def.Name())),
                                 quotedIdentifier(def.Name()),
                                 quotedIdentifier(def.Fields().first().name)),
                        Access::Write);
        index.step(Access::Write);
    });
}

QString Database::nameIndexOf(const QString& table) {
    // A category name never holds a full stop, so this can't clash with a table's name.
    return table + QStringLiteral(".name");
}

void Database::DeleteTableDef(const QString& name) {
    requireOpen();
    writeTransaction(*m_connection, kMain, [&] {
        const QStringList tables = TableDefs();
        QString actual;
        if (tables.contains(name)) {
            actual = name;
        } else {
            for (const QString& t : tables)
                if (t.compare(name, Qt::CaseInsensitive) == 0)
                    actual = t;
        }
        if (actual.isEmpty())
            throw StoreError(missingCategory(name));
        Statement st(*m_connection,
                     QStringLiteral("DROP TABLE main.%1").arg(quotedIdentifier(actual)),
                     Access::Write);
        st.step(Access::Write);
    });
}

std::unique_ptr<Recordset> Database::OpenRecordset(const QString& table) {
    requireOpen();
    if (isInternal(table))
        throw StoreError(missingCategory(table));
    QStringList columns;
    {
        sqlite3_stmt* raw = nullptr;
        const QByteArray sql =
            QStringLiteral("SELECT * FROM %1").arg(quotedIdentifier(table)).toUtf8();
        const int rc = sqlite3_prepare_v2(m_connection->db, sql.constData(),
                                          static_cast<int>(sql.size()), &raw, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(raw);
            // SQLite gives a missing table no code of its own; the schema tells.
            if (rc == SQLITE_ERROR &&
                !allTables(*m_connection).contains(table, Qt::CaseInsensitive))
                throw StoreError(missingCategory(table));
            m_connection->fail(rc, Access::Read);
        }
        for (int i = 0; i < sqlite3_column_count(raw); ++i)
            columns << QString::fromUtf8(sqlite3_column_name(raw, i));
        sqlite3_finalize(raw);
    }
    std::unique_ptr<Recordset> rs(new Recordset(m_connection, table, columns));
    rs->seek(std::numeric_limits<std::int64_t>::min());
    return rs;
}

void Database::Close() {
    if (m_connection)
        m_connection->close();
}

// ---------------------------------------------------------------------------------------------
// Recordset

struct Recordset::Statements {
    Statement cursor; // rowid and first column, from a rowid on, in rowid order
    Statement row;    // every column of one row
    Statement count;
    Statement insert;
    Statement update;
    Statement remove;
    bool cursorLive = false;
};

Recordset::Recordset(std::shared_ptr<Connection> connection, QString table, QStringList columns)
    : m_connection(std::move(connection)), m_table(std::move(table)), m_columns(std::move(columns)),
      m_stmt(std::make_unique<Statements>()) {}

Recordset::~Recordset() = default;

void Recordset::requireOpen() const {
    if (!m_open || !m_connection->isOpen())
        throw StoreError(
            QStringLiteral("The recipes of the category \"%1\" are no longer open.").arg(m_table));
}

void Recordset::requireCurrent() const {
    requireOpen();
    if (m_deleted)
        throw StoreError(QStringLiteral("That recipe of the category \"%1\" has just been "
                                        "deleted.")
                             .arg(m_table));
    if (!m_hasCurrent || m_eof)
        throw StoreError(QStringLiteral("There is no recipe at this place in the category \"%1\".")
                             .arg(m_table));
}

void Recordset::resetCursor() {
    m_stmt->cursor.reset();
    m_stmt->cursorLive = false;
}

void Recordset::seek(std::int64_t fromRowid) {
    if (!m_stmt->cursor) {
        const QString first =
            m_columns.isEmpty() ? QStringLiteral("NULL") : quotedIdentifier(m_columns[0]);
        m_stmt->cursor =
            Statement(*m_connection,
                      QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid >= ?1 ORDER BY rowid")
                          .arg(first, quotedIdentifier(m_table)),
                      Access::Read);
    }
    resetCursor();
    m_stmt->cursor.bind(1, fromRowid);
    m_deleted = false;
    m_rowLoaded = false;
    m_mode = EditMode::None;
    if (m_stmt->cursor.step(Access::Read)) {
        m_stmt->cursorLive = true;
        m_hasCurrent = true;
        m_eof = false;
        m_rowid = sqlite3_column_int64(m_stmt->cursor.get(), 0);
        m_first = m_stmt->cursor.text(1);
    } else {
        resetCursor();
        m_hasCurrent = false;
        m_eof = true;
        m_first.reset();
    }
}

void Recordset::MoveFirst() {
    requireOpen();
    seek(std::numeric_limits<std::int64_t>::min());
    if (m_eof)
        throw StoreError(QStringLiteral("The category \"%1\" has no recipes.").arg(m_table));
}

void Recordset::MoveNext() {
    requireOpen();
    if (m_eof || !m_hasCurrent)
        throw StoreError(
            QStringLiteral("There are no more recipes in the category \"%1\".").arg(m_table));
    if (m_rowid == std::numeric_limits<std::int64_t>::max()) {
        resetCursor();
        m_eof = true;
        m_hasCurrent = false;
        return;
    }
    if (!m_stmt->cursorLive) {
        seek(m_rowid + 1);
        return;
    }
    // The common case: the cursor still stands on the current row, so step on.
    m_deleted = false;
    m_rowLoaded = false;
    m_mode = EditMode::None;
    if (m_stmt->cursor.step(Access::Read)) {
        m_rowid = sqlite3_column_int64(m_stmt->cursor.get(), 0);
        m_first = m_stmt->cursor.text(1);
    } else {
        resetCursor();
        m_eof = true;
        m_hasCurrent = false;
        m_first.reset();
    }
}

bool Recordset::FindFirst(const QString& name, bool missingIsEmpty) {
    requireOpen();
    if (m_columns.isEmpty())
        throw StoreError(QStringLiteral("The category \"%1\" has no columns.").arg(m_table));
    const bool alsoMissing = missingIsEmpty && name.isEmpty();
    // The same expression as the index, so that the index answers.
    const QString column = quotedIdentifier(m_columns[0]);
    const QString where = alsoMissing
                              ? QStringLiteral("%1 IS NULL OR trim(%1, ' ') = ?1").arg(column)
                              : QStringLiteral("trim(%1, ' ') = ?1").arg(column);
    Statement find(*m_connection,
                   QStringLiteral("SELECT rowid FROM %1 WHERE %2 ORDER BY rowid LIMIT 1")
                       .arg(quotedIdentifier(m_table), where),
                   Access::Read);
    find.bind(1, std::optional<QString>(name));
    if (!find.step(Access::Read)) {
        resetCursor();
        m_hasCurrent = false;
        m_eof = true;
        m_deleted = false;
        m_rowLoaded = false;
        m_mode = EditMode::None;
        m_first.reset();
        return false;
    }
    const std::int64_t rowid = sqlite3_column_int64(find.get(), 0);
    find.reset();
    seek(rowid);
    return m_hasCurrent && m_rowid == rowid;
}

int Recordset::RecordCount() const {
    requireOpen();
    if (!m_stmt->count)
        m_stmt->count = Statement(
            *m_connection, QStringLiteral("SELECT count(*) FROM %1").arg(quotedIdentifier(m_table)),
            Access::Read);
    m_stmt->count.reset();
    const int n = m_stmt->count.step(Access::Read) ? sqlite3_column_int(m_stmt->count.get(), 0) : 0;
    m_stmt->count.reset();
    return n;
}

void Recordset::loadRow() const {
    if (m_rowLoaded)
        return;
    if (!m_stmt->row)
        m_stmt->row = Statement(
            *m_connection,
            QStringLiteral("SELECT * FROM %1 WHERE rowid = ?1").arg(quotedIdentifier(m_table)),
            Access::Read);
    m_stmt->row.reset();
    m_stmt->row.bind(1, m_rowid);
    if (!m_stmt->row.step(Access::Read)) {
        m_stmt->row.reset();
        throw StoreError(
            QStringLiteral("That recipe of the category \"%1\" is no longer there.").arg(m_table));
    }
    m_row.clear();
    for (int i = 0; i < m_columns.size(); ++i)
        m_row.append(m_stmt->row.text(i));
    m_stmt->row.reset();
    m_rowLoaded = true;
}

std::optional<QString> Recordset::Fields(int index) const {
    requireOpen();
    if (index < 0 || index >= m_columns.size())
        throw StoreError(QStringLiteral("The category \"%1\" has no column %2.")
                             .arg(m_table, QString::number(index)));
    if (m_mode != EditMode::None)
        return m_buffer.at(index);
    requireCurrent();
    if (index == 0)
        return m_first;
    loadRow();
    return m_row.at(index);
}

void Recordset::SetField(int index, const std::optional<QString>& value) {
    requireOpen();
    if (index < 0 || index >= m_columns.size())
        throw StoreError(QStringLiteral("The category \"%1\" has no column %2.")
                             .arg(m_table, QString::number(index)));
    if (m_mode == EditMode::None)
        throw StoreError(QStringLiteral("A recipe of the category \"%1\" was changed without "
                                        "being opened for editing.")
                             .arg(m_table));
    m_buffer[index] = value;
}

void Recordset::AddNew() {
    requireOpen();
    m_buffer = QList<std::optional<QString>>(m_columns.size());
    m_mode = EditMode::Adding;
}

void Recordset::Edit() {
    requireCurrent();
    loadRow();
    m_buffer = m_row;
    m_mode = EditMode::Editing;
}

void Recordset::Update() {
    requireOpen();
    const EditMode mode = std::exchange(m_mode, EditMode::None);
    if (mode == EditMode::None)
        throw StoreError(QStringLiteral("A recipe of the category \"%1\" was saved without being "
                                        "opened for editing.")
                             .arg(m_table));
    // The cursor is let go before writing; MoveNext finds its place again by rowid.
    resetCursor();
    if (mode == EditMode::Adding)
        insertRow();
    else
        updateRow();
}

void Recordset::insertRow() {
    const qsizetype n = m_columns.size();
    if (!m_stmt->insert) {
        QStringList names;
        QStringList marks;
        for (qsizetype i = 0; i < n; ++i) {
            names << quotedIdentifier(m_columns[i]);
            marks << QStringLiteral("?%1").arg(i + 1);
        }
        m_stmt->insert =
            Statement(*m_connection,
                      QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(quotedIdentifier(m_table), names.join(QLatin1String(", ")),
                               marks.join(QLatin1String(", "))),
                      Access::Write);
    }
    const Statement& st = m_stmt->insert;
    writeTransaction(*m_connection, kMain, [&] {
        st.reset();
        for (qsizetype i = 0; i < n; ++i)
            st.bind(static_cast<int>(i + 1), m_buffer[i]);
        st.step(Access::Write);
        st.reset();
        m_lastAdded = sqlite3_last_insert_rowid(m_connection->db);
    });
}

void Recordset::updateRow() {
    const qsizetype n = m_columns.size();
    if (!m_stmt->update) {
        QStringList sets;
        for (qsizetype i = 0; i < n; ++i)
            sets << quotedIdentifier(m_columns[i]) + QStringLiteral(" = ?%1").arg(i + 1);
        m_stmt->update = Statement(*m_connection,
                                   QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?%3")
                                       .arg(quotedIdentifier(m_table),
                                            sets.join(QLatin1String(", ")), QString::number(n + 1)),
                                   Access::Write);
    }
    const Statement& st = m_stmt->update;
    writeTransaction(*m_connection, kMain, [&] {
        st.reset();
        for (qsizetype i = 0; i < n; ++i)
            st.bind(static_cast<int>(i + 1), m_buffer[i]);
        st.bind(static_cast<int>(n + 1), m_rowid);
        st.step(Access::Write);
        st.reset();
        if (sqlite3_changes(m_connection->db) != 1)
            throw StoreError(QStringLiteral("That recipe of the category \"%1\" is no longer "
                                            "there, so the change was not saved.")
                                 .arg(m_table));
    });
    m_row = m_buffer;
    m_rowLoaded = true;
    m_first = n > 0 ? m_buffer[0] : std::nullopt;
}

void Recordset::Delete() {
    requireCurrent();
    m_mode = EditMode::None;
    if (!m_stmt->remove)
        m_stmt->remove = Statement(
            *m_connection,
            QStringLiteral("DELETE FROM %1 WHERE rowid = ?1").arg(quotedIdentifier(m_table)),
            Access::Write);
    resetCursor();
    const Statement& st = m_stmt->remove;
    writeTransaction(*m_connection, kMain, [&] {
        st.reset();
        st.bind(1, m_rowid);
        st.step(Access::Write);
        st.reset();
        if (sqlite3_changes(m_connection->db) != 1)
            throw StoreError(QStringLiteral("That recipe of the category \"%1\" is no longer "
                                            "there, so nothing was deleted.")
                                 .arg(m_table));
    });
    m_deleted = true;
    m_rowLoaded = false;
}

void Recordset::Close() {
    // Closing twice, or after the file was closed, is harmless.
    m_stmt = std::make_unique<Statements>();
    m_open = false;
    m_hasCurrent = false;
    m_eof = true;
}

} // namespace kb
