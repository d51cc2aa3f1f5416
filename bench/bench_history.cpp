// History and backup benchmarks on the generated 100,000-recipe file (made by kb_bench's own
// generator, so that both benchmarks measure the same file). After the table one line per bar:
// BAR <name> <figure> <limit> pass|fail

#include "bench/bench_support.h"
#include "details/details.h"
#include "history/backups.h"
#include "platform/imagelist.h"
#include "platform/nodes.h"
#include "store/recipebas.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/store_controls.h"
#include "ui/history/historyfeature.h"
#include "ui/main/mainform.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeView>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

using namespace kbbench;

namespace {

QString g_dir;
int g_next = 0; // the serial of the next recipe to delete

QString folder(const char* name) {
    const QString path = g_dir + QLatin1Char('/') + QLatin1String(name);
    QDir().mkpath(path);
    return path;
}

// The node of recipe number `serial` of the generated file, its category opened first as a
// user would (500 recipes a category).
QModelIndex recipeNode(QTreeView* tv, int serial) {
    kb::NodeModel& model = kb::Nodes::modelOf(tv);
    const QModelIndex category = model.indexOf(model.find(
        QStringLiteral("Category %1").arg((serial - 1) / 500 + 1, 3, 10, QLatin1Char('0'))));
    tv->expand(category);
    if (model.canFetchMore(category))
        model.fetchMore(category);
    const QString name = QStringLiteral("Recipe %1").arg(serial);
    for (int i = 0; i < model.rowCount(category); ++i)
        if (model.index(i, 0, category).data().toString() == name)
            return model.index(i, 0, category);
    return {};
}

// Delete through the real form: the recipe chosen in the tree, the Delete button, its message
// and the tree rebuilt; the history and the day's backup follow as they do for the user.
void deleteThroughForm(benchmark::State& state) {
    const QString app = folder("form");
    QFile::copy(g_dir + QStringLiteral("/r100k.mdb"), app + QStringLiteral("/Recipe.mdb"));
    kb::test::ScriptedDialogs dialogs;
    kb::Main form(dialogs, app);
    form.Form_Load();
    form.show();
    QApplication::processEvents();
    // Let the start-up check end, and take the day's first backup, before timing.
    auto* feature = form.findChild<kb::HistoryFeature*>();
    while (feature && feature->checkRunning())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::processEvents();
    form.Tv_NodeClick(recipeNode(form.Tv, ++g_next));
    form.delete_Click();
    timed(state, "delete_form", [&] {
        form.Tv_NodeClick(recipeNode(form.Tv, ++g_next));
        form.delete_Click();
    });
    if (dialogs.messages().count(QStringLiteral("Record Deleted")) <=
        static_cast<qsizetype>(g_samples["delete_form"].size()))
        state.SkipWithError("a delete was not confirmed");
}

// The same delete through the store alone with no follower: what the form costs without the
// history (the tree rebuilt included).
void deleteWithoutHistory(benchmark::State& state) {
    const QString app = folder("plain");
    QFile::copy(g_dir + QStringLiteral("/r100k.mdb"), app + QStringLiteral("/Recipe.mdb"));
    kb::test::StoreControls w(app + QStringLiteral("/Recipe"));
    kb::RecipeBas& store = w.store;
    w.tv.show();
    store.LoadCatalogue();
    int serial = 5000;
    timed(state, "delete_plain", [&] {
        ++serial;
        const QString category =
            QStringLiteral("Category %1").arg((serial - 1) / 500 + 1, 3, 10, QLatin1Char('0'));
        store.ShowRecipe(category, QStringLiteral("Recipe %1").arg(serial));
        store.DeleteRecipe(category, QStringLiteral("Recipe %1").arg(serial));
    });
}

void copyFloor(benchmark::State& state) {
    const QString from = g_dir + QStringLiteral("/r100k.mdb");
    const QString to = folder("copy") + QStringLiteral("/copy.mdb");
    timed(state, "copy_floor", [&] {
        QFile::remove(to);
        QFile::copy(from, to);
    });
}

void backup(benchmark::State& state) {
    const QString app = folder("backup");
    QFile::copy(g_dir + QStringLiteral("/r100k.mdb"), app + QStringLiteral("/Recipe.mdb"));
    const QString path = app + QStringLiteral("/Recipe");
    timed(state, "backup", [&] { kb::backupRecipeFile(path); });
}

// Save Edited renaming a recipe, through the store as the window calls it, the history
// following; with the details following too (every edited recipe has details and a photo,
// which the rename carries along) or without.
void saveEdited(benchmark::State& state, bool withDetails) {
    const QString app = folder(withDetails ? "edit-details" : "edit-plain");
    QFile::copy(g_dir + QStringLiteral("/r100k.mdb"), app + QStringLiteral("/Recipe.mdb"));
    kb::test::StoreControls w(app + QStringLiteral("/Recipe"));
    // The history follows both, as it does in the program.
    kb::HistoryFollower history;
    w.store.addFollower(&history);
    kb::DetailsFollower details;
    constexpr int kFirst = 20001;
    const auto categoryOf = [](int serial) {
        return QStringLiteral("Category %1").arg((serial - 1) / 500 + 1, 3, 10, QLatin1Char('0'));
    };
    if (withDetails) {
        w.store.addFollower(&details);
        QImage image(640, 480, QImage::Format_RGB32);
        image.fill(Qt::darkYellow);
        QByteArray jpeg;
        QBuffer out(&jpeg);
        out.open(QIODevice::WriteOnly);
        image.save(&out, "JPEG");
        kb::Details d;
        d.servings = 4;
        d.tags = {QStringLiteral("Winter")};
        d.notes = QStringLiteral("Less salt.");
        d.photos = {kb::photoFromBytes(jpeg)};
        auto db = kb::Database::OpenDatabase(app + QStringLiteral("/Recipe"));
        for (int serial = kFirst; serial < kFirst + 20; ++serial)
            kb::writeDetails(*db, categoryOf(serial), QStringLiteral("Recipe %1").arg(serial), d);
        db->Close();
    }
    w.tv.show();
    w.store.LoadCatalogue();
    int serial = kFirst;
    timed(state, withDetails ? "edit_details" : "edit_plain", [&] {
        const QString category = categoryOf(serial);
        const QString name = QStringLiteral("Recipe %1").arg(serial++);
        w.store.ShowRecipe(category, name);
        w.setBoxes(name + QStringLiteral(" (ours)"), QStringLiteral("Ann"), QStringLiteral("flour"),
                   QStringLiteral("Bake."));
        w.store.UpdateRecipe(category, name);
        w.dialogs.clear();
    });
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QTemporaryDir dir;
    g_dir = dir.path();
    std::printf("Generating the recipe files in %s ...\n", qPrintable(g_dir));
    std::fflush(stdout);
    if (QProcess::execute(QCoreApplication::applicationDirPath() + QStringLiteral("/kb_bench"),
                          {QStringLiteral("--generate"), g_dir}) != 0)
        qFatal("could not generate the recipe files");

    using benchmark::RegisterBenchmark;
    RegisterBenchmark("DeleteWithoutHistory/100000", deleteWithoutHistory)
        ->UseManualTime()
        ->Iterations(9)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("DeleteThroughForm/100000", deleteThroughForm)
        ->UseManualTime()
        ->Iterations(9)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("CopyFloor/100000", copyFloor)
        ->UseManualTime()
        ->Iterations(5)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("Backup/100000", backup)
        ->UseManualTime()
        ->Iterations(5)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("SaveEditedPlain/100000", saveEdited, false)
        ->UseManualTime()
        ->Iterations(15)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("SaveEditedWithDetails/100000", saveEdited, true)
        ->UseManualTime()
        ->Iterations(15)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double plain = median(g_samples["delete_plain"]);
    const double withHistory = median(g_samples["delete_form"]);
    const double floor = median(g_samples["copy_floor"]);
    const double backup = median(g_samples["backup"]);
    std::printf("\nmedians: delete without history %.1f ms, through the form with history %.1f "
                "ms; file copy %.1f ms, backup %.1f ms\n",
                plain, withHistory, floor, backup);
    bar("delete_recipe_with_history_100k_median_ms", withHistory, plain * 1.25 + 20);
    // A backup decrypts, encrypts and then checks every page, where the floor only moves bytes
    // through the page cache.
    bar("backup_100k_ms", backup, floor * 40);
    // The details ride in the same transaction: a rename moves one row of the side file.
    const double editPlain = median(g_samples["edit_plain"]);
    const double editDetails = median(g_samples["edit_details"]);
    std::printf("medians: Save Edited %.1f ms, with details following %.1f ms\n", editPlain,
                editDetails);
    bar("details_write_overhead", editPlain > 0 ? editDetails / editPlain : 0, 1.3);
    return 0;
}
