// Store benchmarks on generated recipe files. After the benchmark table one line per bar:
// BAR <name> <figure> <limit> pass|fail

#include "bench/bench_files.h"
#include "bench/bench_support.h"
#include "bench/bench_window.h"
#include "core/database.h"
#include "platform/imagelist.h"
#include "store/recipebas.h"
#include "tests/support/scripted_dialogs.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPasswordDigestor>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

using namespace kbbench;

namespace {

constexpr int kCategories = 200;

QString g_dir;

QString base(const char* name) {
    return g_dir + QLatin1Char('/') + QLatin1String(name);
}

// Writes a recipe file: `categories` tables of `perCategory` recipes of a realistic size.
void makeFile(const QString& path, int categories, int perCategory) {
    const QByteArray ingredients =
        "250 g flour \n2 eggs\n300 ml milk\n1 pinch of salt\n30 g butter\n1 onion, chopped\n"
        "2 carrots\n1 tin of tomatoes\nfresh herbs ";
    const QByteArray instructions =
        "Mix the dry ingredients in a large bowl.\nBeat the eggs with the milk and stir in.\n"
        "Leave to rest for half an hour while the oven heats.\nBake until golden, about 25 "
        "minutes, then let it cool a little before serving. ";
    const std::vector<QByteArray> tables =
        categories == 1 ? std::vector<QByteArray>{"Big"} : numberedCategories(categories);
    writeRecipeFile(path, tables, perCategory, [&](int t, int n) {
        // One category counts its own; many count on across them.
        const int serial = categories == 1 ? n + 1 : t * perCategory + n + 1;
        return StoredRow{"Recipe " + QByteArray::number(serial) + " ", "A. Cook ", ingredients,
                         instructions};
    });
}

QIcon picture(Qt::GlobalColor colour) {
    QPixmap pm(16, 16);
    pm.fill(colour);
    return QIcon(pm);
}

// A closed category of 5 000 recipes ("Big") before a small one that the load opens.
void makeBig5000(const QString& path) {
    makeFile(path, 1, 5000);
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(QFile::encodeName(path + ".mdb").constData(), &db, SQLITE_OPEN_READWRITE,
                          nullptr),
          db);
    sqlite3_key(db, kPassword, 16);
    check(sqlite3_exec(db,
                       "CREATE TABLE \"Small\" (\"Name\" VARCHAR(255), \"Author\" VARCHAR(255), "
                       "\"Ingredients\" TEXT, \"Instructions\" TEXT);"
                       "CREATE INDEX \"Small.name\" ON \"Small\" (trim(\"Name\", ' '));"
                       "INSERT INTO \"Small\" VALUES ('Only ', 'A ', 'I ', 'S ')",
                       nullptr, nullptr, nullptr),
          db);
    sqlite3_close(db);
}

// The main window's controls as the store sees them.
struct Window {
    QTreeView tv;
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

void openClose(benchmark::State& state) {
    kb::Database::OpenDatabase(base("r10k"))->Close(); // the first open derives the key
    timed(state, "open_close", [] { kb::Database::OpenDatabase(base("r10k"))->Close(); });
}

void loadCatalogue(benchmark::State& state, const char* file, std::string key) {
    Window w;
    w.store.DatabasePath = base(file);
    timed(state, key, [&] { w.store.LoadCatalogue(); });
}

QByteArray rawKeyOf(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray salt = f.read(16);
    return "x'" +
           QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha1, kPassword, salt, 64000, 32)
               .toHex() +
           "'";
}

// The floor: one statement reading every name of the file, through a connection opened with
// the same raw key; no tree.
void floorLoad(benchmark::State& state, const char* file, std::string key) {
    const QString path = base(file) + ".mdb";
    const QByteArray key64 = rawKeyOf(path);
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
        qsizetype chars = 0;
        while (sqlite3_step(st) == SQLITE_ROW)
            chars += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)))
                         .trimmed()
                         .size();
        benchmark::DoNotOptimize(chars);
        sqlite3_finalize(st);
        sqlite3_close(db);
    });
}

// Key derivation: libcrypto against Qt's digestor, which must give the same key.
void keyDerivation(double& libcryptoMs, double& qtMs, bool& same) {
    const QByteArray salt = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    QByteArray ours(32, Qt::Uninitialized);
    std::vector<double> a;
    std::vector<double> b;
    QByteArray theirs;
    for (int i = 0; i < 5; ++i) {
        auto start = std::chrono::steady_clock::now();
        PKCS5_PBKDF2_HMAC_SHA1(kPassword, 16, reinterpret_cast<const unsigned char*>(salt.data()),
                               16, 64000, 32, reinterpret_cast<unsigned char*>(ours.data()));
        a.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        start = std::chrono::steady_clock::now();
        theirs = QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha1, kPassword, salt,
                                                    64000, 32);
        b.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    libcryptoMs = median(a);
    qtMs = median(b);
    same = ours == theirs;
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

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && QByteArray(argv[1]) == "--generate") {
        g_dir = QString::fromLocal8Bit(argv[2]);
        const auto make = [](const char* name, auto&& fn) {
            // Made under a temporary name, so that an interrupted run leaves no half file.
            fn(base(name) + ".part");
            QFile::rename(base(name) + ".part.mdb", base(name) + ".mdb");
        };
        if (!QFile::exists(base("r10k") + ".mdb"))
            make("r10k", [](const QString& p) { makeFile(p, kCategories, 10000 / kCategories); });
        if (!QFile::exists(base("r100k") + ".mdb"))
            make("r100k", [](const QString& p) { makeFile(p, kCategories, 100000 / kCategories); });
        if (!QFile::exists(base("big") + ".mdb"))
            make("big", [](const QString& p) { makeFile(p, 1, 10000); });
        if (!QFile::exists(base("big5000") + ".mdb"))
            make("big5000", [](const QString& p) { makeBig5000(p); });
        return 0;
    }
    if (argc == 3 && QByteArray(argv[1]) == "--first-paint")
        return kbbench::firstPaintChild(argc, argv, QString::fromLocal8Bit(argv[2]));
    // "--window": the window's bars alone, for a quick look after a change.
    const bool windowOnly = argc == 2 && QByteArray(argv[1]) == "--window";
    if (windowOnly)
        argc = 1;
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    // The generated files are kept beside the build between runs: generating them is slow.
    const QString cache = QCoreApplication::applicationDirPath() + QStringLiteral("/../bench-data");
    QDir().mkpath(cache);
    g_dir = QDir(cache).absolutePath();
    // Generated in a child process, so that its memory does not count in ours.
    std::printf("Recipe files in %s (made when missing) ...\n", qPrintable(g_dir));
    std::fflush(stdout);
    if (QProcess::execute(QCoreApplication::applicationFilePath(),
                          {QStringLiteral("--generate"), g_dir}) != 0)
        qFatal("could not generate the recipe files");
    // The benchmarks write to copies; the cached files stay as generated.
    QTemporaryDir dir;
    for (const char* name : {"r10k", "r100k", "big", "big5000"})
        QFile::copy(base(name) + ".mdb", dir.filePath(QLatin1String(name)) + ".mdb");
    const QString cached = g_dir;
    g_dir = dir.path();

    if (windowOnly) {
        kbbench::windowBars(cached + "/r100k.mdb", cached + "/big5000.mdb",
                            QStringLiteral(KB_PROGRAM));
        return 0;
    }
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
    double libcryptoMs = 0;
    double qtMs = 0;
    bool same = false;
    keyDerivation(libcryptoMs, qtMs, same);
    std::printf("key derivation: libcrypto %.1f ms, QPasswordDigestor %.1f ms, same key: %s\n",
                libcryptoMs, qtMs, same ? "yes" : "NO");
    std::printf("BAR key_derivation_same_key %d 1 %s\n", same ? 1 : 0, same ? "pass" : "fail");
    std::fflush(stdout);
    kbbench::windowBars(cached + "/r100k.mdb", cached + "/big5000.mdb", QStringLiteral(KB_PROGRAM));
    return 0;
}
