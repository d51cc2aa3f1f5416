#include "kitchen/ingredient.h"

#include <QList>
#include <QLocale>
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace kb::kitchen {

namespace {

struct Alias {
    const char* text; // UTF-8
    Unit unit;
    bool caseSensitive = false;
};

// Every way a unit is written after an amount. "T" is a tablespoon and "t" a teaspoon, so
// those two (and the German "EL"/"TL") are matched with their case.
const std::array kAliases = std::to_array<Alias>({
    {"g", Unit::G},
    {"gr", Unit::G},
    {"grs", Unit::G},
    {"gram", Unit::G},
    {"grams", Unit::G},
    {"gramme", Unit::G},
    {"grammes", Unit::G},
    {"gramm", Unit::G},
    {"kg", Unit::Kg},
    {"kgs", Unit::Kg},
    {"kilo", Unit::Kg},
    {"kilos", Unit::Kg},
    {"kilogram", Unit::Kg},
    {"kilograms", Unit::Kg},
    {"kilogramme", Unit::Kg},
    {"kilogrammes", Unit::Kg},
    {"kilogramm", Unit::Kg},
    {"mg", Unit::Mg},
    {"milligram", Unit::Mg},
    {"milligrams", Unit::Mg},
    {"ml", Unit::Ml},
    {"mls", Unit::Ml},
    {"millilitre", Unit::Ml},
    {"millilitres", Unit::Ml},
    {"milliliter", Unit::Ml},
    {"milliliters", Unit::Ml},
    {"cl", Unit::Cl},
    {"centilitre", Unit::Cl},
    {"centilitres", Unit::Cl},
    {"centiliter", Unit::Cl},
    {"centiliters", Unit::Cl},
    {"dl", Unit::Dl},
    {"decilitre", Unit::Dl},
    {"decilitres", Unit::Dl},
    {"deciliter", Unit::Dl},
    {"deciliters", Unit::Dl},
    {"l", Unit::L},
    {"lt", Unit::L},
    {"ltr", Unit::L},
    {"litre", Unit::L},
    {"litres", Unit::L},
    {"liter", Unit::L},
    {"liters", Unit::L},
    {"t", Unit::Tsp, true},
    {"ts", Unit::Tsp},
    {"tsp", Unit::Tsp},
    {"tsps", Unit::Tsp},
    {"tspn", Unit::Tsp},
    {"teaspoon", Unit::Tsp},
    {"teaspoons", Unit::Tsp},
    {"teaspoonful", Unit::Tsp},
    {"teaspoonfuls", Unit::Tsp},
    {"TL", Unit::Tsp, true},
    {"Teelöffel", Unit::Tsp},
    {"cc", Unit::Tsp, true},
    {"c. à c.", Unit::Tsp},
    {"c.à.c.", Unit::Tsp},
    {"c.à.c", Unit::Tsp},
    {"càc", Unit::Tsp},
    {"cuillère à café", Unit::Tsp},
    {"cuillères à café", Unit::Tsp},
    {"cuil. à café", Unit::Tsp},
    {"c. à café", Unit::Tsp},
    {"T", Unit::Tbsp, true},
    {"Tb", Unit::Tbsp, true},
    {"TB", Unit::Tbsp, true},
    {"tbs", Unit::Tbsp},
    {"tbl", Unit::Tbsp},
    {"tbsp", Unit::Tbsp},
    {"tbsps", Unit::Tbsp},
    {"tblsp", Unit::Tbsp},
    {"tblspn", Unit::Tbsp},
    {"tablespoon", Unit::Tbsp},
    {"tablespoons", Unit::Tbsp},
    {"tablespoonful", Unit::Tbsp},
    {"tablespoonfuls", Unit::Tbsp},
    {"EL", Unit::Tbsp, true},
    {"Esslöffel", Unit::Tbsp},
    {"cs", Unit::Tbsp, true},
    {"c. à s.", Unit::Tbsp},
    {"c.à.s.", Unit::Tbsp},
    {"c.à.s", Unit::Tbsp},
    {"càs", Unit::Tbsp},
    {"cuillère à soupe", Unit::Tbsp},
    {"cuillères à soupe", Unit::Tbsp},
    {"cuil. à soupe", Unit::Tbsp},
    {"c. à soupe", Unit::Tbsp},
    {"c", Unit::Cup, true},
    {"C", Unit::Cup, true},
    {"cup", Unit::Cup},
    {"cups", Unit::Cup},
    {"cupful", Unit::Cup},
    {"cupfuls", Unit::Cup},
    {"Tasse", Unit::Cup},
    {"Tassen", Unit::Cup},
    {"tasses", Unit::Cup},
    {"fl oz", Unit::FlOz},
    {"fl. oz", Unit::FlOz},
    {"fl.oz", Unit::FlOz},
    {"floz", Unit::FlOz},
    {"fluid ounce", Unit::FlOz},
    {"fluid ounces", Unit::FlOz},
    {"pint", Unit::Pint},
    {"pints", Unit::Pint},
    {"pt", Unit::Pint},
    {"pts", Unit::Pint},
    {"quart", Unit::Quart},
    {"quarts", Unit::Quart},
    {"qt", Unit::Quart},
    {"qts", Unit::Quart},
    {"gallon", Unit::Gallon},
    {"gallons", Unit::Gallon},
    {"gal", Unit::Gallon},
    {"oz", Unit::Oz},
    {"ozs", Unit::Oz},
    {"ounce", Unit::Oz},
    {"ounces", Unit::Oz},
    {"lb", Unit::Lb},
    {"lbs", Unit::Lb},
    {"pound", Unit::Lb},
    {"pounds", Unit::Lb},
    {"pinch", Unit::Pinch},
    {"pinches", Unit::Pinch},
    {"Prise", Unit::Pinch},
    {"Prisen", Unit::Pinch},
    {"Msp", Unit::Pinch},
    {"Messerspitze", Unit::Pinch},
    {"pincée", Unit::Pinch},
    {"pincées", Unit::Pinch},
    {"dash", Unit::Dash},
    {"dashes", Unit::Dash},
    {"Spritzer", Unit::Dash},
    {"Schuss", Unit::Dash},
    {"clove", Unit::Clove},
    {"cloves", Unit::Clove},
    {"Zehe", Unit::Clove},
    {"Zehen", Unit::Clove},
    {"gousse", Unit::Clove},
    {"gousses", Unit::Clove},
    {"can", Unit::Can},
    {"cans", Unit::Can},
    {"tin", Unit::Can},
    {"tins", Unit::Can},
    {"Dose", Unit::Can},
    {"Dosen", Unit::Can},
    {"boîte", Unit::Can},
    {"boîtes", Unit::Can},
    {"package", Unit::Package},
    {"packages", Unit::Package},
    {"pkg", Unit::Package},
    {"pkgs", Unit::Package},
    {"packet", Unit::Package},
    {"packets", Unit::Package},
    {"pack", Unit::Package},
    {"packs", Unit::Package},
    {"Packung", Unit::Package},
    {"Packungen", Unit::Package},
    {"Päckchen", Unit::Package},
    {"Pck", Unit::Package},
    {"Pkt", Unit::Package},
    {"sachet", Unit::Package},
    {"sachets", Unit::Package},
    {"paquet", Unit::Package},
    {"paquets", Unit::Package},
    {"slice", Unit::Slice},
    {"slices", Unit::Slice},
    {"Scheibe", Unit::Slice},
    {"Scheiben", Unit::Slice},
    {"tranche", Unit::Slice},
    {"tranches", Unit::Slice},
    {"piece", Unit::Piece},
    {"pieces", Unit::Piece},
    {"pc", Unit::Piece},
    {"pcs", Unit::Piece},
    {"Stück", Unit::Piece},
    {"Stk", Unit::Piece},
    {"morceau", Unit::Piece},
    {"morceaux", Unit::Piece},
    {"bunch", Unit::Bunch},
    {"bunches", Unit::Bunch},
    {"Bund", Unit::Bunch},
    {"botte", Unit::Bunch},
    {"bottes", Unit::Bunch},
    {"sprig", Unit::Sprig},
    {"sprigs", Unit::Sprig},
    {"Zweig", Unit::Sprig},
    {"Zweige", Unit::Sprig},
    {"brin", Unit::Sprig},
    {"brins", Unit::Sprig},
    {"stick", Unit::Stick},
    {"sticks", Unit::Stick},
    {"Stange", Unit::Stick},
    {"Stangen", Unit::Stick},
    {"handful", Unit::Handful},
    {"handfuls", Unit::Handful},
    {"Handvoll", Unit::Handful},
    {"poignée", Unit::Handful},
    {"poignées", Unit::Handful},
    {"cm", Unit::Cm},
    {"centimetre", Unit::Cm},
    {"centimetres", Unit::Cm},
    {"centimeter", Unit::Cm},
    {"centimeters", Unit::Cm},
    {"inch", Unit::Inch},
    {"inches", Unit::Inch},
    {"in.", Unit::Inch},
});

struct PreparedAlias {
    QString text;
    Unit unit;
    bool caseSensitive;
    char16_t first; // lower case, to pass over most aliases at once
};

// The aliases, longest first, so that "tbsp" wins over "t" and "fl oz" over "fl".
const std::vector<PreparedAlias>& aliases() {
    static const std::vector<PreparedAlias> all = [] {
        std::vector<PreparedAlias> v;
        v.reserve(kAliases.size());
        for (const Alias& a : kAliases) {
            const QString text = QString::fromUtf8(a.text);
            v.push_back({text, a.unit, a.caseSensitive, text.front().toLower().unicode()});
        }
        std::stable_sort(v.begin(), v.end(), [](const auto& a, const auto& b) {
            return a.text.size() > b.text.size();
        });
        return v;
    }();
    return all;
}

struct Word {
    const char* text;
    double value;
};

// Number words, lower case; "a"/"an" are handled apart.
const std::array kNumberWords = std::to_array<Word>({
    {"one", 1},      {"two", 2},      {"three", 3},  {"four", 4},   {"five", 5},
    {"six", 6},      {"seven", 7},    {"eight", 8},  {"nine", 9},   {"ten", 10},
    {"eleven", 11},  {"twelve", 12},  {"dozen", 12}, {"half", 0.5}, {"quarter", 0.25},
    {"couple", 2},   {"ein", 1},      {"eine", 1},   {"einen", 1},  {"zwei", 2},
    {"drei", 3},     {"vier", 4},     {"fünf", 5},   {"sechs", 6},  {"sieben", 7},
    {"acht", 8},     {"neun", 9},     {"zehn", 10},  {"zwölf", 12}, {"halbe", 0.5},
    {"halber", 0.5}, {"halbes", 0.5}, {"halb", 0.5}, {"un", 1},     {"une", 1},
    {"deux", 2},     {"trois", 3},    {"quatre", 4}, {"cinq", 5},   {"sept", 7},
    {"huit", 8},     {"neuf", 9},     {"dix", 10},   {"douze", 12}, {"demi", 0.5},
    {"demie", 0.5},
});

// Words before a unit that say how it is filled ("2 heaped tbsp", "3 large cloves").
const std::array kUnitAdjectives = std::to_array<const char*>({
    "large",          "small",       "medium",   "big",       "heaping",     "heaped",
    "level",          "scant",       "good",     "generous",  "rounded",     "thin",
    "thick",          "extra-large", "whole",    "full",      "packed",      "firmly packed",
    "lightly packed", "fat",         "gehäufte", "gehäufter", "gestrichene", "gestrichener",
    "kleine",         "große",       "grosse",   "bonne",     "grosse",      "petite",
    "rase",           "bombée",
});

// Words before an amount that leave it as it is ("about 2 cups").
const std::array kLeadingWords = std::to_array<const char*>({
    "about",
    "approximately",
    "approx.",
    "approx",
    "around",
    "roughly",
    "ca.",
    "circa",
    "etwa",
    "env.",
    "environ",
    "generous",
    "scant",
    "heaping",
    "heaped",
    "rounded",
    "level",
});

// Phrases that mean the cook decides the amount.
const std::array kToTaste = std::to_array<const char*>({
    "to taste",
    "as needed",
    "as required",
    "as desired",
    "if needed",
    "for seasoning",
    "nach geschmack",
    "nach belieben",
    "au goût",
    "selon le goût",
    "selon goût",
});

const QStringList& toTastePhrases() {
    static const QStringList all = [] {
        QStringList v;
        for (const char* p : kToTaste)
            v << QString::fromUtf8(p);
        return v;
    }();
    return all;
}

bool mentionsTaste(const QString& text) {
    for (const QString& p : toTastePhrases())
        if (text.contains(p, Qt::CaseInsensitive))
            return true;
    return false;
}

// Units that hold a size ("1 (14 oz) can", "2 x 400 g tins").
bool isContainer(Unit u) {
    return u == Unit::Can || u == Unit::Package || u == Unit::Stick || u == Unit::Piece ||
           u == Unit::Slice;
}

bool isFractionGlyph(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x2150 && u <= 0x215E) || u == 0x00BC || u == 0x00BD || u == 0x00BE || u == 0x2189;
}

double fractionGlyphValue(QChar c) {
    switch (c.unicode()) {
    case 0x00BC:
        return 0.25;
    case 0x00BD:
        return 0.5;
    case 0x00BE:
        return 0.75;
    case 0x2150:
        return 1.0 / 7;
    case 0x2151:
        return 1.0 / 9;
    case 0x2152:
        return 0.1;
    case 0x2153:
        return 1.0 / 3;
    case 0x2154:
        return 2.0 / 3;
    case 0x2155:
        return 0.2;
    case 0x2156:
        return 0.4;
    case 0x2157:
        return 0.6;
    case 0x2158:
        return 0.8;
    case 0x2159:
        return 1.0 / 6;
    case 0x215A:
        return 5.0 / 6;
    case 0x215B:
        return 0.125;
    case 0x215C:
        return 0.375;
    case 0x215D:
        return 0.625;
    case 0x215E:
        return 0.875;
    default:
        return 0;
    }
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isDash(QChar c) {
    return c == QLatin1Char('-') || c == QChar(0x2013) || c == QChar(0x2014) ||
           c == QChar(0x2012) || c == QChar(0x2010);
}

bool isSpace(QChar c) {
    return c.isSpace();
}

struct Range {
    double low = 0;
    std::optional<double> high;
};

class Reader {
  public:
    explicit Reader(QStringView s) : m_s(s) {}

    Ingredient read();
    std::optional<Range> amountAt(qsizetype& p) const { return amount(p); }

  private:
    QChar at(qsizetype i) const { return i < m_s.size() ? m_s[i] : QChar(); }
    qsizetype skipSpaces(qsizetype p) const {
        while (p < m_s.size() && isSpace(m_s[p]))
            ++p;
        return p;
    }
    bool letterAt(qsizetype p) const { return p < m_s.size() && m_s[p].isLetter(); }
    // `word` at p, case aside, ending where the word ends.
    qsizetype wordAt(qsizetype p, QStringView word) const {
        if (m_s.size() - p < word.size())
            return -1;
        if (m_s.mid(p, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return -1;
        const qsizetype end = p + word.size();
        if (letterAt(end) && word.back().isLetter())
            return -1;
        return end;
    }
    // The same for a word given in UTF-8, compared without making a string of it: this runs
    // for every number word at every word of a line.
    qsizetype wordAt(qsizetype p, const char* word) const {
        qsizetype i = 0;
        for (; word[i] != 0; ++i) {
            const auto c = static_cast<unsigned char>(word[i]);
            if (c >= 0x80)
                return wordAt(p, QString::fromUtf8(word));
            if (p + i >= m_s.size())
                return -1;
            char16_t t = m_s[p + i].unicode();
            if (t >= u'A' && t <= u'Z')
                t = static_cast<char16_t>(t + 32);
            const char16_t w = c >= 'A' && c <= 'Z' ? static_cast<char16_t>(c + 32) : c;
            if (t != w)
                return -1;
        }
        const qsizetype end = p + i;
        const auto last = static_cast<unsigned char>(word[i - 1]);
        if (letterAt(end) && ((last | 0x20) >= 'a' && (last | 0x20) <= 'z'))
            return -1;
        return end;
    }

    std::optional<double> number(qsizetype& p) const;
    std::optional<double> numberWord(qsizetype& p) const;
    std::optional<Range> amount(qsizetype& p) const;
    Unit unit(qsizetype& p) const;
    // "28-ounce", "400 g", "(14 oz)", "(15-ounce)": an amount of a measured unit, or nothing.
    bool size(qsizetype& p, double& quantity, Unit& sizeUnit) const;

    QStringView m_s;
    QString m_itemOverride; // the item when the unit stood inside it ("garlic cloves")
};

std::optional<double> Reader::number(qsizetype& p) const {
    qsizetype i = p;
    if (isFractionGlyph(at(i))) {
        p = i + 1;
        return fractionGlyphValue(at(i));
    }
    const bool leadingPoint = at(i) == QLatin1Char('.') && isDigit(at(i + 1));
    if (!isDigit(at(i)) && !leadingPoint)
        return std::nullopt;
    double whole = 0;
    qsizetype digits = 0;
    while (isDigit(at(i)) && digits < 9) {
        whole = whole * 10 + at(i).digitValue();
        ++i;
        ++digits;
    }
    if (isDigit(at(i)))
        return std::nullopt; // no amount has ten digits
    // A fraction "3/4" (also with the fraction slash).
    if ((at(i) == QLatin1Char('/') || at(i) == QChar(0x2044)) && isDigit(at(i + 1)) && digits > 0) {
        qsizetype j = i + 1;
        double denominator = 0;
        while (isDigit(at(j)) && denominator < 10000)
            denominator = denominator * 10 + at(j++).digitValue();
        if (denominator == 0 || isDigit(at(j)))
            return std::nullopt;
        p = j;
        return whole / denominator;
    }
    // Decimals with a point, or with a comma unless it groups thousands ("1,000").
    if ((at(i) == QLatin1Char('.') || at(i) == QLatin1Char(',')) && isDigit(at(i + 1))) {
        qsizetype j = i + 1;
        while (isDigit(at(j)))
            ++j;
        // "3.5.2" is no number at all.
        if ((at(j) == QLatin1Char('.') || at(j) == QLatin1Char(',')) && isDigit(at(j + 1)))
            return std::nullopt;
        const bool thousands = at(i) == QLatin1Char(',') && j - i - 1 == 3 && digits <= 3;
        double decimals = 0;
        double scale = 1;
        for (qsizetype k = i + 1; k < j && k < i + 10; ++k) {
            decimals = decimals * 10 + at(k).digitValue();
            scale *= 10;
        }
        p = j;
        return thousands ? whole * 1000 + decimals : whole + decimals / scale;
    }
    // A mixed number: "1½", "1 ½", "1 1/2", "1-1/2", "1 and 1/2".
    if (isFractionGlyph(at(i))) {
        p = i + 1;
        return whole + fractionGlyphValue(at(i));
    }
    qsizetype j = i;
    if (at(j) == QLatin1Char('-') || at(j) == QLatin1Char('+'))
        ++j;
    else {
        j = skipSpaces(j);
        if (const qsizetype andEnd = wordAt(j, "and"); andEnd > 0)
            j = skipSpaces(andEnd);
    }
    if (j > i && isFractionGlyph(at(j)) && at(i) != QLatin1Char('-')) {
        p = j + 1;
        return whole + fractionGlyphValue(at(j));
    }
    if (j > i && isDigit(at(j))) {
        qsizetype k = j;
        double numerator = 0;
        while (isDigit(at(k)) && k - j < 4)
            numerator = numerator * 10 + at(k++).digitValue();
        if ((at(k) == QLatin1Char('/') || at(k) == QChar(0x2044)) && isDigit(at(k + 1))) {
            qsizetype m = k + 1;
            double denominator = 0;
            while (isDigit(at(m)) && m - k < 5)
                denominator = denominator * 10 + at(m++).digitValue();
            if (denominator > numerator && !isDigit(at(m))) {
                p = m;
                return whole + numerator / denominator;
            }
        }
    }
    p = i;
    return whole;
}

std::optional<double> Reader::numberWord(qsizetype& p) const {
    if (!letterAt(p))
        return std::nullopt;
    for (const char* article : {"a", "an"}) {
        const qsizetype end = wordAt(p, article);
        if (end < 0)
            continue;
        const qsizetype next = skipSpaces(end);
        if (next == end)
            return std::nullopt;
        // "a few", "a little" are no amounts; "a half", "a dozen" are.
        for (const char* vague : {"few", "little", "bit", "touch", "lot", "splash", "drizzle",
                                  "generous amount", "good amount"})
            if (wordAt(next, vague) > 0)
                return std::nullopt;
        qsizetype q = next;
        if (const auto w = numberWord(q); w && *w != 1) {
            p = q;
            return w;
        }
        p = end;
        return 1.0;
    }
    for (const Word& w : kNumberWords) {
        const qsizetype end = wordAt(p, w.text);
        if (end < 0)
            continue;
        qsizetype next = skipSpaces(end);
        // "half a cup", "eine halbe Tasse", "one half cup"
        if (w.value == 0.5)
            if (const qsizetype a = wordAt(next, "a"); a > 0)
                next = a;
        if (w.value == 1) {
            qsizetype q = next;
            if (const auto half = numberWord(q); half && *half < 1) {
                p = q;
                return half;
            }
        }
        if (const qsizetype of = wordAt(next, "of"); of > 0 && w.value == 2)
            next = of; // "a couple of"
        p = w.value == 0.5 || w.value == 2 ? next : end;
        return w.value;
    }
    return std::nullopt;
}

std::optional<Range> Reader::amount(qsizetype& p) const {
    qsizetype i = p;
    std::optional<double> low = number(i);
    const bool numeric = low.has_value();
    if (!low)
        low = numberWord(i);
    if (!low)
        return std::nullopt;
    Range r{*low, std::nullopt};
    // A range: "2-3", "2 - 3", "2 to 3", "2 or 3", "2 bis 3", "2 à 3".
    qsizetype j = skipSpaces(i);
    qsizetype k = -1;
    bool alternative = false; // "2 or 3": near amounts only, not "1 cup or 250 g"
    if (isDash(at(j)))
        k = skipSpaces(j + 1);
    else
        for (const char* joint : {"to", "or", "bis", "\u00e0", "oder", "ou"})
            if (const qsizetype end = wordAt(j, joint);
                end > 0 && end < m_s.size() && isSpace(at(end))) {
                k = skipSpaces(end);
                alternative = at(j) == QLatin1Char('o');
                break;
            }
    if (k > 0) {
        qsizetype m = k;
        std::optional<double> high = numeric ? number(m) : numberWord(m);
        if (high && *high > r.low && (!alternative || *high <= r.low + 4)) {
            r.high = high;
            i = m;
        }
    }
    p = i;
    return r;
}

Unit Reader::unit(qsizetype& p) const {
    if (p >= m_s.size())
        return Unit::None;
    const char16_t first = m_s[p].toLower().unicode();
    for (const PreparedAlias& a : aliases()) {
        if (a.first != first)
            continue;
        if (m_s.size() - p < a.text.size())
            continue;
        if (m_s.mid(p, a.text.size())
                .compare(a.text, a.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) != 0)
            continue;
        qsizetype end = p + a.text.size();
        if (letterAt(end) || isDigit(at(end)))
            continue;
        // A capital "T" alone may begin a sentence: "T" is a unit only after an amount, which
        // is where this is called, and only before a word ("1 T sugar", "1 T. sugar").
        if (at(end) == QLatin1Char('.'))
            ++end;
        p = end;
        return a.unit;
    }
    return Unit::None;
}

bool Reader::size(qsizetype& p, double& quantity, Unit& sizeUnit) const {
    qsizetype i = p;
    const bool paren = at(i) == QLatin1Char('(');
    if (paren)
        i = skipSpaces(i + 1);
    const auto n = number(i);
    if (!n)
        return false;
    if (at(i) == QLatin1Char('-'))
        ++i;
    else
        i = skipSpaces(i);
    const Unit u = unit(i);
    const Family f = familyOf(u);
    if (f != Family::Mass && f != Family::Volume && f != Family::Length)
        return false;
    if (paren) {
        i = skipSpaces(i);
        if (at(i) != QLatin1Char(')'))
            return false;
        ++i;
    }
    quantity = *n;
    sizeUnit = u;
    p = i;
    return true;
}

QString trimmedText(QStringView v) {
    return v.trimmed().toString();
}

// Splits what follows the unit into the item and its notes: the notes are what stands in
// parentheses and what follows the first comma or semicolon.
void splitItem(QStringView rest, Ingredient& ing, QStringList& notes) {
    QString item;
    qsizetype depth = 0;
    qsizetype noteStart = -1;
    qsizetype i = 0;
    for (; i < rest.size(); ++i) {
        const QChar c = rest[i];
        if (c == QLatin1Char('(') || c == QLatin1Char('[')) {
            if (depth++ == 0)
                noteStart = i;
        } else if ((c == QLatin1Char(')') || c == QLatin1Char(']')) && depth > 0) {
            if (--depth == 0) {
                notes << rest.mid(noteStart, i - noteStart + 1).toString();
                noteStart = -1;
            }
        } else if (depth == 0 && (c == QLatin1Char(',') || c == QLatin1Char(';'))) {
            break;
        } else if (depth == 0) {
            item += c;
        }
    }
    if (depth > 0 && noteStart >= 0)
        notes << rest.mid(noteStart).toString();
    else if (i < rest.size())
        notes << trimmedText(rest.mid(i + 1));
    item = item.simplified();
    // "salt to taste", "oil as needed", "flour for dusting"
    for (const QString& p : toTastePhrases()) {
        const qsizetype at = item.indexOf(p, 0, Qt::CaseInsensitive);
        if (at > 0) {
            notes.prepend(item.mid(at).trimmed());
            item = item.left(at).trimmed();
            break;
        }
    }
    ing.item = item;
}

} // namespace

Ingredient Reader::read() {
    Ingredient ing;
    ing.text = m_s.toString();
    const auto unread = [&] {
        ing.quantity.reset();
        ing.quantityMax.reset();
        ing.unit = Unit::None;
        ing.item = ing.text;
        ing.notes.clear();
        ing.amountBegin = ing.amountEnd = ing.unitEnd = -1;
        ing.unread = true;
        return ing;
    };
    if (m_s.size() > kMaxLineLength)
        return unread();
    QStringList notes;
    qsizetype p = skipSpaces(0);
    // Bullets of a pasted list.
    if (p < m_s.size() &&
        (at(p) == QChar(0x2022) || at(p) == QChar(0x00B7) || at(p) == QLatin1Char('*') ||
         (at(p) == QLatin1Char('-') && isSpace(at(p + 1)))))
        p = skipSpaces(p + 1);
    for (const char* lead : kLeadingWords) {
        const qsizetype end = wordAt(p, lead);
        if (end > 0 && (at(end) == QLatin1Char(' ') || at(end - 1) == QLatin1Char('.'))) {
            const qsizetype q = skipSpaces(end);
            qsizetype probe = q;
            if (number(probe) || numberWord(probe)) {
                notes << m_s.mid(p, end - p).toString();
                p = q;
            }
            break;
        }
    }
    const qsizetype amountStart = p;
    std::optional<Range> amount = this->amount(p);
    if (amount && (amount->low < 0 || !std::isfinite(amount->low)))
        amount.reset();
    Unit unit = Unit::None;
    if (amount) {
        ing.quantity = amount->low;
        ing.quantityMax = amount->high;
        ing.amountBegin = amountStart;
        ing.amountEnd = p;
        qsizetype q = skipSpaces(p);
        // "2 x 400 g tins", "2 × 400g"
        bool times = false;
        if ((at(q) == QLatin1Char('x') || at(q) == QChar(0x00D7)) && !letterAt(q + 1)) {
            const qsizetype r = skipSpaces(q + 1);
            if (isDigit(at(r)) || at(r) == QLatin1Char('(')) {
                q = r;
                times = true;
            }
        }
        double sizeQuantity = 0;
        Unit sizeUnit = Unit::None;
        const qsizetype sizeStart = q;
        if (size(q, sizeQuantity, sizeUnit)) {
            const QString sizeText = m_s.mid(sizeStart, q - sizeStart).toString();
            qsizetype c = skipSpaces(q);
            const Unit container = this->unit(c);
            if (isContainer(container)) {
                notes << sizeText;
                unit = container;
                p = c;
            } else if (times) {
                ing.quantity = *ing.quantity * sizeQuantity;
                if (ing.quantityMax)
                    ing.quantityMax = *ing.quantityMax * sizeQuantity;
                unit = sizeUnit;
                p = q;
            } else if (at(sizeStart) == QLatin1Char('(') ||
                       m_s.mid(sizeStart, q - sizeStart).contains(QLatin1Char('-'))) {
                // "4 (6-ounce) salmon fillets", "1 2-pound roast": the size is a note.
                notes << sizeText;
                p = q;
            }
        }
        if (unit == Unit::None) {
            qsizetype u = skipSpaces(p);
            // "3 large cloves", "2 heaped tbsp"
            qsizetype afterAdjective = u;
            QString adjective;
            for (const char* adj : kUnitAdjectives) {
                const qsizetype end = wordAt(u, adj);
                if (end > 0) {
                    afterAdjective = skipSpaces(end);
                    adjective = m_s.mid(u, end - u).toString();
                    break;
                }
            }
            qsizetype v = afterAdjective;
            Unit found = this->unit(v);
            if (found == Unit::None && afterAdjective != u) {
                v = u;
                found = Unit::None;
            } else if (found != Unit::None) {
                if (!adjective.isEmpty())
                    notes.prepend(adjective);
                unit = found;
                p = v;
            }
        }
        if (unit != Unit::None) {
            // "10g/½oz", "1 cup/240 ml": the other system's amount is a note.
            qsizetype s = skipSpaces(p);
            if (at(s) == QLatin1Char('/')) {
                qsizetype t = skipSpaces(s + 1);
                qsizetype t0 = t;
                if (this->amount(t)) {
                    t = skipSpaces(t);
                    if (this->unit(t) != Unit::None) {
                        notes << m_s.mid(t0, t - t0).toString().trimmed();
                        p = t;
                    }
                }
            } else if (at(s) == QLatin1Char('(') && familyOf(unit) != Family::Count) {
                // "1 1/2 cups (190 g) flour": the same amount in another measure.
                double other = 0;
                Unit otherUnit = Unit::None;
                qsizetype t = s;
                if (size(t, other, otherUnit) && familyOf(otherUnit) != Family::Length) {
                    notes << m_s.mid(s, t - s).toString();
                    p = t;
                }
            }
        }
        if (unit != Unit::None && familyOf(unit) != Family::Count) {
            // "2 tablespoons plus 2 teaspoons": one amount in two measures.
            qsizetype s = skipSpaces(p);
            qsizetype t = -1;
            if (at(s) == QLatin1Char('+'))
                t = skipSpaces(s + 1);
            else if (const qsizetype e = wordAt(s, "plus"); e > 0)
                t = skipSpaces(e);
            if (t > 0) {
                if (const auto more = this->amount(t); more && !more->high) {
                    t = skipSpaces(t);
                    const Unit moreUnit = this->unit(t);
                    if (moreUnit != Unit::None && familyOf(moreUnit) == familyOf(unit)) {
                        ing.plus = more->low * baseAmount(moreUnit) / baseAmount(unit);
                        notes << m_s.mid(s, t - s).toString().trimmed();
                        p = t;
                    }
                }
            }
        }
        if (unit == Unit::None) {
            // "2 garlic cloves", "1 cinnamon stick", "1 orange slice": the unit after a word.
            qsizetype w = skipSpaces(p);
            qsizetype e = w;
            while (letterAt(e))
                ++e;
            // One word, or two ("1 fat garlic clove").
            if (e > w && at(e) == QLatin1Char(' ')) {
                qsizetype u = e + 1;
                if (this->unit(u) == Unit::None) {
                    qsizetype e2 = e + 1;
                    while (letterAt(e2))
                        ++e2;
                    qsizetype u2 = e2 + 1;
                    if (e2 > e + 1 && at(e2) == QLatin1Char(' ') && this->unit(u2) == Unit::Clove)
                        e = e2;
                }
            }
            if (e > w && at(e) == QLatin1Char(' ')) {
                qsizetype u = e + 1;
                const Unit after = this->unit(u);
                if ((after == Unit::Clove || after == Unit::Slice || after == Unit::Sprig ||
                     after == Unit::Stick || after == Unit::Bunch) &&
                    at(u - 1) != QLatin1Char('.')) {
                    unit = after;
                    ing.unitEnd = p;
                    QString rest = m_s.mid(w, e - w).toString() + m_s.mid(u).toString();
                    m_itemOverride = rest;
                }
            }
        }
        if (ing.unitEnd < 0)
            ing.unitEnd = p;
    } else {
        // "Pinch of salt", "Sprigs of watercress": a unit without an amount.
        qsizetype q = p;
        const Unit u = this->unit(q);
        const bool spelled = q - p >= 3 && letterAt(q - 1);
        if (((u == Unit::Pinch || u == Unit::Dash || u == Unit::Handful || u == Unit::Sprig ||
              u == Unit::Bunch) &&
             wordAt(skipSpaces(q), "of") > 0) ||
            // "pound elbow macaroni": a measure whose number was lost still names its unit.
            (spelled && p == skipSpaces(0) && familyOf(u) != Family::Count &&
             familyOf(u) != Family::None && familyOf(u) != Family::Length &&
             at(q) == QLatin1Char(' ') && letterAt(q + 1))) {
            unit = u;
            p = q;
        }
    }
    ing.unit = unit;
    qsizetype r = skipSpaces(p);
    for (const char* of : {"of", "de", "von", "d'", "d\u2019"}) {
        const qsizetype end = wordAt(r, of);
        if (end > 0 && (unit != Unit::None || QString::fromUtf8(of) == QLatin1String("of"))) {
            r = skipSpaces(end);
            break;
        }
    }
    // "Juice of 1 lemon", "zest of 2 limes": the amount follows its use.
    if (!ing.quantity && unit == Unit::None) {
        for (const char* use : {"juice of", "zest of", "grated zest of", "juice and zest of",
                                "zest and juice of", "finely grated zest of"}) {
            const qsizetype end = wordAt(r, use);
            if (end < 0)
                continue;
            qsizetype n = skipSpaces(end);
            const qsizetype begin = n;
            if (const auto a = this->amount(n); a && a->low > 0) {
                ing.quantity = a->low;
                ing.quantityMax = a->high;
                ing.amountBegin = begin;
                ing.amountEnd = n;
                ing.unitEnd = n;
                notes << m_s.mid(r, end - r).toString();
                r = skipSpaces(n);
            }
            break;
        }
    }
    const QStringList notesBefore = notes;
    if (!m_itemOverride.isEmpty())
        splitItem(m_itemOverride, ing, notes);
    else
        splitItem(m_s.mid(std::min(r, m_s.size())), ing, notes);
    if (unit == Unit::Clove && ing.item.isEmpty()) {
        // "3 whole cloves", "4 cloves, ground": the spice, not garlic.
        unit = Unit::None;
        ing.unit = Unit::None;
        ing.unitEnd = ing.amountEnd;
        notes = notesBefore;
        splitItem(m_s.mid(skipSpaces(ing.amountEnd)), ing, notes);
    }
    if (ing.item.isEmpty() && !ing.quantity && unit == Unit::None && notes.isEmpty())
        ing.item = m_s.trimmed().toString();
    for (const QString& n : std::as_const(notes))
        if (mentionsTaste(n))
            ing.toTaste = true;
    if (neverScales(unit) || (!ing.quantity && mentionsTaste(ing.item)))
        ing.toTaste = true;
    notes.removeAll(QString());
    ing.notes = notes.join(QStringLiteral(", "));
    // An amount the reader could not take ("Eggs 2", "3.5.2 kg"): the line stays as written.
    if (!ing.quantity && unit == Unit::None) {
        const QStringView lead = m_s.mid(amountStart);
        const bool numberFirst = !lead.isEmpty() && (isDigit(lead[0]) || isFractionGlyph(lead[0]));
        bool digitInItem = false;
        for (const QChar c : std::as_const(ing.item))
            if (isDigit(c) || isFractionGlyph(c))
                digitInItem = true;
        if (numberFirst || digitInItem)
            return unread();
    }
    return ing;
}

Ingredient readIngredient(QStringView line) {
    return Reader(line).read();
}

std::optional<AmountRange> readAmountAt(QStringView text, qsizetype& pos) {
    const Reader reader(text);
    const auto r = reader.amountAt(pos);
    if (!r)
        return std::nullopt;
    return AmountRange{r->low, r->high};
}

QList<Ingredient> readIngredients(QStringView text) {
    QList<Ingredient> out;
    for (const QStringView line : text.split(QLatin1Char('\n'))) {
        QStringView l = line;
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
        if (l.trimmed().isEmpty())
            continue;
        out.append(readIngredient(l));
    }
    return out;
}

namespace {

void appendJsonString(QString& out, QStringView s) {
    out += QLatin1Char('"');
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
}

void appendJsonNumber(QString& out, const std::optional<double>& v) {
    if (!v) {
        out += QLatin1String("null");
        return;
    }
    // Thirds and sevenths keep their shortest exact form; whole numbers print without ".0".
    out += QString::number(*v, 'g', QLocale::FloatingPointShortest);
}

} // namespace

QString ingredientJson(const Ingredient& ingredient) {
    QString out;
    out.reserve(ingredient.text.size() * 2 + 80);
    out += QLatin1String("{\"text\":");
    appendJsonString(out, ingredient.text);
    out += QLatin1String(",\"quantity\":");
    appendJsonNumber(out, ingredient.quantity);
    out += QLatin1String(",\"quantityMax\":");
    appendJsonNumber(out, ingredient.quantityMax);
    out += QLatin1String(",\"unit\":");
    if (ingredient.unit == Unit::None)
        out += QLatin1String("null");
    else
        appendJsonString(out, unitName(ingredient.unit));
    out += QLatin1String(",\"item\":");
    appendJsonString(out, ingredient.item);
    out += QLatin1Char('}');
    return out;
}

} // namespace kb::kitchen
