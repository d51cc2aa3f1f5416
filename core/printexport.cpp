#include "core/printexport.h"

#include "core/app.h"
#include "core/recipefile.h"
#include "core/store_error.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace kb {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

// Line breaks typed into a multi-line box reach us as LF (or as Unicode separators); the file
// ends every line in CR LF, so each typed line becomes a line of the file.
QString fileLineBreaks(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n|\u2028|\u2029"));
    QString out = text;
    out.replace(breaks, kLineEnd);
    return out;
}

QString cannotWrite(const QString& path, const QString& reason) {
    return QStringLiteral("The recipe could not be printed, because the file \"%1\" could not "
                          "be written (%2). Please check that the program's folder exists and "
                          "can be written to.")
        .arg(QDir::toNativeSeparators(path), reason);
}

void writeLines(const QString& path, const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + kLineEnd;
    // Written whole or not at all: a half-written page is never left behind for the preview.
    const QString failed = writeWholeFile(path, text.toUtf8());
    if (!failed.isEmpty())
        throw StoreError(cannotWrite(path, failed));
}

// Reads a file line by line as it was written: each line without its line end.
QStringList readLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw StoreError(QStringLiteral("The recipe could not be printed, because the file "
                                        "\"%1\" could not be read back (%2).")
                             .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    const QString text = QString::fromUtf8(file.readAll());
    file.close();

    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(breaks);
    // The last line end closes the last line; it does not start another one.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

PrintCheck checkPrintable(const RecipeFields& recipe) {
    if (recipe[0].value_or(QString()).isEmpty())
        return PrintCheck::NoRecipe;
    const StoredRecipe shown{{}, recipe};
    if (shown.name().isEmpty() || shown.ingredients().isEmpty() || shown.instructions().isEmpty())
        return PrintCheck::Blank;
    return PrintCheck::Ready;
}

QString printTextPath(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("print.txt"));
}

QString printPagePath(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("print.htm"));
}

QStringList printTextLines(const RecipeFields& recipe) {
    const StoredRecipe shown{{}, recipe};
    const QString content = QStringLiteral("Name: ") + shown.name() + kLineEnd + kLineEnd +
                            QStringLiteral("Author: ") + shown.author() + kLineEnd + kLineEnd +
                            QStringLiteral("Ingredints:") + kLineEnd + shown.ingredients() +
                            kLineEnd + kLineEnd + kLineEnd + QStringLiteral("Instructions:") +
                            kLineEnd + shown.instructions();
    return fileLineBreaks(content).split(kLineEnd);
}

QStringList printPageLines(const QStringList& textLines) {
    QStringList page;
    page << QStringLiteral("<HTML>") << QStringLiteral("<HEAD>")
         << QStringLiteral("    <TITLE>This Recipes by Kettlebox Recipe_") + kWebSite +
                QStringLiteral("/</TITLE>")
         << QStringLiteral("</HEAD>") << QStringLiteral("<BODY><FONT SIZE=\"3\" FACE=\"Verdana\">")
         << QStringLiteral(
                "<U>Printed from This Recipes by <B>Kettlebox Recipe</B></U><br><br><B>");
    for (const QString& line : textLines)
        page << line.toHtmlEscaped() + QStringLiteral("<br>");
    page << QStringLiteral("</B></FONT></BODY>") << QStringLiteral("</HTML>");
    return page;
}

QString printCaption(const QString& name) {
    return QStringLiteral("Print [ ") + trimSpaces(name) + QStringLiteral(" ] Recipe");
}

void writePrintFiles(const QString& folder, const RecipeFields& recipe) {
    const QString textPath = printTextPath(folder);
    writeLines(textPath, printTextLines(recipe));
    writeLines(printPagePath(folder), printPageLines(readLines(textPath)));
}

} // namespace kb
