// The main window's commands at 100 000 recipes: the real form, offscreen, answered by scripted
// dialogs, each command pressed with the mouse as the user does and timed to the end of the
// window's repaint. Also the start to the first paint, the memory then, and a second start.

#include "bench/bench_window.h"
#include "bench/bench_fsync.h"
#include "bench/bench_support.h"

#include "core/recipefile.h"
#include "platform/nodes.h"
#include "search/searchindex.h"
#include "tests/support/scripted_dialogs.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/history/historyfeature.h"
#include "ui/main/mainform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace kbbench {

namespace {

// The form on a folder that holds the recipe file.
struct Form {
    kb::test::ScriptedDialogs dialogs;
    kb::Main main;
    explicit Form(const QString& folder) : main(dialogs, folder) {
        main.End = [] {};
        main.OpenUrl = [](const QString&) {};
        main.Form_Load();
        main.show();
        if (!QTest::qWaitForWindowExposed(&main))
            std::printf("the window was not exposed\n");
    }

    kb::NodeModel& model() { return kb::Nodes::modelOf(main.Tv); }
    QModelIndex category(const QString& name) {
        const kb::NodeId id = model().find(name);
        return model().indexOf(id);
    }
    QModelIndex lastCategory() {
        const QModelIndex root = model().index(0, 0);
        return model().index(model().rowCount(root) - 1, 0, root);
    }
    void click(const QModelIndex& node) {
        main.Tv->scrollTo(node);
        QTest::mouseClick(main.Tv->viewport(), Qt::LeftButton, {},
                          main.Tv->visualRect(node).center());
    }
    void press(QWidget* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
    void waitForBackup() {
        if (auto* history = main.findChild<kb::HistoryFeature*>())
            while (history->backupRunning())
                QTest::qWait(10);
    }
    // The command's effect as the user sees it: the window painted again.
    void painted() { main.repaint(); }
    // The fsyncs of each run of the last sample.
    std::vector<double> syncs;
};

template <typename Prepare, typename Run>
std::vector<double> sample(Form& f, int runs, Prepare&& prepare, Run&& run) {
    std::vector<double> out;
    f.syncs.clear();
    for (int i = 0; i < runs; ++i) {
        prepare(i);
        f.painted();
        const long syncsBefore = syncCount();
        const auto start = std::chrono::steady_clock::now();
        run(i);
        f.painted();
        out.push_back(msSince(start));
        f.syncs.push_back(static_cast<double>(syncCount() - syncsBefore));
        f.dialogs.clear();
    }
    return out;
}

// A commit of the recipe file alone: its journal (twice, the second time for its header), the
// folder that holds the new journal, then the file; the search index follows in its log,
// unsynced. The floor of a durable commit of one rollback-journal file is 2.
constexpr double kSaveSyncs = 4;
// A commit that keeps the history atomic with the recipe file: the super-journal that binds
// the two and its folder, each file's journal as above (3 each) and the file itself, and the
// folder once the super-journal is gone.
constexpr double kTwoFileSyncs = 11;

void commandBars(const QString& folder, const QString& bigFolder) {
    Form f(folder);
    constexpr int kRuns = 15;
    const QModelIndex last = f.lastCategory();
    const QString lastName = last.data().toString();

    auto report = [](const char* name, const std::vector<double>& v) { bar(name, median(v), 30); };
    auto none = [](int) {};
    // The fsyncs of the last sample's typical run: the first change of the day also makes the
    // day's backup, which is not the command's own cost.
    auto syncs = [&](const char* name, double limit) {
        bar(name, median(f.syncs), limit,
            QStringLiteral(" (most in one run %1)")
                .arg(*std::max_element(f.syncs.begin(), f.syncs.end()))
                .toLatin1()
                .constData());
    };

    report("cmd_click_recipe_100k_median_ms", sample(f, kRuns, none, [&](int i) {
               f.click(f.model().index(i * 7 % 500, 0, f.lastCategory()));
           }));

    report(
        "cmd_expand_500_100k_median_ms",
        sample(
            f, kRuns,
            [&](int i) {
                f.main.store().LoadCatalogue();
                f.main.Tv->scrollTo(f.model().index(i + 1, 0, f.model().index(0, 0)));
            },
            [&](int i) { f.main.Tv->expand(f.model().index(i + 1, 0, f.model().index(0, 0))); }));

    report("cmd_add_100k_median_ms",
           sample(
               f, kRuns, [&](int) { f.press(f.main.Cancel); }, [&](int) { f.press(f.main.add); }));
    f.press(f.main.Cancel);

    report("cmd_save_100k_median_ms",
           sample(
               f, kRuns,
               [&](int i) {
                   f.press(f.main.add);
                   f.click(f.lastCategory());
                   // A name of its own each time: a taken name
                   // is refused, and nothing would be written.
                   f.main.Text1->setText(QStringLiteral("Bench Soup %1").arg(i));
                   f.main.Text3->setPlainText(QStringLiteral("water"));
                   f.dialogs.answer(kb::vbYes);
               },
               [&](int) { f.press(f.main.Save); }));
    syncs("fsyncs_save", kSaveSyncs);
    f.press(f.main.Cancel);
    {
        // The write alone, one transaction committed to disk, without the tree: what the
        // commands that write cost before they rebuild anything.
        std::vector<double> write;
        for (int i = 0; i < kRuns; ++i) {
            f.main.Text1->setText(QStringLiteral("Bench Stew %1").arg(i));
            const auto start = std::chrono::steady_clock::now();
            f.main.store().AddRecipe(lastName);
            write.push_back(msSince(start));
        }
        kb::emptyRecipeFields(f.main.store().controls());
        std::printf("write of one recipe alone (median): %.3f ms\n", median(write));
        f.main.store().LoadCatalogue();
    }

    report("cmd_save_edited_100k_median_ms",
           sample(
               f, kRuns,
               [&](int i) {
                   f.click(f.model().index(i, 0, f.lastCategory()));
                   f.press(f.main.Edit);
                   f.main.Text2->setText(QStringLiteral("Edited %1").arg(i));
               },
               [&](int) { f.press(f.main.saveedited); }));
    syncs("fsyncs_save_edited", kTwoFileSyncs);

    report("cmd_delete_100k_median_ms",
           sample(
               f, kRuns,
               [&](int) {
                   const QModelIndex c = f.lastCategory();
                   f.click(f.model().index(f.model().rowCount(c) - 1, 0, c));
               },
               [&](int) { f.press(f.main.delete_); }));
    syncs("fsyncs_delete", kTwoFileSyncs);

    report("cmd_add_category_100k_median_ms",
           sample(
               f, kRuns,
               [&](int i) {
                   f.dialogs.answerInput(
                       QStringLiteral("Bench %1").arg(i, 2, 10, QLatin1Char('0')));
               },
               [&](int) { f.press(f.main.xpcmdbutton2); }));

    report("cmd_delete_category_100k_median_ms",
           sample(
               f, kRuns,
               [&](int i) {
                   f.press(f.main.xpcmdbutton1);
                   f.click(f.category(QStringLiteral("Bench %1").arg(i, 2, 10, QLatin1Char('0'))));
                   f.dialogs.answer(kb::vbYes);
                   // The backup made while a user picks the category (about a second here).
                   f.waitForBackup();
               },
               [&](int) { f.press(f.main.delcatagroy); }));
    syncs("fsyncs_delete_category", kTwoFileSyncs);
    f.press(f.main.cancelcata);

    report("cmd_cancel_add_100k_median_ms",
           sample(
               f, kRuns, [&](int) { f.press(f.main.add); }, [&](int) { f.press(f.main.Cancel); }));

    report("cmd_cancel_category_100k_median_ms",
           sample(
               f, kRuns, [&](int) { f.press(f.main.xpcmdbutton1); },
               [&](int) { f.press(f.main.cancelcata); }));

    f.click(f.model().index(0, 0, f.lastCategory()));
    report("cmd_print_100k_median_ms", sample(f, kRuns, none, [&](int) { f.press(f.main.print); }));

    // A closed category of 5 000 recipes, opened.
    Form big(bigFolder);
    bar("expand_5000_median_ms",
        median(sample(
            big, kRuns, [&](int) { big.main.store().LoadCatalogue(); },
            [&](int) { big.main.Tv->expand(big.category(QStringLiteral("Big"))); })),
        30);
}

// When this process started, on the steady clock's scale of the kernel (CLOCK_MONOTONIC).
double processStartMs() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // Field 22 of the line, the 20th after the command: start time in clock ticks since boot.
    const double ticks = fields.value(19).toDouble();
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double nowMonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double rssMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Tells when the tree's viewport has first been painted with the filled tree.
class FirstPaint : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !done) {
            done = true;
            paintedAt = nowMonotonicMs();
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }
    bool done = false;
    double paintedAt = 0;
};

} // namespace

int firstPaintChild(int argc, char** argv, const QString& folder) {
    // The program's own start: the widget application, the form, its load, and show.
    QApplication app(argc, argv);
    kb::test::ScriptedDialogs dialogs;
    kb::Main form(dialogs, folder);
    form.End = [] {};
    form.Form_Load();
    FirstPaint watch;
    form.Tv->viewport()->installEventFilter(&watch);
    form.show();
    QApplication::exec();
    const double started = processStartMs();
    std::printf("%.1f %.1f %d\n", watch.paintedAt - started, rssMiB(),
                form.Tv->model()->rowCount(form.Tv->model()->index(0, 0)));
    return 0;
}

void windowBars(const QString& r100k, const QString& big5000, const QString& program) {
    // Each form gets a folder holding the recipe file under the name the program looks for.
    QTemporaryDir work;
    auto folderWith = [&](const QString& file, const char* name) {
        const QString dir = work.filePath(QLatin1String(name));
        QDir().mkpath(dir);
        QFile::copy(file, dir + QStringLiteral("/Recipe.mdb"));
        return dir;
    };
    const QString folder = folderWith(r100k, "r100k");
    {
        // The index as a user has it once Find was used: every write then keeps it up to date.
        const auto db = kb::RecipeFile(folder).open();
        kb::SearchIndex().rebuild(*db);
    }
    const QString bigFolder = folderWith(big5000, "big5000");

    // Start to first paint and the memory then, in fresh processes; the file is in the page
    // cache after the first.
    std::vector<double> paint;
    std::vector<double> rss;
    for (int i = 0; i < 7; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--first-paint"), folder});
        child.waitForFinished(60000);
        const QList<QByteArray> out = child.readAllStandardOutput().trimmed().split(' ');
        if (out.size() == 3 && out.at(2).toInt() == 200) {
            paint.push_back(out.at(0).toDouble());
            rss.push_back(out.at(1).toDouble());
        }
    }
    bar("start_first_paint_100k_ms", paint.empty() ? 1e9 : median(paint), 300);
    bar("rss_100k_mib", rss.empty() ? 1e9 : median(rss), 60);

    commandBars(folder, bigFolder);

    // A second start of the program while one runs: from its start until it has handed over
    // and ended.
    if (program.isEmpty() || !QFile::exists(program)) {
        std::printf("second start: the program was not built; no figure\n");
        return;
    }
    const QString programFolder = folderWith(r100k, "program");
    const QString copy = programFolder + QStringLiteral("/kettlebox");
    QFile::copy(program, copy);
    QProcess first;
    first.start(copy, {});
    first.waitForStarted();
    QTest::qWait(1500); // running and listening
    std::vector<double> second;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer timer;
        timer.start();
        QProcess again;
        again.start(copy, {});
        again.waitForFinished(10000);
        second.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    first.terminate();
    first.waitForFinished(5000);
    bar("second_start_ms", median(second), 30);
}

} // namespace kbbench
