#include "ui/exchange/exchangecommands.h"

#include "core/app.h"
#include "core/database.h"
#include "core/printexport.h"
#include "core/store_error.h"
#include "details/details.h"
#include "exchange/cookbook.h"
#include "exchange/exporter.h"
#include "exchange/importer.h"
#include "platform/browser.h"
#include "platform/dialogs.h"
#include "store/recipebas.h"
#include "ui/print/frmprint.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

namespace kb {

namespace {

const QString kExportTitle = QStringLiteral("Export Recipes");
const QString kImportTitle = QStringLiteral("Import Recipes");
const QString kCookbookTitle = QStringLiteral("Print Cookbook");
const QString kImportFilter = QStringLiteral(
    "Recipes (*.jsonld *.json *.html *.htm *.mmf *.mm *.mxp *.mx2 *.txt *.paprikarecipe "
    "*.paprikarecipes *.xml *.rml *.grmt *.kreml *.rk *.cook *.zip);;All files (*)");

// A progress window for a long piece of work, when there is enough of it to wait for.
Progress watch(Dialogs& dialogs, const QString& text, const QString& title, qsizetype total) {
    if (total <= ExchangeCommands::kProgressFrom)
        return {};
    return dialogs.progress(text, title, true);
}

} // namespace

ExchangeCommands::ExchangeCommands(RecipeBas& store, Dialogs& dialogs, const QString& appFolder,
                                   QObject* parent)
    : QObject(parent), m_store(store), m_dialogs(dialogs), m_appFolder(appFolder) {
    setObjectName(QStringLiteral("exchangeCommands"));
}

// The preview has no parent window; it goes with the commands, that is with the main window.
ExchangeCommands::~ExchangeCommands() {
    delete m_preview.data();
}

QString ExchangeCommands::chosenCategory() const {
    return m_store.SelectedCategory.isEmpty() ? m_store.RecipeCategory : m_store.SelectedCategory;
}

void ExchangeCommands::exportRecipe() {
    if (m_store.SelectedRecipe.isEmpty() || m_store.RecipeCategory.isEmpty()) {
        m_dialogs.msgBox(kChooseRecipeMessage);
        return;
    }
    exportSelection(m_store.RecipeCategory, m_store.SelectedRecipe, m_store.SelectedRecipe);
}

void ExchangeCommands::exportCategory() {
    const QString category = chosenCategory();
    if (category.isEmpty()) {
        m_dialogs.msgBox(QStringLiteral("Please Choose a Category"));
        return;
    }
    exportSelection(category, {}, category);
}

void ExchangeCommands::exportAll() {
    exportSelection({}, {}, QStringLiteral("Kettlebox Recipes"));
}

void ExchangeCommands::exportSelection(const QString& category, const QString& name,
                                       const QString& suggested) {
    const QString chosen = m_dialogs.saveFileName(
        kExportTitle,
        QDir::home().filePath(exchange::fileNameFor(suggested) + QStringLiteral(".jsonld")),
        exchange::exportFilter());
    if (chosen.isEmpty())
        return;
    const auto [file, format] = exchange::exportTarget(chosen);

    exchange::Collection collection;
    collection = exchange::collectRecipes(m_store.file(), category, name);
    Progress window = watch(m_dialogs, QStringLiteral("Exporting recipes..."), kExportTitle,
                            collection.recipes.size());
    try {
        exchange::exportRecipes(file, collection, format, window);
    } catch (const StoreError& e) {
        window = nullptr;
        if (!e.isCancel())
            throw;
        m_dialogs.msgBox(QStringLiteral("The export was cancelled; no file was written."));
        return;
    }
    window = nullptr;
    m_dialogs.msgBox(exchange::recipesCounted(collection.recipes.size()) +
                     QStringLiteral(" exported to \"%1\".").arg(QDir::toNativeSeparators(file)));
}

void ExchangeCommands::importRecipes() {
    const QString file = m_dialogs.openFileName(kImportTitle, kImportFilter);
    if (file.isEmpty())
        return;
    const QString chosen = chosenCategory();
    const QString category = m_dialogs.inputBox(
        QStringLiteral("Which category should the recipes go into? A new one is made.\n"
                       "Type * to put each recipe into its own category."),
        kImportTitle, chosen.isEmpty() ? exchange::kDefaultCategory : chosen);
    if (category.isEmpty())
        return;
    const int names = m_dialogs.msgBox(
        QStringLiteral("When a recipe's name is already in its category, or can't be stored as "
                       "it is:\nshould it come in under a changed name (Yes), or be left out "
                       "and reported (No)?"),
        vbYesNoCancel + vbQuestion, kImportTitle);
    if (names == vbCancel)
        return;

    exchange::ImportOptions options;
    options.category = category == QLatin1String("*") ? QString() : category;
    options.names = names == vbYes ? exchange::NamePolicy::Suffix : exchange::NamePolicy::Report;
    exchange::Importer importer(options);
    // One window from the first byte read to the last recipe written, with Cancel throughout.
    Progress window =
        m_dialogs.progress(QStringLiteral("Importing recipes..."), kImportTitle, true);
    const std::optional<exchange::ReadResult> read = readOffThread(file, window);
    if (!read) {
        m_dialogs.msgBox(QStringLiteral("The import was cancelled. Nothing was imported: the "
                                        "recipe file is as it was before."),
                         vbInformation, kImportTitle);
        return;
    }
    importer.addRecords(file, *read);

    importer.setProgress(window);
    const exchange::ImportReport report = importer.run(m_store.file());
    // The importer's copy goes too, so that the window closes before the report shows.
    importer.setProgress({});
    window = nullptr;
    if (report.imported > 0)
        m_store.LoadCatalogue();

    QString text = report.summary();
    QStringList details;
    for (const exchange::ReportLine& l : report.lines) {
        if (l.kind == exchange::ReportLine::Kind::Imported)
            continue;
        if (details.size() == 10) {
            details << QStringLiteral("...");
            break;
        }
        details << (l.position.isEmpty() ? QString() : l.position + QStringLiteral(": ")) +
                       (l.name.isEmpty() ? QString()
                                         : QLatin1Char('"') + l.name + QStringLiteral("\": ")) +
                       l.reason;
    }
    if (!details.isEmpty() && !report.cancelled && report.failure.isEmpty())
        text += QStringLiteral("\n\n") + details.join(QLatin1Char('\n'));
    try {
        exchange::saveReport(report, file);
        text += QStringLiteral("\n\nThe full report is saved as \"%1\".")
                    .arg(QDir::toNativeSeparators(exchange::reportFileName(file)));
    } catch (const StoreError& e) {
        text += QStringLiteral("\n\n") + e.message();
    }
    m_dialogs.msgBox(text, report.complete() ? vbInformation : vbExclamation, kImportTitle);
}

std::optional<exchange::ReadResult> ExchangeCommands::readOffThread(const QString& file,
                                                                    const Progress& window) {
    // Shared with the worker, which may outlive a cancelled wait.
    auto result = std::make_shared<exchange::ReadResult>();
    BackgroundJob& reader = m_reads.free();
    reader.start([file, result] { *result = exchange::readRecipeFile(file); });
    // The window answers (and can be cancelled) while the worker reads; a cancelled read is
    // left to finish on its own and its result dropped.
    while (reader.running()) {
        if (!reportProgress(window, 0, 0))
            return std::nullopt;
        QThread::msleep(15);
    }
    return std::move(*result);
}

void ExchangeCommands::printCookbook() {
    QString category = chosenCategory();
    // Every question can be left with Escape, which prints nothing.
    if (!category.isEmpty()) {
        const int answer =
            m_dialogs.msgBox(QStringLiteral("Print the recipes of the category \"%1\" only?\n"
                                            "No prints every category.")
                                 .arg(category),
                             vbYesNoCancel + vbQuestion, kCookbookTitle);
        if (answer == vbCancel)
            return;
        if (answer != vbYes)
            category.clear();
    } else if (m_dialogs.msgBox(QStringLiteral("Print the whole collection, every recipe of "
                                               "every category?"),
                                vbOKCancel + vbQuestion, kCookbookTitle) != vbOK) {
        return;
    }
    exchange::Collection collection;
    {
        // The whole collection can take a while to read: its progress shows, with a Cancel.
        const Progress progress =
            category.isEmpty()
                ? m_dialogs.progress(QStringLiteral("Reading the recipes..."), kCookbookTitle, true)
                : Progress();
        try {
            collection = exchange::collectRecipes(m_store.file(), category, {}, progress);
        } catch (const StoreError& e) {
            if (!e.isCancel())
                throw;
            return;
        }
    }
    const QString title = category.isEmpty() ? QStringLiteral("Kettlebox Cookbook")
                                             : QStringLiteral("Kettlebox Cookbook: ") + category;
    // The whole book in plain text stays out of the program's folder: in a folder of this
    // user's alone, removed when the preview closes.
    if (!m_cookbookFolder) {
        m_cookbookFolder = std::make_unique<QTemporaryDir>(
            QDir(QDir::tempPath()).filePath(QStringLiteral("kettlebox-cookbook-XXXXXX")));
        if (!m_cookbookFolder->isValid()) {
            const QString why = m_cookbookFolder->errorString();
            m_cookbookFolder.reset();
            throw StoreError(QStringLiteral("The cookbook could not be printed, because no "
                                            "private folder could be made for it in \"%1\" "
                                            "(%2).")
                                 .arg(QDir::toNativeSeparators(QDir::tempPath()), why));
        }
    }
    // Each recipe's first photo, as its thumbnail: a book of many recipes stays light to lay
    // out and to print.
    QList<QByteArray> photos;
    m_store.file().withConnection([&](Database& db) {
        for (const exchange::RecipeRecord& r : std::as_const(collection.recipes))
            photos << firstThumbnail(db, r.category, r.name);
    });
    exchange::writeCookbook(m_cookbookFolder->path(), title, collection.recipes, photos);
    if (!m_preview) {
        m_preview = new frmprint(m_appFolder, m_dialogs);
        m_preview->setObjectName(QStringLiteral("cookbookPreview"));
        connect(m_preview, &QObject::destroyed, this, [this] { m_cookbookFolder.reset(); });
    }
    m_preview->WB->Navigate(exchange::cookbookPagePath(m_cookbookFolder->path()));
    m_preview->setCaption(QStringLiteral("Print [ ") + title + QStringLiteral(" ]"));
    m_preview->setWindowState(m_preview->windowState() & ~Qt::WindowMinimized);
    m_preview->show();
    m_preview->raise();
    m_preview->activateWindow();
}

} // namespace kb
