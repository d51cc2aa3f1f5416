#include "details/details.h"

#include "core/app.h"
#include "core/database.h"
#include "core/recipefields.h"
#include "core/store_error.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace kb {

namespace {

const QString kCreate = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS details.recipes (id INTEGER PRIMARY KEY, category TEXT NOT NULL "
    "COLLATE NOCASE, name TEXT NOT NULL, servings REAL, yield TEXT, prep INTEGER, cook INTEGER, "
    "total INTEGER, source TEXT, tags TEXT, rating INTEGER, notes TEXT, removed INTEGER, "
    "fields BLOB);"
    "CREATE UNIQUE INDEX IF NOT EXISTS details.recipes_live ON recipes (category, name) WHERE "
    "removed IS NULL;"
    "CREATE INDEX IF NOT EXISTS details.recipes_removed ON recipes (removed) WHERE removed IS "
    "NOT NULL;"
    "CREATE TABLE IF NOT EXISTS details.photos (recipe INTEGER NOT NULL, position INTEGER NOT "
    "NULL, data BLOB NOT NULL, thumbnail BLOB, format TEXT NOT NULL, width INTEGER, height "
    "INTEGER, PRIMARY KEY (recipe, position))");

bool isAttached(Database& db) {
    for (const QVariantList& row : db.Query(QStringLiteral("PRAGMA database_list")))
        if (row.size() > 1 && row.at(1).toString() == kDetailsSchema)
            return true;
    return false;
}

// Which version of a recipe a kept-aside entry belongs to: a recipe put back from the history
// comes back with exactly these four values, a new recipe of the same name does not.
QByteArray fingerprint(const RecipeFields& fields) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const std::optional<QString>& v : fields) {
        hash.addData(v ? QByteArrayView("v") : QByteArrayView("n"));
        if (v)
            hash.addData(v->toUtf8());
        hash.addData(QByteArrayView("\0", 1));
    }
    return hash.result();
}

std::optional<std::int64_t> liveId(Database& db, const QString& category, const QString& name) {
    const auto rows = db.Query(QStringLiteral("SELECT id FROM details.recipes WHERE category = "
                                              "?1 AND name = ?2 AND removed IS NULL"),
                               {category, name});
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first().value(0).toLongLong();
}

void keepAside(Database& db, std::int64_t id, const QByteArray& print, const QDateTime& now) {
    db.Execute(QStringLiteral("UPDATE details.recipes SET removed = ?2, fields = ?3 WHERE id = ?1"),
               {QVariant::fromValue<qint64>(id), now.toMSecsSinceEpoch(), print});
}

bool recipeIsThere(Database& db, const QString& category, const QString& name) {
    bool known = false;
    for (const QString& t : db.TableDefs())
        known = known || t.compare(category, Qt::CaseInsensitive) == 0;
    if (!known)
        return false;
    auto rs = db.OpenRecordset(category);
    return rs->FindFirst(name, false);
}

// The four values of the first row of `name` in a category, as stored.
RecipeFields storedRow(Database& db, const QString& category, const QString& name) {
    auto rs = db.OpenRecordset(category);
    return rs->FindFirst(name, false) ? readFields(*rs) : RecipeFields{};
}

QString shownOr(const QString& shown, const QString& fallback) {
    return shown.isEmpty() ? fallback : QLatin1Char('"') + shown + QLatin1Char('"');
}

} // namespace

QString Photo::mimeType() const {
    return QStringLiteral("image/") + format;
}

bool Details::isEmpty() const {
    return !servings && yield.isEmpty() && prepMinutes == 0 && cookMinutes == 0 &&
           totalMinutes == 0 && source.isEmpty() && tags.isEmpty() && rating == 0 &&
           notes.isEmpty() && photos.isEmpty();
}

Photo photoFromBytes(const QByteArray& bytes, const QString& shownName) {
    const QString what = shownOr(shownName, QStringLiteral("The image"));
    if (bytes.size() > kMaxPhotoBytes)
        throw StoreError(
            QStringLiteral("%1 is larger than 10 MB, the most a photo may be.").arg(what));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The limit is the process's: every image read anywhere in the program is bounded alike.
    QImageReader::setAllocationLimit(kPhotoAllocationLimitMb);
    const QByteArray format = reader.format().toLower();
    if (format != "jpeg" && format != "png" && format != "webp")
        throw StoreError(QStringLiteral("%1 is not a JPEG, PNG or WebP image.").arg(what));
    const QSize size = reader.size();
    constexpr qint64 kBytesPerPixel = 4;
    if (!size.isValid() || size.isEmpty() ||
        qint64(size.width()) * size.height() * kBytesPerPixel >
            qint64(kPhotoAllocationLimitMb) * 1024 * 1024)
        throw StoreError(QStringLiteral("%1 is too large to open (%2 x %3 pixels).")
                             .arg(what)
                             .arg(size.width())
                             .arg(size.height()));
    // A JPEG cut short is decoded with grey where the rest should be; say so instead.
    constexpr qsizetype kJpegTail = 4096;
    if (format == "jpeg" && !bytes.right(kJpegTail).contains(QByteArrayView("\xff\xd9", 2)))
        throw StoreError(QStringLiteral("%1 is cut short: its end is missing.").arg(what));
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        throw StoreError(QStringLiteral("%1 can't be read: %2.").arg(what, reader.errorString()));
    Photo photo;
    photo.data = bytes;
    photo.format = QString::fromLatin1(format);
    photo.width = image.width();
    photo.height = image.height();
    const QImage thumb = image.width() > kThumbnailSide || image.height() > kThumbnailSide
                             ? image.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio,
                                            Qt::SmoothTransformation)
                             : image;
    QBuffer out(&photo.thumbnail);
    out.open(QIODevice::WriteOnly);
    thumb.save(&out, "PNG");
    return photo;
}

Photo photoFromFile(const QString& fileName) {
    const QFileInfo info(fileName);
    const QString shown = info.fileName();
    if (!info.exists())
        throw StoreError(QStringLiteral("\"%1\" is not there.").arg(shown));
    if (!info.isFile())
        throw StoreError(QStringLiteral("\"%1\" is not a file.").arg(shown));
    if (info.size() > kMaxPhotoBytes)
        throw StoreError(
            QStringLiteral("\"%1\" is larger than 10 MB, the most a photo may be.").arg(shown));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(
            QStringLiteral("\"%1\" can't be read: %2.").arg(shown, file.errorString()));
    // Read one byte past the limit, so that a file that grew since is refused too.
    return photoFromBytes(file.read(kMaxPhotoBytes + 1), shown);
}

std::optional<int> minutesFrom(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t.isEmpty())
        return 0;
    bool ok = false;
    const int plain = t.toInt(&ok);
    if (ok)
        return plain >= 0 && plain <= 100000 ? std::optional(plain) : std::nullopt;
    static const QRegularExpression clock(QStringLiteral("^(\\d{1,3}):(\\d{2})$"));
    if (const auto m = clock.match(t); m.hasMatch())
        return m.captured(1).toInt() * 60 + m.captured(2).toInt();
    // schema.org's ISO 8601 durations: "PT1H30M", "P1DT2H".
    static const QRegularExpression iso(
        QStringLiteral("^p(?:(\\d+)d)?(?:t(?:(\\d+)h)?(?:(\\d+)m)?(?:(\\d+)s)?)?$"));
    if (const auto m = iso.match(t); m.hasMatch() && t.size() > 1) {
        const double total = m.captured(1).toDouble() * 24 * 60 + m.captured(2).toDouble() * 60 +
                             m.captured(3).toDouble() + m.captured(4).toDouble() / 60;
        return total <= 100000 ? std::optional(static_cast<int>(std::lround(total))) : std::nullopt;
    }
    // Written ones: "1 h 30 min", "2 hours", "45 mins".
    static const QRegularExpression part(
        QStringLiteral("(\\d+(?:[.,]\\d+)?)\\s*(d|days?|h|hrs?|hours?|m|mins?|minutes?|s|secs?|"
                       "seconds?)\\b"));
    double minutes = 0;
    auto it = part.globalMatch(t);
    if (!it.hasNext())
        return std::nullopt;
    while (it.hasNext()) {
        const auto m = it.next();
        const double n = m.captured(1).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
        const QChar unit = m.captured(2).at(0);
        minutes += unit == QLatin1Char('d')   ? n * 24 * 60
                   : unit == QLatin1Char('h') ? n * 60
                   : unit == QLatin1Char('s') ? n / 60
                                              : n;
    }
    if (!std::isfinite(minutes) || minutes > 100000)
        return std::nullopt;
    return static_cast<int>(std::lround(minutes));
}

QString minutesText(int minutes) {
    if (minutes <= 0)
        return {};
    const int h = minutes / 60;
    const int m = minutes % 60;
    if (h == 0)
        return QStringLiteral("%1 min").arg(m);
    return m == 0 ? QStringLiteral("%1 h").arg(h) : QStringLiteral("%1 h %2 min").arg(h).arg(m);
}

QStringList tagsFrom(const QString& text) {
    QStringList out;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QString tag = part.simplified();
        if (!tag.isEmpty() && !out.contains(tag, Qt::CaseInsensitive))
            out << tag;
    }
    return out;
}

void applySetting(Details& details, const QString& setting) {
    const qsizetype eq = setting.indexOf(QLatin1Char('='));
    if (eq <= 0)
        throw StoreError(QStringLiteral("\"%1\" is not KEY=VALUE.").arg(setting));
    const QString key = setting.left(eq).trimmed().toLower();
    const QString value = setting.mid(eq + 1).trimmed();
    const auto wrong = [&](const QString& why) {
        return StoreError(QStringLiteral("%1=%2: %3").arg(key, value, why));
    };
    const auto minutes = [&] {
        const std::optional<int> m = minutesFrom(value);
        if (!m)
            throw wrong(QStringLiteral("give minutes (90) or a time (1 h 30 min)."));
        return *m;
    };
    if (key == QLatin1String("servings")) {
        if (value.isEmpty()) {
            details.servings.reset();
            return;
        }
        bool ok = false;
        const double n = QString(value).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (!ok || !std::isfinite(n) || n <= 0 || n > 10000)
            throw wrong(QStringLiteral("servings must be a number above 0 and at most 10000."));
        details.servings = n;
    } else if (key == QLatin1String("yield")) {
        details.yield = value;
    } else if (key == QLatin1String("prep")) {
        details.prepMinutes = minutes();
    } else if (key == QLatin1String("cook")) {
        details.cookMinutes = minutes();
    } else if (key == QLatin1String("total")) {
        details.totalMinutes = minutes();
    } else if (key == QLatin1String("source")) {
        details.source = value;
    } else if (key == QLatin1String("tags")) {
        details.tags = tagsFrom(value);
    } else if (key == QLatin1String("rating")) {
        bool ok = false;
        const int r = value.isEmpty() ? 0 : value.toInt(&ok);
        if ((!ok && !value.isEmpty()) || r < 0 || r > kMaxRating)
            throw wrong(QStringLiteral("a rating is a whole number from 0 to 5."));
        details.rating = r;
    } else if (key == QLatin1String("notes")) {
        details.notes = value;
    } else if (key == QLatin1String("photo")) {
        if (details.photos.size() >= kMaxPhotos)
            throw wrong(QStringLiteral("a recipe keeps at most %1 photos.").arg(kMaxPhotos));
        details.photos.append(photoFromFile(value));
    } else if (key == QLatin1String("photos") && value.isEmpty()) {
        details.photos.clear();
    } else {
        throw StoreError(QStringLiteral("\"%1\" is not a detail. The details are servings, yield, "
                                        "prep, cook, total, source, tags, rating, notes and "
                                        "photo.")
                             .arg(key));
    }
}

void attachDetails(Database& db) {
    if (isAttached(db))
        return;
    attachOwnSideFile(
        db, kDetailsSchema,
        RecipeFile::fromDatabasePath(withoutRecipeSuffix(db.FileName())).detailsFile());
    if (db.Query(QStringLiteral("SELECT 1 FROM details.sqlite_master WHERE name = 'photos'"))
            .isEmpty()) {
        db.Transaction([&] {
            for (const QString& sql : kCreate.split(QLatin1Char(';')))
                db.Execute(sql);
        });
    }
}

Details readDetails(Database& db, const QString& category, const QString& name, bool withPhotos) {
    attachDetails(db);
    Details d;
    const auto rows = db.Query(
        QStringLiteral("SELECT id, servings, yield, prep, cook, total, source, tags, rating, notes "
                       "FROM details.recipes WHERE category = ?1 AND name = ?2 AND removed IS "
                       "NULL"),
        {category, name});
    if (rows.isEmpty())
        return d;
    const QVariantList& r = rows.first();
    // Values are checked as if typed: the file may have been written by something else.
    const double servings = r.value(1).toDouble();
    if (!r.value(1).isNull() && std::isfinite(servings) && servings > 0)
        d.servings = servings;
    d.yield = r.value(2).toString();
    const auto mins = [](const QVariant& v) { return std::clamp(v.toInt(), 0, 100000); };
    d.prepMinutes = mins(r.value(3));
    d.cookMinutes = mins(r.value(4));
    d.totalMinutes = mins(r.value(5));
    d.source = r.value(6).toString();
    const QString tags = r.value(7).toString();
    if (!tags.isEmpty())
        d.tags = tags.split(QLatin1Char('\n'));
    d.rating = std::clamp(r.value(8).toInt(), 0, kMaxRating);
    d.notes = r.value(9).toString();
    const QString columns = withPhotos ? QStringLiteral("data") : QStringLiteral("NULL");
    for (const QVariantList& p :
         db.Query(QStringLiteral("SELECT %1, thumbnail, format, width, height FROM details.photos "
                                 "WHERE recipe = ?1 ORDER BY position LIMIT ?2")
                      .arg(columns),
                  {r.value(0), kMaxPhotos})) {
        Photo photo;
        photo.data = p.value(0).toByteArray();
        photo.thumbnail = p.value(1).toByteArray();
        photo.format = p.value(2).toString();
        photo.width = p.value(3).toInt();
        photo.height = p.value(4).toInt();
        d.photos.append(std::move(photo));
    }
    return d;
}

QByteArray firstThumbnail(Database& db, const QString& category, const QString& name) {
    attachDetails(db);
    const auto rows = db.Query(
        QStringLiteral("SELECT p.thumbnail FROM details.recipes r JOIN details.photos p ON "
                       "p.recipe = r.id WHERE r.category = ?1 AND r.name = ?2 AND r.removed IS "
                       "NULL ORDER BY p.position LIMIT 1"),
        {category, name});
    return rows.isEmpty() ? QByteArray() : rows.first().value(0).toByteArray();
}

QByteArray photoData(Database& db, const QString& category, const QString& name, int position) {
    attachDetails(db);
    const auto rows = db.Query(
        QStringLiteral("SELECT p.data FROM details.recipes r JOIN details.photos p ON p.recipe = "
                       "r.id WHERE r.category = ?1 AND r.name = ?2 AND r.removed IS NULL ORDER "
                       "BY p.position LIMIT 1 OFFSET ?3"),
        {category, name, position});
    return rows.isEmpty() ? QByteArray() : rows.first().value(0).toByteArray();
}

QList<DetailHit> recipesWithDetailText(Database& db, const QStringList& terms, int limit) {
    attachDetails(db);
    QList<DetailHit> out;
    if (terms.isEmpty())
        return out;
    for (const QVariantList& r : db.Query(
             QStringLiteral("SELECT category, name, tags, notes, source FROM details.recipes WHERE "
                            "removed IS NULL AND (tags <> '' OR notes <> '' OR source <> '') "
                            "ORDER BY category, name"))) {
        const QString tags = r.value(2).toString();
        const QString notes = r.value(3).toString();
        const QString source = r.value(4).toString();
        const QString all =
            (tags + QLatin1Char('\n') + notes + QLatin1Char('\n') + source).toLower();
        if (!std::all_of(terms.begin(), terms.end(),
                         [&](const QString& t) { return all.contains(t); }))
            continue;
        // The first detail holding the first term is the one shown.
        const QString& first = terms.first();
        QString snippet;
        if (tags.toLower().contains(first))
            snippet =
                QStringLiteral("Tags: ") + tags.split(QLatin1Char('\n')).join(QStringLiteral(", "));
        else if (notes.toLower().contains(first))
            snippet = QStringLiteral("Notes: ") + notes.simplified().left(120);
        else
            snippet = QStringLiteral("Source: ") + source;
        out.append({r.value(0).toString(), r.value(1).toString(), snippet});
        if (out.size() >= limit)
            break;
    }
    return out;
}

void storeDetails(Database& db, const QString& category, const QString& name,
                  const Details& details) {
    if (details.photos.size() > kMaxPhotos)
        throw StoreError(QStringLiteral("A recipe keeps at most %1 photos.").arg(kMaxPhotos));
    if (const auto id = liveId(db, category, name)) {
        db.Execute(QStringLiteral("DELETE FROM details.photos WHERE recipe = ?1"),
                   {QVariant::fromValue<qint64>(*id)});
        db.Execute(QStringLiteral("DELETE FROM details.recipes WHERE id = ?1"),
                   {QVariant::fromValue<qint64>(*id)});
    }
    if (details.isEmpty())
        return;
    const auto minutes = [](int m) { return m > 0 ? QVariant(m) : QVariant(); };
    db.Execute(QStringLiteral("INSERT INTO details.recipes (category, name, servings, yield, prep, "
                              "cook, total, source, tags, rating, notes) VALUES (?1, ?2, ?3, ?4, "
                              "?5, ?6, ?7, ?8, ?9, ?10, ?11)"),
               {category, name, details.servings ? QVariant(*details.servings) : QVariant(),
                details.yield, minutes(details.prepMinutes), minutes(details.cookMinutes),
                minutes(details.totalMinutes), details.source, details.tags.join(QLatin1Char('\n')),
                details.rating, details.notes});
    const qint64 id = db.LastInsertId();
    int position = 0;
    for (const Photo& p : details.photos)
        db.Execute(QStringLiteral("INSERT INTO details.photos (recipe, position, data, thumbnail, "
                                  "format, width, height) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"),
                   {id, position++, p.data, p.thumbnail, p.format, p.width, p.height});
}

void writeDetails(Database& db, const QString& category, const QString& name,
                  const Details& details) {
    attachDetails(db);
    db.Transaction([&] {
        if (!recipeIsThere(db, category, name))
            throw StoreError(QStringLiteral("\"%1\" is not in \"%2\": its details were not saved.")
                                 .arg(name, category));
        storeDetails(db, category, name, details);
    });
}

DetailsFollower::DetailsFollower(Clock clock) : m_clock(std::move(clock)) {
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTimeUtc(); };
}

void DetailsFollower::attach(Database& db) {
    attachDetails(db);
}

void DetailsFollower::record(Database& db, const RecipeChange& change) {
    using Kind = RecipeChange::Kind;
    const QDateTime now = m_clock();
    switch (change.kind) {
    case Kind::Added: {
        // A recipe put back from the history comes with the values it was deleted with; those
        // are `before` when it comes back under another name.
        const RecipeFields& was = isKnown(change.before) ? change.before : change.after;
        const QString name = nameOf(change.after);
        if (name.isEmpty() || liveId(db, change.place.category, name))
            return;
        // Looked for before anything is written: a write, even of no row, would bring this
        // file into the commit of every new recipe.
        const QList<QVariantList> kept = db.Query(
            QStringLiteral("SELECT id FROM details.recipes WHERE category = ?1 AND name = ?2 AND "
                           "fields = ?3 AND removed IS NOT NULL ORDER BY removed DESC LIMIT 1"),
            {change.place.category, nameOf(was), fingerprint(was)});
        if (kept.isEmpty())
            return;
        db.Execute(QStringLiteral("UPDATE details.recipes SET removed = NULL, fields = NULL, "
                                  "name = ?2 WHERE id = ?1"),
                   {kept.first().value(0), name});
        return;
    }
    case Kind::Edited: {
        const QString before = nameOf(change.before);
        const QString after = nameOf(change.after);
        if (before == after)
            return;
        const auto id = liveId(db, change.place.category, before);
        if (!id)
            return;
        // The new name may already have details of another recipe: those stay with it, and
        // these are kept aside with the version that had them.
        if (liveId(db, change.place.category, after))
            keepAside(db, *id, fingerprint(change.before), now);
        else
            db.Execute(QStringLiteral("UPDATE details.recipes SET name = ?2 WHERE id = ?1"),
                       {QVariant::fromValue<qint64>(*id), after});
        return;
    }
    case Kind::Deleted:
        if (const auto id = liveId(db, change.place.category, nameOf(change.before)))
            keepAside(db, *id, fingerprint(change.before), now);
        break;
    case Kind::CategoryDeleted:
        for (const QVariantList& r :
             db.Query(QStringLiteral("SELECT id, name FROM details.recipes WHERE category = ?1 "
                                     "AND removed IS NULL"),
                      {change.place.category}))
            keepAside(db, r.value(0).toLongLong(),
                      fingerprint(storedRow(db, change.place.category, r.value(1).toString())),
                      now);
        break;
    case Kind::CategoryAdded:
    case Kind::Import:
        return;
    }
    pruneDetails(db, now);
}

void pruneDetails(Database& db, const QDateTime& now) {
    constexpr int kKeptDays = 90;
    const qint64 cutoff = now.addDays(-kKeptDays).toMSecsSinceEpoch();
    db.Execute(QStringLiteral("DELETE FROM details.photos WHERE recipe IN (SELECT id FROM "
                              "details.recipes WHERE removed < ?1)"),
               {cutoff});
    db.Execute(QStringLiteral("DELETE FROM details.recipes WHERE removed < ?1"), {cutoff});
}

} // namespace kb
