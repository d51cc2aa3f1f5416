#include "ui/card/cardrecipe.h"

#include "core/app.h"
#include "core/database.h"
#include "core/recipefile.h"
#include "core/store_error.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QRegularExpression>
#include <QUrl>

namespace kb {

namespace {

QStringList linesOf(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t.split(QLatin1Char('\n'));
}

void writeWhole(const QString& path, const QByteArray& bytes) {
    const QString failed = writeWholeFile(path, bytes);
    if (!failed.isEmpty())
        throw StoreError(QStringLiteral("The card could not be printed, because the file \"%1\" "
                                        "could not be written (%2). Please check that the "
                                        "program's folder exists and can be written to.")
                             .arg(QDir::toNativeSeparators(path), failed));
}

constexpr int kPrintedPhotoSide = 1200;

} // namespace

CardRecipe readCardRecipe(Database& db, const QString& category, const QString& name,
                          int occurrence, bool withFirstPhoto) {
    bool known = false;
    for (const QString& t : db.TableDefs())
        known = known || t == category;
    if (!known)
        throw StoreError(QStringLiteral("The category \"%1\" no longer exists.").arg(category));
    auto rs = db.OpenRecordset(category);
    const QString wanted = trimSpaces(name);
    if (!RecipeFile::findRecipe(*rs, wanted, occurrence, true))
        throw StoreError(QStringLiteral("The recipe \"%1\" is no longer in the category \"%2\".")
                             .arg(wanted, category));
    CardRecipe r;
    r.recipe = readRecipe(*rs, category);
    rs->Close();
    r.details = readDetails(db, category, wanted, false);
    if (!r.details.photos.isEmpty()) {
        if (withFirstPhoto)
            r.firstPhoto = photoData(db, category, wanted, 0);
        r.firstPhotoFormat = r.details.photos.first().format;
    }
    return r;
}

QStringList ingredientLines(const QString& ingredients) {
    QStringList out;
    for (const QString& line : linesOf(ingredients))
        if (!line.trimmed().isEmpty())
            out << line.trimmed();
    return out;
}

QStringList stepsOf(const QString& instructions) {
    static const QRegularExpression numbered(
        QStringLiteral("^\\s*(?:step\\s*)?\\d{1,3}\\s*[.):]\\s*"),
        QRegularExpression::CaseInsensitiveOption);
    const QStringList lines = linesOf(instructions);
    bool anyNumbered = false;
    bool anyEmpty = false;
    for (const QString& line : lines) {
        anyNumbered = anyNumbered || numbered.match(line).hasMatch();
        anyEmpty = anyEmpty || line.trimmed().isEmpty();
    }
    QStringList steps;
    QString current;
    const auto finish = [&] {
        if (!current.trimmed().isEmpty())
            steps << current.trimmed();
        current.clear();
    };
    for (const QString& line : lines) {
        const QString text = line.trimmed();
        if (anyNumbered) {
            if (const auto m = numbered.match(line); m.hasMatch()) {
                finish();
                current = line.mid(m.capturedLength());
                continue;
            }
        } else if (!anyEmpty) {
            current = text;
            finish();
            continue;
        }
        if (text.isEmpty() && !anyNumbered) {
            finish();
            continue;
        }
        if (!text.isEmpty())
            current += (current.isEmpty() ? QString() : QStringLiteral(" ")) + text;
    }
    finish();
    return steps;
}

QString ratingStars(int rating) {
    if (rating <= 0)
        return {};
    const int r = std::min(rating, kMaxRating);
    return QString(r, QChar(0x2605)) + QString(kMaxRating - r, QChar(0x2606));
}

QString servingsText(double servings) {
    return QStringLiteral("Serves ") + QString::number(servings, 'g', 6);
}

QString webAddress(const QString& source) {
    const QUrl url(source.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return {};
    return url.toString();
}

QImage decodePhoto(const QByteArray& bytes, const QSize& box) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The file may have been written by another program: the same limit as when a photo is
    // added.
    QImageReader::setAllocationLimit(kPhotoAllocationLimitMb);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() ||
        qint64(size.width()) * size.height() * 4 > qint64(kPhotoAllocationLimitMb) * 1024 * 1024)
        return {};
    reader.setAutoTransform(true);
    // The stored size is before the photo's own rotation: fit the turned size.
    QSize shown = size;
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        shown.transpose();
    if (box.isValid() && (shown.width() > box.width() || shown.height() > box.height())) {
        QSize target = shown.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            target.transpose();
        reader.setScaledSize(target);
    }
    QImage image;
    if (!reader.read(&image))
        return {};
    return image;
}

QString cardPageHtml(const CardRecipe& r, const QString& photoFile) {
    const auto esc = [](const QString& t) { return t.toHtmlEscaped(); };
    QString html = QStringLiteral("<HTML>\r\n<HEAD>\r\n<TITLE>") + esc(r.recipe.name()) +
                   QStringLiteral("</TITLE>\r\n</HEAD>\r\n<BODY><FONT FACE=\"Verdana\">\r\n");
    html += QStringLiteral("<H1>") + esc(r.recipe.name()) + QStringLiteral("</H1>\r\n");
    if (!r.recipe.author().isEmpty())
        html += QStringLiteral("<P><I>") + esc(r.recipe.author()) + QStringLiteral("</I></P>\r\n");
    if (!photoFile.isEmpty())
        html += QStringLiteral("<P><IMG SRC=\"") + esc(photoFile) +
                QStringLiteral("\" WIDTH=\"360\"></P>\r\n");
    const Details& d = r.details;
    QStringList facts;
    if (d.servings)
        facts << esc(servingsText(*d.servings));
    if (!d.yield.isEmpty())
        facts << QStringLiteral("Makes ") + esc(d.yield);
    const auto time = [&](const QString& what, int minutes) {
        if (minutes > 0)
            facts << what + QStringLiteral(": ") + esc(minutesText(minutes));
    };
    time(QStringLiteral("Preparation"), d.prepMinutes);
    time(QStringLiteral("Cooking"), d.cookMinutes);
    time(QStringLiteral("Total time"), d.totalMinutes);
    if (!d.source.isEmpty())
        facts << QStringLiteral("Source: ") + esc(d.source);
    if (!d.tags.isEmpty())
        facts << QStringLiteral("Tags: ") + esc(d.tags.join(QStringLiteral(", ")));
    if (d.rating > 0)
        facts << QStringLiteral("Rating: ") + ratingStars(d.rating);
    if (!facts.isEmpty())
        html += QStringLiteral("<P>") + facts.join(QStringLiteral("<BR>\r\n")) +
                QStringLiteral("</P>\r\n");
    if (!d.notes.isEmpty())
        html += QStringLiteral("<P>") +
                esc(d.notes).replace(QLatin1Char('\n'), QStringLiteral("<BR>\r\n")) +
                QStringLiteral("</P>\r\n");
    html += QStringLiteral("<H2>Ingredients</H2>\r\n<UL>\r\n");
    for (const QString& line : ingredientLines(r.recipe.ingredients()))
        html += QStringLiteral("<LI>") + esc(line) + QStringLiteral("</LI>\r\n");
    html += QStringLiteral("</UL>\r\n<H2>Steps</H2>\r\n<OL>\r\n");
    for (const QString& step : stepsOf(r.recipe.instructions()))
        html += QStringLiteral("<LI>") + esc(step) + QStringLiteral("</LI>\r\n");
    html += QStringLiteral("</OL>\r\n</FONT></BODY>\r\n</HTML>\r\n");
    return html;
}

QString writeCardPage(const QString& folder, const CardRecipe& recipe) {
    const QDir dir(folder);
    const QString photoName = QStringLiteral("card-photo.jpg");
    QString shownPhoto;
    if (!recipe.firstPhoto.isEmpty()) {
        // A smaller copy: the page view keeps every picture it shows decoded.
        const QImage image =
            decodePhoto(recipe.firstPhoto, QSize(kPrintedPhotoSide, kPrintedPhotoSide));
        QByteArray jpeg;
        QBuffer out(&jpeg);
        out.open(QIODevice::WriteOnly);
        if (!image.isNull() && image.convertToFormat(QImage::Format_RGB32).save(&out, "JPEG", 90)) {
            writeWhole(dir.filePath(photoName), jpeg);
            shownPhoto = photoName;
        }
    }
    if (shownPhoto.isEmpty())
        QFile::remove(dir.filePath(photoName));
    QString page = dir.filePath(QStringLiteral("card.htm"));
    writeWhole(page, cardPageHtml(recipe, shownPhoto).toUtf8());
    return page;
}

} // namespace kb
