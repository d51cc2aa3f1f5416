#pragma once

#include "ui/card/cardrecipe.h"

#include "core/background.h"
#include "kitchen/units.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QBoxLayout;
class QComboBox;
class QDoubleSpinBox;
class QGridLayout;
class QTimer;
class QLabel;
class QScrollArea;
class QSizeGrip;

namespace kb {

class Dialogs;
class EditDetails;
class frmprint;
class xp_canvas;
class xpcmdbutton;
class xptopbuttons;

// Shows a picture scaled to fit its widget, its proportions kept.
class PhotoView : public QWidget {
    Q_OBJECT

  public:
    explicit PhotoView(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage m_image;
};

// The "Recipe Card" window: one recipe read at a kitchen distance: its first photo, name,
// author, details, ingredients and numbered steps, in a type the cook makes larger or smaller
// (Ctrl++ and Ctrl+-). Laid out by layouts, so it reflows as it is resized or maximised:
// side by side when wide, one above the other when narrow. Its size and type size are kept
// in the program's folder between starts. Not modal.
class RecipeCard : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 720;
    static constexpr int kHeight = 600;
    // The type sizes Ctrl++ and Ctrl+- step through, in points.
    static constexpr int kTypeSizes[] = {9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 32, 40};
    static constexpr int kDefaultTypeSize = 12;
    // Wider than this, the photo sits beside the details and the steps beside the ingredients.
    static constexpr int kWideFrom = 600;

    // `databasePath` gives the recipe file's path without ".mdb"; `appFolder` keeps the card's
    // settings and the page it prints.
    RecipeCard(Dialogs& dialogs, std::function<QString()> databasePath, QString appFolder,
               QWidget* parent = nullptr);
    ~RecipeCard() override;

    // Reads the recipe and its details afresh and shows the window. A recipe that is no
    // longer in the file is said in words; the window then stays as it was.
    bool showRecipe(const QString& category, const QString& name, int occurrence = 0);
    // Reads the shown recipe again (its details were saved).
    void reload();
    const CardRecipe& recipe() const { return m_recipe; }

    void largerType();
    void smallerType();
    int typeSize() const { return m_typeSize; }
    void printCard();
    // Writes the recipe as the card shows it (scaled, converted, servings and yield to match)
    // to a file the cook chooses, in the export's formats. The stored recipe is untouched.
    void exportCard();
    // Opens the "Edit Details..." window for the shown recipe.
    void editDetails();
    void openSource();

    // Opens a web address; tests replace it.
    std::function<void(const QString&)> OpenUrl;
    // Puts the shown recipe on the shopping list at the card's factor; set by the window.
    std::function<void(const QString& category, const QString& name, double factor)>
        AddToShoppingList;

    // The kitchen tools: the factor the card is scaled by (1 as written), and the units shown.
    double factor() const;
    void setUnits(kitchen::System system);
    // Scales the recipe so that it calls for what the cook has ("300 g flour"), asked for in
    // an input box when `have` is empty. False, said in words, when no line can take it.
    bool scaleToWhatIHave(const QString& have = {});
    // Starts the countdown of timer `index` (of the durations found in the steps).
    void startTimer(int index);
    // What the caption says of the running countdown; empty when none runs.
    QString countdownText() const;
    // The recipe as the card shows it now: scaled, converted; for printing.
    CardRecipe shownRecipe() const;
    // The servings and yield as the card's factor makes them.
    Details shownDetails() const;

    // The controls.
    xp_canvas* frame = nullptr;
    xptopbuttons* closeButton = nullptr;
    xptopbuttons* maximiseButton = nullptr;
    xptopbuttons* minimiseButton = nullptr;
    QScrollArea* scroll = nullptr;
    PhotoView* photo = nullptr;
    QLabel* name = nullptr;
    QLabel* author = nullptr;
    QLabel* servings = nullptr;
    QLabel* yield = nullptr;
    QLabel* prepTime = nullptr;
    QLabel* cookTime = nullptr;
    QLabel* totalTime = nullptr;
    QLabel* source = nullptr;
    QLabel* tags = nullptr;
    QLabel* rating = nullptr;
    QLabel* notes = nullptr;
    QLabel* ingredients = nullptr;
    QLabel* steps = nullptr;
    QLabel* scaleCaption = nullptr;
    QLabel* unitsCaption = nullptr;
    QDoubleSpinBox* scaleBox = nullptr;
    QComboBox* unitsBox = nullptr;
    QList<xpcmdbutton*> timerButtons;
    xpcmdbutton* shopButton = nullptr;
    xpcmdbutton* haveButton = nullptr;
    xpcmdbutton* editButton = nullptr;
    xpcmdbutton* printButton = nullptr;
    xpcmdbutton* exportButton = nullptr;
    xpcmdbutton* largerButton = nullptr;
    xpcmdbutton* smallerButton = nullptr;
    xpcmdbutton* closeCommand = nullptr;
    QSizeGrip* grip = nullptr;
    QPointer<EditDetails> editor;
    QPointer<frmprint> preview;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void fill();
    void showScaled();
    // Asks once, on the first scaling of a recipe that keeps no servings, how many it makes,
    // and keeps the answer in its details; `times` is the factor the cook set.
    void askServings(double times);
    void tick();
    void setCaptionText();
    void applyTypeSize();
    void reflow();
    void keepSettings() const;
    void setMaximised(bool maximised);
    QString settingsFile() const;

    Dialogs& m_dialogs;
    QString m_servingsAskedFor; // the recipe last asked about, so each is asked once
    std::function<QString()> m_databasePath;
    QString m_appFolder;
    CardRecipe m_recipe;
    int m_occurrence = 0;
    int m_typeSize = kDefaultTypeSize;
    QBoxLayout* m_top = nullptr;
    QBoxLayout* m_body = nullptr;
    // The scaling controls and the kitchen commands: one row when wide, three when narrow.
    QGridLayout* m_kitchen = nullptr;
    std::optional<bool> m_kitchenWide;
    void placeKitchen(bool wide);
    // The window's commands: one row when wide, two when narrow.
    QBoxLayout* m_commands = nullptr;
    QGridLayout* m_facts = nullptr;
    QList<QLabel*> m_headings;
    QList<QLabel*> m_captions;
    // The photo as decoded, for the size it was decoded at.
    QSize m_decodedFor;
    kitchen::System m_system = kitchen::System::AsWritten;
    QBoxLayout* m_timerRow = nullptr;
    struct Countdown {
        QString what;
        int left = 0; // seconds
        bool ringing = false;
        int flashes = 0;
    };
    std::optional<Countdown> m_countdown;
    QTimer* m_clock = nullptr;
    // Read and decode the shown photo; a newer recipe or size makes an older result stale.
    BackgroundJobs m_photoJobs;
    int m_photoGeneration = 0;
    // The durations found in the steps, in order: the step's number and its seconds.
    QList<std::pair<int, int>> m_durations;
};

} // namespace kb
