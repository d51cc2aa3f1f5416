#include "ui/search/findrecipe.h"

#include "core/database.h"
#include "core/recipefile.h"
#include "details/details.h"
#include "platform/guard.h"
#include "platform/propertybag.h"
#include "ui/controls/captionbuttons.h"
#include "ui/controls/formdesign.h"
#include "ui/controls/xp_canvas.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/controls/xptopbuttons.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QSet>
#include <QTimer>

namespace kb {

namespace {

constexpr QRect kWordsLabelRect(13, 41, 60, 13);
constexpr QRect kWordsRect(75, 37, 392, 21);
constexpr QRect kResultsRect(13, 66, 454, 280);
constexpr QRect kCountRect(13, 361, 270, 13);
constexpr QRect kGoToRect(297, 355, 80, 25);
constexpr QRect kCloseCommandRect(387, 355, 80, 25);

QString countText(const SearchResult& r) {
    if (r.total == 0)
        return QStringLiteral("No recipe found");
    QString text = r.total == 1 ? QStringLiteral("1 recipe found")
                                : QStringLiteral("%1 recipes found").arg(r.total);
    if (r.hits.size() < r.total)
        text += QStringLiteral(", the best %1 listed").arg(r.hits.size());
    return text;
}

} // namespace

FindRecipe::FindRecipe(SearchIndex& index, Dialogs& dialogs, std::function<QString()> databasePath,
                       GoTo goTo, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_index(index), m_dialogs(dialogs),
      m_connection(std::move(databasePath)), m_goTo(std::move(goTo)) {
    setObjectName(QStringLiteral("FindRecipe"));
    setWindowTitle(QStringLiteral("Find Recipe"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(formFont());
    setFixedSize(kWidth, kHeight);

    frame = new xp_canvas(this);
    frame->setObjectName(QStringLiteral("FindRecipeXP"));
    frame->setGeometry(0, 0, kWidth, kHeight);
    frame->ReadProperties(PropertyBag({{QStringLiteral("Caption"), QStringLiteral("Find Recipe")},
                                       {QStringLiteral("Fixed_Single"), true}}));

    const CaptionButtons captionButtons = CaptionButtons::addTo(frame, this);
    minimiseButton = captionButtons.minimise;
    maximiseButton = captionButtons.maximise;
    closeButton = captionButtons.close;
    captionButtons.place(kWidth);

    wordsLabel = new QLabel(QStringLiteral("Words:"), frame);
    wordsLabel->setGeometry(kWordsLabelRect);
    words = new QLineEdit(frame);
    words->setObjectName(QStringLiteral("words"));
    words->setGeometry(kWordsRect);
    words->setAccessibleName(QStringLiteral("Search words"));
    words->setAccessibleDescription(
        QStringLiteral("Every word must occur in the name, author, ingredients or instructions; "
                       "put a phrase in double quotes."));
    wordsLabel->setBuddy(words);
    words->installEventFilter(this);

    results = new QListWidget(frame);
    results->setObjectName(QStringLiteral("results"));
    results->setGeometry(kResultsRect);
    results->setAccessibleName(QStringLiteral("Found recipes"));
    results->setUniformItemSizes(true);
    results->setWordWrap(false);
    results->setTextElideMode(Qt::ElideRight);

    count = new QLabel(frame);
    count->setObjectName(QStringLiteral("count"));
    count->setGeometry(kCountRect);
    progress = new QProgressBar(frame);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setAccessibleName(QStringLiteral("Building the search index"));
    progress->setGeometry(kCountRect.adjusted(0, -2, 0, 2));
    progress->setVisible(false);

    const auto commandButton = [this](const char* name, const QString& caption, const QRect& at) {
        auto* button = new xpcmdbutton(frame);
        button->setObjectName(QLatin1String(name));
        button->ReadProperties(PropertyBag(
            {{QStringLiteral("Caption"), caption}, {QStringLiteral("Font"), buttonFont()}}));
        button->setGeometry(at);
        return button;
    };
    goToButton = commandButton("goToButton", QStringLiteral("Go To"), kGoToRect);
    closeCommand = commandButton("closeCommand", QStringLiteral("Close"), kCloseCommandRect);

    m_inside = new QTimer(this);
    m_inside->setSingleShot(true);
    m_inside->setInterval(kInsideAfterMs);
    connect(m_inside, &QTimer::timeout, this, [this] { list(SearchIndex::Match::Anywhere); });
    connect(words, &QLineEdit::textChanged, this, [this] {
        m_limit = kShown;
        refresh();
    });
    connect(words, &QLineEdit::returnPressed, this, [this] { goToCurrent(); });
    connect(results, &QListWidget::itemActivated, this, [this] { goToCurrent(); });
    connect(goToButton, &xpcmdbutton::Click, this, [this] { goToCurrent(); });
    connect(closeCommand, &xpcmdbutton::Click, this, &QWidget::close);
    setTabOrder(words, results);
    setTabOrder(results, goToButton);
    setTabOrder(goToButton, closeCommand);
    setCount(QStringLiteral("Type the words to look for"));
}

FindRecipe::~FindRecipe() = default;

void FindRecipe::open() {
    show();
    raise();
    activateWindow();
    words->setFocus();
    words->selectAll();
    ensureIndex();
    refresh();
}

void FindRecipe::ensureIndex() {
    guarded([this] {
        Database& db = database();
        QElapsedTimer clock;
        clock.start();
        m_index.ensureCurrent(db, [&](std::int64_t done, std::int64_t total) {
            if (clock.elapsed() < kProgressAfterMs && !progress->isVisible())
                return true;
            if (!progress->isVisible()) {
                count->setVisible(false);
                progress->setRange(0, static_cast<int>(total));
                progress->setVisible(true);
            }
            progress->setValue(static_cast<int>(done));
            // Only painting: the window takes no input until the index is whole again.
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return true;
        });
    });
    progress->setVisible(false);
    count->setVisible(true);
}

void FindRecipe::refresh() {
    list(SearchIndex::Match::WordStarts);
    if (!searchQuery(words->text()).isEmpty())
        m_inside->start();
}

void FindRecipe::list(SearchIndex::Match match) {
    m_inside->stop();
    const QString text = words->text();
    // Listing more keeps the place: the first of the new results.
    // A pause's second look keeps the row the user is on.
    const int keep = m_limit > kShown                        ? m_limit - kShown
                     : match == SearchIndex::Match::Anywhere ? std::max(0, results->currentRow())
                                                             : 0;
    results->clear();
    if (searchQuery(text).isEmpty()) {
        setCount(QStringLiteral("Type the words to look for"));
        return;
    }
    guarded([&] {
        SearchResult r = m_index.search(database(), text, m_limit, match);
        addDetailHits(r, text);
        results->setUpdatesEnabled(false);
        for (const SearchHit& h : r.hits) {
            const QString name = h.recipe.name();
            const QString& category = h.recipe.place.category;
            const QString author = h.recipe.author();
            const QString by = author.isEmpty() ? QString() : QStringLiteral(", by ") + author;
            auto* item = new QListWidgetItem(name + QStringLiteral("  \u2014  in ") + category +
                                             by + QLatin1Char('\n') + h.snippet);
            item->setData(CategoryRole, category);
            item->setData(NameRole, name);
            item->setData(RowIdRole, QVariant::fromValue<qint64>(h.recipe.place.rowid));
            const QByteArray thumbnail = firstThumbnail(database(), category, name);
            if (!thumbnail.isEmpty())
                item->setIcon(QIcon(QPixmap::fromImage(QImage::fromData(thumbnail))));
            item->setData(Qt::AccessibleTextRole,
                          QString(name + QStringLiteral(", in ") + category + by +
                                  QStringLiteral(": ") + h.snippet));
            results->addItem(item);
        }
        if (r.hits.size() < r.total) {
            const QString more = QStringLiteral("Show %1 more of the %2 found...")
                                     .arg(std::min<qsizetype>(kShown, r.total - r.hits.size()))
                                     .arg(r.total);
            auto* item = new QListWidgetItem(more);
            item->setData(MoreRole, true);
            item->setData(Qt::AccessibleTextRole, more);
            results->addItem(item);
        }
        results->setUpdatesEnabled(true);
        if (results->count() > 0)
            results->setCurrentRow(std::min(keep, results->count() - 1));
        setCount(countText(r));
    });
}

// Tags, notes and the source are searched beside the four fields; a recipe found both ways is
// listed once, where the index put it.
void FindRecipe::addDetailHits(SearchResult& r, const QString& text) {
    QSet<std::pair<QString, QString>> listed;
    for (const SearchHit& h : r.hits)
        listed.insert({h.recipe.place.category.toLower(), h.recipe.name()});
    for (const DetailHit& d : recipesWithDetailText(database(), searchTerms(text), m_limit)) {
        if (listed.contains({d.category.toLower(), d.name}))
            continue;
        ++r.total;
        if (r.hits.size() < m_limit) {
            SearchHit h;
            h.recipe.place.category = d.category;
            h.recipe.fields[0] = d.name;
            h.snippet = d.snippet;
            r.hits.append(h);
        }
    }
}

void FindRecipe::guarded(const std::function<void()>& work) {
    // After a failure the next search opens the file afresh.
    runGuarded(m_dialogs, [&] { m_connection.run(work); });
}

void FindRecipe::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_inside->stop();
    m_connection.close();
}

void FindRecipe::goToCurrent() {
    QListWidgetItem* item = results->currentItem();
    if (!item && results->count() > 0)
        item = results->item(0);
    if (!item)
        return;
    if (item->data(MoreRole).toBool()) {
        m_limit += kShown;
        list(SearchIndex::Match::Anywhere);
        return;
    }
    m_goTo(item->data(CategoryRole).toString(), item->data(NameRole).toString(),
           item->data(RowIdRole).toLongLong());
}

// The count's accessible name is the count itself, so a screen reader announces each new one.
void FindRecipe::setCount(const QString& text) {
    count->setText(text);
    count->setAccessibleName(text);
}

// Up and down in the search box move through the results, so the hands stay on the keys.
bool FindRecipe::eventFilter(QObject* watched, QEvent* event) {
    if (watched == words && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Down || key == Qt::Key_Up) && results->count() > 0) {
            const int row = std::clamp(results->currentRow() + (key == Qt::Key_Down ? 1 : -1), 0,
                                       results->count() - 1);
            results->setCurrentRow(row);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kb
