// The capabilities beside the main window (whose layout stays as it is) reach the user through the
// tree's context menu and keyboard shortcuts; each registers its commands here, in menu order.

#include "ui/main/mainform.h"

#include "core/app.h"
#include "details/details.h"
#include "platform/dialogs.h"
#include "platform/nodes.h"
#include "platform/placement.h"
#include "search/searchindex.h"
#include "ui/card/editdetails.h"
#include "ui/card/recipecard.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/exchange/exchangecommands.h"
#include "ui/history/historyfeature.h"
#include "ui/search/findrecipe.h"
#include "ui/shopping/shoppinglist.h"

#include <QAction>
#include <QKeySequence>
#include <QPointer>
#include <QTreeView>
#include <memory>

namespace kb {

namespace {

// The search index and its window. A child of the form, so it outlives the store that tells
// the index of every write. The window is a top-level window of its own, so that going to a
// result can bring the form in front of it.
struct Search : QObject {
    ~Search() override { delete window; }
    SearchIndex index;
    QPointer<FindRecipe> window;
};

// The details of every recipe and the card that shows them. The follower is told of every
// write of the store, so it lives as long as the form; the card is a top-level window of its
// own, so that the form can come in front of it.
struct Card : QObject {
    ~Card() override { delete window; }
    DetailsFollower follower;
    QPointer<RecipeCard> window;
    // Puts a recipe on the shopping list; set once the list's commands are in.
    std::function<void(const QString&, const QString&, double)> addToShoppingList;
};

} // namespace

void Main::installCommands() {
    auto* history = new HistoryFeature(this, store(), dialogs(), appFolder());
    addTreeCommand(QStringLiteral("Deleted Recipes..."),
                   QKeySequence(QStringLiteral("Ctrl+Shift+D")),
                   [history] { history->showDeletedRecipes(); });
    connect(this, &Main::deletingCategoryStarted, history, &HistoryFeature::backUpAhead);
    auto* search = new Search;
    search->setParent(this);
    m_store->addFollower(&search->index);
    addTreeCommand(QStringLiteral("Find..."), QKeySequence(Qt::CTRL | Qt::Key_F), [this, search] {
        if (!search->window) {
            search->window = new FindRecipe(
                search->index, m_dialogs, [this] { return m_store->DatabasePath; },
                [this](const QString& category, const QString& name, std::int64_t rowid) {
                    goToRecipe(category, name, rowid);
                });
            placeOver(search->window, this);
        }
        search->window->open();
    });
    installCardCommands();
    auto* exchange = new ExchangeCommands(store(), dialogs(), appFolder(), this);
    addTreeCommand(QStringLiteral("Export Recipe..."), {},
                   [exchange] { exchange->exportRecipe(); });
    addTreeCommand(QStringLiteral("Export Category..."), {},
                   [exchange] { exchange->exportCategory(); });
    addTreeCommand(QStringLiteral("Export All..."), {}, [exchange] { exchange->exportAll(); });
    addTreeCommand(QStringLiteral("Import Recipes..."), {},
                   [exchange] { exchange->importRecipes(); });
    addTreeCommand(QStringLiteral("Import from Web Address\u2026"), {},
                   [exchange] { exchange->importFromWebAddress(); });
    addTreeCommand(QStringLiteral("Print Cookbook..."), {},
                   [exchange] { exchange->printCookbook(); });
    // The shopping list lives in a window of its own, made when first asked for.
    auto shopping = std::make_shared<QPointer<ShoppingList>>();
    const auto shoppingWindow = [this, shopping] {
        if (!*shopping) {
            *shopping = new ShoppingList(
                m_dialogs,
                [this] {
                    return m_store->DatabasePath.isEmpty() ? appFolder() + QStringLiteral("/Recipe")
                                                           : m_store->DatabasePath;
                },
                appFolder(), this);
            placeOver(*shopping, this);
        }
        return shopping->data();
    };
    addTreeCommand(QStringLiteral("Shopping List..."), QKeySequence(Qt::CTRL | Qt::Key_L),
                   [shoppingWindow] { shoppingWindow()->open(); });
    addTreeCommand(QStringLiteral("Add to Shopping List"), {}, [this, shoppingWindow] {
        if (m_store->SelectedRecipe.isEmpty() || m_store->RecipeCategory.isEmpty()) {
            m_dialogs.msgBox(QStringLiteral("Please Choose a Recipe"));
            return;
        }
        // From the tree a recipe comes on as written; the card adds it as scaled there.
        shoppingWindow()->addRecipe(m_store->RecipeCategory, m_store->SelectedRecipe, 1);
    });
    if (auto* card = static_cast<Card*>(
            findChild<QObject*>(QStringLiteral("card"), Qt::FindDirectChildrenOnly)))
        card->addToShoppingList = [shoppingWindow](const QString& category, const QString& name,
                                                   double factor) {
            shoppingWindow()->addRecipe(category, name, factor);
        };
}

void Main::installCardCommands() {
    auto* card = new Card;
    card->setObjectName(QStringLiteral("card"));
    card->setParent(this);
    m_store->addFollower(&card->follower);
    const auto databasePath = [this] { return m_store->DatabasePath; };
    const auto openCard = [this, card, databasePath](const QString& category, const QString& name,
                                                     int occurrence) {
        if (!card->window) {
            card->window = new RecipeCard(m_dialogs, databasePath, appFolder());
            card->window->OpenUrl = [this](const QString& url) { OpenUrl(url); };
            card->window->AddToShoppingList = [card](const QString& shownCategory,
                                                     const QString& shownName, double factor) {
                if (card->addToShoppingList)
                    card->addToShoppingList(shownCategory, shownName, factor);
            };
            if (!(card->window->windowState() & Qt::WindowMaximized))
                placeOver(card->window, this);
        }
        card->window->showRecipe(category, name, occurrence);
    };
    const auto chosen = [this] {
        if (m_store->SelectedRecipe.isEmpty() || m_store->RecipeCategory.isEmpty()) {
            m_dialogs.msgBox(QStringLiteral("Please Choose a Recipe"));
            return false;
        }
        return true;
    };
    addTreeCommand(QStringLiteral("Recipe Card..."), QKeySequence(Qt::CTRL | Qt::Key_Return),
                   [this, chosen, openCard] {
                       if (chosen())
                           openCard(m_store->RecipeCategory, m_store->SelectedRecipe,
                                    m_store->SelectedOccurrence);
                   });
    addTreeCommand(QStringLiteral("Edit Details..."), {}, [this, card, chosen, databasePath] {
        if (!chosen())
            return;
        auto* editor = new EditDetails(m_dialogs, databasePath, m_store->RecipeCategory,
                                       m_store->SelectedRecipe, this);
        placeOver(editor, this);
        // A card showing the recipe shows the saved details at once.
        connect(editor, &EditDetails::saved, card, [card, editor] {
            if (card->window && card->window->isVisible() &&
                card->window->recipe().recipe.place.category == editor->category() &&
                card->window->recipe().recipe.name() == editor->name())
                card->window->reload();
        });
        if (!editor->open())
            delete editor;
    });
    // A double click on a recipe opens its card; the click before it has chosen the recipe as
    // a single click does.
    connect(Tv, &QTreeView::doubleClicked, this, [this, openCard](const QModelIndex& node) {
        if (!node.isValid() || !Nodes::key(node).isEmpty() || node.data().toString().isEmpty())
            return;
        const QString category = node.parent().data().toString();
        const QString name = trimSpaces(node.data().toString());
        if (m_store->RecipeCategory != category || m_store->SelectedRecipe != name)
            return;
        guarded([&] { openCard(category, name, m_store->SelectedOccurrence); });
    });
}

bool Main::goToRecipe(const QString& category, const QString& name, std::int64_t rowid) {
    // Adding and category-deleting modes show the categories alone.
    if (!Save->isHidden() || !delcatagroy->isHidden()) {
        m_dialogs.msgBox(QStringLiteral("The tree shows no recipes while a recipe is being added "
                                        "or a category deleted. Press Cancel first to go to \"") +
                         name + QStringLiteral("\"."));
        return false;
    }
    if (!showRecipeNode(category, name, rowid)) {
        // The file was changed by another program since the tree was filled.
        m_dialogs.msgBox(QStringLiteral("\"") + name +
                         QStringLiteral("\" is not in the tree under \"") + category +
                         QStringLiteral("\"."));
        return false;
    }
    raise();
    activateWindow();
    return true;
}

} // namespace kb
