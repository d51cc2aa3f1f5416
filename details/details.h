#pragma once

#include "core/recipefile.h"
#include "core/recipefollower.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

namespace kb {

class Database;

// What a cook keeps of a recipe beyond its four texts: Recipe.details beside the recipe file,
// encrypted with its key and attached as schema "details". A recipe's details are found by its
// category and trimmed name, as the recipe itself is, and follow it through every change in
// the same transaction (DetailsFollower). Details of a recipe that was deleted, or that
// another program took out of the file, are kept aside until the history's retention ends.

inline const QString kDetailsSchema = QStringLiteral("details");

// At most this many photos a recipe, each at most kMaxPhotoBytes as read.
inline constexpr int kMaxPhotos = 6;
inline constexpr qint64 kMaxPhotoBytes = 10LL * 1024 * 1024;
// The longer side of a photo's thumbnail, in pixels.
inline constexpr int kThumbnailSide = 256;
// The most a photo may take once decoded, in megabytes: a small file that claims to be
// huge is refused before any of it is decoded.
inline constexpr int kPhotoAllocationLimitMb = 256;
inline constexpr int kMaxRating = 5;

struct Photo {
    QByteArray data;      // the original bytes, as read
    QByteArray thumbnail; // PNG, at most kThumbnailSide on its longer side
    QString format;       // "jpeg", "png" or "webp"
    int width = 0;
    int height = 0;

    // "image/jpeg": for a data URL and a web page.
    QString mimeType() const;
    bool operator==(const Photo&) const = default;
};

struct Details {
    std::optional<double> servings; // how many it serves, as a number
    QString yield;                  // as written: "12 muffins"
    // Minutes; 0 when not known.
    int prepMinutes = 0;
    int cookMinutes = 0;
    int totalMinutes = 0;
    QString source;   // a web address, a book, a person
    QStringList tags; // further categories and keywords
    int rating = 0;   // 0 (none) to kMaxRating
    QString notes;
    QList<Photo> photos; // the first is the one shown

    bool isEmpty() const;
    bool operator==(const Details&) const = default;
};

// A photo made from a file's bytes: checked, decoded within kPhotoAllocationLimitMb, and given
// its thumbnail. Throws StoreError saying in words why an image is refused ("... is not a
// JPEG, PNG or WebP image", "... is larger than 10 MB", "... is too large to open").
Photo photoFromBytes(const QByteArray& bytes, const QString& shownName = {});
// The same for a file; a regular file only.
Photo photoFromFile(const QString& fileName);

// Details given as KEY=VALUE (servings=4, yield=12 muffins, prep=20, cook=1 h 30 min,
// total=..., source=..., tags=a,b, rating=4, notes=..., photo=FILE adds a photo,
// photos= removes them all), applied to `details`. Throws StoreError naming a wrong key or
// value.
void applySetting(Details& details, const QString& setting);
// Minutes from "90", "1 h 30 min", "1:30", "PT1H30M"; nullopt when it can't be read.
std::optional<int> minutesFrom(const QString& text);
// "1 h 30 min"; empty for 0.
QString minutesText(int minutes);
// The tags of a comma separated list, trimmed, empty ones and repeats left out.
QStringList tagsFrom(const QString& text);

// Attaches Recipe.details (made when missing) with its tables; harmless when attached.
void attachDetails(Database& db);

// The details of a recipe; empty details when it has none. Without photos when `withPhotos`
// is false (their thumbnails still come).
Details readDetails(Database& db, const QString& category, const QString& name,
                    bool withPhotos = true);
// The first photo's thumbnail, or nothing; cheap enough for a list of results.
QByteArray firstThumbnail(Database& db, const QString& category, const QString& name);
// The original bytes of a recipe's photo at `position` (0 is the first), or nothing; for a
// window that shows one photo of several large ones.
QByteArray photoData(Database& db, const QString& category, const QString& name, int position = 0);
// A recipe found by its details, with the detail that matched ("Tags: Winter, Soup").
struct DetailHit {
    QString category;
    QString name;
    QString snippet;
};
// The recipes whose tags, notes and source hold every one of `terms` (in lower case, found
// anywhere), at most `limit`.
QList<DetailHit> recipesWithDetailText(Database& db, const QStringList& terms, int limit = 1000);

// Replaces the details of a recipe that is in the file, in one transaction. Throws
// StoreError when the recipe is not there.
void writeDetails(Database& db, const QString& category, const QString& name,
                  const Details& details);
// The same inside a write that is already open (an import): the row is written as it stands.
void storeDetails(Database& db, const QString& category, const QString& name,
                  const Details& details);

// Keeps Recipe.details in step with every change of the recipe file: a rename takes the
// details along, a delete keeps them aside, a recipe put back from the history gets them
// again.
class DetailsFollower final : public RecipeFollower {
  public:
    using Clock = std::function<QDateTime()>;
    explicit DetailsFollower(Clock clock = {});
    void attach(Database& db) override;
    void record(Database& db, const RecipeChange& change) override;

  private:
    Clock m_clock;
};

// Drops details kept aside for longer than the history keeps recipes. Joins an open
// transaction.
void pruneDetails(Database& db, const QDateTime& now);

} // namespace kb
