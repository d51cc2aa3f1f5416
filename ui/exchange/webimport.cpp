// The tree's "Import from Web Address…": a recipe page fetched and imported as a saved page is.

#include "exchange/importer.h"
#include "exchange/webfetch.h"
#include "platform/dialogs.h"
#include "store/recipebas.h"
#include "ui/exchange/exchangecommands.h"

namespace kb {

namespace {

const QString kWebTitle = QStringLiteral("Import from Web Address");

} // namespace

void ExchangeCommands::importFromWebAddress() {
    const QString address =
        m_dialogs
            .inputBox(QStringLiteral("Which web address holds the recipe?\n"
                                     "The page is fetched and its recipe imported."),
                      kWebTitle, QStringLiteral("https://"))
            .trimmed();
    if (address.isEmpty() || address == QLatin1String("https://"))
        return;
    if (!exchange::isWebAddress(address)) {
        m_dialogs.msgBox(QStringLiteral("\"%1\" is not a web address: it begins with http:// "
                                        "or https://.")
                             .arg(address),
                         vbExclamation, kWebTitle);
        return;
    }

    // The page comes in while the window stays live, with a Cancel from its first byte.
    exchange::ReadResult read;
    bool cancelled = false;
    {
        const Progress window =
            m_dialogs.progress(QStringLiteral("Fetching %1 ...").arg(address), kWebTitle, true);
        read = exchange::readWebAddress(address, {}, window, &cancelled);
    }
    if (cancelled) {
        m_dialogs.msgBox(QStringLiteral("The download was cancelled; nothing was imported."),
                         vbInformation, kWebTitle);
        return;
    }
    if (read.recipes.isEmpty()) {
        const QString why = read.problems.isEmpty() ? QString() : read.problems.first().reason;
        m_dialogs.msgBox(QStringLiteral("No recipe was found at %1: %2.").arg(address, why),
                         vbExclamation, kWebTitle);
        return;
    }

    const QString chosen = chosenCategory();
    const QString category = m_dialogs.inputBox(
        QStringLiteral("Which category should the recipes go into? A new one is made.\n"
                       "Type * to put each recipe into its own category."),
        kWebTitle, chosen.isEmpty() ? exchange::kDefaultCategory : chosen);
    if (category.isEmpty())
        return;
    exchange::ImportOptions options;
    options.category = category == QLatin1String("*") ? QString() : category;
    exchange::Importer importer(options);
    importer.addRecords(address, read);
    const exchange::ImportReport report = importer.run(m_store.file());
    if (report.imported > 0)
        m_store.LoadCatalogue();
    QString text = report.summary();
    for (const exchange::ReportLine& l : report.lines)
        if (l.kind != exchange::ReportLine::Kind::Imported && !l.reason.isEmpty())
            text += QStringLiteral("\n") + l.reason;
    m_dialogs.msgBox(text, report.complete() ? vbInformation : vbExclamation, kWebTitle);
}

} // namespace kb
