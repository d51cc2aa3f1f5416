#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace kb::jet {

// One row of a recipe table; std::nullopt is a missing value.
struct Row {
    std::optional<QString> name, author, ingredients, instructions;
};

// One table as the file will hold it. The fault switches make a file that a reader must
// notice: a stored row count that differs from the rows, a table definition without its page
// map.
struct Table {
    QString name;
    QList<Row> rows;
    bool system = false;
    // Name, Author, Ingredients, Instructions: the first `columns` of them.
    int columns = 4;
    std::optional<qint32> storedRows;
    bool noPageMap = false;
};

struct Options {
    // The database password kept (masked) in the header; empty for none.
    QString password;
    // The creation date in the header, as days since 1899-12-30; it masks the password.
    double created = 44568.5;
};

// A complete Jet 4 file holding `tables` in this order after the usual system tables.
QByteArray writeJet4(const QList<Table>& tables, const Options& options = {});

// The recipe file of the tests: several categories, multi-line Memos over 16 KiB, quotes,
// tabs, non-Latin text, a character outside the Basic Multilingual Plane, a missing name, an
// empty table, "zzzNothing" and a table name the store refuses.
QList<Table> recipeTables();

// `count` recipes of a realistic size spread over `categories` tables.
QList<Table> manyRecipes(int count, int categories);

} // namespace kb::jet
