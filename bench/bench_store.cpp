// Store benchmarks on generated recipe files. After the benchmark table one line per bar:
// BAR <name> <figure> <limit> pass|fail

#include "core/database.h"
#include "platform/imagelist.h"
#include "store/recipebas.h"
#include "tests/support/scripted_dialogs.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPasswordDigestor>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

namespace {

const char* kPassword = "5820741963mxrdbe";
constexpr int kCategories = 200;

std::map<std::string, std::vector<double>> g_samples; // milliseconds per run
QString g_dir;

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

QString base(const char* name) {
    return g_dir + QLatin1Char('/') + QLatin1String(name);
}

void check(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        qFatal("sqlite: %s", sqlite3_errmsg(db));
}

// Writes a recipe file: `categories` tables of `perCategory` recipes of a realistic size.
void makeFile(const QString& path, int categories, int perCategory) {
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(QFile::encodeName(path + ".mdb").constData(), &db,
                          SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
          db);
    sqlite3_key(db, kPassword, 16);
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    const QByteArray ingredients =
        "250 g flour \n2 eggs\n300 ml milk\n1 pinch of salt\n30 g butter\n1 onion, chopped\n"
        "2 carrots\n1 tin of tomatoes\nfresh herbs ";
    const QByteArray instructions =
        "Mix the dry ingredients in a large bowl.\nBeat the eggs with the milk and stir in.\n"
        "Leave to rest for half an hour while the oven heats.\nBake until golden, about 25 "
        "minutes, then let it cool a little before serving. ";
    int serial = 0;
    for (int c = 1; c <= categories; ++c) {
        const QByteArray table = categories == 1
                                     ? QByteArray("Big")
                                     : "Category " + QByteArray::number(c).rightJustified(3, '0');
        const QByteArray create = "CREATE TABLE \"" + table +
                                  "\" (\"Name\" VARCHAR(255), \"Author\" VARCHAR(255), "
                                  "\"Ingredients\" TEXT, \"Instructions\" TEXT)";
        check(sqlite3_exec(db, create.constData(), nullptr, nullptr, nullptr), db);
        // The name index that every category made through the store carries.
        const QByteArray index =
            "CREATE INDEX \"" + table + ".name\" ON \"" + table + "\" (trim(\"Name\", ' '))";
        check(sqlite3_exec(db, index.constData(), nullptr, nullptr, nullptr), db);
        sqlite3_stmt* st = nullptr;
        const QByteArray insert = "INSERT INTO \"" + table + "\" VALUES (?, ?, ?, ?)";
        check(sqlite3_prepare_v2(db, insert.constData(), -1, &st, nullptr), db);
        for (int r = 1; r <= perCategory; ++r) {
            const QByteArray name = categories == 1
                                        ? "Recipe " + QByteArray::number(r) + " "
                                        : "Recipe " + QByteArray::number(++serial) + " ";
            sqlite3_bind_text(st, 1, name.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, "A. Cook ", -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 3, ingredients.constData(), -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 4, instructions.constData(), -1, SQLITE_STATIC);
            check(sqlite3_step(st), db);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
    }
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

QIcon picture(Qt::GlobalColor colour) {
    QPixmap pm(16, 16);
    pm.fill(colour);
    return QIcon(pm);
}

// The main window's controls as the store sees them.
struct Window {
    QTreeWidget tv;
    QListWidget list;
    QLineEdit t1, t2;
    QPlainTextEdit t3, t4;
    kb::ImageList images{picture(Qt::red), picture(Qt::green), picture(Qt::blue),
                         picture(Qt::yellow)};
    kb::test::ScriptedDialogs dialogs;
    kb::RecipeBas store{kb::RecipeControls{&tv, &list, &t1, &t2, &t3, &t4, &images}, dialogs};
    Window() {
        tv.resize(300, 600);
        tv.show();
    }
};

template <typename Fn> void timed(benchmark::State& state, const std::string& key, Fn&& fn) {
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        fn();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        g_samples[key].push_back(took.count() * 1000);
    }
}

void openClose(benchmark::State& state) {
    kb::Database::OpenDatabase(base("r10k"))->Close(); // the first open derives the key
    timed(state, "open_close", [] { kb::Database::OpenDatabase(base("r10k"))->Close(); });
}

void loadCatalogue(benchmark::State& state, const char* file, std::string key) {
    Window w;
    w.store.DatabasePath = base(file);
    timed(state, key, [&] { w.store.LoadCatalogue(); });
}

// The floor: one statement reading every name of the file into the same tree, with the same
// pictures and the same nodes open.
void floorLoad(benchmark::State& state, const char* file, std::string key) {
    Window w;
    const QString path = base(file) + ".mdb";
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray salt = f.read(16);
    const QByteArray key64 =
        "x'" +
        QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha1, kPassword, salt, 64000, 32)
            .toHex() +
        "'";
    timed(state, key, [&] {
        sqlite3* db = nullptr;
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_key(db, key64.constData(), static_cast<int>(key64.size()));
        QByteArray sql;
        for (int c = 1; c <= kCategories; ++c) {
            const QByteArray t = "Category " + QByteArray::number(c).rightJustified(3, '0');
            if (!sql.isEmpty())
                sql += " UNION ALL ";
            sql += "SELECT '" + t + "', \"Name\" FROM \"" + t + "\"";
        }
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        w.tv.clear();
        auto* root = new QTreeWidgetItem(&w.tv, QStringList{"Kettlebox Recipe"});
        root->setIcon(0, w.images.ListImage(1));
        root->setExpanded(true);
        QTreeWidgetItem* category = nullptr;
        QString current;
        while (sqlite3_step(st) == SQLITE_ROW) {
            const QString table =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            if (table != current) {
                current = table;
                category = new QTreeWidgetItem(root, QStringList{table});
                category->setIcon(0, w.images.ListImage(2));
            }
            auto* item = new QTreeWidgetItem(
                category, QStringList{QString::fromUtf8(
                                          reinterpret_cast<const char*>(sqlite3_column_text(st, 1)))
                                          .trimmed()});
            item->setIcon(0, w.images.ListImage(4));
        }
        if (category) {
            category->setExpanded(true);
            w.tv.scrollToItem(category->child(category->childCount() - 1));
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    });
}

void showRecipe(benchmark::State& state) {
    Window w;
    w.store.DatabasePath = base("big");
    timed(state, "show_last", [&] { w.store.ShowRecipe("Big", "Recipe 10000"); });
    if (w.t1.text() != "Recipe 10000 ")
        state.SkipWithError("the last recipe was not shown");
}

long maxRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void bar(const char* name, double figure, double limit, const char* unit) {
    std::printf("BAR %s %.3f %g %s%s\n", name, figure, limit, figure <= limit ? "pass" : "fail",
                unit);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--generate") {
        g_dir = QString::fromLocal8Bit(argv[2]);
        makeFile(base("r10k"), kCategories, 10000 / kCategories);
        makeFile(base("r100k"), kCategories, 100000 / kCategories);
        makeFile(base("big"), 1, 10000);
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QTemporaryDir dir;
    g_dir = dir.path();
    // Generated in a child process, so that its memory does not count in ours.
    std::printf("Generating the recipe files in %s ...\n", qPrintable(g_dir));
    std::fflush(stdout);
    if (QProcess::execute(QCoreApplication::applicationFilePath(),
                          {QStringLiteral("--generate"), g_dir}) != 0)
        qFatal("could not generate the recipe files");

    // Peak memory: the first load of the large file is the first heavy work of this process,
    // so the growth of its peak resident size is what that load needed at its peak.
    double peakMiB = 0;
    {
        const long before = maxRssKiB();
        Window w;
        w.store.DatabasePath = base("r100k");
        w.store.LoadCatalogue();
        peakMiB = static_cast<double>(maxRssKiB() - before) / 1024.0;
    }

    using benchmark::RegisterBenchmark;
    RegisterBenchmark("OpenClose", openClose)
        ->UseManualTime()
        ->Iterations(200)
        ->Unit(benchmark::kMicrosecond);
    RegisterBenchmark("Floor/10000", floorLoad, "r10k", "floor_10k")
        ->UseManualTime()
        ->Iterations(10)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("LoadCatalogue/10000", loadCatalogue, "r10k", "load_10k")
        ->UseManualTime()
        ->Iterations(10)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("Floor/100000", floorLoad, "r100k", "floor_100k")
        ->UseManualTime()
        ->Iterations(5)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("LoadCatalogue/100000", loadCatalogue, "r100k", "load_100k")
        ->UseManualTime()
        ->Iterations(5)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("ShowRecipe/last-of-10000", showRecipe)
        ->UseManualTime()
        ->Iterations(30)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double load100k = median(g_samples["load_100k"]);
    const double floor100k = median(g_samples["floor_100k"]);
    std::printf("\nmedians: open+close %.3f ms; LoadCatalogue 10 000 %.1f ms (floor %.1f ms); "
                "LoadCatalogue 100 000 %.1f ms (floor %.1f ms); ShowRecipe %.2f ms\n",
                median(g_samples["open_close"]), median(g_samples["load_10k"]),
                median(g_samples["floor_10k"]), load100k, floor100k,
                median(g_samples["show_last"]));
    bar("open_close_median_ms", median(g_samples["open_close"]), 1.0, "");
    bar("load_catalogue_100k_vs_floor", floor100k > 0 ? load100k / floor100k : 0, 1.5, "");
    bar("load_catalogue_10k_vs_floor",
        median(g_samples["floor_10k"]) > 0
            ? median(g_samples["load_10k"]) / median(g_samples["floor_10k"])
            : 0,
        1.5, "");
    bar("show_recipe_last_of_10k_median_ms", median(g_samples["show_last"]), 10.0, "");
    std::printf("BAR load_catalogue_100k_peak_rss_growth_mib %.1f report pass\n", peakMiB);
    return 0;
}
