#include "ui/shopping/shoppinglist.h"

#include "core/database.h"
#include "core/recipefile.h"
#include "core/store_error.h"
#include "platform/browser.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/propertybag.h"
#include "ui/controls/captionbuttons.h"
#include "ui/controls/formdesign.h"
#include "ui/controls/xp_canvas.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/controls/xptopbuttons.h"
#include "ui/print/frmprint.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QSizeGrip>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kb {

namespace {

constexpr int kCaption = 30;
constexpr int kMargin = 8;

const QString kTitle = QStringLiteral("Shopping List");

QString pagePath(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("shopping.htm"));
}

void writeWhole(const QString& path, const QString& text, const QString& what) {
    const QString failed = writeWholeFile(path, text.toUtf8());
    if (!failed.isEmpty())
        throw StoreError(QStringLiteral("The %1 could not be written to \"%2\" (%3); nothing "
                                        "was changed there.")
                             .arg(what, QDir::toNativeSeparators(path), failed));
}

QString headingOf(kitchen::Aisle a) {
    QString name = kitchen::aisleName(a);
    name[0] = name[0].toUpper();
    return name;
}

} // namespace

ShoppingList::ShoppingList(Dialogs& dialogs, std::function<QString()> databasePath,
                           QString appFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_dialogs(dialogs),
      m_connection(std::move(databasePath)), m_appFolder(std::move(appFolder)) {
    setObjectName(QStringLiteral("ShoppingList"));
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(formFont());
    setMinimumSize(440, 360);
    resize(kWidth, kHeight);

    frame = new xp_canvas(this);
    frame->setObjectName(QStringLiteral("ShoppingListXP"));
    frame->ReadProperties(PropertyBag({{QStringLiteral("Caption"), kTitle}}));
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
        button->setFixedSize(96, 25);
        return button;
    };
    const auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, frame);
        l->setBuddy(buddy);
        return l;
    };

    recipes = new QTreeWidget(frame);
    recipes->setObjectName(QStringLiteral("recipes"));
    recipes->setAccessibleName(QStringLiteral("Recipes on the list"));
    recipes->setRootIsDecorated(false);
    recipes->setUniformRowHeights(true);
    recipes->setHeaderLabels(
        {QStringLiteral("Recipe"), QStringLiteral("Category"), QStringLiteral("Factor")});
    recipes->header()->setStretchLastSection(false);
    recipes->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    factor = new QDoubleSpinBox(frame);
    factor->setObjectName(QStringLiteral("factor"));
    factor->setAccessibleName(QStringLiteral("Servings factor of the chosen recipe"));
    factor->setRange(0.1, 1000);
    factor->setDecimals(2);
    factor->setValue(1);
    factor->setSingleStep(0.5);
    factor->setEnabled(false);
    // The spin box's own text field is what a screen reader lands on.
    if (auto* edit = factor->findChild<QLineEdit*>())
        edit->setAccessibleName(factor->accessibleName());
    removeButton = commandButton("removeButton", QStringLiteral("Remove Recipe"));

    measures = new QComboBox(frame);
    measures->setObjectName(QStringLiteral("measures"));
    measures->setAccessibleName(QStringLiteral("Measures shown"));
    measures->addItems(
        {QStringLiteral("As written"), QStringLiteral("Metric"), QStringLiteral("US")});

    items = new QTreeWidget(frame);
    items->setObjectName(QStringLiteral("items"));
    items->setAccessibleName(QStringLiteral("Shopping list"));
    items->setAccessibleDescription(
        QStringLiteral("Press Space or click a box to tick a line off."));
    items->setHeaderLabels({QStringLiteral("To buy"), QStringLiteral("For")});
    items->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    items->header()->setStretchLastSection(false);
    items->setUniformRowHeights(true);
    aisle = new QComboBox(frame);
    aisle->setObjectName(QStringLiteral("aisle"));
    aisle->setAccessibleName(QStringLiteral("Aisle of the chosen line"));
    for (int a = 0; a < kitchen::kAisleCount; ++a)
        aisle->addItem(headingOf(static_cast<kitchen::Aisle>(a)));
    aisle->setEnabled(false);

    status = new QLabel(frame);
    status->setObjectName(QStringLiteral("status"));
    status->setAccessibleName(QStringLiteral("Shopping list status"));
    // It shares its row with the buttons: a long message wraps rather than being cut off.
    status->setWordWrap(true);
    printButton = commandButton("printButton", QStringLiteral("Print..."));
    exportButton = commandButton("exportButton", QStringLiteral("Export..."));
    emptyButton = commandButton("emptyButton", QStringLiteral("Empty List"));
    closeCommand = commandButton("closeCommand", QStringLiteral("Close"));
    grip = new QSizeGrip(frame);
    grip->setAccessibleName(QStringLiteral("Resize the window"));

    // The frame is the window's whole face; the layout keeps clear of its caption bar.
    auto* outer = new QVBoxLayout(frame);
    outer->setContentsMargins(kMargin, kCaption + kMargin, kMargin, 2);
    outer->setSpacing(6);
    auto* recipeRow = new QHBoxLayout;
    recipeRow->addWidget(label(QStringLiteral("&Factor:"), factor));
    recipeRow->addWidget(factor);
    recipeRow->addStretch(1);
    recipeRow->addWidget(removeButton);
    auto* recipeBox = new QWidget(frame);
    auto* recipeColumn = new QVBoxLayout(recipeBox);
    recipeColumn->setContentsMargins(0, 0, 0, 0);
    recipeColumn->addWidget(label(QStringLiteral("&Recipes:"), recipes));
    recipeColumn->addWidget(recipes, 1);
    recipeColumn->addLayout(recipeRow);
    auto* itemBox = new QWidget(frame);
    auto* itemColumn = new QVBoxLayout(itemBox);
    itemColumn->setContentsMargins(0, 0, 0, 0);
    auto* measuresRow = new QHBoxLayout;
    measuresRow->addWidget(label(QStringLiteral("&To buy:"), items));
    measuresRow->addStretch(1);
    measuresRow->addWidget(label(QStringLiteral("&Measures:"), measures));
    measuresRow->addWidget(measures);
    itemColumn->addLayout(measuresRow);
    itemColumn->addWidget(items, 1);
    auto* aisleRow = new QHBoxLayout;
    aisleRow->addWidget(label(QStringLiteral("&Aisle:"), aisle));
    aisleRow->addWidget(aisle);
    aisleRow->addStretch(1);
    itemColumn->addLayout(aisleRow);
    auto* split = new QSplitter(Qt::Vertical, frame);
    split->setChildrenCollapsible(false);
    split->addWidget(recipeBox);
    split->addWidget(itemBox);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 3);
    outer->addWidget(split, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status, 1);
    buttons->addWidget(printButton);
    buttons->addWidget(exportButton);
    buttons->addWidget(emptyButton);
    buttons->addWidget(closeCommand);
    outer->addLayout(buttons);
    outer->addWidget(grip, 0, Qt::AlignRight | Qt::AlignBottom);

    setTabOrder(recipes, factor);
    setTabOrder(factor, removeButton);
    setTabOrder(removeButton, measures);
    setTabOrder(measures, items);
    setTabOrder(items, aisle);
    setTabOrder(aisle, printButton);
    setTabOrder(printButton, exportButton);
    setTabOrder(exportButton, emptyButton);
    setTabOrder(emptyButton, closeCommand);

    connect(recipes, &QTreeWidget::currentItemChanged, this, [this] { recipeChosen(); });
    connect(factor, &QDoubleSpinBox::valueChanged, this, &ShoppingList::factorChanged);
    connect(removeButton, &xpcmdbutton::Click, this, &ShoppingList::removeRecipe);
    connect(measures, &QComboBox::currentIndexChanged, this, &ShoppingList::measuresChosen);
    connect(items, &QTreeWidget::currentItemChanged, this, [this] { lineChosen(); });
    connect(items, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item) { lineChanged(item); });
    // A double click or Enter ticks a line too, not only a click on its box.
    connect(items, &QTreeWidget::itemActivated, this, [](QTreeWidgetItem* item) {
        if (item->flags() & Qt::ItemIsUserCheckable)
            item->setCheckState(0,
                                item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    });
    connect(aisle, &QComboBox::activated, this, &ShoppingList::aisleChosen);
    connect(printButton, &xpcmdbutton::Click, this, &ShoppingList::printList);
    connect(exportButton, &xpcmdbutton::Click, this, &ShoppingList::exportList);
    connect(emptyButton, &xpcmdbutton::Click, this, &ShoppingList::emptyList);
    connect(closeCommand, &xpcmdbutton::Click, this, &QWidget::close);
}

ShoppingList::~ShoppingList() {
    delete m_preview;
}

void ShoppingList::open() {
    reload();
    show();
    raise();
    activateWindow();
    items->setFocus();
}

void ShoppingList::addRecipe(const QString& category, const QString& name, double f) {
    guarded([&] { kitchen::addToShoppingList(database(), category, name, f); });
    open();
    status->setText(QStringLiteral("\"%1\" is on the list.").arg(name));
}

void ShoppingList::reload() {
    guarded([&] {
        Database& db = database();
        m_listed = kitchen::listedRecipes(db);
        m_system = kitchen::shownSystem(db);
        fillRecipes();
        fillItems();
    });
}

void ShoppingList::fillRecipes() {
    m_filling = true;
    const std::int64_t chosen =
        recipes->currentItem() ? recipes->currentItem()->data(0, IdRole).toLongLong() : 0;
    recipes->clear();
    for (const kitchen::ListedRecipe& r : std::as_const(m_listed)) {
        auto* item =
            new QTreeWidgetItem(recipes, {r.name, r.category, QString::number(r.factor, 'g', 4)});
        item->setData(0, IdRole, QVariant::fromValue(r.id));
        item->setData(0, Qt::AccessibleTextRole,
                      QStringLiteral("%1, in %2, factor %3")
                          .arg(r.name, r.category, QString::number(r.factor, 'g', 4)));
        if (r.id == chosen)
            recipes->setCurrentItem(item);
    }
    m_filling = false;
    recipeChosen();
}

void ShoppingList::fillItems() {
    Database& db = database();
    QStringList missing;
    const auto sources = kitchen::shoppingSources(db, m_listed, &missing);
    m_lines = kitchen::mergeShopping(sources, m_system, kitchen::aisleTable(db),
                                     kitchen::tickedLines(db));
    m_filling = true;
    measures->setCurrentIndex(static_cast<int>(m_system));
    const QString chosen =
        items->currentItem() ? items->currentItem()->data(0, KeyRole).toString() : QString();
    items->clear();
    QTreeWidgetItem* heading = nullptr;
    std::optional<kitchen::Aisle> current;
    int ticked = 0;
    for (const kitchen::ShoppingLine& l : std::as_const(m_lines)) {
        if (current != l.aisle) {
            heading = new QTreeWidgetItem(items, {headingOf(l.aisle)});
            heading->setFlags(Qt::ItemIsEnabled);
            heading->setFirstColumnSpanned(true);
            QFont bold = heading->font(0);
            bold.setBold(true);
            heading->setFont(0, bold);
            current = l.aisle;
        }
        auto* item = new QTreeWidgetItem(heading, {l.text(), l.recipes.join(QStringLiteral(", "))});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, l.ticked ? Qt::Checked : Qt::Unchecked);
        item->setData(0, KeyRole, l.key);
        item->setData(
            0, Qt::AccessibleTextRole,
            QString(l.text() + QStringLiteral(", for ") + l.recipes.join(QStringLiteral(", "))));
        ticked += l.ticked ? 1 : 0;
        if (l.key == chosen)
            items->setCurrentItem(item);
    }
    items->expandAll();
    m_filling = false;
    lineChosen();
    QString text =
        m_lines.isEmpty()
            ? QStringLiteral("The list is empty: add recipes from the tree's menu.")
            : QStringLiteral("%1 of %2 lines ticked off").arg(ticked).arg(m_lines.size());
    if (!missing.isEmpty())
        text +=
            QStringLiteral("; no longer in the recipe file: ") + missing.join(QStringLiteral(", "));
    status->setText(text);
}

void ShoppingList::recipeChosen() {
    if (m_filling)
        return;
    QTreeWidgetItem* item = recipes->currentItem();
    m_filling = true;
    factor->setEnabled(item != nullptr);
    removeButton->setEnabled(item != nullptr);
    if (item)
        for (const kitchen::ListedRecipe& r : std::as_const(m_listed))
            if (r.id == item->data(0, IdRole).toLongLong())
                factor->setValue(r.factor);
    m_filling = false;
}

void ShoppingList::lineChosen() {
    if (m_filling)
        return;
    QTreeWidgetItem* item = items->currentItem();
    const QString key = item ? item->data(0, KeyRole).toString() : QString();
    aisle->setEnabled(!key.isEmpty());
    for (const kitchen::ShoppingLine& l : std::as_const(m_lines))
        if (l.key == key) {
            m_filling = true;
            aisle->setCurrentIndex(static_cast<int>(l.aisle));
            m_filling = false;
        }
}

void ShoppingList::lineChanged(QTreeWidgetItem* item) {
    if (m_filling || !(item->flags() & Qt::ItemIsUserCheckable))
        return;
    const QString key = item->data(0, KeyRole).toString();
    const bool ticked = item->checkState(0) == Qt::Checked;
    guarded([&] { kitchen::setTicked(database(), key, ticked); });
    int count = 0;
    for (kitchen::ShoppingLine& l : m_lines) {
        if (l.key == key)
            l.ticked = ticked;
        count += l.ticked ? 1 : 0;
    }
    status->setText(QStringLiteral("%1 of %2 lines ticked off").arg(count).arg(m_lines.size()));
}

void ShoppingList::factorChanged(double value) {
    if (m_filling || !recipes->currentItem())
        return;
    const std::int64_t id = recipes->currentItem()->data(0, IdRole).toLongLong();
    guarded([&] {
        kitchen::setListedFactor(database(), id, value);
        m_listed = kitchen::listedRecipes(database());
        recipes->currentItem()->setText(2, QString::number(value, 'g', 4));
        fillItems();
    });
}

void ShoppingList::aisleChosen(int index) {
    if (m_filling || !items->currentItem() || index < 0)
        return;
    const QString key = items->currentItem()->data(0, KeyRole).toString();
    for (const kitchen::ShoppingLine& l : std::as_const(m_lines)) {
        if (l.key != key)
            continue;
        const QString item = l.item;
        guarded([&] {
            kitchen::correctAisle(database(), item, static_cast<kitchen::Aisle>(index));
            fillItems();
        });
        return;
    }
}

void ShoppingList::measuresChosen(int index) {
    if (m_filling || index < 0)
        return;
    m_system = static_cast<kitchen::System>(index);
    guarded([&] {
        kitchen::setShownSystem(database(), m_system);
        fillItems();
    });
}

void ShoppingList::removeRecipe() {
    QTreeWidgetItem* item = recipes->currentItem();
    if (!item)
        return;
    const std::int64_t id = item->data(0, IdRole).toLongLong();
    guarded([&] { kitchen::removeFromShoppingList(database(), id); });
    reload();
}

void ShoppingList::emptyList() {
    if (m_listed.isEmpty())
        return;
    if (m_dialogs.msgBox(QStringLiteral("Take every recipe off the shopping list?"),
                         vbYesNo + vbQuestion, kTitle) != vbYes)
        return;
    guarded([&] { kitchen::clearShoppingList(database()); });
    reload();
}

void ShoppingList::printList() {
    guarded([&] {
        writeWhole(pagePath(m_appFolder), kitchen::shoppingHtml(kTitle, m_lines),
                   QStringLiteral("page to print"));
        if (!m_preview) {
            m_preview = new frmprint(m_appFolder, m_dialogs);
            m_preview->setObjectName(QStringLiteral("shoppingPreview"));
        }
        m_preview->WB->Navigate(pagePath(m_appFolder));
        m_preview->setCaption(QStringLiteral("Print [ ") + kTitle + QStringLiteral(" ]"));
        m_preview->show();
        m_preview->raise();
        m_preview->activateWindow();
    });
}

void ShoppingList::exportList() {
    QString file = m_dialogs.saveFileName(QStringLiteral("Export the Shopping List"),
                                          QDir::home().filePath(QStringLiteral("Shopping.txt")),
                                          QStringLiteral("Text files (*.txt);;All files (*)"));
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".txt");
    guarded([&] {
        writeWhole(file, kitchen::shoppingText(m_lines), QStringLiteral("shopping list"));
        status->setText(QStringLiteral("Exported to \"%1\".").arg(QDir::toNativeSeparators(file)));
    });
}

void ShoppingList::guarded(const std::function<void()>& work) {
    runGuarded(m_dialogs, [&] { m_connection.run(work); });
}

void ShoppingList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    frame->setGeometry(0, 0, width(), height());
    CaptionButtons{minimiseButton, maximiseButton, closeButton}.place(width());
}

void ShoppingList::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_connection.close();
}

} // namespace kb
