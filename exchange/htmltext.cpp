#include "exchange/htmltext.h"

#include "exchange/htmlentities.h"

#include <QStringList>

#include <array>

namespace kb::exchange {

namespace {

bool isAsciiAlnum(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
}

// Browsers read the C1 range of a numeric reference as Windows-1252, as pages mean it.
constexpr std::array<char16_t, 32> kC1 = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

void appendCodePoint(QString& out, char32_t cp) {
    if (cp >= 0x80 && cp <= 0x9F)
        cp = kC1[cp - 0x80];
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    // Other control characters are never kept.
    if (cp < 0x20 && cp != u'\n' && cp != u'\t')
        return;
    out += QString::fromUcs4(&cp, 1);
}

// The reference starting at `text[i]` (an '&'): appended to `out`, returning the index after
// it, or -1 when there is none.
qsizetype decodeOne(QStringView text, qsizetype i, QString& out) {
    const qsizetype n = text.size();
    qsizetype j = i + 1;
    if (j < n && text[j] == QLatin1Char('#')) {
        ++j;
        const bool hex = j < n && (text[j] == QLatin1Char('x') || text[j] == QLatin1Char('X'));
        if (hex)
            ++j;
        const qsizetype start = j;
        char32_t value = 0;
        for (; j < n; ++j) {
            const char16_t u = text[j].unicode();
            int digit = -1;
            if (u >= u'0' && u <= u'9')
                digit = u - u'0';
            else if (hex && u >= u'a' && u <= u'f')
                digit = u - u'a' + 10;
            else if (hex && u >= u'A' && u <= u'F')
                digit = u - u'A' + 10;
            if (digit < 0)
                break;
            // Past the last code point the value only has to stay too large.
            if (value <= 0x10FFFF)
                value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        }
        if (j == start)
            return -1;
        if (j < n && text[j] == QLatin1Char(';'))
            ++j;
        appendCodePoint(out, value);
        return j;
    }
    // Names are ASCII letters and digits; the longest is 31 characters.
    qsizetype end = j;
    while (end < n && end - j < 32 && isAsciiAlnum(text[end]))
        ++end;
    if (end == j)
        return -1;
    std::string name = text.mid(j, end - j).toLatin1().toStdString();
    if (end < n && text[end] == QLatin1Char(';')) {
        if (const char* utf8 = namedEntity(name + ';')) {
            out += QString::fromUtf8(utf8);
            return end + 1;
        }
    }
    // The legacy names also count without their ';', as the longest that fits.
    for (auto len = static_cast<qsizetype>(name.size()); len > 1; --len) {
        if (const char* utf8 =
                namedEntity(std::string_view(name).substr(0, static_cast<size_t>(len)))) {
            out += QString::fromUtf8(utf8);
            return j + len;
        }
    }
    return -1;
}

bool hasReference(QStringView text) {
    for (qsizetype i = text.indexOf(QLatin1Char('&')); i >= 0;
         i = text.indexOf(QLatin1Char('&'), i + 1)) {
        QString ignored;
        const qsizetype after = decodeOne(text, i, ignored);
        if (after > 0 && text[after - 1] == QLatin1Char(';'))
            return true;
    }
    return false;
}

// Whether `<` at `i` opens a tag rather than standing for "less than".
bool opensTag(QStringView s, qsizetype i) {
    if (i + 1 >= s.size())
        return false;
    const QChar c = s[i + 1];
    return (c.unicode() < 128 && c.isLetter()) || c == QLatin1Char('/') || c == QLatin1Char('!') ||
           c == QLatin1Char('?');
}

// A line break made from markup, told apart from the text's own until the text is tidied.
constexpr QChar kMarkupBreak(0x01);

bool breaksLine(QStringView name) {
    static const char* const kBlocks[] = {
        "br", "p",   "div",     "li",     "ul",     "ol",      "h1",         "h2", "h3",
        "h4", "h5",  "h6",      "tr",     "table",  "section", "blockquote", "dd", "dt",
        "dl", "pre", "article", "header", "footer", "hr",      "figure"};
    for (const char* b : kBlocks)
        if (name.compare(QLatin1String(b), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Tags out, line-breaking ones as '\n'. Scripts, styles and comments go whole.
QString stripTags(QStringView s) {
    QString out;
    out.reserve(s.size());
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype lt = s.indexOf(QLatin1Char('<'), i);
        if (lt < 0) {
            out += s.mid(i);
            break;
        }
        out += s.mid(i, lt - i);
        if (!opensTag(s, lt)) {
            out += QLatin1Char('<');
            i = lt + 1;
            continue;
        }
        if (s.mid(lt, 4) == QLatin1String("<!--")) {
            const qsizetype close = s.indexOf(QLatin1String("-->"), lt + 4);
            i = close < 0 ? n : close + 3;
            continue;
        }
        const qsizetype gt = s.indexOf(QLatin1Char('>'), lt + 1);
        if (gt < 0) {
            // No end: not a tag after all.
            out += s.mid(lt);
            break;
        }
        qsizetype nameStart = lt + 1;
        if (nameStart < gt && s[nameStart] == QLatin1Char('/'))
            ++nameStart;
        qsizetype nameEnd = nameStart;
        while (nameEnd < gt && isAsciiAlnum(s[nameEnd]))
            ++nameEnd;
        const QStringView name = s.mid(nameStart, nameEnd - nameStart);
        const bool closing = s[lt + 1] == QLatin1Char('/');
        if (!closing && (name.compare(QLatin1String("script"), Qt::CaseInsensitive) == 0 ||
                         name.compare(QLatin1String("style"), Qt::CaseInsensitive) == 0)) {
            const QString end = QStringLiteral("</") + name.toString();
            const qsizetype close = s.indexOf(end, gt, Qt::CaseInsensitive);
            const qsizetype closeGt = close < 0 ? -1 : s.indexOf(QLatin1Char('>'), close);
            i = closeGt < 0 ? n : closeGt + 1;
            continue;
        }
        if (breaksLine(name))
            out += kMarkupBreak;
        i = gt + 1;
    }
    return out;
}

bool looksLikeMarkup(QStringView s) {
    for (qsizetype i = s.indexOf(QLatin1Char('<')); i >= 0; i = s.indexOf(QLatin1Char('<'), i + 1))
        if (opensTag(s, i) && s.indexOf(QLatin1Char('>'), i) > 0)
            return true;
    return false;
}

// Spaces made one, control characters dropped, lines trimmed, blank lines made one.
QString tidy(QStringView s, bool sourceBreaks) {
    QStringList lines;
    QString line;
    bool blankBefore = true;
    const auto endLine = [&] {
        const QString t = line.trimmed();
        if (!t.isEmpty()) {
            lines << t;
            blankBefore = false;
        } else if (!blankBefore) {
            lines << QString();
            blankBefore = true;
        }
        line.clear();
    };
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u == u'\n' || u == 0x2028 || u == 0x2029) {
            if (sourceBreaks) {
                endLine();
            } else if (!line.endsWith(QLatin1Char(' '))) {
                line += QLatin1Char(' ');
            }
        } else if (c == kMarkupBreak) {
            // Markup ends a line, but never makes a blank one.
            if (!line.trimmed().isEmpty())
                endLine();
            line.clear();
        } else if (u == u'\t' || u == u' ' || u == 0xA0 || u == 0x202F || u == 0x2007 ||
                   (u >= 0x2000 && u <= 0x200A) || u == 0x3000) {
            if (!line.isEmpty() && !line.endsWith(QLatin1Char(' ')))
                line += QLatin1Char(' ');
        } else if (u < 0x20 /* CR among them */ || (u >= 0x7F && u <= 0x9F) || u == 0xFEFF ||
                   u == 0x200B) {
            continue;
        } else {
            line += c;
        }
    }
    endLine();
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.join(QLatin1Char('\n'));
}

} // namespace

QString decodeEntities(QStringView text) {
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype amp = text.indexOf(QLatin1Char('&'), i);
        if (amp < 0) {
            out += text.mid(i);
            break;
        }
        out += text.mid(i, amp - i);
        const qsizetype after = decodeOne(text, amp, out);
        if (after < 0) {
            out += QLatin1Char('&');
            i = amp + 1;
        } else {
            i = after;
        }
    }
    return out;
}

QString htmlToText(QStringView html, bool sourceBreaks) {
    QString text;
    text.reserve(html.size());
    // Control characters go first: one of them marks the breaks made from markup.
    for (const QChar c : html)
        if (c.unicode() >= 0x20 || c == QLatin1Char('\n') || c == QLatin1Char('\t'))
            text += c;
    if (looksLikeMarkup(text))
        text = stripTags(text);
    if (text.contains(QLatin1Char('&'))) {
        text = decodeEntities(text);
        if (hasReference(text))
            text = decodeEntities(text);
    }
    // Markup that was itself encoded ("&lt;strong&gt;") is markup all the same.
    if (looksLikeMarkup(text))
        text = stripTags(text);
    return tidy(text, sourceBreaks);
}

} // namespace kb::exchange
