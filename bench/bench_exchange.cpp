// Recipe exchange benchmarks: a 10 000-recipe JSON-LD file and a 10 000-recipe MealMaster file
// imported into an empty recipe file, 20 000 recipes of one name imported, and 100 000 recipes
// exported. After the benchmark table one line per bar:
// BAR <name> <figure> <limit> pass|fail

#include "bench/bench_support.h"
#include "core/database.h"
#include "exchange/exporter.h"
#include "exchange/importer.h"
#include "exchange/jsonld.h"
#include "exchange/mealmaster.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

using namespace kbbench;

namespace {

std::map<std::string, std::vector<double>> g_seconds; // seconds per run
QString g_dir;
int g_serial = 0;

// Recipes of a realistic size (about 500 bytes), as another program would write them: plain
// fields, spread over 20 categories.
QList<kb::exchange::RecipeRecord> peerRecipes(int count) {
    QList<kb::exchange::RecipeRecord> list;
    list.reserve(count);
    for (int i = 0; i < count; ++i) {
        kb::exchange::RecipeRecord r;
        r.category = QStringLiteral("Category %1").arg(i % 20);
        r.name = QStringLiteral("Recipe number %1").arg(i);
        r.author = QStringLiteral("Cook %1").arg(i % 37);
        r.ingredients = QStringLiteral("250 g flour\n2 eggs\n300 ml milk\n1 pinch of salt\n30 g "
                                       "butter\n1 onion, chopped\n2 carrots\nfresh herbs");
        r.instructions = QStringLiteral("Mix the dry ingredients in a large bowl.\nBeat the eggs "
                                        "with the milk and stir in.\nLeave to rest for half an "
                                        "hour while the oven heats.\nBake until golden, about 25 "
                                        "minutes, then let it cool a little before serving.");
        list << r;
    }
    return list;
}

QString newFile() {
    const QString base = QDir(g_dir).filePath(QStringLiteral("r%1").arg(++g_serial));
    kb::Database::CreateDatabase(base);
    return base;
}

// Each iteration: `fn` sets up, untimed, and returns the part that is timed.
template <typename Fn>
void timedPrepared(benchmark::State& state, const std::string& key, Fn&& fn) {
    for (auto _ : state) {
        state.PauseTiming();
        auto prepared = fn(); // set-up, untimed; returns the timed part
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        prepared();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        g_seconds[key].push_back(took.count());
    }
}

// Reading the file and writing every recipe into an empty recipe file, in one transaction.
void importFile(benchmark::State& state, const std::string& key, const QString& fileName,
                qsizetype expected) {
    const QString file = QDir(g_dir).filePath(fileName);
    timedPrepared(state, key, [&] {
        const QString base = newFile();
        return [file, base, expected] {
            auto db = kb::Database::OpenDatabase(base);
            kb::exchange::Importer importer({});
            importer.addFile(file);
            kb::RecipeFile recipeFile = kb::RecipeFile::fromDatabasePath(base);
            const kb::exchange::ImportReport report = importer.run(recipeFile, *db);
            if (report.imported != expected)
                qFatal("the import took %lld recipes", static_cast<long long>(report.imported));
        };
    });
}

void import10k(benchmark::State& state) {
    const QString json = QDir(g_dir).filePath(QStringLiteral("10k.jsonld"));
    timedPrepared(state, "import_10k", [&] {
        const QString base = newFile();
        return [json, base] {
            auto db = kb::Database::OpenDatabase(base);
            kb::exchange::Importer importer({});
            importer.addFile(json);
            kb::RecipeFile file = kb::RecipeFile::fromDatabasePath(base);
            const kb::exchange::ImportReport report = importer.run(file, *db);
            if (report.imported != 10000)
                qFatal("the import took %lld recipes", static_cast<long long>(report.imported));
        };
    });
}

void export100k(benchmark::State& state) {
    const QString base = QDir(g_dir).filePath(QStringLiteral("r100k"));
    const QString out = QDir(g_dir).filePath(QStringLiteral("out.jsonld"));
    timedPrepared(state, "export_100k", [&] {
        return [base, out] {
            auto db = kb::Database::OpenDatabase(base);
            const kb::exchange::Collection c = kb::exchange::collectRecipes(*db);
            db->Close();
            kb::exchange::exportRecipes(out, c, kb::exchange::ExportFormat::JsonLd);
        };
    });
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = dir.path();
    std::printf("Generating the recipe files in %s ...\n", qPrintable(g_dir));
    {
        QFile json(QDir(g_dir).filePath(QStringLiteral("10k.jsonld")));
        json.open(QIODevice::WriteOnly);
        kb::exchange::writeJsonLd(json, peerRecipes(10000), {}, true);
    }
    {
        // MealMaster as peers write it: the same recipes, ingredients in the columns.
        QList<kb::exchange::RecipeRecord> recipes = peerRecipes(10000);
        QFile mmf(QDir(g_dir).filePath(QStringLiteral("10k.mmf")));
        mmf.open(QIODevice::WriteOnly);
        mmf.write(kb::exchange::writeMealMaster(recipes));
        // Recipes that all have one name, each a little different: every one gets a number.
        for (qsizetype i = 0; i < recipes.size(); ++i) {
            recipes[i].name = QStringLiteral("Pancakes");
            recipes[i].category = QStringLiteral("Breakfast");
        }
        recipes << recipes;
        for (qsizetype i = 0; i < recipes.size(); ++i)
            recipes[i].ingredients += QStringLiteral("\n%1 g sugar").arg(i);
        QFile one(QDir(g_dir).filePath(QStringLiteral("20k-one-name.jsonld")));
        one.open(QIODevice::WriteOnly);
        kb::exchange::writeJsonLd(one, recipes, {}, true);
    }
    {
        const QString base = QDir(g_dir).filePath(QStringLiteral("r100k"));
        kb::Database::CreateDatabase(base);
        auto db = kb::Database::OpenDatabase(base);
        kb::exchange::Importer importer({});
        kb::exchange::ReadResult all;
        all.recipes = peerRecipes(100000);
        importer.addRecords(QStringLiteral("generated"), all);
        const auto start = std::chrono::steady_clock::now();
        kb::RecipeFile file = kb::RecipeFile::fromDatabasePath(base);
        importer.run(file, *db);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("(100 000 recipes written into an empty file by the importer in %.1f s)\n",
                    took.count());
    }
    benchmark::RegisterBenchmark("import_10k_jsonld", import10k)
        ->Iterations(3)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("import_10k_mealmaster",
                                 [](benchmark::State& state) {
                                     importFile(state, "import_10k_mm", QStringLiteral("10k.mmf"),
                                                10000);
                                 })
        ->Iterations(3)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("import_20k_one_name",
                                 [](benchmark::State& state) {
                                     importFile(state, "import_one_name",
                                                QStringLiteral("20k-one-name.jsonld"), 20000);
                                 })
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("export_100k_jsonld", export100k)
        ->Iterations(3)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\n");
    bar("import_10k_jsonld_s", median(g_seconds["import_10k"]), 10.0);
    bar("import_10k_mealmaster_s", median(g_seconds["import_10k_mm"]), 10.0);
    bar("import_20k_one_name_s", median(g_seconds["import_one_name"]), 10.0);
    bar("export_100k_jsonld_s", median(g_seconds["export_100k"]), 0);
    return 0;
}
