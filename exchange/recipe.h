#pragma once

#include "core/recipefields.h"
#include "details/details.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace kb::exchange {

// What a file tells of a recipe beyond its four texts. What the recipe file keeps as details
// (yield, times, source, tags, rating, notes, photos) goes there on import (`takeDetails`);
// the rest (description, nutrition, cuisine, and what could not be read as a detail) travels
// as text blocks under plain headings at the end of the instructions (`text()`), and our own
// export gives them back as schema.org properties (`takeFrom`).
struct RecipeDetails {
    QString description;
    QString yield;
    QString prepTime; // as readable text ("1 h 30 min")
    QString cookTime;
    QString totalTime;
    QString nutrition;
    QString cuisine;
    QStringList categories; // every category the file names, the recipe's own first
    QStringList keywords;
    QString source;           // a web address, a book, a person
    QString image;            // the photo's address or file name
    QByteArray photo;         // the photo itself, where the file carries one
    QList<QByteArray> photos; // more of them: the images a file embeds as data URLs
    QString notes;
    std::optional<double> servings; // when the file gives the number apart from the yield
    std::optional<double> rating;   // 0 to 5
    // Our own export's details exactly as the recipe file kept them (photos aside).
    std::optional<Details> exact;

    bool isEmpty() const;
    // The blocks ("Yield:\n6 servings"), separated by empty lines; empty when there is nothing.
    QString text() const;
    // Takes the blocks `text()` writes off the end of `instructions` and returns them.
    static RecipeDetails takeFrom(QString& instructions);
};

// Takes out of `d` what the recipe file keeps as details and returns it; what is left stays
// text. A photo that is refused, and what had to be left out, is said in `notes` for the
// report; nothing here fails the recipe.
Details takeDetails(RecipeDetails& d, QStringList& notes);
// The first number of a yield ("Serves 4", "12 muffins", "2.5 cups"), as servings.
std::optional<double> servingsIn(const QString& yield);
// Details as a file's details: the times as "1 h 30 min", the tags as keywords.
RecipeDetails fromDetails(const Details& d);

// One recipe on its way in or out: the category it belongs to and its four texts. `stored`
// is set when the exact row is known (read from a recipe file, or from our own export), so
// that it can be written back byte for byte.
struct RecipeRecord {
    QString category;
    QString name;
    QString author;
    QString ingredients;
    QString instructions;
    std::optional<RecipeFields> stored;
    // The details the recipe file keeps for it, on the way out.
    Details kept;
    // Where the record was found in its file ("line 12", "item 3"), for the report.
    QString position;
    // What the reader had to change or guess, in words for the report.
    QStringList notes;
    RecipeDetails details;

    // The instructions with the details' blocks after them: what the instructions column gets.
    QString fullInstructions() const;

    // The texts as the main window would show them: the stored values without surrounding
    // spaces.
    static RecipeRecord fromStored(const StoredRecipe& recipe);
    // The four texts, as printing takes them.
    RecipeFields texts() const { return {name, author, ingredients, instructions}; }
};

// The text with NUL and other control characters taken out; line breaks (CR LF, LF or CR) and
// tabs, which the program's own text boxes take, are kept.
QString withoutControls(const QString& text);

// The paragraphs of a text as the user wrote them: an empty line, or a line that begins with a
// step number ("2.", "3)"), starts a new one; the lines of one paragraph are joined by a space.
QStringList paragraphsOf(const QString& text);

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
    // Why no recipe was found, in words ("it holds schema.org data, but no Recipe"), when the
    // reader can tell; the importer says it when `recipes` is empty.
    QString noRecipeReason;
};

// "1 recipe", "2 recipes": a count in words for the reports.
inline QString counted(qsizetype n, const QString& one, const QString& many) {
    return QString::number(n) + QLatin1Char(' ') + (n == 1 ? one : many);
}
inline QString recipesCounted(qsizetype n) {
    return counted(n, QStringLiteral("recipe"), QStringLiteral("recipes"));
}

} // namespace kb::exchange
