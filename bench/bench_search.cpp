// Search benchmarks on a generated file of 100 000 varied recipes in 200 categories, kept
// under build-bench/ between runs. After the benchmark table one line per bar:
// BAR <name> <figure> <limit> pass|fail

#include "bench/bench_files.h"
#include "bench/bench_support.h"
#include "core/database.h"
#include "platform/imagelist.h"
#include "search/searchindex.h"
#include "store/recipebas.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/store_controls.h"
#include "ui/search/findrecipe.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <random>
#include <sys/stat.h>

using namespace kbbench;

namespace {

constexpr int kCategories = 200;
constexpr int kRecipes = 100000;

QString g_base; // the recipe file without ".mdb"

const std::vector<const char*> kAdjectives = {"Smoky",  "Spiced", "Creamy",    "Quick",   "Rustic",
                                              "Golden", "Lemon",  "Herbed",    "Roast",   "Slow",
                                              "Crispy", "Summer", "Winter",    "Garden",  "Sweet",
                                              "Hot",    "Mild",   "Grandma's", "Country", "Wild"};
const std::vector<const char*> kFoods = {
    "tomato",    "lentil",     "chicken",    "beef",      "pork",       "salmon",      "cod",
    "mushroom",  "leek",       "potato",     "carrot",    "pumpkin",    "spinach",     "chickpea",
    "bean",      "rice",       "barley",     "apple",     "pear",       "plum",        "cherry",
    "lemon",     "orange",     "almond",     "walnut",    "hazelnut",   "chocolate",   "vanilla",
    "cinnamon",  "ginger",     "garlic",     "onion",     "pepper",     "chilli",      "basil",
    "thyme",     "rosemary",   "sage",       "parsley",   "coriander",  "cumin",       "paprika",
    "fennel",    "celery",     "cabbage",    "kale",      "broccoli",   "cauliflower", "aubergine",
    "courgette", "pea",        "corn",       "oat",       "honey",      "butter",      "cream",
    "cheese",    "yoghurt",    "egg",        "flour",     "sugar",      "lamb",        "duck",
    "prawn",     "mussel",     "crab",       "tuna",      "sardine",    "anchovy",     "olive",
    "caper",     "raisin",     "date",       "fig",       "apricot",    "peach",       "mango",
    "coconut",   "lime",       "mint",       "dill",      "tarragon",   "saffron",     "nutmeg",
    "clove",     "cardamom",   "sesame",     "peanut",    "cashew",     "pistachio",   "quince",
    "rhubarb",   "gooseberry", "blackberry", "raspberry", "strawberry", "blueberry",   "beetroot",
    "turnip",    "parsnip",    "radish",     "shallot",   "chive",      "sorrel"};
const std::vector<const char*> kDishes = {"Soup",      "Stew",     "Pie",     "Tart",    "Salad",
                                          "Curry",     "Risotto",  "Bake",    "Roast",   "Cake",
                                          "Bread",     "Pudding",  "Crumble", "Gratin",  "Pasta",
                                          "Casserole", "Fritters", "Jam",     "Chutney", "Sorbet"};
const std::vector<const char*> kVerbs = {
    "Chop",   "Slice", "Fry",   "Simmer", "Boil",  "Bake",  "Roast",    "Stir",  "Whisk", "Fold",
    "Season", "Grill", "Poach", "Steam",  "Blend", "Knead", "Marinate", "Glaze", "Toss",  "Chill"};
const std::vector<const char*> kAuthors = {
    "Ann Baker", "Bob Cook",    "Clara Dunn",   "Émile Faure", "Greta Holm", "Ivan Jones",
    "Kira Lund", "Marta Núñez", "Olle Persson", "Rosa Quint",  "Sam Tate",   "Uma Varga"};

// Writes the recipe file: names like "Smoky Tomato Soup 123", a dozen ingredient lines and a
// few sentences of instructions drawn from a few hundred words, about 700 bytes a recipe.
void makeFile(const QString& path) {
    std::mt19937 random(20240607);
    const auto pick = [&](const std::vector<const char*>& from) {
        return QByteArray(from[random() % from.size()]);
    };
    int serial = 0;
    writeRecipeFile(path, numberedCategories(kCategories), kRecipes / kCategories, [&](int, int) {
        QByteArray food = pick(kFoods);
        food[0] = static_cast<char>(std::toupper(food[0]));
        StoredRow r;
        r.name = pick(kAdjectives) + ' ' + food + ' ' + pick(kDishes) + ' ' +
                 QByteArray::number(++serial) + ' ';
        for (int i = 0; i < 12; ++i)
            r.ingredients += QByteArray::number(1 + random() % 500) + " g " + pick(kFoods) + "\n";
        for (int i = 0; i < 6; ++i)
            r.instructions += pick(kVerbs) + " the " + pick(kFoods) + " with the " + pick(kFoods) +
                              " for " + QByteArray::number(2 + random() % 40) + " minutes. ";
        r.author = pick(kAuthors) + ' ';
        return r;
    });
}

// The floor of a build: every recipe read once, through the same layer.
void readAll(benchmark::State& state) {
    timed(state, "read_all", [&] {
        auto db = kb::Database::OpenDatabase(g_base);
        qsizetype rows = 0;
        for (const QString& t : db->TableDefs())
            rows += db->Query(QStringLiteral("SELECT * FROM \"%1\"").arg(t)).size();
        db->Close();
        if (rows != kRecipes)
            state.SkipWithError("not every recipe was read");
    });
}

void buildIndex(benchmark::State& state) {
    kb::SearchIndex index;
    timed(state, "build", [&] {
        auto db = kb::Database::OpenDatabase(g_base);
        index.rebuild(*db);
        db->Close();
    });
}

// Opening the window in a new run of the program: the fingerprint of every category checked.
// A new start on the file as the last one left it: the index trusts what it recorded then.
// After another program touched the file (here only its times): every recipe is read.
template <bool Touched> void checkCurrent(benchmark::State& state) {
    timed(state, Touched ? "check_touched" : "check", [&] {
        if (Touched)
            ::utimensat(AT_FDCWD, QFile::encodeName(g_base + QStringLiteral(".mdb")).constData(),
                        nullptr, 0);
        kb::SearchIndex index; // a new one, which has not seen the file yet
        auto db = kb::Database::OpenDatabase(g_base);
        if (!index.isCurrent(*db))
            state.SkipWithError("the index was not current");
        db->Close();
    });
}

// Two-word queries as a cook types them, some narrow, some matching thousands of recipes.
const QStringList kQueries = {
    QStringLiteral("smoky lentil"),   QStringLiteral("roast garlic"),
    QStringLiteral("lemon tart"),     QStringLiteral("ginger chick"),
    QStringLiteral("rustic pie"),     QStringLiteral("\"with the saffron\" faure"),
    QStringLiteral("creamy leek"),    QStringLiteral("nunez quince"),
    QStringLiteral("sweet plum"),     QStringLiteral("summer salad"),
    QStringLiteral("mussel saffron"), QStringLiteral("golden pumpkin")};

void typeQuery(benchmark::State& state) {
    kb::SearchIndex index;
    kb::test::ScriptedDialogs dialogs;
    kb::FindRecipe w(
        index, dialogs, [] { return g_base; }, [](const QString&, const QString&, std::int64_t) {});
    w.open();
    QApplication::processEvents();
    int n = 0;
    int shown = 0;
    timed(state, "query", [&] {
        w.words->setText(kQueries.at(n++ % kQueries.size()));
        QApplication::processEvents();
        shown += w.results->count();
    });
    if (shown == 0)
        state.SkipWithError("no query found anything");
}

// The same save without the index, for comparison: what the index adds to a save.
void saveOnly(benchmark::State& state) {
    kb::test::StoreControls w(g_base);
    int n = 0;
    timed(state, "save_only", [&] {
        w.setBoxes(QStringLiteral("Zanzibar Broth %1").arg(++n), QStringLiteral("Bench"),
                   QStringLiteral("cloves\nrice"), QStringLiteral("Simmer."));
        w.store.AddRecipe(QStringLiteral("Category 100"));
    });
}

void saveThenFind(benchmark::State& state) {
    kb::test::StoreControls w(g_base);
    kb::SearchIndex index;
    w.store.addFollower(&index);
    {
        auto db = kb::Database::OpenDatabase(g_base);
        index.ensureCurrent(*db);
        db->Close();
    }
    int n = 0;
    timed(state, "after_write", [&] {
        const QString name = QStringLiteral("Zanzibar Stew %1").arg(++n);
        w.setBoxes(name, QStringLiteral("Bench"), QStringLiteral("cloves\nrice"),
                   QStringLiteral("Simmer."));
        w.store.AddRecipe(QStringLiteral("Category 100"));
        auto db = kb::Database::OpenDatabase(g_base);
        const kb::SearchResult r = index.search(*db, QStringLiteral("zanzibar %1").arg(n));
        db->Close();
        if (r.hits.isEmpty() || r.hits.at(0).recipe.name() != name)
            state.SkipWithError("the saved recipe was not found");
    });
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    const QString cache = QDir(QCoreApplication::applicationDirPath())
                              .absoluteFilePath(QStringLiteral("../search-cache"));
    QDir().mkpath(cache);
    g_base = cache + QStringLiteral("/Recipe");
    if (!QFile::exists(g_base + QStringLiteral(".mdb"))) {
        std::printf("Generating the recipe file in %s ...\n", qPrintable(cache));
        std::fflush(stdout);
        makeFile(g_base);
    }
    QFile::remove(kb::SearchIndex::fileFor(g_base));
    {
        // Recipes a run stopped halfway left behind.
        auto db = kb::Database::OpenDatabase(g_base);
        db->Execute(QStringLiteral("DELETE FROM \"Category 100\" WHERE \"Author\" = 'Bench '"));
        db->Close();
    }

    using benchmark::RegisterBenchmark;
    RegisterBenchmark("ReadEveryRecipe/100000", readAll)
        ->UseManualTime()
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BuildIndex/100000", buildIndex)
        ->UseManualTime()
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("CheckAfterATouch/100000", checkCurrent<true>)
        ->UseManualTime()
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("CheckOnOpening/100000", checkCurrent<false>)
        ->UseManualTime()
        ->Iterations(5)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("TypeTwoWords/100000", typeQuery)
        ->UseManualTime()
        ->Iterations(60)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("SaveThenFind/100000", saveThenFind)
        ->UseManualTime()
        ->Iterations(20)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("SaveWithoutIndex/100000", saveOnly)
        ->UseManualTime()
        ->Iterations(20)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    {
        // The bench file stays as generated for the next run.
        auto db = kb::Database::OpenDatabase(g_base);
        db->Execute(QStringLiteral("DELETE FROM \"Category 100\" WHERE \"Author\" = 'Bench '"));
        db->Close();
    }

    const double build = median(g_samples["build"]) / 1000;
    const double floor = median(g_samples["read_all"]) / 1000;
    std::printf("\nmedians: index build %.2f s (reading every recipe once %.2f s); two-word "
                "query %.2f ms; save then find %.2f ms (the save alone, without the index, "
                "%.2f ms)\n",
                build, floor, median(g_samples["query"]), median(g_samples["after_write"]),
                median(g_samples["save_only"]));
    bar("search_100k_median_ms", median(g_samples["query"]), 50);
    std::printf("BAR search_index_build_100k_s %.3f report pass (floor %.3f s, %.1f x)\n", build,
                floor, floor > 0 ? build / floor : 0);
    // A save commits the recipe file, then the index follows in its log without a flush to
    // disk; most of this figure is waiting for the recipe file's flushes.
    bar("search_after_write_ms", median(g_samples["after_write"]), 100);
    std::printf("BAR search_check_on_opening_100k_ms %.3f report pass (after another program "
                "touched the file %.1f ms)\n",
                median(g_samples["check"]), median(g_samples["check_touched"]));
    return 0;
}
