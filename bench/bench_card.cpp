// The Recipe Card's kitchen tools: a 40-line recipe scaled to other servings and the card
// redrawn, as the cook changes the servings box. After the table one line per bar:
// BAR <name> <figure> <limit> pass|fail

#include "bench/bench_support.h"
#include "core/database.h"
#include "core/recipetable.h"
#include "details/details.h"
#include "tests/support/scripted_dialogs.h"
#include "ui/card/recipecard.h"

#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace kbbench;

namespace {

QString g_base;
QString g_folder;

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
    benchmark::RegisterBenchmark("scale_card_40_lines", scaleCard)
        ->Iterations(40)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bar("scale_card_ms", median(g_samples["scale_card"]), 16);
    return 0;
}
