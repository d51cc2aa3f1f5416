#include "exchange/codepages.h"

#include <QStringDecoder>
#include <array>

namespace kb::exchange {

namespace {

// Bytes 0x80 to 0xFF of code page 437 (the PC's own character set).
constexpr std::array<char16_t, 128> kCp437 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Bytes 0x80 to 0x9F of Windows-1252; the rest of the page is Latin-1. Unassigned bytes map
// to the C1 control of the same value, as Windows itself does.
constexpr std::array<char16_t, 32> kCp1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t highChar(unsigned char b, CodePage page) {
    if (page == CodePage::Cp437)
        return kCp437[b - 0x80];
    if (b < 0xA0)
        return kCp1252[b - 0x80];
    return b;
}

// How believable a character is in a recipe written in a western language.
int plausibility(char16_t c, bool besideLetter) {
    if (c >= 0x2500 && c <= 0x25FF)
        return -3; // box drawing and blocks: page furniture, not recipe text
    if (c >= 0x80 && c < 0xA0)
        return -5; // control characters
    switch (c) {
    case 0x00B0: // degree
    case 0x00BD:
    case 0x00BC:
    case 0x00BE: // fractions
    case 0x2018:
    case 0x2019:
    case 0x201C:
    case 0x201D:
    case 0x2013:
    case 0x2014:
    case 0x2026:
        return 2;
    default:
        break;
    }
    const QChar ch(c);
    if (ch.isLetter()) {
        if (c >= 0x0370 && c <= 0x03FF)
            return besideLetter ? -1 : 0; // Greek in the middle of a western word
        return besideLetter ? 2 : 0;
    }
    return 0;
}

bool isAsciiLetter(char b) {
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}

int score(const QByteArray& bytes, CodePage page) {
    int total = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80)
            continue;
        const bool beside = (i > 0 && isAsciiLetter(bytes[i - 1])) ||
                            (i + 1 < bytes.size() && isAsciiLetter(bytes[i + 1]));
        total += plausibility(highChar(b, page), beside);
    }
    return total;
}

} // namespace

QString decode(const QByteArray& bytes, CodePage page) {
    if (page == CodePage::Utf8)
        return QString::fromUtf8(bytes);
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *d++ = QChar(b < 0x80 ? char16_t(b) : highChar(b, page));
    }
    return out;
}

QByteArray encode(const QString& text, CodePage page) {
    if (page == CodePage::Utf8)
        return text.toUtf8();
    QByteArray out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < 0x80) {
            out.append(static_cast<char>(c));
            continue;
        }
        char found = '?';
        for (int b = 0x80; b <= 0xFF; ++b) {
            if (highChar(static_cast<unsigned char>(b), page) == c) {
                found = static_cast<char>(b);
                break;
            }
        }
        out.append(found);
    }
    return out;
}

CodePage detectCodePage(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8(bytes);
    if (!utf8.hasError())
        return CodePage::Utf8;
    // A DOS program's file, unless the Windows reading is clearly the better one.
    return score(bytes, CodePage::Windows1252) > score(bytes, CodePage::Cp437)
               ? CodePage::Windows1252
               : CodePage::Cp437;
}

QString codePageName(CodePage page) {
    switch (page) {
    case CodePage::Utf8:
        return QStringLiteral("UTF-8");
    case CodePage::Cp437:
        return QStringLiteral("code page 437");
    case CodePage::Windows1252:
        return QStringLiteral("Windows-1252");
    }
    return {};
}

} // namespace kb::exchange
