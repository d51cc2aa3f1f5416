#pragma once

#include "core/progress.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace kb {

// An SQL name (a schema, table or column) as the engine reads it whatever it holds: in double
// quotes, with those within doubled. Category names come from the user and from other files.
QString quotedIdentifier(const QString& identifier);

// Column types a table is created with; the values are those the recipe tables were designed
// with (Text holds a name or an author, Memo holds multi-line text).
inline constexpr int dbText = 10;
inline constexpr int dbMemo = 12;

// The connect string every open of the recipe file passes; its password is the file's key.
inline const QString kRecipeConnect = QStringLiteral(";Pwd=5820741963mxrdbe");

namespace detail {
struct Connection;
}

// One column of a table definition that is about to be created.
struct Field {
    QString name;
    int type = dbText;
};

// A table definition that is about to be created: a name and its columns in order.
class TableDef {
  public:
    explicit TableDef(QString name) : m_name(std::move(name)) {}

    const QString& Name() const { return m_name; }
    const QList<Field>& Fields() const { return m_fields; }

    static Field CreateField(const QString& name, int type) { return Field{name, type}; }
    void AppendField(const Field& field) { m_fields.append(field); }

  private:
    QString m_name;
    QList<Field> m_fields;
};

// A table opened as a whole: rows in stored order (the order they were added in), one current
// row, columns addressed by position. Writes are committed at once, each in its own transaction.
class Recordset {
  public:
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    const QString& Name() const { return m_table; }

    // Fails on a table without rows.
    void MoveFirst();
    // Moving past the last row leaves the recordset at its end (Eof); moving on from there fails.
    void MoveNext();
    bool Eof() const { return m_eof; }
    // Moves to the first row, in stored order, whose first column without its surrounding
    // spaces is `name`; a missing value counts as "" only when `missingIsEmpty`. Returns false,
    // at the end, when no row is. Tables made by AppendTableDef carry an index on that trimmed
    // column, so a long category is not decrypted row by row for one recipe.
    bool FindFirst(const QString& name, bool missingIsEmpty);
    // The number of rows, counted when asked.
    int RecordCount() const;
    int FieldCount() const { return static_cast<int>(m_columns.size()); }

    // The value of column `index` of the current row, or of the row being added or edited;
    // std::nullopt for a missing value.
    std::optional<QString> Fields(int index) const;
    void SetField(int index, const std::optional<QString>& value);

    // Starts a new row; Update appends it to the table.
    void AddNew();
    // Starts changing the current row; Update writes it back in place.
    void Edit();
    void Update();
    // The row id of the current row (stored order is row id order), and of the row the last
    // AddNew/Update appended; side files refer to recipes by it.
    std::int64_t RowId() const { return m_rowid; }
    std::int64_t LastAddedRowId() const { return m_lastAdded; }
    // Removes the current row; the recordset then stands between its neighbours.
    void Delete();
    void Close();

  private:
    friend class Database;
    Recordset(std::shared_ptr<detail::Connection> connection, QString table, QStringList columns);

    enum class EditMode { None, Adding, Editing };
    void requireOpen() const;
    void requireCurrent() const;
    void seek(std::int64_t fromRowid);
    void loadRow() const;
    void resetCursor();
    void insertRow();
    void updateRow();

    std::shared_ptr<detail::Connection> m_connection;
    QString m_table;
    QStringList m_columns;
    struct Statements;
    std::unique_ptr<Statements> m_stmt;
    bool m_open = true;
    bool m_eof = true;
    bool m_deleted = false;
    bool m_hasCurrent = false;
    std::int64_t m_rowid = 0;
    std::int64_t m_lastAdded = 0;
    // The current row's first column, read with the row; the others are read when asked.
    std::optional<QString> m_first;
    mutable bool m_rowLoaded = false;
    mutable QList<std::optional<QString>> m_row;
    EditMode m_mode = EditMode::None;
    QList<std::optional<QString>> m_buffer;
};

// The recipe file, opened with a connect string whose password is the file's key. The file must
// exist: it is never created by opening. Every failure is thrown as a StoreError with a message
// for the user.
class Database {
  public:
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens "<path>.mdb" for reading and writing.
    static std::unique_ptr<Database> OpenDatabase(const QString& path,
                                                  const QString& connect = kRecipeConnect);
    // Makes a new, empty file "<path>.mdb"; refuses to touch an existing one.
    static void CreateDatabase(const QString& path, const QString& connect = kRecipeConnect);

    // How long a write waits for another program's write to finish before it gives up.
    static void setBusyTimeout(std::chrono::milliseconds timeout);
    static std::chrono::milliseconds busyTimeout();

    const QString& FileName() const { return m_fileName; }

    // The table names, in ascending order regardless of letter case.
    QStringList TableDefs() const;
    // Checks the name against the rules for new tables; throws if one is broken.
    TableDef CreateTableDef(const QString& name) const;
    void AppendTableDef(const TableDef& def);
    void DeleteTableDef(const QString& name);

    std::unique_ptr<Recordset> OpenRecordset(const QString& table);

    // A second encrypted file beside the recipe file (history, search index), with the same
    // key, attached to this connection as `schema`; made when missing. Its tables are never
    // listed by TableDefs, and statements name them as schema.table.
    void AttachSideFile(const QString& schema, const QString& fileName);
    // True when `fileName` is there but can't be read with this file's key: a side file that
    // came with another recipe file.
    bool IsSideFileOfAnother(const QString& fileName) const;
    // Runs `body` as one write transaction over the recipe file and every attached side file:
    // all of it is committed, or none. Writes inside (Update, Delete, AppendTableDef,
    // DeleteTableDef, Execute) join it instead of committing on their own. It holds the write
    // lock of `lockSchema` from the start, the others from their first write: a write that
    // keeps to one side file (the search index) names it, so that the recipe file is not
    // locked; every other write locks the recipe file first.
    void Transaction(const std::function<void()>& body,
                     const QString& lockSchema = QStringLiteral("main"));
    bool InTransaction() const;
    // Words for the user when the last transaction was committed but the disk reported an
    // error as it was being made durable (the sync of the folder); empty otherwise.
    QString UnconfirmedCommit() const;
    // A statement with bound values (?1, ?2, ...), for work beyond the recipe tables. Values
    // come back as QVariant (null for a missing value, qint64, double, QString, QByteArray).
    QList<QVariantList> Query(const QString& sql, const QVariantList& binds = {}) const;
    // A writing statement, in a transaction of its own unless one is open; returns the rows it
    // changed.
    std::int64_t Execute(const QString& sql, const QVariantList& binds = {});
    std::int64_t LastInsertId() const;
    // A consistent copy of the recipe file made through the engine's backup interface, with the
    // same key and salt, so that it opens with the same password. Another connection may write
    // meanwhile: the copy is of one committed state. `progress(donePages, totalPages)` returning
    // false stops it. A failed or stopped copy is removed and thrown.
    void BackupTo(const QString& fileName, const Progress& progress = {}) const;
    // The same for an attached side file, keyed as side files are.
    void BackupSideFileTo(const QString& schema, const QString& fileName) const;
    // A number that changes whenever another connection commits a change to `schema`.
    std::int64_t DataVersion(const QString& schema) const;
    void Close();

    // The index that finds a row of `table` by its trimmed first column.
    static QString nameIndexOf(const QString& table);
    // The order categories are listed in (exposed so that others sort alike).
    static bool lessByName(const QString& a, const QString& b);
    // Throws a StoreError naming the rule that `name` breaks as a new table name, if any.
    static void checkNewTableName(const QString& name, const QStringList& existing);

  private:
    explicit Database(std::shared_ptr<detail::Connection> connection);
    void requireOpen() const;
    void backupSchemaTo(const QString& schema, const QString& fileName,
                        const Progress& progress) const;

    std::shared_ptr<detail::Connection> m_connection;
    QString m_fileName;
};

} // namespace kb
