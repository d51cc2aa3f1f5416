#include "kitchen/units.h"

#include <QList>
#include <array>
#include <cmath>

namespace kb::kitchen {

namespace {

struct UnitInfo {
    Unit unit;
    const char* name;
    const char* plural; // nullptr: the same as the name
    Family family;
    double base; // grams, millilitres or centimetres
    bool metric;
};

// US customary measures: a cup is 236.6 ml, an ounce 28.35 g.
constexpr double kTsp = 4.92892159375;
constexpr double kCup = 48 * kTsp;
constexpr double kOz = 28.349523125;

constexpr std::array<UnitInfo, 30> kUnits{{
    {Unit::None, "", nullptr, Family::None, 0, false},
    {Unit::G, "g", nullptr, Family::Mass, 1, true},
    {Unit::Kg, "kg", nullptr, Family::Mass, 1000, true},
    {Unit::Mg, "mg", nullptr, Family::Mass, 0.001, true},
    {Unit::Ml, "ml", nullptr, Family::Volume, 1, true},
    {Unit::Cl, "cl", nullptr, Family::Volume, 10, true},
    {Unit::Dl, "dl", nullptr, Family::Volume, 100, true},
    {Unit::L, "l", nullptr, Family::Volume, 1000, true},
    {Unit::Tsp, "tsp", nullptr, Family::Volume, kTsp, false},
    {Unit::Tbsp, "tbsp", nullptr, Family::Volume, 3 * kTsp, false},
    {Unit::Cup, "cup", "cups", Family::Volume, kCup, false},
    {Unit::FlOz, "fl oz", nullptr, Family::Volume, 6 * kTsp, false},
    {Unit::Pint, "pint", "pints", Family::Volume, 2 * kCup, false},
    {Unit::Quart, "quart", "quarts", Family::Volume, 4 * kCup, false},
    {Unit::Gallon, "gallon", "gallons", Family::Volume, 16 * kCup, false},
    {Unit::Oz, "oz", nullptr, Family::Mass, kOz, false},
    {Unit::Lb, "lb", nullptr, Family::Mass, 16 * kOz, false},
    {Unit::Pinch, "pinch", "pinches", Family::Count, 0, false},
    {Unit::Dash, "dash", "dashes", Family::Count, 0, false},
    {Unit::Clove, "clove", "cloves", Family::Count, 0, false},
    {Unit::Can, "can", "cans", Family::Count, 0, false},
    {Unit::Package, "package", "packages", Family::Count, 0, false},
    {Unit::Slice, "slice", "slices", Family::Count, 0, false},
    {Unit::Piece, "piece", "pieces", Family::Count, 0, false},
    {Unit::Bunch, "bunch", "bunches", Family::Count, 0, false},
    {Unit::Sprig, "sprig", "sprigs", Family::Count, 0, false},
    {Unit::Stick, "stick", "sticks", Family::Count, 0, false},
    {Unit::Handful, "handful", "handfuls", Family::Count, 0, false},
    {Unit::Cm, "cm", nullptr, Family::Length, 1, true},
    {Unit::Inch, "inch", "inches", Family::Length, 2.54, false},
}};

const UnitInfo& info(Unit unit) {
    return kUnits.at(static_cast<std::size_t>(unit));
}

// Grams per millilitre, the longer name first where one contains another. Figures are the
// usual kitchen ones (a cup of flour spooned and levelled weighs about 125 g).
struct DensityEntry {
    const char* name;
    double gramsPerMl;
};
constexpr std::array<DensityEntry, 34> kDensities{{
    {"all-purpose flour", 0.53},
    {"plain flour", 0.53},
    {"bread flour", 0.54},
    {"cake flour", 0.48},
    {"whole wheat flour", 0.51},
    {"whole-wheat flour", 0.51},
    {"almond flour", 0.41},
    {"flour", 0.53},
    {"mehl", 0.53},
    {"farine", 0.53},
    {"brown sugar", 0.93},
    {"powdered sugar", 0.51},
    {"confectioners' sugar", 0.51},
    {"icing sugar", 0.51},
    {"sugar", 0.85},
    {"zucker", 0.85},
    {"sucre", 0.85},
    {"butter", 0.96},
    {"beurre", 0.96},
    {"rice", 0.85},
    {"rolled oats", 0.38},
    {"oats", 0.38},
    {"cocoa powder", 0.42},
    {"cornstarch", 0.54},
    {"honey", 1.42},
    {"maple syrup", 1.32},
    {"olive oil", 0.91},
    {"vegetable oil", 0.92},
    {"oil", 0.92},
    {"milk", 1.03},
    {"milch", 1.03},
    {"lait", 1.03},
    {"water", 1.0},
    {"yogurt", 1.03},
}};

bool wordAt(QStringView text, qsizetype at, qsizetype length) {
    const auto letter = [&](qsizetype i) {
        return i >= 0 && i < text.size() && text[i].isLetter();
    };
    return !letter(at - 1) && !letter(at + length) &&
           // "buttermilk" is not butter; a plural "oats" or "eggs" still names its entry
           !(at + length < text.size() && text[at + length] == QLatin1Char('-'));
}

QString trimmedNumber(double value, int decimals) {
    QString s = QString::number(value, 'f', decimals);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    return s;
}

// The nearest kitchen fraction: eighths, or a third where that is nearer.
QString kitchenFraction(double value, bool thirds) {
    if (value < 0)
        value = 0;
    double whole = std::floor(value);
    const double part = value - whole;
    struct Choice {
        double at;
        const char* glyph;
    };
    static constexpr std::array<Choice, 11> kChoices{{{0.0, ""},
                                                      {0.125, "\u215b"},
                                                      {0.25, "\u00bc"},
                                                      {1.0 / 3, "\u2153"},
                                                      {0.375, "\u215c"},
                                                      {0.5, "\u00bd"},
                                                      {0.625, "\u215d"},
                                                      {2.0 / 3, "\u2154"},
                                                      {0.75, "\u00be"},
                                                      {0.875, "\u215e"},
                                                      {1.0, ""}}};
    const Choice* best = nullptr;
    for (const Choice& c : kChoices) {
        if (!thirds && (c.at == 1.0 / 3 || c.at == 2.0 / 3))
            continue;
        if (!best || std::abs(part - c.at) < std::abs(part - best->at))
            best = &c;
    }
    if (best->at == 1.0)
        whole += 1;
    // An amount is never rounded away to nothing.
    if (whole == 0 && best->at == 0.0)
        return value > 0 ? QStringLiteral("\u215b") : QStringLiteral("0");
    const QString glyph = QString::fromUtf8(best->glyph);
    if (whole == 0)
        return glyph;
    const QString w = QString::number(static_cast<qint64>(whole));
    return glyph.isEmpty() ? w : w + QLatin1Char(' ') + glyph;
}

Unit bestMetric(Family family, double base) {
    if (family == Family::Mass)
        return base >= 1000 ? Unit::Kg : Unit::G;
    if (family == Family::Volume)
        return base >= 1000 ? Unit::L : Unit::Ml;
    return Unit::Cm;
}

Unit bestUs(Family family, double base) {
    if (family == Family::Mass)
        return base >= 16 * kOz ? Unit::Lb : Unit::Oz;
    if (family == Family::Volume) {
        if (base >= 16 * kCup)
            return Unit::Quart;
        if (base >= kCup / 4 - 0.01)
            return Unit::Cup;
        return base >= 3 * kTsp - 0.01 ? Unit::Tbsp : Unit::Tsp;
    }
    return Unit::Inch;
}

bool measured(Family f) {
    return f == Family::Mass || f == Family::Volume || f == Family::Length;
}

} // namespace

QString unitName(Unit unit) {
    return QString::fromLatin1(info(unit).name);
}

Unit unitFromName(QStringView name) {
    for (const UnitInfo& u : kUnits)
        if (u.unit != Unit::None && name == QLatin1String(u.name))
            return u.unit;
    return Unit::None;
}

Family familyOf(Unit unit) {
    return info(unit).family;
}

bool isMetric(Unit unit) {
    return info(unit).metric;
}

double baseAmount(Unit unit) {
    return info(unit).base;
}

bool neverScales(Unit unit) {
    return unit == Unit::Pinch || unit == Unit::Dash;
}

std::optional<Density> densityOf(QStringView item) {
    const QString lower = item.toString().toLower();
    for (const DensityEntry& d : kDensities) {
        const QLatin1String name(d.name);
        for (qsizetype at = lower.indexOf(name); at >= 0; at = lower.indexOf(name, at + 1))
            if (wordAt(lower, at, name.size()))
                return Density{QString::fromLatin1(d.name), d.gramsPerMl};
    }
    return std::nullopt;
}

Amount convert(const Amount& amount, System system, QStringView item) {
    const Family family = familyOf(amount.unit);
    if (system == System::AsWritten || !measured(family))
        return amount;
    const bool toMetric = system == System::Metric;
    Family target = family;
    double factor = baseAmount(amount.unit); // the amount's base units per unit
    Amount out = amount;
    // Metric kitchens weigh their dry goods, US ones measure them by the cup: a named
    // ingredient crosses over, marked approximate.
    if (const auto density = densityOf(item)) {
        if (toMetric && family == Family::Volume && !isMetric(amount.unit)) {
            target = Family::Mass;
            factor *= density->gramsPerMl;
            out.approximate = true;
        } else if (!toMetric && family == Family::Mass && isMetric(amount.unit)) {
            target = Family::Volume;
            factor /= density->gramsPerMl;
            out.approximate = true;
        }
    }
    const double base = amount.quantity * factor;
    const double baseMax = amount.quantityMax.value_or(amount.quantity) * factor;
    // Units already in the wanted system keep their own kind (a cup stays a volume, a pint is
    // not turned into cups) unless a simpler one reads better.
    const Unit unit = toMetric ? bestMetric(target, base) : bestUs(target, base);
    if (!out.approximate && isMetric(amount.unit) == toMetric &&
        !(amount.unit == Unit::Tsp || amount.unit == Unit::Tbsp || amount.unit == Unit::Cup ||
          amount.unit == Unit::Oz || amount.unit == Unit::Lb || toMetric))
        return amount;
    out.unit = unit;
    out.quantity = base / baseAmount(unit);
    if (amount.quantityMax)
        out.quantityMax = baseMax / baseAmount(unit);
    return out;
}

QString formatQuantity(double quantity, Unit unit) {
    const Family family = familyOf(unit);
    if (unit == Unit::None || family == Family::Count)
        return kitchenFraction(quantity, true);
    if (!isMetric(unit))
        return kitchenFraction(quantity, unit == Unit::Cup || unit == Unit::Tsp ||
                                             unit == Unit::Tbsp || family == Family::Length);
    if (unit == Unit::Kg || unit == Unit::L)
        return trimmedNumber(std::round(quantity * 20) / 20, 2);
    if (quantity >= 100)
        return trimmedNumber(std::round(quantity / 5) * 5, 0);
    if (quantity >= 10)
        return trimmedNumber(std::round(quantity), 0);
    if (quantity >= 1 || unit == Unit::Cl || unit == Unit::Dl || unit == Unit::Cm)
        return trimmedNumber(std::round(quantity * 2) / 2, 1);
    return trimmedNumber(quantity, 2);
}

QString formatAmount(const Amount& amount) {
    QString text = formatQuantity(amount.quantity, amount.unit);
    double top = amount.quantity;
    if (amount.quantityMax) {
        const QString upper = formatQuantity(*amount.quantityMax, amount.unit);
        if (upper != text)
            text += QStringLiteral("\u2013") + upper;
        top = *amount.quantityMax;
    }
    if (amount.approximate)
        text.prepend(QLatin1Char('~'));
    if (amount.unit == Unit::None)
        return text;
    const UnitInfo& u = info(amount.unit);
    const bool plural = u.plural && top > 1.0625;
    return text + QLatin1Char(' ') + QString::fromLatin1(plural ? u.plural : u.name);
}

} // namespace kb::kitchen
