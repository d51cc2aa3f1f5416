#include "platform/browser.h"

#include "core/store_error.h"
#include "platform/dialogs.h"
#include "platform/guard.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextDocument>
#include <QUrl>

#include <memory>

namespace kb {

Browser::Browser(Dialogs& dialogs, QWidget* parent) : QTextBrowser(parent), m_dialogs(dialogs) {
    // The page is the user's own recipe: nothing in it should lead elsewhere.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

void Browser::Navigate(const QString& path) {
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    if (source() == url)
        reload();
    else
        setSource(url);
}

bool Browser::ExecWB(int command, int option) {
    if (command != OLECMDID_PRINT)
        return false;
    // Without a prompt there would be no printer to print to: we never keep one, so every
    // print asks, whatever the option says.
    Q_UNUSED(option);
    return printWithPrompt();
}

// The print dialog offers the name as a file name: the page title holds a web address, whose
// slashes would send the file into folders that don't exist.
QString Browser::printName() const {
    static const QRegularExpression unsafe(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f]+"));
    QString name = m_printName.isEmpty() ? documentTitle() : m_printName;
    name = name.replace(unsafe, QStringLiteral("_")).trimmed();
    return name.isEmpty() ? QStringLiteral("print") : name;
}

bool Browser::printWithPrompt() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(printName());
    // Paper margins a page printed from a browser usually has; the dialog can change them.
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    if (!m_dialogs.printDialog(printer, this))
        return false;
    printTo(printer);
    return true;
}

void Browser::printTo(QPrinter& printer) const {
    // QTextDocument::print() adds a page number to every page of an unpaginated document, so
    // the page is laid out and drawn here, page by page, with nothing added.
    const std::unique_ptr<QTextDocument> doc(document()->clone());
    doc->documentLayout()->setPaintDevice(&printer);
    doc->setDefaultFont(document()->defaultFont());

    const QRectF pageRect = printer.pageRect(QPrinter::DevicePixel);
    const QSizeF pageSize = pageRect.size();
    doc->setPageSize(pageSize);

    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString target = printer.outputFileName();
        throw StoreError(target.isEmpty()
                             ? QStringLiteral("The page could not be printed: the printer "
                                              "could not be started.")
                             : QStringLiteral("The page could not be printed to the file \"%1\". "
                                              "Please check that its folder exists and can be "
                                              "written to.")
                                   .arg(target));
    }

    const int pages = std::max(1, doc->pageCount());
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            printer.newPage();
        const QRectF view(0, page * pageSize.height(), pageSize.width(), pageSize.height());
        painter.save();
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = view;
        context.palette.setColor(QPalette::Text, Qt::black);
        doc->documentLayout()->draw(&painter, context);
        painter.restore();
    }
    painter.end();
}

QMenu* Browser::createContextMenu(const QPoint& position) {
    QMenu* menu = createStandardContextMenu(position);
    QAction* print = new QAction(tr("Print"), menu);
    print->setObjectName(QStringLiteral("printAction"));
    connect(print, &QAction::triggered, this, &Browser::printFromMenu);
    const QList<QAction*> existing = menu->actions();
    if (existing.isEmpty()) {
        menu->addAction(print);
    } else {
        menu->insertAction(existing.first(), print);
        menu->insertSeparator(existing.first());
    }
    return menu;
}

void Browser::contextMenuEvent(QContextMenuEvent* event) {
    // The standard menu wants document coordinates; the event carries viewport ones.
    const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
    std::unique_ptr<QMenu> menu(createContextMenu(event->pos() + offset));
    menu->exec(event->globalPos());
}

void Browser::printFromMenu() {
    runGuarded(m_dialogs, [this] { printWithPrompt(); });
}

} // namespace kb
