#pragma once

// Generated recipe files for the benchmarks, written straight through the engine (the store
// would take minutes for 100 000 recipes), laid out as the store makes them.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <sqlite3.h>
#include <vector>

namespace kbbench {

// The program's password; the files are keyed with it as the program keys them.
inline constexpr const char* kPassword = "5820741963mxrdbe";

inline void check(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        qFatal("sqlite: %s", sqlite3_errmsg(db));
}

// One recipe's four values as stored (with the trailing space the store writes).
struct StoredRow {
    QByteArray name, author, ingredients, instructions;
};

// Writes "<path>.mdb": each table with the four columns and the name index every category made
// through the store carries, `rows` recipes each, `row(table, n)` giving the n-th (from 0) of
// table number `table` (from 0); one transaction.
inline void writeRecipeFile(const QString& path, const std::vector<QByteArray>& tables, int rows,
                            const std::function<StoredRow(int table, int n)>& row) {
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(QFile::encodeName(path + QStringLiteral(".mdb")).constData(), &db,
                          SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
          db);
    sqlite3_key(db, kPassword, 16);
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    for (int t = 0; t < static_cast<int>(tables.size()); ++t) {
        const QByteArray& table = tables[static_cast<size_t>(t)];
        const QByteArray create = "CREATE TABLE \"" + table +
                                  "\" (\"Name\" VARCHAR(255), \"Author\" VARCHAR(255), "
                                  "\"Ingredients\" TEXT, \"Instructions\" TEXT)";
        check(sqlite3_exec(db, create.constData(), nullptr, nullptr, nullptr), db);
        const QByteArray index =
            "CREATE INDEX \"" + table + ".name\" ON \"" + table + "\" (trim(\"Name\", ' '))";
        check(sqlite3_exec(db, index.constData(), nullptr, nullptr, nullptr), db);
        sqlite3_stmt* st = nullptr;
        const QByteArray insert = "INSERT INTO \"" + table + "\" VALUES (?, ?, ?, ?)";
        check(sqlite3_prepare_v2(db, insert.constData(), -1, &st, nullptr), db);
        for (int n = 0; n < rows; ++n) {
            const StoredRow r = row(t, n);
            sqlite3_bind_text(st, 1, r.name.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, r.author.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 3, r.ingredients.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 4, r.instructions.constData(), -1, SQLITE_TRANSIENT);
            check(sqlite3_step(st), db);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
    }
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

// "Category 001", "Category 002", ...
inline std::vector<QByteArray> numberedCategories(int count) {
    std::vector<QByteArray> out;
    for (int c = 1; c <= count; ++c)
        out.push_back("Category " + QByteArray::number(c).rightJustified(3, '0'));
    return out;
}

} // namespace kbbench
