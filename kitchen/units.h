#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace kb::kitchen {

// The units an ingredient line is read into; each has one canonical name (unitName).
enum class Unit {
    None,
    G,
    Kg,
    Mg,
    Ml,
    Cl,
    Dl,
    L,
    Tsp,
    Tbsp,
    Cup,
    FlOz,
    Pint,
    Quart,
    Gallon,
    Oz,
    Lb,
    Pinch,
    Dash,
    Clove,
    Can,
    Package,
    Slice,
    Piece,
    Bunch,
    Sprig,
    Stick,
    Handful,
    Cm,
    Inch,
};

// What a unit measures; amounts of the same family add up and convert into each other.
enum class Family { None, Mass, Volume, Length, Count };

// Which way of measuring the cook wants to see.
enum class System { AsWritten, Metric, Us };

QString unitName(Unit unit);
// The unit of a canonical name ("fl oz", "tbsp"), Unit::None for anything else.
Unit unitFromName(QStringView name);
Family familyOf(Unit unit);
bool isMetric(Unit unit);
// How many grams, millilitres or centimetres one of the unit is; 0 for count units.
double baseAmount(Unit unit);

// Pinch, dash and the like: a cook's judgement, never multiplied.
bool neverScales(Unit unit);

// Grams per millilitre of a common ingredient, from a small table of named ingredients;
// std::nullopt when the item names none of them. The conversions it allows are approximate.
struct Density {
    QString name; // the table's entry, e.g. "all-purpose flour"
    double gramsPerMl = 0;
};
std::optional<Density> densityOf(QStringView item);

// An amount with its unit, as converted or shown.
struct Amount {
    double quantity = 0;
    std::optional<double> quantityMax;
    Unit unit = Unit::None;
    bool approximate = false; // a volume/mass conversion through the density table
};

// `amount` in `system`: volume to volume and mass to mass always; volume to mass (and back)
// only when `item` is in the density table, marked approximate. Count units, and amounts that
// are already in the wanted system, stay as they are. The unit chosen is one a cook would use
// for that size (1000 g is 1 kg, 3 tsp is 1 tbsp, 16 tbsp a cup).
Amount convert(const Amount& amount, System system, QStringView item = {});

// An amount as a cook reads it: US units in kitchen fractions of eighths ("1 ½", "⅜"), metric
// units rounded sensibly ("333 g", "1.5 kg", "2.5 ml"), the count units to a quarter.
QString formatQuantity(double quantity, Unit unit);
// "1 ½ cups", "250 g", "2–3 cloves"; "~" before an approximate amount.
QString formatAmount(const Amount& amount);

} // namespace kb::kitchen
