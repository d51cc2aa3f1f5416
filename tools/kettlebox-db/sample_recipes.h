#pragma once

#include <QList>
#include <QString>

namespace kb {

struct SampleRecipe {
    QString category;
    QString name;
    QString author;
    QString ingredients;
    QString instructions;
};

// A small starter collection of plain home cooking.
QList<SampleRecipe> sampleRecipes();

} // namespace kb
