#pragma once

#include <QFile>
#include <QString>
#include <sys/stat.h>

namespace kb {

// A file as it is on disk: its size and its modification and change times, to the nanosecond.
// The change time moves with every write, rename or copy over the file and can't be set back,
// so an equal stamp later means nobody wrote the file in between.
struct FileStamp {
    qint64 size = -1; // -1: the file could not be looked at
    qint64 modified = 0;
    qint64 changed = 0;

    bool valid() const { return size >= 0; }
    bool operator==(const FileStamp&) const = default;

    static FileStamp of(const QString& file) {
        struct stat st {};
        if (::stat(QFile::encodeName(file).constData(), &st) != 0)
            return {};
        const auto ns = [](const timespec& t) { return qint64{t.tv_sec} * 1000000000 + t.tv_nsec; };
        return {st.st_size, ns(st.st_mtim), ns(st.st_ctim)};
    }
};

} // namespace kb
