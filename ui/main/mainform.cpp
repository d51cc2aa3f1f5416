#include "ui/main/mainform.h"

#include "core/app.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/nodes.h"
#include "platform/propertybag.h"
#include "platform/shell.h"
#include "ui/access/accessstartup.h"
#include "ui/controls/formdesign.h"
#include "ui/controls/xp_canvas.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/controls/xptopbuttons.h"
#include "ui/print/frmprint.h"
#include "ui/print/printcommand.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTreeView>
#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace kb {

namespace {

// The tree of recipes. A key that moves the highlight (arrows, Home, End, Page Up and Down, a
// typed letter) chooses the node it lands on, as a click does, so that the highlighted row and
// the shown recipe never differ.
class RecipeTree final : public QTreeView {
  public:
    using QTreeView::QTreeView;
    std::function<void(const QModelIndex&)> keyMoved;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const QPersistentModelIndex before = currentIndex();
        QTreeView::keyPressEvent(event);
        if (currentIndex() != before && currentIndex().isValid() && keyMoved)
            keyMoved(currentIndex());
    }
};

// The window's buttons and their keys. A key shared by several buttons works the one shown:
// the modes never show two of them at once.
struct ButtonKey {
    xpcmdbutton* Main::*button;
    QKeyCombination key;
    const char* description;
};

const std::array<ButtonKey, 12> kButtonKeys{{
    {&Main::add, Qt::CTRL | Qt::Key_N, "Starts a new recipe."},
    {&Main::Edit, Qt::CTRL | Qt::Key_E, "Lets the shown recipe be changed."},
    {&Main::Save, Qt::CTRL | Qt::Key_S, "Saves the new recipe."},
    {&Main::saveedited, Qt::CTRL | Qt::Key_S, "Saves the changes to the recipe."},
    {&Main::delete_, QKeyCombination(Qt::Key_Delete), "Deletes the shown recipe."},
    {&Main::delcatagroy, QKeyCombination(Qt::Key_Delete), "Deletes the chosen category."},
    {&Main::Cancel, QKeyCombination(Qt::Key_Escape), "Drops the new recipe."},
    {&Main::canceledit, QKeyCombination(Qt::Key_Escape), "Drops the changes."},
    {&Main::cancelcata, QKeyCombination(Qt::Key_Escape), "Leaves deleting categories."},
    {&Main::print, Qt::CTRL | Qt::Key_P, "Prints the shown recipe."},
    {&Main::xpcmdbutton2, Qt::CTRL | Qt::SHIFT | Qt::Key_N, "Makes a new category."},
    {&Main::xpcmdbutton1, Qt::CTRL | Qt::SHIFT | Qt::Key_Delete, "Chooses a category to delete."},
}};

// Which of the nodes of its name under its category a recipe node is, from 0.
int occurrenceOfNode(const QModelIndex& node) {
    const QString text = node.data().toString();
    int occurrence = 0;
    for (int row = 0; row < node.row(); ++row)
        if (node.siblingAtRow(row).data().toString() == text)
            ++occurrence;
    return occurrence;
}

ImageList treePictures() {
    return ImageList(
        QIcon(QStringLiteral(":/tree/root.png")), QIcon(QStringLiteral(":/tree/category.png")),
        QIcon(QStringLiteral(":/tree/selected.png")), QIcon(QStringLiteral(":/tree/recipe.png")));
}

} // namespace

Main::Main(Dialogs& dialogs, const QString& appFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ImageList1(treePictures()),
      m_dialogs(dialogs), m_appFolder(appFolder) {
    setObjectName(QStringLiteral("main"));
    setFont(formFont());
    setFixedSize(kWidth, kHeight);
    QIcon appIcon;
    appIcon.addFile(QStringLiteral(":/icons/app16.png"));
    appIcon.addFile(QStringLiteral(":/icons/app32.png"));
    setWindowIcon(appIcon);

    createControls();
    setTabOrder();

    m_store = std::make_unique<RecipeBas>(recipeControls(), m_dialogs);
    m_print = std::make_unique<PrintCommand>(m_appFolder, m_dialogs);

    End = [] {
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    };
    OpenUrl = openInBrowser;

    connectHandlers();
    installButtonKeys();
    installCommands();
}

Main::~Main() = default;

QString Main::captionText() {
    return QStringLiteral("Kettlebox Recipe V2.4__") + kWebSite;
}

void Main::createControls() {
    // Each skinned control loads its stored layout, as the form was saved.
    auto button = [](QWidget* container, const char* name, const QRect& where, QVariantMap stored) {
        auto* b = new xpcmdbutton(container);
        b->setObjectName(QLatin1String(name));
        stored.insert(QStringLiteral("Font"), buttonFont());
        b->ReadProperties(PropertyBag(std::move(stored)));
        b->setGeometry(where);
        return b;
    };
    auto caption = [](const char* text) {
        return QVariantMap{{QStringLiteral("Caption"), QString::fromUtf8(text)}};
    };

    xp_canvas1 = new xp_canvas(this);
    xp_canvas1->setObjectName(QStringLiteral("xp_canvas1"));
    xp_canvas1->setGeometry(twips(0, 0, 10695, 6495));
    xp_canvas1->ReadProperties(
        PropertyBag({{QStringLiteral("Caption"), captionText()},
                     {QStringLiteral("Icon"), QPixmap(QStringLiteral(":/icons/app16.png"))},
                     {QStringLiteral("Fixed_Single"), true}}));

    // The separator lies beneath the frame's caption bar, as a drawn line would.
    Line1 = new QFrame(xp_canvas1);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::VLine);
    Line1->setFrameShadow(QFrame::Plain);
    Line1->setStyleSheet(QStringLiteral("color: black;"));
    Line1->setGeometry(251, 24, 1, 433 - 24);
    Line1->lower();

    xpcmdbutton2 =
        button(xp_canvas1, "xpcmdbutton2", twips(120, 480, 1245, 300), caption("Add Category"));
    xpcmdbutton1 =
        button(xp_canvas1, "xpcmdbutton1", twips(2280, 480, 1260, 300), caption("Del Category"));

    auto* tree = new RecipeTree(xp_canvas1);
    tree->keyMoved = [this](const QModelIndex& node) { Tv_NodeClick(node); };
    Tv = tree;
    Tv->setObjectName(QStringLiteral("Tv"));
    Nodes::modelOf(Tv);
    Tv->setAccessibleName(QStringLiteral("Recipes"));
    Tv->setGeometry(twips(120, 840, 3495, 5535));
    Tv->setHeaderHidden(true);
    Tv->setRootIsDecorated(true);
    Tv->setUniformRowHeights(true);
    Tv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Tv->setIconSize(QSize(16, 16));
    QFont treeFont(QStringLiteral("MS Sans Serif"));
    treeFont.setPointSizeF(8.25);
    treeFont.setBold(true);
    Tv->setFont(treeFont);

    Picture1 = new QWidget(xp_canvas1);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(twips(3765, 436, 6858, 510));
    add = button(Picture1, "add", twips(120, 60, 855, 375), caption("ADD"));
    delete_ = button(Picture1, "delete", twips(960, 60, 855, 375), caption("Delete"));
    Edit = button(Picture1, "Edit", twips(1800, 60, 855, 375), {});
    print = button(Picture1, "print", twips(2640, 60, 855, 375), caption("Print"));
    Website = button(Picture1, "Website", twips(3480, 60, 3255, 375),
                     caption("More, Newer, visit our website."));

    auto label = [this](const char* name, const char* text, const QRect& where) {
        auto* l = new QLabel(QString::fromUtf8(text), xp_canvas1);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(where);
        // A substituted face may run wider than the one the form was drawn with: never clip.
        if (l->sizeHint().width() > where.width())
            l->resize(l->sizeHint().width(), where.height());
        return l;
    };
    auto whiteBox = [](QWidget* box, const char* name, const QRect& where, QLabel* named) {
        box->setObjectName(QLatin1String(name));
        box->setGeometry(where);
        box->setAutoFillBackground(true);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, Qt::white);
        palette.setColor(QPalette::Text, Qt::black);
        box->setPalette(palette);
        box->setAccessibleName(named->text());
        named->setBuddy(box);
    };

    Label1 = label("Label1", "Recipe Name:", twips(3960, 1245, 1080, 180));
    Text1 = new QLineEdit(xp_canvas1);
    whiteBox(Text1, "Text1", twips(5160, 1200, 3495, 285), Label1);
    Label2 = label("Label2", "Author:", twips(3960, 1755, 630, 180));
    Text2 = new QLineEdit(xp_canvas1);
    whiteBox(Text2, "Text2", twips(5160, 1680, 3495, 285), Label2);
    // A line edit cuts its text at 32,767 characters without a word; the file takes any
    // length, so nothing typed or pasted is lost on the way.
    for (QLineEdit* box : {Text1, Text2})
        box->setMaxLength(std::numeric_limits<int>::max());
    Label3 = label("Label3", "Ingredients:", twips(3960, 2040, 1080, 180));
    Text3 = new QPlainTextEdit(xp_canvas1);
    whiteBox(Text3, "Text3", twips(3960, 2280, 6495, 1455), Label3);
    Label4 = label("Label4", "Preparation Instructions:", twips(3960, 3840, 2250, 180));
    Text4 = new QPlainTextEdit(xp_canvas1);
    whiteBox(Text4, "Text4", twips(3960, 4080, 6495, 2295), Label4);
    for (QPlainTextEdit* box : {Text3, Text4}) {
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->setTabChangesFocus(true);
    }
    lockFields(true);

    Save = button(xp_canvas1, "Save", twips(8880, 1200, 855, 255), {});
    Cancel = button(xp_canvas1, "Cancel", twips(9120, 1695, 855, 255), {});
    saveedited =
        button(xp_canvas1, "saveedited", twips(8880, 1215, 1215, 255), caption("Save Edited"));
    canceledit = button(xp_canvas1, "canceledit", twips(8880, 1695, 855, 255), caption("Cancel"));
    delcatagroy = button(xp_canvas1, "delcatagroy", twips(8880, 1215, 1695, 255),
                         caption("Delete a Category"));
    cancelcata = button(xp_canvas1, "cancelcata", twips(9120, 1680, 855, 255), caption("Cancel"));
    for (xpcmdbutton* b : {Save, Cancel, saveedited, canceledit, delcatagroy, cancelcata})
        b->setVisible(false);

    List1 = new QListWidget(xp_canvas1);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(twips(10200, 1680, 150, 255));
    List1->setSortingEnabled(false);
    List1->setVisible(false);

    // Caption buttons sit on the caption bar, above the frame.
    auto topButton = [this](const char* name, const QRect& where, const QVariantMap& stored) {
        auto* b = new xptopbuttons(xp_canvas1);
        b->setObjectName(QLatin1String(name));
        b->ReadProperties(PropertyBag(stored));
        b->move(where.topLeft());
        b->raise();
        return b;
    };
    xptopbuttons3 =
        topButton("xptopbuttons3", twips(9630, 90, 315, 315), {{QStringLiteral("Value"), 2}});
    xptopbuttons2 = topButton("xptopbuttons2", twips(9975, 90, 315, 315),
                              {{QStringLiteral("Value"), 1}, {QStringLiteral("Enabled"), false}});
    xptopbuttons1 = topButton("xptopbuttons1", twips(10320, 90, 315, 315), {});
}

void Main::setTabOrder() {
    // The stored tab indices: Tv 1, the fields 2 to 5, then the command strip and the pairs.
    const QList<QWidget*> order = {Tv,         Text1,      Text2,        Text3,        Text4,
                                   List1,      print,      delete_,      add,          Edit,
                                   Save,       Cancel,     xpcmdbutton1, xpcmdbutton2, delcatagroy,
                                   cancelcata, saveedited, canceledit,   Website};
    for (QWidget* w : order)
        if (w->focusPolicy() == Qt::NoFocus)
            w->setFocusPolicy(Qt::TabFocus);
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void Main::connectHandlers() {
    // The context menu's commands act on the node under the pointer, or the highlighted one
    // from the keyboard; a right press leaves the highlight on the shown recipe.
    m_treeMenu = new QMenu(Tv);
    m_treeMenu->setObjectName(QStringLiteral("treeMenu"));
    m_treeMenu->setAccessibleName(QStringLiteral("Recipe commands"));
    Tv->installEventFilter(this);
    Tv->viewport()->installEventFilter(this);
    for (QWidget* box : std::initializer_list<QWidget*>{Text1, Text2, Text3, Text4})
        box->installEventFilter(this);
    connect(Tv, &QTreeView::clicked, this, [this](const QModelIndex& node) { Tv_NodeClick(node); });
    // Enter on a node chooses it like a click; a double click has already clicked.
    connect(Tv, &QTreeView::activated, this, [this](const QModelIndex& node) {
        if (QGuiApplication::mouseButtons() == Qt::NoButton)
            Tv_NodeClick(node);
    });
    connect(add, &xpcmdbutton::Click, this, &Main::add_Click);
    connect(Save, &xpcmdbutton::Click, this, &Main::Save_Click);
    connect(Cancel, &xpcmdbutton::Click, this, &Main::Cancel_Click);
    connect(Edit, &xpcmdbutton::Click, this, &Main::Edit_Click);
    connect(saveedited, &xpcmdbutton::Click, this, &Main::saveedited_Click);
    connect(canceledit, &xpcmdbutton::Click, this, &Main::canceledit_Click);
    connect(delete_, &xpcmdbutton::Click, this, &Main::delete_Click);
    connect(print, &xpcmdbutton::Click, this, &Main::print_Click);
    connect(xpcmdbutton2, &xpcmdbutton::Click, this, &Main::xpcmdbutton2_Click);
    connect(xpcmdbutton1, &xpcmdbutton::Click, this, &Main::xpcmdbutton1_Click);
    connect(delcatagroy, &xpcmdbutton::Click, this, &Main::delcatagroy_Click);
    connect(cancelcata, &xpcmdbutton::Click, this, &Main::cancelcata_Click);
    connect(Website, &xpcmdbutton::Click, this, &Main::Website_Click);
    connect(xptopbuttons1, &xptopbuttons::Click, this, &Main::xptopbuttons1_Click);
    connect(xptopbuttons3, &xptopbuttons::Click, this, &Main::xptopbuttons3_Click);
}

QAction* Main::addTreeCommand(const QString& text, const QKeySequence& shortcut,
                              std::function<void()> run) {
    auto* action = new QAction(text, this);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, run = std::move(run)] { guarded(run); });
    addAction(action);
    m_treeCommands.append(action);
    m_treeMenu->addAction(action);
    return action;
}

void Main::installButtonKeys() {
    // The skinned buttons pass keys on without clicking; on this form Space and Enter press
    // the button that has the focus.
    for (xpcmdbutton* b : findChildren<xpcmdbutton*>())
        connect(b, &xpcmdbutton::KeyPress, this, [b](int ascii) {
            if (ascii == 13 || ascii == 32)
                emit b->Click();
        });
    QHash<int, QAction*> byKey;
    for (const ButtonKey& k : kButtonKeys) {
        xpcmdbutton* button = this->*k.button;
        const QKeySequence key(k.key);
        button->setAccessibleDescription(QString::fromUtf8(k.description) +
                                         QStringLiteral(" Key: ") +
                                         key.toString(QKeySequence::NativeText) + QLatin1Char('.'));
        if (byKey.contains(k.key.toCombined()))
            continue;
        auto* action = new QAction(this);
        action->setObjectName(QStringLiteral("key ") + key.toString());
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        const QKeyCombination combination = k.key;
        connect(action, &QAction::triggered, this, [this, combination] {
            for (const ButtonKey& candidate : kButtonKeys) {
                xpcmdbutton* b = this->*candidate.button;
                if (candidate.key == combination && !b->isHidden() && b->isEnabled() &&
                    (!b->parentWidget() || !b->parentWidget()->isHidden())) {
                    emit b->Click();
                    return;
                }
            }
        });
        addAction(action);
        byKey.insert(k.key.toCombined(), action);
        m_buttonKeys.append(action);
    }
}

bool Main::eventFilter(QObject* watched, QEvent* event) {
    // The text boxes take some Ctrl+letter keys for themselves (Ctrl+E moves to the end of a
    // line on this platform); the window's command keys go to the commands.
    if (event->type() == QEvent::ShortcutOverride &&
        (watched == Text1 || watched == Text2 || watched == Text3 || watched == Text4)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool command =
            key->modifiers() == Qt::ControlModifier &&
            std::any_of(kButtonKeys.begin(), kButtonKeys.end(),
                        [&](const ButtonKey& k) { return k.key == key->keyCombination(); });
        if (command) {
            event->ignore();
            return true;
        }
    }
    const bool onViewport = watched == Tv->viewport();
    if (onViewport && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
        return true;
    if ((onViewport || watched == Tv) && event->type() == QEvent::ContextMenu) {
        treeContextMenu(static_cast<QContextMenuEvent*>(event), onViewport);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Main::treeContextMenu(QContextMenuEvent* event, bool onViewport) {
    if (event->reason() == QContextMenuEvent::Mouse) {
        const QPoint at = onViewport ? event->pos() : Tv->viewport()->mapFrom(Tv, event->pos());
        showTreeMenu(event->globalPos(), Tv->indexAt(at));
        return;
    }
    // From the keyboard: beneath the highlighted node, or at the tree's corner.
    const QModelIndex current = Tv->currentIndex();
    const QRect rect = Tv->visualRect(current);
    showTreeMenu(Tv->viewport()->mapToGlobal(rect.isValid() ? rect.bottomLeft() : QPoint(4, 4)),
                 current);
}

void Main::showTreeMenu(const QPoint& global, const QModelIndex& target) {
    if (m_treeCommands.isEmpty())
        return;
    // The commands read the chosen category and recipe; for the menu's time they are the
    // node's, and the window's own choice comes back after.
    const QStringList saved = {m_store->SelectedCategory, m_store->RecipeCategory,
                               m_store->SelectedRecipe};
    const int savedOccurrence = m_store->SelectedOccurrence;
    if (target.isValid()) {
        const QString text = target.data().toString();
        const QString key = Nodes::key(target);
        m_store->SelectedCategory.clear();
        m_store->RecipeCategory.clear();
        m_store->SelectedRecipe.clear();
        m_store->SelectedOccurrence = 0;
        if (key.isEmpty() && !text.isEmpty()) {
            m_store->RecipeCategory = target.parent().data().toString();
            m_store->SelectedRecipe = trimSpaces(text);
            m_store->SelectedOccurrence = occurrenceOfNode(target);
        } else if (key != RecipeBas::kRootKey && key != QStringLiteral("zzzNothing")) {
            m_store->SelectedCategory = key;
        }
    }
    m_treeMenu->exec(global);
    m_store->SelectedCategory = saved.at(0);
    m_store->RecipeCategory = saved.at(1);
    m_store->SelectedRecipe = saved.at(2);
    m_store->SelectedOccurrence = savedOccurrence;
}

void Main::guarded(const std::function<void()>& command) {
    runGuarded(m_dialogs, command);
}

RecipeControls Main::recipeControls() {
    return RecipeControls{Tv, List1, Text1, Text2, Text3, Text4, &ImageList1};
}

void Main::lockFields(bool locked) {
    lockRecipeFields(recipeControls(), locked);
}

void Main::emptyFields() {
    emptyRecipeFields(recipeControls());
}

namespace {

// What each mode shows: its pair of buttons (none while browsing) and the fields' lock as the
// mode begins (none: left as it was).
struct ModeLook {
    xpcmdbutton* Main::*first;
    xpcmdbutton* Main::*second;
    std::optional<bool> locked;
};

const ModeLook& lookOf(Main::Mode mode) {
    static const std::array<ModeLook, 4> table{{
        {nullptr, nullptr, true},                             // Browsing
        {&Main::Save, &Main::Cancel, false},                  // Adding
        {&Main::saveedited, &Main::canceledit, false},        // Editing
        {&Main::delcatagroy, &Main::cancelcata, std::nullopt} // DeletingCategory
    }};
    return table.at(static_cast<std::size_t>(mode));
}

constexpr std::array kModes{Main::Mode::Browsing, Main::Mode::Adding, Main::Mode::Editing,
                            Main::Mode::DeletingCategory};

} // namespace

void Main::showPair(Mode mode) {
    const ModeLook& look = lookOf(mode);
    if (look.first) {
        (this->*look.first)->setVisible(true);
        (this->*look.second)->setVisible(true);
    }
}

void Main::hidePair(Mode mode) {
    const ModeLook& look = lookOf(mode);
    if (look.first) {
        (this->*look.first)->setVisible(false);
        (this->*look.second)->setVisible(false);
    }
}

void Main::hidePairsExcept(Mode mode) {
    for (Mode other : kModes)
        if (other != mode)
            hidePair(other);
}

void Main::lockFieldsFor(Mode mode) {
    if (const std::optional<bool> locked = lookOf(mode).locked)
        lockFields(*locked);
}

// ---- Start-up and shutdown ----

void Main::Form_Load() {
    // Every step on its own: a missing or unreadable file leaves an empty tree, no message.
    runQuietly([this] { m_store->DatabasePath = m_appFolder + QStringLiteral("/Recipe"); });
    runQuietly([this] { offerAccessImport(m_dialogs, m_appFolder); });
    runQuietly([this] { m_store->LoadCatalogue(); });
    runQuietly([this] {
        setWindowTitle(captionText());
        xp_canvas1->setCaption(captionText());
    });
}

void Main::Form_QueryUnload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_store->CloseRecipeDatabase();
    m_store->closeFollowers();
    m_store->RecipeRecordset.reset();
    m_store->RecipeDatabase.reset();
    m_store->DatabasePath.clear();
    m_store->SelectedRecipe.clear();
    m_store->RecipeCategory.clear();
    m_store->SelectedCategory.clear();
    m_store->NewCategoryName.clear();
    m_store->SelectedOccurrence = 0;
    if (End)
        End();
}

bool Main::hasUnsavedTyping() const {
    if (Text1->isReadOnly())
        return false;
    const QStringList now = {Text1->text(), Text2->text(), Text3->toPlainText(),
                             Text4->toPlainText()};
    if (!Save->isHidden())
        return std::any_of(now.begin(), now.end(), [](const QString& t) { return !t.isEmpty(); });
    return !saveedited->isHidden() && now != m_editStart;
}

bool Main::mayClose() {
    if (m_unloaded || !hasUnsavedTyping())
        return true;
    const bool adding = !Save->isHidden();
    const QString name =
        m_store->SelectedRecipe.isEmpty() ? trimSpaces(Text1->text()) : m_store->SelectedRecipe;
    const QString what = adding ? QStringLiteral("the new recipe")
                                : QStringLiteral("the changes to \"") + name + QLatin1Char('"');
    const int answer = m_dialogs.msgBox(
        QStringLiteral("Save ") + what +
            QStringLiteral(" before closing?\r\nYes saves, No closes without saving, Cancel "
                           "keeps the window open with your typing."),
        vbYesNoCancel + vbExclamation, QStringLiteral("Close Kettlebox"));
    if (answer == vbNo)
        return true;
    if (answer != vbYes)
        return false;
    if (adding)
        Save_Click();
    else
        saveedited_Click();
    // A save that did not happen (refused, failed, or the category question answered No)
    // leaves the typing on screen, and the window with it.
    return !hasUnsavedTyping();
}

void Main::closeEvent(QCloseEvent* event) {
    if (!mayClose()) {
        event->ignore();
        return;
    }
    event->accept();
    Form_QueryUnload();
}

// ---- Browsing ----

void Main::Tv_NodeClick(const QModelIndex& node) {
    if (!node.isValid())
        return;
    guarded([this, node] {
        const QString t = node.data().toString();
        if (t == QStringLiteral("Kettlebox Recipe"))
            return;
        const QString key = Nodes::key(node);
        if (key != t) {
            m_store->RecipeCategory.clear();
            m_store->SelectedRecipe.clear();
            m_store->SelectedRecipe = trimSpaces(t);
            m_store->RecipeCategory = node.parent().data().toString();
            m_store->SelectedOccurrence = occurrenceOfNode(node);
            m_recipeShown = false;
            m_store->ShowRecipe(trimSpaces(m_store->RecipeCategory),
                                trimSpaces(m_store->SelectedRecipe), m_store->SelectedOccurrence);
            m_recipeShown = true;
            return;
        }
        if (key != QStringLiteral("zzzNothing"))
            m_store->SelectedCategory = key;
    });
}

bool Main::showRecipeNode(const QString& category, const QString& name, std::int64_t rowid) {
    Nodes nodes(Tv);
    const NodeId parent = nodes.find(category);
    if (!parent || nodes.model().text(parent) != category)
        return false;
    nodes.readNow(parent);
    const QString wanted = trimSpaces(name);
    int skip = 0;
    if (rowid > 0)
        runQuietly([&] { skip = m_store->occurrenceOf(category, wanted, rowid); });
    for (NodeId child : nodes.model().children(parent)) {
        // A node without a key is a recipe; one with an empty text would be taken as a category.
        if (!nodes.model().key(child).isEmpty() || nodes.model().text(child).isEmpty() ||
            nodes.model().text(child) != wanted || skip-- > 0)
            continue;
        nodes.EnsureVisible(child);
        const QModelIndex at = nodes.model().indexOf(child);
        Tv->setCurrentIndex(at);
        Tv_NodeClick(at);
        return true;
    }
    return false;
}

// ---- Recipe commands ----

void Main::add_Click() {
    guarded([this] {
        hidePairsExcept(Mode::Adding);
        emptyFields();
        m_recipeShown = false;
        m_store->LoadCategoryTree();
        lockFieldsFor(Mode::Adding);
        Text1->setFocus();
        showPair(Mode::Adding);
    });
}

void Main::Save_Click() {
    guarded([this] {
        if (m_store->SelectedCategory.isEmpty()) {
            m_dialogs.msgBox(QStringLiteral("Please Choose a Category"));
            return;
        }
        requireRecipeName(recipeControls());
        const QString question = QStringLiteral("The Category is: ") +
                                 m_store->SelectedCategory.toUpper() +
                                 QStringLiteral("\r\nIs This Category Right ?\r\n") +
                                 QStringLiteral("If Not Right Choose [ No ] and then choose the "
                                                "Right Category");
        if (m_dialogs.msgBox(question, vbYesNo + vbCritical + vbDefaultButton2,
                             QStringLiteral("Choose Category")) != vbYes)
            return;
        m_store->AddRecipe(m_store->SelectedCategory);
        m_dialogs.msgBox(QStringLiteral("Recipe Added"));
        m_store->SelectedCategory.clear();
        emptyFields();
        lockFieldsFor(Mode::Browsing);
        m_store->LoadCatalogue();
    });
}

void Main::Cancel_Click() {
    guarded([this] {
        hidePair(Mode::Adding);
        m_store->SelectedCategory.clear();
        emptyFields();
        lockFieldsFor(Mode::Browsing);
        m_store->LoadCatalogue();
    });
}

void Main::Edit_Click() {
    guarded([this] {
        hidePairsExcept(Mode::Editing);
        if (Text1->text().isEmpty()) {
            m_dialogs.msgBox(QStringLiteral("Please Choose a Recipe To Edit"));
            return;
        }
        lockFieldsFor(Mode::Editing);
        m_editStart = {Text1->text(), Text2->text(), Text3->toPlainText(), Text4->toPlainText()};
        Text1->setFocus();
        showPair(Mode::Editing);
    });
}

void Main::saveedited_Click() {
    guarded([this] {
        // The edit would be lost at the next click or close while it looks saved.
        if (m_store->SelectedRecipe.isEmpty() || m_store->RecipeCategory.isEmpty()) {
            m_dialogs.msgBox(QStringLiteral("Nothing was saved: this window no longer knows which "
                                            "recipe you are editing. Your changes are still "
                                            "here; to save them, copy them, click the recipe in "
                                            "the list on the left, press Edit again and paste "
                                            "them back."),
                             vbExclamation);
            return;
        }
        m_store->UpdateRecipe(m_store->RecipeCategory, m_store->SelectedRecipe,
                              m_store->SelectedOccurrence);
        m_store->RecipeCategory.clear();
        m_store->SelectedRecipe.clear();
        hidePair(Mode::Editing);
        lockFieldsFor(Mode::Browsing);
    });
}

void Main::canceledit_Click() {
    guarded([this] {
        lockFieldsFor(Mode::Browsing);
        m_store->RecipeCategory.clear();
        hidePair(Mode::Editing);
    });
}

void Main::delete_Click() {
    guarded([this] {
        if (Text1->text().isEmpty()) {
            m_dialogs.msgBox(QStringLiteral("Please Choose a Recipe To Delete"));
            return;
        }
        // Only the recipe on screen may go: after ADD, an edited name or retyped fields the
        // last tree click names another one.
        if (!m_store->RecipeCategory.isEmpty() &&
            (!m_recipeShown || trimSpaces(Text1->text()) != trimSpaces(m_store->SelectedRecipe))) {
            m_dialogs.msgBox(QStringLiteral("Nothing was deleted: the recipe on screen is not "
                                            "the one chosen in the list. Click the recipe in "
                                            "the list on the left, then press Delete."),
                             vbExclamation);
            return;
        }
        m_store->DeleteRecipe(m_store->RecipeCategory, m_store->SelectedRecipe,
                              m_store->SelectedOccurrence);
        m_dialogs.msgBoxWith(QStringLiteral("Record Deleted"),
                             QStringLiteral("Deleted Recipes (Ctrl+Shift+D) puts it back: "
                                            "right-click the list to find it."));
    });
}

void Main::print_Click() {
    guarded([this] {
        m_print->run(Text1->text(), Text2->text(), Text3->toPlainText(), Text4->toPlainText());
    });
}

// ---- Category commands ----

void Main::xpcmdbutton2_Click() {
    guarded([this] { m_store->CreateCategory(); });
}

void Main::xpcmdbutton1_Click() {
    guarded([this] {
        hidePairsExcept(Mode::DeletingCategory);
        m_store->SelectedCategory.clear();
        m_store->LoadCategoryTree();
        showPair(Mode::DeletingCategory);
        emit deletingCategoryStarted();
    });
}

void Main::delcatagroy_Click() {
    guarded([this] {
        if (m_store->SelectedCategory.isEmpty()) {
            m_dialogs.msgBox(QStringLiteral("Please Choose a Category"));
            return;
        }
        m_store->DeleteCategory(m_store->SelectedCategory);
    });
}

void Main::cancelcata_Click() {
    guarded([this] {
        hidePair(Mode::DeletingCategory);
        m_store->LoadCatalogue();
    });
}

// ---- Web site and caption buttons ----

void Main::Website_Click() {
    if (OpenUrl)
        OpenUrl(kWebSite + QLatin1Char('/'));
}

void Main::xptopbuttons1_Click() {
    close();
}

void Main::xptopbuttons3_Click() {
    setWindowState(windowState() | Qt::WindowMinimized);
}

} // namespace kb
