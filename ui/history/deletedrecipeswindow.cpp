#include "ui/history/deletedrecipeswindow.h"

#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/propertybag.h"
#include "store/recipebas.h"
#include "ui/controls/captionbuttons.h"
#include "ui/controls/formdesign.h"
#include "ui/controls/xp_canvas.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/controls/xptopbuttons.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTreeWidget>

namespace kb {

namespace {

constexpr int kMargin = 8;
constexpr int kCaption = 30;
constexpr int kButtonHeight = 25;

QString shownWhen(const QDateTime& when) {
    return when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

} // namespace

DeletedRecipesWindow::DeletedRecipesWindow(RecipeBas& store, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_store(store), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("DeletedRecipes"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Deleted Recipes"));
    setAccessibleName(QStringLiteral("Deleted Recipes"));
    setMinimumSize(420, 360);
    resize(kWidth, kHeight);

    frame = new xp_canvas(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->ReadProperties(
        PropertyBag({{QStringLiteral("Caption"), QStringLiteral("Deleted Recipes")}}));

    const CaptionButtons captionButtons = CaptionButtons::addTo(frame, this);
    minimiseButton = captionButtons.minimise;
    maximiseButton = captionButtons.maximise;
    closeButton = captionButtons.close;

    const auto commandButton = [this](const char* name, const QString& caption) {
        auto* button = new xpcmdbutton(frame);
        button->setObjectName(QLatin1String(name));
        button->ReadProperties(PropertyBag(
            {{QStringLiteral("Caption"), caption}, {QStringLiteral("Font"), buttonFont()}}));
        button->setAccessibleName(caption);
        return button;
    };
    putBackButton = commandButton("PutBack", QStringLiteral("Put Back"));
    closeCommand = commandButton("CloseForm", QStringLiteral("Close"));

    list = new QTreeWidget(frame);
    list->setObjectName(QStringLiteral("List"));
    list->setAccessibleName(QStringLiteral("Deleted and changed recipes"));
    list->setFont(formFont());
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Category"),
                           QStringLiteral("When"), QStringLiteral("Why")});
    list->header()->setStretchLastSection(true);
    list->setColumnWidth(0, 190);
    list->setColumnWidth(1, 130);
    list->setColumnWidth(2, 120);

    const auto lineBox = [this](const char* name, const QString& accessible) {
        auto* box = new QLineEdit(frame);
        box->setObjectName(QLatin1String(name));
        box->setAccessibleName(accessible);
        box->setFont(formFont());
        box->setReadOnly(true);
        return box;
    };
    const auto textBox = [this](const char* name, const QString& accessible) {
        auto* box = new QPlainTextEdit(frame);
        box->setObjectName(QLatin1String(name));
        box->setAccessibleName(accessible);
        box->setFont(formFont());
        box->setReadOnly(true);
        return box;
    };
    nameBox = lineBox("NameBox", QStringLiteral("Recipe name"));
    authorBox = lineBox("AuthorBox", QStringLiteral("Author"));
    ingredientsBox = textBox("IngredientsBox", QStringLiteral("Ingredients"));
    instructionsBox = textBox("InstructionsBox", QStringLiteral("Instructions"));

    status = new QLabel(frame);
    status->setObjectName(QStringLiteral("Status"));
    status->setFont(formFont());

    setTabOrder(list, putBackButton);
    setTabOrder(putBackButton, closeCommand);

    connect(list, &QTreeWidget::currentItemChanged, this, [this] { showChosen(); });
    connect(putBackButton, &xpcmdbutton::Click, this, &DeletedRecipesWindow::putBack);
    connect(closeCommand, &xpcmdbutton::Click, this, &QWidget::close);

    placeControls();
    reload();
}

DeletedRecipesWindow::~DeletedRecipesWindow() = default;

void DeletedRecipesWindow::reload() {
    m_entries.clear();
    list->clear();
    runGuarded(m_dialogs, [this] { m_entries = listHistory(m_store.file()); });
    for (const HistoryEntry& e : m_entries)
        new QTreeWidgetItem(
            list, {e.recipe.name(), e.recipe.place.category, shownWhen(e.when), whyText(e.why)});
    const qsizetype n = m_entries.size();
    status->setText(n == 0   ? QStringLiteral("Nothing has been deleted or changed.")
                    : n == 1 ? QStringLiteral("1 recipe in the history.")
                             : QStringLiteral("%1 recipes in the history.").arg(n));
    // A reader says a label's name in place of its text: the name is the text itself.
    status->setAccessibleName(status->text());
    if (list->topLevelItemCount() > 0)
        list->setCurrentItem(list->topLevelItem(0));
    showChosen();
}

void DeletedRecipesWindow::showChosen() {
    const int row = list->currentItem() ? list->indexOfTopLevelItem(list->currentItem()) : -1;
    putBackButton->setEnabled(row >= 0);
    std::optional<HistoryEntry> entry;
    if (row >= 0)
        runGuarded(m_dialogs, [&] { entry = historyEntry(m_store.file(), m_entries.at(row).id); });
    const auto field = [&](int i) {
        return entry ? entry->recipe.fields[static_cast<size_t>(i)].value_or(QString()) : QString();
    };
    nameBox->setText(field(0));
    authorBox->setText(field(1));
    ingredientsBox->setPlainText(field(2));
    instructionsBox->setPlainText(field(3));
}

void DeletedRecipesWindow::putBack() {
    const int row = list->currentItem() ? list->indexOfTopLevelItem(list->currentItem()) : -1;
    if (row < 0)
        return;
    const HistoryEntry chosen = m_entries.at(row);
    const QString question = QStringLiteral("Put the recipe \"%1\" back into the category "
                                            "\"%2\"?")
                                 .arg(chosen.recipe.name(), chosen.recipe.place.category);
    if (m_dialogs.msgBox(question, vbYesNo + vbQuestion, QStringLiteral("Deleted Recipes")) !=
        vbYes)
        return;
    QString backAs;
    runGuarded(m_dialogs, [&] { kb::putBack(m_store.file(), chosen.id, &backAs); });
    m_store.sayUnconfirmed();
    if (!backAs.isEmpty() && backAs != chosen.recipe.name())
        m_dialogs.msgBox(QStringLiteral("The category \"%1\" already has a recipe named \"%2\", "
                                        "so this one was put back as \"%3\".")
                             .arg(chosen.recipe.place.category, chosen.recipe.name(), backAs),
                         vbOKOnly, QStringLiteral("Deleted Recipes"));
    runGuarded(m_dialogs, [this] { m_store.LoadCatalogue(); });
    reload();
}

void DeletedRecipesWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeControls();
}

// The list takes the upper part, the fields the lower; the buttons keep to the bottom right.
void DeletedRecipesWindow::placeControls() {
    const int w = width();
    const int h = height();
    frame->setGeometry(0, 0, w, h);
    CaptionButtons{minimiseButton, maximiseButton, closeButton}.place(w);
    const int inner = w - 2 * kMargin;
    const int bottom = h - kMargin - kButtonHeight;
    const int listHeight = (bottom - kCaption - 3 * kMargin) * 2 / 5;
    list->setGeometry(kMargin, kCaption + kMargin, inner, listHeight);
    int y = kCaption + kMargin + listHeight + kMargin;
    const int half = (inner - kMargin) / 2;
    nameBox->setGeometry(kMargin, y, half, 21);
    authorBox->setGeometry(kMargin + half + kMargin, y, inner - half - kMargin, 21);
    y += 21 + kMargin;
    const int textHeight = std::max(20, bottom - kMargin - y);
    ingredientsBox->setGeometry(kMargin, y, half, textHeight);
    instructionsBox->setGeometry(kMargin + half + kMargin, y, inner - half - kMargin, textHeight);
    closeCommand->setGeometry(w - kMargin - 80, bottom, 80, kButtonHeight);
    putBackButton->setGeometry(w - 2 * kMargin - 170, bottom, 90, kButtonHeight);
    status->setGeometry(kMargin, bottom + 4, std::max(0, w - 3 * kMargin - 180), 17);
}

} // namespace kb
