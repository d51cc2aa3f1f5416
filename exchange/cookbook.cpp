#include "exchange/cookbook.h"

#include "core/app.h"
#include "core/printexport.h"
#include "core/store_error.h"

#include <QDir>
#include <QSaveFile>

namespace kb::exchange {

QString cookbookHtml(const QString& title, const QList<RecipeRecord>& recipes) {
    QString html;
    html += QStringLiteral("<HTML>\r\n<HEAD>\r\n    <TITLE>") + title.toHtmlEscaped() +
            QStringLiteral("</TITLE>\r\n</HEAD>\r\n<BODY><FONT SIZE=\"3\" FACE=\"Verdana\">\r\n");
    html += QStringLiteral("<P><U>Printed from This Recipes by <B>Kettlebox Recipe</B></U></P>"
                           "\r\n<H1>") +
            title.toHtmlEscaped() + QStringLiteral("</H1>\r\n<H2>Contents</H2>\r\n");
    QString category;
    bool open = false;
    int number = 0;
    for (const RecipeRecord& r : recipes) {
        if (!open || r.category != category) {
            if (open)
                html += QStringLiteral("</P>\r\n");
            category = r.category;
            html += QStringLiteral("<P><B>") + category.toHtmlEscaped() +
                    QStringLiteral("</B><br>\r\n");
            open = true;
        }
        html += QStringLiteral("%1. ").arg(++number) + trimSpaces(r.name).toHtmlEscaped() +
                QStringLiteral("<br>\r\n");
    }
    if (open)
        html += QStringLiteral("</P>\r\n");
    if (recipes.isEmpty())
        html += QStringLiteral("<P>There are no recipes to print.</P>\r\n");

    // Each recipe begins a new page; its text is the single print's, line for line.
    number = 0;
    for (const RecipeRecord& r : recipes) {
        html += QStringLiteral("<P STYLE=\"page-break-before: always\"><B>");
        const QStringList lines =
            printTextLines(PrintRecipe{r.name, r.author, r.ingredients, r.instructions});
        for (const QString& line : lines)
            html += line.toHtmlEscaped() + QStringLiteral("<br>\r\n");
        html += QStringLiteral("</B></P>\r\n");
    }
    html += QStringLiteral("</FONT></BODY>\r\n</HTML>\r\n");
    return html;
}

QString cookbookPagePath(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("cookbook.htm"));
}

void writeCookbook(const QString& folder, const QString& title,
                   const QList<RecipeRecord>& recipes) {
    const QString path = cookbookPagePath(folder);
    const QByteArray bytes = cookbookHtml(title, recipes).toUtf8();
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw StoreError(QStringLiteral("The cookbook could not be printed, because the file "
                                        "\"%1\" could not be written (%2). Please check that the "
                                        "program's folder exists and can be written to.")
                             .arg(QDir::toNativeSeparators(path), file.errorString()));
}

} // namespace kb::exchange
