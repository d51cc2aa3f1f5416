#include "ui/history/frmdeleted.h"

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

frmdeleted::frmdeleted(RecipeBas& store, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_store(store), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("frmdeleted"));
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
    PutBack = commandButton("PutBack", QStringLiteral("Put Back"));
    CloseForm = commandButton("CloseForm", QStringLiteral("Close"));

    List = new QTreeWidget(frame);
    List->setObjectName(QStringLiteral("List"));
    List->setAccessibleName(QStringLiteral("Deleted and changed recipes"));
    List->setFont(formFont());
    List->setRootIsDecorated(false);
    List->setUniformRowHeights(true);
    List->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Category"),
                           QStringLiteral("When"), QStringLiteral("Why")});
    List->header()->setStretchLastSection(true);
    List->setColumnWidth(0, 190);
    List->setColumnWidth(1, 130);
    List->setColumnWidth(2, 120);

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
    NameBox = lineBox("NameBox", QStringLiteral("Recipe name"));
    AuthorBox = lineBox("AuthorBox", QStringLiteral("Author"));
    IngredientsBox = textBox("IngredientsBox", QStringLiteral("Ingredients"));
    InstructionsBox = textBox("InstructionsBox", QStringLiteral("Instructions"));

    Status = new QLabel(frame);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setFont(formFont());

    setTabOrder(List, PutBack);
    setTabOrder(PutBack, CloseForm);

    connect(List, &QTreeWidget::currentItemChanged, this, [this] { showChosen(); });
    connect(PutBack, &xpcmdbutton::Click, this, &frmdeleted::PutBack_Click);
    connect(CloseForm, &xpcmdbutton::Click, this, &QWidget::close);

    placeControls();
    Reload();
}

frmdeleted::~frmdeleted() = default;

void frmdeleted::Reload() {
    m_entries.clear();
    List->clear();
    runGuarded(m_dialogs, [this] { m_entries = listHistory(m_store.file()); });
    for (const HistoryEntry& e : m_entries)
        new QTreeWidgetItem(List, {e.name(), e.category, shownWhen(e.when), whyText(e.why)});
    const qsizetype n = m_entries.size();
    Status->setText(n == 0   ? QStringLiteral("Nothing has been deleted or changed.")
                    : n == 1 ? QStringLiteral("1 recipe in the history.")
                             : QStringLiteral("%1 recipes in the history.").arg(n));
    // A reader says a label's name in place of its text: the name is the text itself.
    Status->setAccessibleName(Status->text());
    if (List->topLevelItemCount() > 0)
        List->setCurrentItem(List->topLevelItem(0));
    showChosen();
}

void frmdeleted::showChosen() {
    const int row = List->currentItem() ? List->indexOfTopLevelItem(List->currentItem()) : -1;
    PutBack->setEnabled(row >= 0);
    std::optional<HistoryEntry> entry;
    if (row >= 0)
        runGuarded(m_dialogs, [&] { entry = historyEntry(m_store.file(), m_entries.at(row).id); });
    const auto field = [&](int i) {
        return entry ? entry->fields.value(i).value_or(QString()) : QString();
    };
    NameBox->setText(field(0));
    AuthorBox->setText(field(1));
    IngredientsBox->setPlainText(field(2));
    InstructionsBox->setPlainText(field(3));
}

void frmdeleted::PutBack_Click() {
    const int row = List->currentItem() ? List->indexOfTopLevelItem(List->currentItem()) : -1;
    if (row < 0)
        return;
    const HistoryEntry chosen = m_entries.at(row);
    const QString question = QStringLiteral("Put the recipe \"%1\" back into the category "
                                            "\"%2\"?")
                                 .arg(chosen.name(), chosen.category);
    if (m_dialogs.msgBox(question, vbYesNo + vbQuestion, QStringLiteral("Deleted Recipes")) !=
        vbYes)
        return;
    QString backAs;
    runGuarded(m_dialogs, [&] { putBack(m_store.file(), chosen.id, &backAs); });
    m_store.sayUnconfirmed();
    if (!backAs.isEmpty() && backAs != chosen.name())
        m_dialogs.msgBox(QStringLiteral("The category \"%1\" already has a recipe named \"%2\", "
                                        "so this one was put back as \"%3\".")
                             .arg(chosen.category, chosen.name(), backAs),
                         vbOKOnly, QStringLiteral("Deleted Recipes"));
    runGuarded(m_dialogs, [this] { m_store.LoadCatalogue(); });
    Reload();
}

void frmdeleted::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeControls();
}

// The list takes the upper part, the fields the lower; the buttons keep to the bottom right.
void frmdeleted::placeControls() {
    const int w = width();
    const int h = height();
    frame->setGeometry(0, 0, w, h);
    CaptionButtons{minimiseButton, maximiseButton, closeButton}.place(w);
    const int inner = w - 2 * kMargin;
    const int bottom = h - kMargin - kButtonHeight;
    const int listHeight = (bottom - kCaption - 3 * kMargin) * 2 / 5;
    List->setGeometry(kMargin, kCaption + kMargin, inner, listHeight);
    int y = kCaption + kMargin + listHeight + kMargin;
    const int half = (inner - kMargin) / 2;
    NameBox->setGeometry(kMargin, y, half, 21);
    AuthorBox->setGeometry(kMargin + half + kMargin, y, inner - half - kMargin, 21);
    y += 21 + kMargin;
    const int textHeight = std::max(20, bottom - kMargin - y);
    IngredientsBox->setGeometry(kMargin, y, half, textHeight);
    InstructionsBox->setGeometry(kMargin + half + kMargin, y, inner - half - kMargin, textHeight);
    CloseForm->setGeometry(w - kMargin - 80, bottom, 80, kButtonHeight);
    PutBack->setGeometry(w - 2 * kMargin - 170, bottom, 90, kButtonHeight);
    Status->setGeometry(kMargin, bottom + 4, std::max(0, w - 3 * kMargin - 180), 17);
}

} // namespace kb
