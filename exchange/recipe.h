#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace kb::exchange {

// The four values of a recipe row exactly as a recipe file holds them (trailing space and
// all); std::nullopt for a missing value.
using StoredValues = std::array<std::optional<QString>, 4>;

// One recipe on its way in or out: the category it belongs to and its four texts. `stored`
// is set when the exact row is known (read from a recipe file, or from our own export), so
// that it can be written back byte for byte.
struct RecipeRecord {
    QString category;
    QString name;
    QString author;
    QString ingredients;
    QString instructions;
    std::optional<StoredValues> stored;
    // Where the record was found in its file ("line 12", "item 3"), for the report.
    QString position;
    // What the reader had to change or guess, in words for the report.
    QStringList notes;

    // The texts as the main window would show them: the stored values without surrounding
    // spaces.
    static RecipeRecord fromStored(const QString& category, const StoredValues& values);
};

// Something in a file that did not become a recipe: where and why.
struct SourceProblem {
    QString position;
    QString reason;
};

// What a reader made of one file.
struct ReadResult {
    QList<RecipeRecord> recipes;
    QList<SourceProblem> problems;
    // Categories the file lists, including ones without recipes (our own export lists them).
    QStringList categories;
    // How the file was read ("MealMaster, code page 437"), for the report.
    QString format;
};

// "1 recipe", "2 recipes": a count in words for the reports.
inline QString counted(qsizetype n, const QString& one, const QString& many) {
    return QString::number(n) + QLatin1Char(' ') + (n == 1 ? one : many);
}
inline QString recipesCounted(qsizetype n) {
    return counted(n, QStringLiteral("recipe"), QStringLiteral("recipes"));
}

} // namespace kb::exchange
