// Recipe exchange benchmarks: a 10 000-recipe JSON-LD file and a 10 000-recipe MealMaster file
// imported into an empty recipe file, 20 000 recipes of one name imported, 100 000 recipes
// exported, a 2 MB recipe web page read, and the crafted hostile pages read whole, each timed and
// the process's peak memory taken. After the benchmark table one line per bar:
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
#include <sys/resource.h>

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

// A recipe page as big sites serve it: 2 MB of navigation, comments and markup around a
// JSON-LD block, the recipe also in microdata.
QByteArray webPage2MB() {
    QByteArray page = "<!DOCTYPE html><html><head><title>Stew</title>"
                      "<link rel=\"canonical\" href=\"https://cook.example/stew\"></head><body>";
    const QByteArray chunk = "<div class=\"comment\"><p>Lovely &amp; easy, made it twice "
                             "<a href=\"/u/1\"><b>Ann</b></a></p><ul><li>Reply</li></ul></div>\n";
    while (page.size() < (2 << 20) - 20'000)
        page += chunk;
    page += "<div itemscope itemtype=\"http://schema.org/Recipe\"><h1 itemprop=\"name\">Stew"
            "</h1></div><script type=\"application/ld+json\">{\"@context\":\"https://schema.org\","
            "\"@type\":\"Recipe\",\"name\":\"Beef &amp; Ale Stew\",\"recipeIngredient\":[";
    for (int i = 0; i < 40; ++i)
        page += QByteArray(i ? "," : "") + "\"" + QByteArray::number(i) +
                " &frac12; cups of <b>stock</b>\"";
    page += "],\"recipeInstructions\":[";
    for (int i = 0; i < 40; ++i)
        page += QByteArray(i ? "," : "") + "{\"@type\":\"HowToStep\",\"text\":\"Simmer gently for "
                                           "a while and stir &amp; taste.\"}";
    page += "]}</script></body></html>";
    return page;
}

void importWebPage(benchmark::State& state) {
    const QString file = QDir(g_dir).filePath(QStringLiteral("page.html"));
    timedPrepared(state, "import_web_page", [&] {
        return [file] {
            const kb::exchange::ReadResult r = kb::exchange::readRecipeFile(file);
            if (r.recipes.size() != 1)
                qFatal("the page gave %lld recipes", static_cast<long long>(r.recipes.size()));
        };
    });
}

// The crafted pages that once exhausted memory or never finished, at their full sizes, each
// with a recipe after the hostile part that must still be found. Run before anything else, so
// that the process's peak memory is theirs.
void craftedPages() {
    const QByteArray recipe = "<script type=\"application/ld+json\">{\"@type\":\"Recipe\","
                              "\"name\":\"Still here\"}</script>";
    const std::pair<const char*, QByteArray> pages[] = {
        {"100 000 unclosed <b><i>", QByteArray("<b><i>text ").repeated(100'000)},
        {"0.9 MB of <b><i><a>", QByteArray("<b><i><a>").repeated(100'000)},
        {"100 000 nested <div>", QByteArray("<div>").repeated(100'000)},
        {"1 million nested <div>",
         QByteArray("<div>").repeated(1'000'000) + QByteArray("</div>").repeated(1'000'000)},
    };
    double slowest = 0;
    for (const auto& [name, markup] : pages) {
        const QByteArray page = "<html><body>" + markup + recipe + "</body></html>";
        const auto start = std::chrono::steady_clock::now();
        const kb::exchange::ReadResult r = kb::exchange::readHtml(page);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("(crafted page, %s, %.1f MB: %.3f s, %s)\n", name, page.size() / 1048576.0,
                    took.count(), r.recipes.size() == 1 ? "recipe found" : "RECIPE LOST");
        if (r.recipes.size() != 1)
            qFatal("a crafted page lost its recipe");
        slowest = std::max(slowest, took.count());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    g_seconds["crafted_slowest"].push_back(slowest);
    g_seconds["crafted_peak_mb"].push_back(static_cast<double>(usage.ru_maxrss) / 1024.0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = dir.path();
    craftedPages();
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
    {
        QFile page(QDir(g_dir).filePath(QStringLiteral("page.html")));
        page.open(QIODevice::WriteOnly);
        page.write(webPage2MB());
    }
    benchmark::RegisterBenchmark("import_web_page_2mb", importWebPage)
        ->Iterations(15)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
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
    bar("import_web_page_ms", median(g_seconds["import_web_page"]) * 1000, 50);
    bar("crafted_page_slowest_s", g_seconds["crafted_slowest"].front(), 10);
    bar("crafted_page_peak_mb", g_seconds["crafted_peak_mb"].front(), 300);
    return 0;
}
