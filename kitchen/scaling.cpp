#include "kitchen/scaling.h"

#include <cmath>

namespace kb::kitchen {

namespace {

bool positive(double v) {
    return std::isfinite(v) && v > 0;
}

// `amount` in base units (g, ml, cm) of `family`, crossing volume and mass by density.
std::optional<double> inFamily(const Amount& amount, Family family, QStringView item,
                               bool& approximate) {
    const Family own = familyOf(amount.unit);
    const double base = amount.quantity * baseAmount(amount.unit);
    if (own == family)
        return own == Family::Count || own == Family::None ? amount.quantity : base;
    const auto density = densityOf(item);
    if (!density)
        return std::nullopt;
    approximate = true;
    if (own == Family::Volume && family == Family::Mass)
        return base * density->gramsPerMl;
    if (own == Family::Mass && family == Family::Volume)
        return base / density->gramsPerMl;
    return std::nullopt;
}

} // namespace

std::optional<double> factorForServings(double from, double to) {
    if (!positive(from) || !positive(to))
        return std::nullopt;
    return to / from;
}

std::optional<double> factorForAmount(const Ingredient& line, const Amount& have) {
    if (!line.quantity || line.unread || !positive(*line.quantity) || !positive(have.quantity))
        return std::nullopt;
    const Amount needed{*line.quantity, std::nullopt, line.unit, false};
    const Family family = familyOf(line.unit);
    if (family == Family::Count || family == Family::None) {
        if (have.unit != line.unit)
            return std::nullopt;
        return have.quantity / *line.quantity;
    }
    bool approximate = false;
    const auto wanted = inFamily(needed, family, line.item, approximate);
    const auto got = inFamily(have, family, line.item, approximate);
    if (!wanted || !got || !positive(*wanted))
        return std::nullopt;
    return *got / *wanted;
}

std::optional<Amount> scaledAmount(const Ingredient& line, double factor, System system) {
    if (!line.quantity || line.unread)
        return std::nullopt;
    Amount a{*line.quantity + line.plus, line.quantityMax, line.unit, false};
    if (a.quantityMax)
        *a.quantityMax += line.plus;
    if (line.scales()) {
        a.quantity *= factor;
        if (a.quantityMax)
            *a.quantityMax *= factor;
    }
    return convert(a, system, line.item);
}

ShownLine showLine(const Ingredient& line, double factor, System system) {
    ShownLine shown;
    shown.text = line.text;
    shown.unread = line.unread;
    if (line.unread || !line.quantity || line.amountBegin < 0)
        return shown;
    const bool multiply = line.scales() && factor != 1.0;
    const Family family = familyOf(line.unit);
    const bool measured =
        family == Family::Mass || family == Family::Volume || family == Family::Length;
    const bool converting = system != System::AsWritten && measured;
    if (!multiply && !converting)
        return shown;
    const auto amount = scaledAmount(line, multiply ? factor : 1.0, system);
    if (!amount)
        return shown;
    // Counted things keep their unit as written ("2 (14 oz) cans"): only the number changes.
    QString replaced;
    qsizetype end = line.unitEnd;
    if (measured) {
        replaced = formatAmount(*amount);
    } else {
        end = line.amountEnd;
        Amount number = *amount;
        number.unit = Unit::None;
        replaced = formatAmount(number);
    }
    QString text = line.text.left(line.amountBegin) + replaced;
    const QString rest = line.text.mid(end);
    if (!rest.isEmpty() && !rest.front().isSpace() && rest.front() != QLatin1Char(',') &&
        rest.front() != QLatin1Char(')'))
        text += QLatin1Char(' ');
    shown.text = text + rest;
    shown.scaled = true;
    shown.approximate = amount->approximate;
    return shown;
}

QList<ShownLine> showIngredients(QStringView ingredients, double factor, System system) {
    QList<ShownLine> out;
    for (QStringView line : ingredients.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty()) {
            out.append(ShownLine{line.toString(), false, false, false});
            continue;
        }
        out.append(showLine(readIngredient(line), factor, system));
    }
    return out;
}

} // namespace kb::kitchen
