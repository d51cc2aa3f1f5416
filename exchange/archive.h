#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace kb::exchange {

// How much an archive from elsewhere may make us read: an archive that would go past these is
// refused in words (a zip bomb, or a file that is not a recipe export).
struct ArchiveLimits {
    qsizetype maxEntries = 20000;             // entries listed in the archive
    qint64 maxEntryBytes = qint64(64) << 20;  // one entry, unpacked
    qint64 maxTotalBytes = qint64(256) << 20; // every entry taken, unpacked
    qint64 maxRatio = 200;                    // unpacked size to packed size, for larger entries
};

struct ArchiveEntry {
    QString name; // its path inside the archive, with '/'
    QByteArray data;
};

struct ArchiveContents {
    QList<ArchiveEntry> entries;
    QStringList names; // every entry of the archive, those not taken included
    QString failure;   // why the archive can't be read; empty when it could
};

// True when the bytes begin like a zip archive.
bool isZip(const QByteArray& bytes);
// True when the bytes begin like gzip.
bool isGzip(const QByteArray& bytes);

// The entries of a zip archive whose names `wanted` accepts (all of them when not given).
ArchiveContents readZip(const QByteArray& bytes,
                        const std::function<bool(const QString&)>& wanted = {},
                        const ArchiveLimits& limits = {});

// The unpacked contents of gzip data; an empty `failure` when it worked.
QByteArray gunzip(const QByteArray& bytes, QString& failure, const ArchiveLimits& limits = {});

} // namespace kb::exchange
