// Kitchen benchmarks: the ingredient-line reader's speed, scaling a 40-line recipe, and the
// shopping list of 50 recipes read from an open recipe file and merged. After the benchmark table
// one line per bar: BAR <name> <figure> <limit> pass|fail

#include "bench/bench_support.h"
#include "core/database.h"
#include "core/recipetable.h"
#include "kitchen/ingredient.h"
#include "kitchen/scaling.h"
#include "kitchen/shopping.h"
#include "kitchen/shoppingstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

using namespace kbbench;

namespace {

// Lines of the kinds cooks write, in English, German and French, with the awkward forms.
const std::vector<const char*> kLines = {
    "1 1/2 cups (190 g) all-purpose flour, sifted",
    "½ tsp salt",
    "2-3 cloves garlic, minced",
    "1,5 l Milch",
    "a pinch of nutmeg",
    "10g/½oz fresh tarragon",
    "salt to taste",
    "2 x 400 g tins chopped tomatoes",
    "1 (14 oz) can coconut milk",
    "3 large eggs, at room temperature",
    "2 tablespoons plus 2 teaspoons sugar",
    "1 pound boneless chicken thighs, cut into 1-inch pieces",
    "Freshly ground black pepper",
    "200 g de farine",
    "2 EL Olivenöl",
    "1 bunch flat-leaf parsley, chopped",
    "Juice of 1 lemon",
    "1/4 cup extra-virgin olive oil",
    "4 (6-ounce) salmon fillets",
    "1 1/2 to 2 pounds small potatoes",
    "3 cuillères à soupe d'huile d'olive",
    "one onion, finely chopped",
    "750 ml chicken stock",
    "2 garlic cloves, crushed",
};

QString recipe(int lines, int seed) {
    QStringList out;
    for (int i = 0; i < lines; ++i)
        out << QString::fromUtf8(kLines[static_cast<std::size_t>((i + seed) % kLines.size())]);
    return out.join(QLatin1Char('\n'));
}

QString g_base;

void readLines(benchmark::State& state) {
    QStringList lines;
    for (int i = 0; i < 100000; ++i)
        lines << QString::fromUtf8(kLines[static_cast<std::size_t>(i) % kLines.size()]);
    timed(state, "read_100k_lines", [&] {
        qsizetype n = 0;
        for (const QString& l : lines)
            n += kb::kitchen::readIngredient(l).item.size();
        benchmark::DoNotOptimize(n);
    });
}

void scale40(benchmark::State& state) {
    const QString text = recipe(40, 0);
    timed(state, "scale_40_lines", [&] {
        const auto shown = kb::kitchen::showIngredients(text, 1.5, kb::kitchen::System::Metric);
        benchmark::DoNotOptimize(shown.size());
    });
}

// The window keeps the recipe file open while it is shown: the list is read and merged again
// on an open file.
void shopping50(benchmark::State& state) {
    auto db = kb::Database::OpenDatabase(g_base);
    timed(state, "shopping_50", [&] {
        const auto listed = kb::kitchen::listedRecipes(*db);
        const auto sources = kb::kitchen::shoppingSources(*db, listed);
        const auto lines =
            kb::kitchen::mergeShopping(sources, kb::kitchen::System::Metric,
                                       kb::kitchen::aisleTable(*db), kb::kitchen::tickedLines(*db));
        if (sources.size() != 50)
            qFatal("the list held %lld recipes", static_cast<long long>(sources.size()));
        benchmark::DoNotOptimize(lines.size());
    });
    db->Close();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_base = QDir(dir.path()).filePath(QStringLiteral("Recipe"));
    {
        kb::Database::CreateDatabase(g_base);
        auto db = kb::Database::OpenDatabase(g_base);
        db->AppendTableDef(kb::recipeTableDef(*db, QStringLiteral("Dinners")));
        auto rs = db->OpenRecordset(QStringLiteral("Dinners"));
        db->Transaction([&] {
            for (int i = 0; i < 1000; ++i) {
                rs->AddNew();
                rs->SetField(0, kb::storedValue(QStringLiteral("Dinner %1").arg(i)));
                rs->SetField(1, kb::storedValue(QStringLiteral("Cook")));
                rs->SetField(2, kb::storedValue(recipe(12 + i % 20, i)));
                rs->SetField(3, kb::storedValue(QStringLiteral("Cook it.")));
                rs->Update();
            }
        });
        rs->Close();
        for (int i = 0; i < 50; ++i)
            kb::kitchen::addToShoppingList(*db, QStringLiteral("Dinners"),
                                           QStringLiteral("Dinner %1").arg(i * 20), 1 + i % 3);
        db->Close();
    }
    benchmark::RegisterBenchmark("read_100k_ingredient_lines", readLines)
        ->Iterations(3)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("scale_40_line_recipe", scale40)
        ->Iterations(50)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("shopping_list_50_recipes", shopping50)
        ->Iterations(10)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\n");
    // More is better here: the bar is a floor.
    const double perSecond = 100000 / (median(g_samples["read_100k_lines"]) / 1000);
    std::printf("BAR ingredient_lines_per_s %.0f 20000 %s\n", perSecond,
                perSecond >= 20000 ? "pass" : "fail");
    bar("scale_40_lines_ms", median(g_samples["scale_40_lines"]), 16.0,
        " (scaling alone; the card's redraw comes with the card)");
    bar("shopping_list_50_recipes_ms", median(g_samples["shopping_50"]), 50.0);
    return 0;
}
