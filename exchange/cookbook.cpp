#include "exchange/cookbook.h"

#include "core/app.h"
#include "core/printexport.h"
#include "core/recipefile.h"
#include "core/store_error.h"

#include <QDir>

namespace kb::exchange {

namespace {

// The width a recipe's picture is shown at, in the page's pixels.
constexpr int kPhotoWidth = 256;

// The file name suffix of a picture by its first bytes; empty for anything else.
QString pictureSuffix(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("jpg");
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral("png");
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return QStringLiteral("webp");
    return {};
}

void writeWhole(const QString& path, const QByteArray& bytes) {
    const QString failed = writeWholeFile(path, bytes);
    if (!failed.isEmpty())
        throw StoreError(QStringLiteral("The cookbook could not be printed, because the file "
                                        "\"%1\" could not be written (%2). Please check that the "
                                        "program's folder exists and can be written to.")
                             .arg(QDir::toNativeSeparators(path), failed));
}

} // namespace

QString cookbookHtml(const QString& title, const QList<RecipeRecord>& recipes,
                     const QStringList& photoFiles) {
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
    for (qsizetype i = 0; i < recipes.size(); ++i) {
        const RecipeRecord& r = recipes.at(i);
        const QString photo = photoFiles.value(i);
        if (!photo.isEmpty())
            html += QStringLiteral("<P STYLE=\"page-break-before: always\"><IMG SRC=\"") +
                    photo.toHtmlEscaped() +
                    QStringLiteral("\" WIDTH=\"%1\"></P>\r\n<P><B>").arg(kPhotoWidth);
        else
            html += QStringLiteral("<P STYLE=\"page-break-before: always\"><B>");
        const QStringList lines = printTextLines(r.texts());
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

void writeCookbook(const QString& folder, const QString& title, const QList<RecipeRecord>& recipes,
                   const QList<QByteArray>& photos) {
    const QDir dir(folder);
    QStringList photoFiles;
    for (qsizetype i = 0; i < recipes.size(); ++i) {
        const QByteArray& bytes = photos.value(i);
        const QString suffix = pictureSuffix(bytes);
        photoFiles << (suffix.isEmpty() ? QString()
                                        : QStringLiteral("photo-%1.%2").arg(i + 1).arg(suffix));
        if (!suffix.isEmpty())
            writeWhole(dir.filePath(photoFiles.last()), bytes);
    }
    writeWhole(cookbookPagePath(folder), cookbookHtml(title, recipes, photoFiles).toUtf8());
}

} // namespace kb::exchange
