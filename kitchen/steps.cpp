#include "kitchen/steps.h"

#include "kitchen/ingredient.h"

#include <array>
#include <cmath>

namespace kb::kitchen {

namespace {

struct TimeWord {
    const char* text;
    int seconds;
    bool caseSensitive;
};

// Longest first. "h" and "s" alone only count right after a number ("2h", "30 s").
const std::array kTimeWords = std::to_array<TimeWord>({
    {"minutes", 60, false},  {"minuten", 60, false}, {"minute", 60, false},
    {"mins", 60, false},     {"min.", 60, false},    {"min", 60, false},
    {"mn", 60, false},       {"hours", 3600, false}, {"hour", 3600, false},
    {"heures", 3600, false}, {"heure", 3600, false}, {"stunden", 3600, false},
    {"stunde", 3600, false}, {"std.", 3600, false},  {"hrs", 3600, false},
    {"hr", 3600, false},     {"h", 3600, false},     {"seconds", 1, false},
    {"second", 1, false},    {"sekunden", 1, false}, {"secondes", 1, false},
    {"seconde", 1, false},   {"secs", 1, false},     {"sec", 1, false},
    {"sek.", 1, false},      {"s", 1, true},
});

qsizetype timeWordAt(QStringView s, qsizetype p, int& seconds) {
    for (const TimeWord& w : kTimeWords) {
        const QLatin1String t(w.text);
        if (s.size() - p < t.size())
            continue;
        if (s.mid(p, t.size())
                .compare(t, w.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) != 0)
            continue;
        const qsizetype end = p + t.size();
        if (end < s.size() && s[end].isLetter())
            continue;
        seconds = w.seconds;
        return end;
    }
    return -1;
}

qsizetype skipSpaces(QStringView s, qsizetype p) {
    while (p < s.size() && s[p].isSpace())
        ++p;
    return p;
}

bool wordStart(QStringView s, qsizetype p) {
    return p == 0 || !(s[p - 1].isLetterOrNumber() || s[p - 1] == QLatin1Char('/') ||
                       s[p - 1] == QLatin1Char('.') || s[p - 1] == QLatin1Char(','));
}

QString trimmedNumber(double v) {
    return QString::number(v, 'f', 0);
}

// Gas marks and what they stand for in °C and °F.
struct GasMark {
    double mark;
    int celsius;
    int fahrenheit;
};
constexpr std::array<GasMark, 11> kGasMarks{{{0.25, 110, 225},
                                             {0.5, 120, 250},
                                             {1, 140, 275},
                                             {2, 150, 300},
                                             {3, 170, 325},
                                             {4, 180, 350},
                                             {5, 190, 375},
                                             {6, 200, 400},
                                             {7, 220, 425},
                                             {8, 230, 450},
                                             {9, 240, 475}}};

} // namespace

QString durationText(int seconds) {
    const int h = seconds / 3600;
    const int m = (seconds % 3600) / 60;
    const int s = seconds % 60;
    QStringList parts;
    if (h)
        parts << QStringLiteral("%1 h").arg(h);
    if (m)
        parts << QStringLiteral("%1 min").arg(m);
    if (s || parts.isEmpty())
        parts << QStringLiteral("%1 s").arg(s);
    return parts.join(QLatin1Char(' '));
}

QString Duration::text() const {
    if (secondsMax > seconds)
        return durationText(seconds) + QStringLiteral("\u2013") + durationText(secondsMax);
    return durationText(seconds);
}

QList<Duration> findDurations(QStringView step) {
    QList<Duration> found;
    constexpr double kDay = 24 * 3600;
    for (qsizetype i = 0; i < step.size(); ++i) {
        if (!wordStart(step, i))
            continue;
        qsizetype p = i;
        const auto amount = readAmountAt(step, p);
        if (!amount || p == i)
            continue;
        qsizetype q = skipSpaces(step, p);
        int unit = 0;
        const qsizetype end = timeWordAt(step, q, unit);
        // A lone "s" or "h" must follow its number closely: "2 h", not "3 seasons".
        if (end < 0) {
            i = p - 1;
            continue;
        }
        double low = amount->low * unit;
        double high = amount->high.value_or(amount->low) * unit;
        qsizetype last = end;
        // "1 hour 15 minutes", "1 h 30"
        if (unit == 3600) {
            qsizetype r = skipSpaces(step, end);
            if (const qsizetype a =
                    [&] {
                        const qsizetype andEnd = r + 3;
                        return step.mid(r, 3).compare(QLatin1String("and"), Qt::CaseInsensitive) ==
                                       0
                                   ? skipSpaces(step, andEnd)
                                   : r;
                    }();
                a < step.size()) {
                qsizetype m = a;
                if (const auto more = readAmountAt(step, m); more && !more->high && m > a) {
                    int moreUnit = 0;
                    const qsizetype moreEnd = timeWordAt(step, skipSpaces(step, m), moreUnit);
                    if (moreEnd > 0 && moreUnit == 60) {
                        low += more->low * 60;
                        high += more->low * 60;
                        last = moreEnd;
                    }
                }
            }
        }
        if (low > 0 && high < kDay) {
            Duration d;
            d.begin = i;
            d.end = last;
            d.seconds = static_cast<int>(std::lround(low));
            d.secondsMax = static_cast<int>(std::lround(high));
            found.append(d);
        }
        i = last - 1;
    }
    return found;
}

QString convertTemperatures(QStringView text, System system) {
    if (system == System::AsWritten)
        return text.toString();
    const bool toCelsius = system == System::Metric;
    QString out;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!wordStart(text, i))
            continue;
        // "gas mark 4", "Gas 6"
        for (const QLatin1String gas : {QLatin1String("gas mark"), QLatin1String("gas")}) {
            if (text.mid(i, gas.size()).compare(gas, Qt::CaseInsensitive) != 0)
                continue;
            qsizetype p = skipSpaces(text, i + gas.size());
            if (p == i + gas.size())
                continue;
            const auto mark = readAmountAt(text, p);
            if (!mark)
                continue;
            for (const GasMark& g : kGasMarks) {
                if (std::abs(g.mark - mark->low) > 0.01)
                    continue;
                out += text.mid(copied, i - copied);
                out += toCelsius ? QStringLiteral("%1\u00b0C").arg(g.celsius)
                                 : QStringLiteral("%1\u00b0F").arg(g.fahrenheit);
                copied = p;
                break;
            }
            i = p - 1;
            break;
        }
        if (copied > i)
            continue;
        qsizetype p = i;
        const auto amount = readAmountAt(text, p);
        if (!amount || p == i) {
            continue;
        }
        qsizetype q = skipSpaces(text, p);
        bool fahrenheit = false;
        bool known = false;
        qsizetype end = q;
        const auto scale = [&](qsizetype at) {
            at = skipSpaces(text, at);
            if (at < text.size() &&
                (text[at] == QLatin1Char('F') || text[at] == QLatin1Char('C'))) {
                const bool f = text[at] == QLatin1Char('F');
                qsizetype e = at + 1;
                for (const QLatin1String word :
                     {QLatin1String("ahrenheit"), QLatin1String("elsius"), QLatin1String("elcius")})
                    if (text.mid(e, word.size()).compare(word, Qt::CaseInsensitive) == 0)
                        e += word.size();
                if (e < text.size() && text[e].isLetter())
                    return false;
                fahrenheit = f;
                known = true;
                end = e;
                return true;
            }
            return false;
        };
        if (q < text.size() && (text[q] == QChar(0x00B0) || text[q] == QChar(0x00BA))) {
            if (!scale(q + 1)) {
                // A bare "180°": Celsius in an oven unless it can only be Fahrenheit.
                known = true;
                fahrenheit = amount->low > 260;
                end = q + 1;
            }
        } else {
            for (const QLatin1String word : {QLatin1String("degrees"), QLatin1String("degree"),
                                             QLatin1String("Grad"), QLatin1String("degr\u00e9s")})
                if (text.mid(q, word.size()).compare(word, Qt::CaseInsensitive) == 0) {
                    if (!scale(q + word.size())) {
                        known = true;
                        fahrenheit = amount->low > 260;
                        end = q + word.size();
                    }
                    break;
                }
            if (!known && q == p && scale(q)) {
                // "350F", "180C": only glued to the number.
            }
        }
        if (!known) {
            i = p - 1;
            continue;
        }
        if (fahrenheit == !toCelsius) {
            i = end - 1;
            continue; // already in the wanted scale
        }
        const auto convertOne = [&](double v) {
            if (toCelsius)
                return std::round((v - 32) * 5 / 9 / 5) * 5;
            // Ovens in °F are set in steps of 25 above boiling, 5 below.
            const double f = v * 9 / 5 + 32;
            return f >= 212 ? std::round(f / 25) * 25 : std::round(f / 5) * 5;
        };
        QString converted = trimmedNumber(convertOne(amount->low));
        if (amount->high)
            converted += QStringLiteral("\u2013") + trimmedNumber(convertOne(*amount->high));
        out += text.mid(copied, i - copied);
        out += converted + (toCelsius ? QStringLiteral("\u00b0C") : QStringLiteral("\u00b0F"));
        copied = end;
        i = end - 1;
    }
    out += text.mid(copied);
    return out;
}

} // namespace kb::kitchen
