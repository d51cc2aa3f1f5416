#include "core/recipetable.h"

#include "core/app.h"

#include <algorithm>
#include <array>

namespace kb {

bool isExcludedTable(const QString& name) {
    static const std::array<QString, 7> excluded{
        QStringLiteral("MSysACEs"),          QStringLiteral("MSysModules"),
        QStringLiteral("MSysModules2"),      QStringLiteral("MSysObjects"),
        QStringLiteral("MSysQueries"),       QStringLiteral("MSysRelationships"),
        QStringLiteral("MSysAccessObjects"),
    };
    return std::find(excluded.begin(), excluded.end(), name) != excluded.end();
}

QString storedValue(const QString& text) {
    return trimSpaces(text) + QLatin1Char(' ');
}

TableDef recipeTableDef(const Database& db, const QString& category) {
    TableDef def = db.CreateTableDef(category);
    def.AppendField(TableDef::CreateField(QStringLiteral("Name"), dbText));
    def.AppendField(TableDef::CreateField(QStringLiteral("Author"), dbText));
    def.AppendField(TableDef::CreateField(QStringLiteral("Ingredients"), dbMemo));
    def.AppendField(TableDef::CreateField(QStringLiteral("Instructions"), dbMemo));
    return def;
}

} // namespace kb
