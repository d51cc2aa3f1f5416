// The Recipe Card: opening the card of a recipe with a 4 MB photo in a generated file of
// 100 000 recipes (kept under the build folder between runs), and a 40-line recipe scaled to
// other servings and the card redrawn, as the cook changes the servings box. After the table
// one line per bar: BAR <name> <figure> <limit> pass|fail

#include "bench/bench_files.h"
#include "bench/bench_support.h"
#include "core/database.h"
#include "core/recipetable.h"
#include "details/details.h"
#include "tests/support/scripted_dialogs.h"
#include "ui/card/recipecard.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <random>

using namespace kbbench;

namespace {

QString g_base;
QString g_folder;

constexpr int kCategories = 200;
constexpr int kRecipes = 100000;
const QString kCategory = QStringLiteral("Category 100");
const QString kName = QStringLiteral("Recipe 250");

QString g_big; // the 100 000-recipe file without ".mdb"

void makeFile(const QString& path) {
    writeRecipeFile(path, numberedCategories(kCategories), kRecipes / kCategories, [](int, int n) {
        StoredRow r;
        r.name = "Recipe " + QByteArray::number(n) + ' ';
        r.author = "Bench Cook ";
        for (int i = 0; i < 12; ++i)
            r.ingredients += QByteArray::number(i + 1) + " g flour\n";
        for (int i = 1; i <= 6; ++i)
            r.instructions +=
                QByteArray::number(i) + ". Stir for " + QByteArray::number(i * 3) + " minutes.\n";
        r.ingredients += ' ';
        r.instructions += ' ';
        return r;
    });
}

// A photo of about 4 MB: a camera-sized JPEG of noise, which does not compress.
QByteArray fourMegabytePhoto() {
    QImage image(2400, 1800, QImage::Format_RGB32);
    std::mt19937 random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb(static_cast<int>(random() % 256), (x + y) % 256, (x * y) % 256);
    }
    QByteArray jpeg;
    QBuffer out(&jpeg);
    out.open(QIODevice::WriteOnly);
    image.save(&out, "JPEG", 96);
    return jpeg;
}

void openCard(benchmark::State& state) {
    kb::test::ScriptedDialogs dialogs;
    QTemporaryDir folder;
    kb::RecipeCard card(
        dialogs, [] { return g_big; }, folder.path());
    card.resize(kb::RecipeCard::kWidth, kb::RecipeCard::kHeight);
    // Timed: the card open and painted, its thumbnail shown. Then, untimed, the photo itself
    // is waited for, as the cook would see it come, before the card is opened again.
    const auto photoShown = [&] {
        return card.photo->image().width() > kb::kThumbnailSide ||
               card.photo->image().height() > kb::kThumbnailSide;
    };
    int late = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!card.showRecipe(kCategory, kName))
            state.SkipWithError("the card did not open");
        card.repaint();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        g_samples["open"].push_back(took.count() * 1000);
        const auto waitUntil = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!photoShown() && std::chrono::steady_clock::now() < waitUntil)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        g_samples["photo"].push_back(msSince(start));
        late += photoShown() ? 0 : 1;
    }
    if (late > 0)
        state.SkipWithError("the photo was not shown");
}

void scaleCard(benchmark::State& state) {
    kb::test::ScriptedDialogs dialogs;
    kb::RecipeCard card(
        dialogs, [] { return g_base; }, g_folder);
    card.resize(1000, 800);
    card.showRecipe(QStringLiteral("Dinners"), QStringLiteral("Stew"));
    QApplication::processEvents();
    double servings = 4;
    timed(state, "scale_card", [&] {
        servings = servings >= 12 ? 2 : servings + 1;
        card.scaleBox->setValue(servings);
        card.repaint();
    });
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    g_folder = dir.path();
    g_base = QDir(dir.path()).filePath(QStringLiteral("Recipe"));
    {
        kb::Database::CreateDatabase(g_base);
        auto db = kb::Database::OpenDatabase(g_base);
        db->AppendTableDef(kb::recipeTableDef(*db, QStringLiteral("Dinners")));
        const QStringList kinds = {"1 1/2 cups (190 g) all-purpose flour, sifted",
                                   "½ tsp salt",
                                   "2-3 cloves garlic",
                                   "1,5 l Milch",
                                   "a pinch of nutmeg",
                                   "2 x 400 g tins chopped tomatoes",
                                   "1 (14 oz) can coconut milk",
                                   "3 large eggs",
                                   "1 pound chicken thighs",
                                   "750 ml chicken stock"};
        QStringList lines;
        for (int i = 0; i < 40; ++i)
            lines << kinds.at(i % kinds.size());
        auto rs = db->OpenRecordset(QStringLiteral("Dinners"));
        rs->AddNew();
        rs->SetField(0, kb::storedValue(QStringLiteral("Stew")));
        rs->SetField(1, kb::storedValue(QStringLiteral("Cook")));
        rs->SetField(2, kb::storedValue(lines.join(QLatin1Char('\n'))));
        rs->SetField(3, kb::storedValue(QStringLiteral(
                            "Brown the meat.\n\nSimmer for 1 1/2 hours.\n\nBake at 350°F for "
                            "25 minutes.")));
        rs->Update();
        rs->Close();
        kb::Details d;
        d.servings = 4;
        kb::writeDetails(*db, QStringLiteral("Dinners"), QStringLiteral("Stew"), d);
        db->Close();
    }
    const QString cache = QDir(QCoreApplication::applicationDirPath())
                              .absoluteFilePath(QStringLiteral("../card-cache"));
    QDir().mkpath(cache);
    g_big = cache + QStringLiteral("/Recipe");
    if (!QFile::exists(g_big + QStringLiteral(".mdb"))) {
        std::printf("Generating the recipe file in %s ...\n", qPrintable(cache));
        std::fflush(stdout);
        makeFile(g_big);
    }
    qint64 photoBytes = 0;
    {
        auto db = kb::Database::OpenDatabase(g_big);
        kb::Details d = kb::readDetails(*db, kCategory, kName, false);
        if (d.photos.isEmpty()) {
            d.servings = 4;
            d.source = QStringLiteral("https://example.org/bench");
            d.photos = {kb::photoFromBytes(fourMegabytePhoto())};
            kb::writeDetails(*db, kCategory, kName, d);
        }
        photoBytes = kb::photoData(*db, kCategory, kName).size();
        db->Close();
    }
    benchmark::RegisterBenchmark("OpenCard/100000", openCard)
        ->UseManualTime()
        ->Iterations(21)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("scale_card_40_lines", scaleCard)
        ->Iterations(40)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nmedian: the card of a recipe with a %.1f MB photo opens in %.2f ms, its "
                "photo shown at full size after %.2f ms\n",
                static_cast<double>(photoBytes) / 1048576.0, median(g_samples["open"]),
                median(g_samples["photo"]));
    bar("card_open_100k_median_ms", median(g_samples["open"]), 50);
    bar("scale_card_ms", median(g_samples["scale_card"]), 16);
    return 0;
}
