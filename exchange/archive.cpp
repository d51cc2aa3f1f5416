#include "exchange/archive.h"

#include <zip.h>
#include <zlib.h>

#include <memory>

namespace kb::exchange {

namespace {

QString megabytes(qint64 bytes) {
    return QString::number(bytes >> 20) + QStringLiteral(" MB");
}

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
struct FileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

} // namespace

bool isZip(const QByteArray& bytes) {
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06");
}

bool isGzip(const QByteArray& bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
           static_cast<unsigned char>(bytes[1]) == 0x8B;
}

ArchiveContents readZip(const QByteArray& bytes, const std::function<bool(const QString&)>& wanted,
                        const ArchiveLimits& limits) {
    ArchiveContents out;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(
        bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0, &error);
    if (!source) {
        out.failure = QStringLiteral("it can't be read as a zip archive (%1)")
                          .arg(QString::fromUtf8(zip_error_strerror(&error)));
        zip_error_fini(&error);
        return out;
    }
    std::unique_ptr<zip_t, ZipCloser> archive(zip_open_from_source(source, ZIP_RDONLY, &error));
    if (!archive) {
        zip_source_free(source);
        out.failure = QStringLiteral("it is not a whole zip archive (%1)")
                          .arg(QString::fromUtf8(zip_error_strerror(&error)));
        zip_error_fini(&error);
        return out;
    }
    zip_error_fini(&error);
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0 || count > limits.maxEntries) {
        out.failure = QStringLiteral("it holds %1 entries, more than the %2 a recipe archive may "
                                     "have")
                          .arg(count)
                          .arg(limits.maxEntries);
        return out;
    }
    qint64 total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
            !(st.valid & ZIP_STAT_NAME))
            continue;
        const QString name = QString::fromUtf8(st.name);
        out.names << name;
        if (name.endsWith(QLatin1Char('/')) || (wanted && !wanted(name)))
            continue;
        const qint64 size = (st.valid & ZIP_STAT_SIZE) ? static_cast<qint64>(st.size) : -1;
        const qint64 packed =
            (st.valid & ZIP_STAT_COMP_SIZE) ? static_cast<qint64>(st.comp_size) : -1;
        if (size < 0 || size > limits.maxEntryBytes) {
            out.failure = QStringLiteral("its entry \"%1\" unpacks to more than %2, far more "
                                         "than a recipe needs")
                              .arg(name, megabytes(limits.maxEntryBytes));
            return out;
        }
        if (size > (qint64(1) << 20) && (packed <= 0 || size / packed > limits.maxRatio)) {
            out.failure = QStringLiteral("its entry \"%1\" unpacks to %2 times its packed size: "
                                         "it looks like a zip bomb, so it was not unpacked")
                              .arg(name)
                              .arg(packed > 0 ? size / packed : size);
            return out;
        }
        total += size;
        if (total > limits.maxTotalBytes) {
            out.failure = QStringLiteral("it unpacks to more than %1, far more than recipes "
                                         "need: it looks like a zip bomb, so it was not "
                                         "unpacked")
                              .arg(megabytes(limits.maxTotalBytes));
            return out;
        }
        std::unique_ptr<zip_file_t, FileCloser> file(
            zip_fopen_index(archive.get(), static_cast<zip_uint64_t>(i), 0));
        if (!file) {
            out.failure = QStringLiteral("its entry \"%1\" can't be unpacked (%2)")
                              .arg(name, QString::fromUtf8(zip_strerror(archive.get())));
            return out;
        }
        // Never more than the size the archive gives: one more byte shows that it lied.
        QByteArray data(static_cast<qsizetype>(size + 1), Qt::Uninitialized);
        qint64 got = 0;
        while (got <= size) {
            const zip_int64_t n =
                zip_fread(file.get(), data.data() + got, static_cast<zip_uint64_t>(size + 1 - got));
            if (n < 0) {
                out.failure = QStringLiteral("its entry \"%1\" is damaged (%2)")
                                  .arg(name, QString::fromUtf8(zip_file_strerror(file.get())));
                return out;
            }
            if (n == 0)
                break;
            got += n;
        }
        if (got != size) {
            out.failure = QStringLiteral("its entry \"%1\" is not the size the archive gives, "
                                         "so the archive is damaged or crafted")
                              .arg(name);
            return out;
        }
        data.truncate(static_cast<qsizetype>(size));
        out.entries << ArchiveEntry{name, data};
    }
    return out;
}

QByteArray gunzip(const QByteArray& bytes, QString& failure, const ArchiveLimits& limits) {
    failure.clear();
    z_stream z{};
    // 16 + MAX_WBITS: gzip framing, not zlib's.
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
        failure = QStringLiteral("it can't be unpacked (out of memory)");
        return {};
    }
    QByteArray out;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    z.avail_in = static_cast<uInt>(bytes.size());
    char buffer[65536];
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) {
            failure = QStringLiteral("its packed data is damaged (%1)")
                          .arg(QString::fromUtf8(z.msg ? z.msg : "unexpected end"));
            break;
        }
        out.append(buffer, static_cast<qsizetype>(sizeof buffer - z.avail_out));
        if (out.size() > limits.maxEntryBytes) {
            failure = QStringLiteral("it unpacks to more than %1: it looks like a zip bomb, so "
                                     "it was not unpacked")
                          .arg(megabytes(limits.maxEntryBytes));
            break;
        }
        if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) {
            failure = QStringLiteral("its packed data ends too early");
            break;
        }
    }
    inflateEnd(&z);
    if (!failure.isEmpty())
        return {};
    return out;
}

} // namespace kb::exchange
