#include "access/header.h"

#include "core/database.h"

#include <QFile>
#include <array>
#include <cstring>

namespace kb::access {

namespace {

constexpr int kMaskStart = 0x18;
constexpr int kPasswordAt = 0x42;
constexpr int kDateAt = 0x72;
constexpr int kKeyAt = 0x3e;

// The header's fixed RC4 mask.
void unmask(QByteArray& page, int length) {
    const std::array<quint8, 4> key = {0xc7, 0xda, 0x39, 0x6b};
    std::array<quint8, 256> s{};
    for (int i = 0; i < 256; ++i)
        s[static_cast<size_t>(i)] = static_cast<quint8>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[static_cast<size_t>(i)] + key[static_cast<size_t>(i % 4)]) & 0xff;
        std::swap(s[static_cast<size_t>(i)], s[static_cast<size_t>(j)]);
    }
    for (int n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xff;
        j = (j + s[static_cast<size_t>(i)]) & 0xff;
        std::swap(s[static_cast<size_t>(i)], s[static_cast<size_t>(j)]);
        const quint8 k =
            s[static_cast<size_t>((s[static_cast<size_t>(i)] + s[static_cast<size_t>(j)]) & 0xff)];
        page[kMaskStart + n] = static_cast<char>(static_cast<quint8>(page[kMaskStart + n]) ^ k);
    }
}

quint32 le32(const QByteArray& b, int at) {
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<quint8>(b[at + i]);
    return v;
}

} // namespace

bool HeaderInfo::passwordIsOurs() const {
    if (!password || password->isEmpty())
        return true;
    // The connect string is ";Pwd=<password>".
    return *password == kRecipeConnect.mid(5);
}

std::optional<QString> headerPassword(const QByteArray& raw, FileKind kind) {
    if (raw.size() < 0x80 || (kind != FileKind::Jet3 && kind != FileKind::Jet4))
        return std::nullopt;
    QByteArray page = raw.left(kMaskStart + 128);
    unmask(page, static_cast<int>(page.size()) - kMaskStart);
    QString pw;
    if (kind == FileKind::Jet3) {
        for (int i = 0; i < 20; ++i) {
            const auto c = static_cast<quint8>(page[kPasswordAt + i]);
            if (c == 0)
                break;
            // Jet 3 keeps it in the file's code page; a password is plain ASCII in practice.
            pw += QChar(static_cast<char16_t>(c));
        }
        return pw;
    }
    // Jet 4 masks it once more with the whole days of the creation date.
    double created = 0;
    std::memcpy(&created, page.constData() + kDateAt, sizeof created);
    quint32 mask = 0;
    if (created > -2147483648.0 && created < 2147483647.0)
        mask = static_cast<quint32>(static_cast<qint32>(created));
    for (int i = 0; i < 20; ++i) {
        const int at = kPasswordAt + 2 * i;
        const auto lo = static_cast<quint8>(static_cast<quint8>(page[at]) ^
                                            ((mask >> (8 * ((2 * i) % 4))) & 0xff));
        const auto hi = static_cast<quint8>(static_cast<quint8>(page[at + 1]) ^
                                            ((mask >> (8 * ((2 * i + 1) % 4))) & 0xff));
        const char16_t c = static_cast<char16_t>(lo | (hi << 8));
        if (c == 0)
            break;
        pw += QChar(c);
    }
    return pw;
}

HeaderInfo readHeader(const QString& file) {
    HeaderInfo info;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return info;
    const QByteArray page = f.read(kMaskStart + 128);
    if (page.size() < kMaskStart + 128 || page[0] != 0)
        return info;
    const QByteArray magic = page.mid(4, 15);
    if (magic == QByteArrayLiteral("Standard Jet DB"))
        info.kind = static_cast<quint8>(page[0x14]) == 0 ? FileKind::Jet3 : FileKind::Jet4;
    else if (magic == QByteArrayLiteral("Standard ACE DB"))
        info.kind = FileKind::Ace;
    else
        return info;
    if (info.kind == FileKind::Ace) {
        QByteArray plain = page;
        unmask(plain, 128);
        info.encrypted = le32(plain, kKeyAt) != 0;
        return info;
    }
    info.password = headerPassword(page, info.kind);
    return info;
}

} // namespace kb::access
