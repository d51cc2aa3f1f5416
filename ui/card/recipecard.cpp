#include "ui/card/recipecard.h"

#include "core/background.h"
#include "core/database.h"
#include "core/recipefile.h"
#include "exchange/exporter.h"
#include "kitchen/ingredient.h"
#include "kitchen/scaling.h"
#include "kitchen/steps.h"
#include "platform/browser.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/propertybag.h"
#include "platform/shell.h"
#include "ui/card/editdetails.h"
#include "ui/controls/captionbuttons.h"
#include "ui/controls/formdesign.h"
#include "ui/controls/xp_canvas.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/controls/xptopbuttons.h"
#include "ui/print/frmprint.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSizeGrip>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace kb {

namespace {

constexpr int kCaption = 30;
constexpr int kMargin = 8;
const QString kTitle = QStringLiteral("Recipe Card");

QString listHtml(const char* tag, const QStringList& items) {
    QString html = QLatin1Char('<') + QLatin1String(tag) +
                   QStringLiteral(" style=\"margin-left: 0px; -qt-list-indent: 1;\">");
    for (const QString& item : items)
        html += QStringLiteral("<li style=\"margin-bottom: 4px;\">") + item.toHtmlEscaped() +
                QStringLiteral("</li>");
    return html + QStringLiteral("</") + QLatin1String(tag) + QLatin1Char('>');
}

} // namespace

PhotoView::PhotoView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PhotoView::setImage(const QImage& image) {
    m_image = image;
    update();
}

void PhotoView::paintEvent(QPaintEvent*) {
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize shown = m_image.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect at(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
    painter.drawImage(at, m_image);
}

RecipeCard::RecipeCard(Dialogs& dialogs, std::function<QString()> databasePath, QString appFolder,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_dialogs(dialogs),
      m_databasePath(std::move(databasePath)), m_appFolder(std::move(appFolder)) {
    OpenUrl = [](const QString& url) { openInBrowser(url); };
    setObjectName(QStringLiteral("RecipeCard"));
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(formFont());
    setMinimumSize(360, 320);
    resize(kWidth, kHeight);

    frame = new xp_canvas(this);
    frame->setObjectName(QStringLiteral("RecipeCardXP"));
    frame->ReadProperties(PropertyBag({{QStringLiteral("Caption"), kTitle}}));
    const CaptionButtons captionButtons = CaptionButtons::addTo(frame, this);
    minimiseButton = captionButtons.minimise;
    maximiseButton = captionButtons.maximise;
    closeButton = captionButtons.close;
    // The card is for reading across the kitchen: it may fill the screen.
    maximiseButton->setEnabled(true);
    connect(maximiseButton, &xptopbuttons::Click, this,
            [this] { setMaximised(!(windowState() & Qt::WindowMaximized)); });

    scroll = new QScrollArea(frame);
    scroll->setObjectName(QStringLiteral("scroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("content"));
    content->setAutoFillBackground(true);
    QPalette page = content->palette();
    page.setColor(QPalette::Window, Qt::white);
    page.setColor(QPalette::WindowText, Qt::black);
    content->setPalette(page);
    scroll->setWidget(content);
    // The photo and the columns follow the room the page has, whatever changed it.
    scroll->viewport()->installEventFilter(this);

    const auto field = [content](const char* objectName, const QString& accessible) {
        auto* l = new QLabel(content);
        l->setObjectName(QLatin1String(objectName));
        l->setAccessibleName(accessible);
        l->setWordWrap(true);
        l->setTextFormat(Qt::PlainText);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        l->setFocusPolicy(Qt::TabFocus);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    photo = new PhotoView(content);
    photo->setObjectName(QStringLiteral("photo"));
    photo->setAccessibleName(QStringLiteral("Photo"));
    name = field("name", QStringLiteral("Recipe name"));
    author = field("author", QStringLiteral("Author"));
    servings = field("servings", QStringLiteral("Servings"));
    yield = field("yield", QStringLiteral("Yield"));
    prepTime = field("prepTime", QStringLiteral("Preparation time"));
    cookTime = field("cookTime", QStringLiteral("Cooking time"));
    totalTime = field("totalTime", QStringLiteral("Total time"));
    source = field("source", QStringLiteral("Source"));
    source->setTextFormat(Qt::RichText);
    source->setOpenExternalLinks(false);
    source->setTextInteractionFlags(Qt::TextBrowserInteraction);
    connect(source, &QLabel::linkActivated, this, [this] { openSource(); });
    tags = field("tags", QStringLiteral("Tags"));
    rating = field("rating", QStringLiteral("Rating"));
    notes = field("notes", QStringLiteral("Notes"));
    ingredients = field("ingredients", QStringLiteral("Ingredients"));
    ingredients->setTextFormat(Qt::RichText);
    steps = field("steps", QStringLiteral("Steps"));
    steps->setTextFormat(Qt::RichText);

    // The kitchen tools: scaled to servings (or by a factor when the recipe keeps none), the
    // units shown, a countdown for each time a step names. The stored recipe never changes.
    scaleCaption = new QLabel(QStringLiteral("Servings:"), content);
    scaleBox = new QDoubleSpinBox(content);
    scaleBox->setObjectName(QStringLiteral("scaleBox"));
    scaleBox->setAccessibleName(QStringLiteral("Servings to cook"));
    scaleBox->setRange(0.25, 1000);
    scaleBox->setDecimals(2);
    scaleBox->setSingleStep(1);
    scaleCaption->setBuddy(scaleBox);
    unitsCaption = new QLabel(QStringLiteral("Units:"), content);
    unitsBox = new QComboBox(content);
    unitsBox->setObjectName(QStringLiteral("unitsBox"));
    unitsBox->setAccessibleName(QStringLiteral("Units shown"));
    unitsBox->addItems(
        {QStringLiteral("As written"), QStringLiteral("Metric"), QStringLiteral("US")});
    unitsCaption->setBuddy(unitsBox);
    connect(scaleBox, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        if (!m_recipe.details.servings && m_servingsAskedFor != m_recipe.key())
            askServings(value);
        showScaled();
    });
    connect(unitsBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_system = index == 1   ? kitchen::System::Metric
                   : index == 2 ? kitchen::System::Us
                                : kitchen::System::AsWritten;
        showScaled();
    });
    m_clock = new QTimer(this);
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &RecipeCard::tick);

    m_facts = new QGridLayout;
    m_facts->setHorizontalSpacing(10);
    m_facts->setVerticalSpacing(4);
    m_facts->setColumnStretch(1, 1);
    int row = 0;
    for (auto [caption, value] :
         std::initializer_list<std::pair<const char*, QLabel*>>{{"Serves:", servings},
                                                                {"Makes:", yield},
                                                                {"Preparation:", prepTime},
                                                                {"Cooking:", cookTime},
                                                                {"Total time:", totalTime},
                                                                {"Source:", source},
                                                                {"Tags:", tags},
                                                                {"Rating:", rating}}) {
        auto* c = new QLabel(QLatin1String(caption), content);
        c->setBuddy(value);
        c->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_captions << c;
        m_facts->addWidget(c, row, 0);
        m_facts->addWidget(value, row, 1);
        ++row;
    }

    auto* info = new QVBoxLayout;
    info->setSpacing(6);
    info->addWidget(name);
    info->addWidget(author);
    info->addLayout(m_facts);
    info->addStretch(1);
    m_top = new QBoxLayout(QBoxLayout::LeftToRight);
    m_top->setSpacing(16);
    m_top->addWidget(photo, 0, Qt::AlignTop | Qt::AlignHCenter);
    m_top->addLayout(info, 1);

    const auto heading = [this, content](const QString& text, QLabel* buddy) {
        auto* h = new QLabel(text, content);
        h->setBuddy(buddy);
        m_headings << h;
        return h;
    };
    auto* ingredientColumn = new QVBoxLayout;
    ingredientColumn->addWidget(heading(QStringLiteral("Ingredients"), ingredients));
    ingredientColumn->addWidget(ingredients);
    ingredientColumn->addStretch(1);
    auto* stepColumn = new QVBoxLayout;
    stepColumn->addWidget(heading(QStringLiteral("Steps"), steps));
    stepColumn->addWidget(steps);
    stepColumn->addStretch(1);
    m_body = new QBoxLayout(QBoxLayout::LeftToRight);
    m_body->setSpacing(24);
    m_body->addLayout(ingredientColumn, 2);
    m_body->addLayout(stepColumn, 3);

    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(16, 12, 16, 16);
    column->setSpacing(14);
    column->addLayout(m_top);
    column->addWidget(notes);
    m_kitchen = new QGridLayout;
    m_kitchen->setHorizontalSpacing(8);
    m_kitchen->setVerticalSpacing(6);
    column->addLayout(m_kitchen);
    // A countdown for each time the steps name.
    m_timerRow = new QHBoxLayout;
    m_timerRow->setSpacing(6);
    m_timerRow->addStretch(1);
    column->addLayout(m_timerRow);
    column->addLayout(m_body);
    column->addStretch(1);

    const auto commandButton = [this](const char* objectName, const QString& caption,
                                      const QString& description) {
        return makeCommandButton(frame, QLatin1String(objectName), caption, description,
                                 QSize(100, 25));
    };
    editButton = commandButton("editButton", QStringLiteral("Edit Details..."),
                               QStringLiteral("Servings, times, source, tags, rating, notes and "
                                              "photos. Key: Ctrl+E."));
    printButton = commandButton("printButton", QStringLiteral("Print..."),
                                QStringLiteral("Prints the card with its photo. Key: Ctrl+P."));
    exportButton = commandButton("exportButton", QStringLiteral("Export..."),
                                 QStringLiteral("Saves the recipe as shown here, scaled and "
                                                "converted, to a file. Key: Ctrl+S."));
    largerButton = commandButton("largerButton", QStringLiteral("Larger Type"),
                                 QStringLiteral("Key: Ctrl and plus."));
    smallerButton = commandButton("smallerButton", QStringLiteral("Smaller Type"),
                                  QStringLiteral("Key: Ctrl and minus."));
    closeCommand =
        commandButton("closeCommand", QStringLiteral("Close"), QStringLiteral("Key: Escape."));
    shopButton = commandButton("shopButton", QStringLiteral("Shopping List"),
                               QStringLiteral("Adds the recipe, as scaled here, to the shopping "
                                              "list. Key: Ctrl+L."));
    haveButton = commandButton("haveButton", QStringLiteral("What I Have..."),
                               QStringLiteral("Scales the recipe to the amount of one ingredient "
                                              "you have. Key: Ctrl+H."));
    connect(haveButton, &xpcmdbutton::Click, this, [this] { scaleToWhatIHave(); });
    connect(shopButton, &xpcmdbutton::Click, this, [this] {
        if (AddToShoppingList && !m_recipe.recipe.name().isEmpty())
            AddToShoppingList(m_recipe.recipe.place.category, m_recipe.recipe.name(), factor());
    });
    grip = new QSizeGrip(frame);
    grip->setAccessibleName(QStringLiteral("Resize the window"));

    auto* outer = new QVBoxLayout(frame);
    outer->setContentsMargins(xp_canvas::kBorder, kCaption, xp_canvas::kBorder, 2);
    outer->setSpacing(6);
    outer->addWidget(scroll, 1);
    haveButton->setParent(content);
    shopButton->setParent(content);
    placeKitchen(true);
    auto* recipeCommands = new QHBoxLayout;
    recipeCommands->addWidget(editButton);
    recipeCommands->addWidget(printButton);
    recipeCommands->addWidget(exportButton);
    recipeCommands->addStretch(1);
    auto* windowCommands = new QHBoxLayout;
    windowCommands->addStretch(1);
    windowCommands->addWidget(largerButton);
    windowCommands->addWidget(smallerButton);
    windowCommands->addWidget(closeCommand);
    m_commands = new QBoxLayout(QBoxLayout::LeftToRight);
    m_commands->setContentsMargins(kMargin - xp_canvas::kBorder, 0, kMargin - xp_canvas::kBorder,
                                   0);
    m_commands->addLayout(recipeCommands);
    m_commands->addLayout(windowCommands);
    outer->addLayout(m_commands);
    outer->addWidget(grip, 0, Qt::AlignRight | Qt::AlignBottom);

    const QList<QWidget*> order = {
        name,        author,       servings,     yield,         prepTime,    cookTime,
        totalTime,   source,       tags,         rating,        notes,       scaleBox,
        unitsBox,    haveButton,   shopButton,   ingredients,   steps,       editButton,
        printButton, exportButton, largerButton, smallerButton, closeCommand};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    const auto key = [this](const QList<QKeySequence>& keys, const char* objectName,
                            const std::function<void()>& run) {
        auto* action = new QAction(this);
        action->setObjectName(QLatin1String(objectName));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, run);
        addAction(action);
    };
    // Ctrl and the plus key wherever it is, and Ctrl+= where plus needs Shift.
    key({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
        "largerKey", [this] { largerType(); });
    key({QKeySequence(Qt::CTRL | Qt::Key_Minus)}, "smallerKey", [this] { smallerType(); });
    key({QKeySequence(Qt::CTRL | Qt::Key_0)}, "typeResetKey", [this] {
        m_typeSize = kDefaultTypeSize;
        applyTypeSize();
    });
    key({QKeySequence(Qt::CTRL | Qt::Key_P)}, "printKey", [this] { printCard(); });
    key({QKeySequence(Qt::CTRL | Qt::Key_S)}, "exportKey", [this] { exportCard(); });
    key({QKeySequence(Qt::CTRL | Qt::Key_E)}, "editKey", [this] { editDetails(); });
    key({QKeySequence(Qt::CTRL | Qt::Key_L)}, "shopKey", [this] { emit shopButton->Click(); });
    key({QKeySequence(Qt::CTRL | Qt::Key_H)}, "haveKey", [this] { scaleToWhatIHave(); });
    connect(editButton, &xpcmdbutton::Click, this, &RecipeCard::editDetails);
    connect(printButton, &xpcmdbutton::Click, this, &RecipeCard::printCard);
    connect(exportButton, &xpcmdbutton::Click, this, &RecipeCard::exportCard);
    connect(largerButton, &xpcmdbutton::Click, this, &RecipeCard::largerType);
    connect(smallerButton, &xpcmdbutton::Click, this, &RecipeCard::smallerType);
    connect(closeCommand, &xpcmdbutton::Click, this, &QWidget::close);

    // Size and type as the cook left them.
    const QSettings settings(settingsFile(), QSettings::IniFormat);
    const QSize size = settings.value(QStringLiteral("Card/size")).toSize();
    if (size.isValid())
        resize(size.expandedTo(minimumSize()).boundedTo(QSize(8000, 8000)));
    const int type = settings.value(QStringLiteral("Card/typeSize"), kDefaultTypeSize).toInt();
    m_typeSize = std::clamp(type, kTypeSizes[0], kTypeSizes[std::size(kTypeSizes) - 1]);
    if (settings.value(QStringLiteral("Card/maximised")).toBool())
        setWindowState(windowState() | Qt::WindowMaximized);
    applyTypeSize();
}

RecipeCard::~RecipeCard() {
    delete preview;
}

QString RecipeCard::settingsFile() const {
    return QDir(m_appFolder).filePath(QStringLiteral("card.ini"));
}

void RecipeCard::keepSettings() const {
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        const bool maximised = windowState() & Qt::WindowMaximized;
        settings.setValue(QStringLiteral("Card/size"), maximised && normalGeometry().isValid()
                                                           ? normalGeometry().size()
                                                           : size());
        settings.setValue(QStringLiteral("Card/maximised"), maximised);
        settings.setValue(QStringLiteral("Card/typeSize"), m_typeSize);
    }
    // Kept as private as the recipes beside it; later writes keep the mode.
    matchRecipeFileMode(RecipeFile(m_appFolder).fileName(), settingsFile());
}

bool RecipeCard::showRecipe(const QString& category, const QString& recipeName, int occurrence) {
    bool read = false;
    runGuarded(m_dialogs, [&] {
        // The photo's bytes are read and decoded off the GUI thread (see reflow).
        RecipeFile::fromDatabasePath(m_databasePath()).withConnection([&](Database& db) {
            m_recipe = readCardRecipe(db, category, recipeName, occurrence, false);
        });
        m_occurrence = occurrence;
        read = true;
    });
    if (!read)
        return false;
    fill();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    name->setFocus();
    return true;
}

void RecipeCard::reload() {
    if (!m_recipe.recipe.name().isEmpty())
        showRecipe(m_recipe.recipe.place.category, m_recipe.recipe.name(), m_occurrence);
}

void RecipeCard::fill() {
    const CardRecipe& r = m_recipe;
    const Details& d = r.details;
    setCaptionText();
    name->setText(r.recipe.name());
    author->setText(r.recipe.author());
    author->setVisible(!r.recipe.author().isEmpty());
    const auto fact = [](QLabel* value, const QString& text) { value->setText(text); };
    fact(servings, d.servings ? QString::number(*d.servings, 'g', 6) : QString());
    fact(yield, d.yield);
    fact(prepTime, minutesText(d.prepMinutes));
    fact(cookTime, minutesText(d.cookMinutes));
    fact(totalTime, minutesText(d.totalMinutes));
    const QString address = webAddress(d.source);
    if (address.isEmpty()) {
        source->setTextFormat(Qt::PlainText);
        source->setText(d.source);
    } else {
        source->setTextFormat(Qt::RichText);
        source->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                            .arg(address.toHtmlEscaped(), d.source.toHtmlEscaped()));
    }
    source->setAccessibleDescription(address.isEmpty() ? QString()
                                                       : QStringLiteral("Enter opens it in "
                                                                        "the browser."));
    fact(tags, d.tags.join(QStringLiteral(", ")));
    fact(rating, ratingStars(d.rating));
    rating->setAccessibleDescription(
        d.rating > 0 ? QStringLiteral("%1 of %2 stars").arg(d.rating).arg(kMaxRating) : QString());
    notes->setText(d.notes);
    notes->setVisible(!d.notes.isEmpty());
    // A fact the recipe does not have takes no room.
    for (int i = 0; i < m_facts->rowCount(); ++i) {
        auto* value = qobject_cast<QLabel*>(m_facts->itemAtPosition(i, 1)->widget());
        const bool shown = !value->text().isEmpty();
        value->setVisible(shown);
        m_facts->itemAtPosition(i, 0)->widget()->setVisible(shown);
    }
    // Each recipe opens as written, for as many as it serves.
    {
        const QSignalBlocker quiet(scaleBox);
        scaleCaption->setText(d.servings ? QStringLiteral("Servings:")
                                         : QStringLiteral("Times the recipe:"));
        scaleBox->setAccessibleName(d.servings ? QStringLiteral("Servings to cook")
                                               : QStringLiteral("Times the recipe"));
        scaleBox->setValue(d.servings ? *d.servings : 1.0);
    }
    qDeleteAll(timerButtons);
    timerButtons.clear();
    m_durations.clear();
    const QStringList stepList = stepsOf(r.recipe.instructions());
    constexpr int kMostTimers = 8;
    for (int i = 0; i < stepList.size() && m_durations.size() < kMostTimers; ++i)
        for (const kitchen::Duration& t : kitchen::findDurations(stepList.at(i)))
            if (m_durations.size() < kMostTimers)
                m_durations.append({i + 1, t.seconds});
    for (int i = 0; i < m_durations.size(); ++i) {
        const QString caption = QStringLiteral("Step %1: %2")
                                    .arg(m_durations.at(i).first)
                                    .arg(kitchen::durationText(m_durations.at(i).second));
        auto* b = makeCommandButton(
            scroll->widget(), QStringLiteral("timer%1").arg(i), caption,
            QStringLiteral("Starts a countdown shown in the caption."),
            QSize(QFontMetrics(buttonFont()).horizontalAdvance(caption) + 24, 25));
        b->setAccessibleName(QStringLiteral("Timer, ") + caption);
        connect(b, &xpcmdbutton::Click, this, [this, i] { startTimer(i); });
        m_timerRow->insertWidget(m_timerRow->count() - 1, b);
        timerButtons << b;
    }
    showScaled();
    photo->setImage({});
    m_decodedFor = {};
    photo->setVisible(!r.firstPhoto.isEmpty() || !d.photos.isEmpty());
    photo->setAccessibleDescription(d.photos.isEmpty() ? QString()
                                                       : QStringLiteral("%1 x %2 pixels")
                                                             .arg(d.photos.first().width)
                                                             .arg(d.photos.first().height));
    reflow();
    scroll->verticalScrollBar()->setValue(0);
}

double RecipeCard::factor() const {
    const std::optional<double> servingsKept = m_recipe.details.servings;
    if (!servingsKept)
        return scaleBox->value();
    return kitchen::factorForServings(*servingsKept, scaleBox->value()).value_or(1.0);
}

void RecipeCard::setUnits(kitchen::System system) {
    unitsBox->setCurrentIndex(system == kitchen::System::Metric ? 1
                              : system == kitchen::System::Us   ? 2
                                                                : 0);
}

CardRecipe RecipeCard::shownRecipe() const {
    CardRecipe shown = m_recipe;
    QStringList lines;
    for (const kitchen::ShownLine& l :
         kitchen::showIngredients(m_recipe.recipe.ingredients(), factor(), m_system)) {
        QString text = l.text;
        if (l.approximate)
            text += QStringLiteral(" (approx.)");
        else if (l.unread && factor() != 1.0)
            text += QStringLiteral(" (not scaled)");
        lines << text;
    }
    shown.recipe.fields[2] = lines.join(QLatin1Char('\n'));
    shown.recipe.fields[3] = kitchen::convertTemperatures(m_recipe.recipe.instructions(), m_system);
    shown.details = shownDetails();
    return shown;
}

Details RecipeCard::shownDetails() const {
    Details d = m_recipe.details;
    const double f = factor();
    if (f == 1.0)
        return d;
    if (d.servings)
        d.servings = scaleBox->value();
    // "12 muffins" becomes "24 muffins"; a yield without an amount stays as written.
    if (!d.yield.isEmpty()) {
        const QList<kitchen::ShownLine> y =
            kitchen::showIngredients(d.yield, f, kitchen::System::AsWritten);
        if (y.size() == 1 && y.first().scaled)
            d.yield = y.first().text;
    }
    return d;
}

void RecipeCard::askServings(double times) {
    m_servingsAskedFor = m_recipe.key();
    const QString typed = m_dialogs.inputBox(
        QStringLiteral("How many servings does \"%1\" make as written?\nThe card then scales it "
                       "by servings, now and next time.\nLeave it empty to scale it by how many "
                       "times you make the recipe.")
            .arg(m_recipe.recipe.name()),
        QStringLiteral("Servings"));
    if (typed.trimmed().isEmpty())
        return;
    // "2,5" where the desktop writes a decimal comma, "2.5" everywhere.
    bool number = false;
    double written = QLocale().toDouble(typed.trimmed(), &number);
    if (!number)
        written = typed.trimmed().toDouble(&number);
    if (!number || written <= 0 || written > 1000) {
        m_dialogs.msgBox(QStringLiteral("\"%1\" is not a number of servings; the card scales "
                                        "the recipe by how many times you make it.")
                             .arg(typed.trimmed()));
        return;
    }
    bool saved = false;
    runGuarded(m_dialogs, [&] {
        RecipeFile::fromDatabasePath(m_databasePath()).withConnection([&](Database& db) {
            Details d = readDetails(db, m_recipe.recipe.place.category, m_recipe.recipe.name());
            d.servings = written;
            writeDetails(db, m_recipe.recipe.place.category, m_recipe.recipe.name(), d);
        });
        saved = true;
    });
    if (!saved)
        return;
    reload();
    const QSignalBlocker quiet(scaleBox);
    scaleBox->setValue(written * times);
}

void RecipeCard::showScaled() {
    const CardRecipe shown = shownRecipe();
    yield->setText(shown.details.yield);
    const QStringList lines = ingredientLines(shown.recipe.ingredients());
    ingredients->setText(lines.isEmpty() ? QStringLiteral("None written down.")
                                         : listHtml("ul", lines));
    const QStringList stepList = stepsOf(shown.recipe.instructions());
    steps->setText(stepList.isEmpty() ? QStringLiteral("None written down.")
                                      : listHtml("ol", stepList));
}

bool RecipeCard::scaleToWhatIHave(const QString& have) {
    if (m_recipe.recipe.name().isEmpty())
        return false;
    const QString typed =
        have.isEmpty() ? m_dialogs.inputBox(QStringLiteral("How much of which ingredient do you "
                                                           "have? For example: 300 g flour"),
                                            QStringLiteral("What I Have"))
                       : have;
    if (typed.trimmed().isEmpty())
        return false;
    const kitchen::Ingredient got = kitchen::readIngredient(typed);
    if (!got.quantity || got.item.isEmpty()) {
        m_dialogs.msgBox(QStringLiteral("\"%1\" is not an amount and an ingredient, such as "
                                        "\"300 g flour\".")
                             .arg(typed.trimmed()));
        return false;
    }
    const QString wanted = got.item.toLower();
    for (const kitchen::Ingredient& line :
         kitchen::readIngredients(m_recipe.recipe.ingredients())) {
        const QString item = line.item.toLower();
        if (item.isEmpty() || !(item.contains(wanted) || wanted.contains(item)))
            continue;
        const std::optional<double> f =
            kitchen::factorForAmount(line, kitchen::Amount{*got.quantity, {}, got.unit, false});
        if (!f || *f <= 0)
            continue;
        const std::optional<double> servingsKept = m_recipe.details.servings;
        scaleBox->setValue(servingsKept ? *servingsKept * *f : *f);
        return true;
    }
    m_dialogs.msgBox(QStringLiteral("No ingredient of \"%1\" calls for %2 in a unit that "
                                    "can be compared.")
                         .arg(m_recipe.recipe.name(), got.item));
    return false;
}

void RecipeCard::startTimer(int index) {
    if (index < 0 || index >= m_durations.size())
        return;
    const auto& [step, seconds] = m_durations.at(index);
    m_countdown = Countdown{QStringLiteral("Step %1").arg(step), seconds, false, 0};
    m_clock->start();
    setCaptionText();
}

QString RecipeCard::countdownText() const {
    if (!m_countdown)
        return {};
    if (m_countdown->ringing)
        return QStringLiteral("Time is up: ") + m_countdown->what;
    const int left = m_countdown->left;
    return m_countdown->what +
           QStringLiteral(", %1:%2 left").arg(left / 60).arg(left % 60, 2, 10, QLatin1Char('0'));
}

void RecipeCard::tick() {
    if (!m_countdown) {
        m_clock->stop();
        return;
    }
    if (!m_countdown->ringing && --m_countdown->left <= 0)
        m_countdown->ringing = true;
    // The alarm is seen, not heard: the caption flashes for a minute, then says it plainly.
    constexpr int kFlashes = 60;
    if (m_countdown->ringing && ++m_countdown->flashes > kFlashes)
        m_clock->stop();
    setCaptionText();
}

void RecipeCard::setCaptionText() {
    QString title = kTitle + QStringLiteral(": ") + m_recipe.recipe.name();
    const QString countdown = countdownText();
    const bool flashOff =
        m_countdown && m_countdown->ringing && m_clock->isActive() && m_countdown->flashes % 2 == 1;
    if (!countdown.isEmpty())
        title = (flashOff ? QString(countdown.size(), QLatin1Char(' ')) : countdown) +
                QStringLiteral("  \u2014  ") + title;
    setWindowTitle(title);
    frame->setCaption(title);
}

void RecipeCard::applyTypeSize() {
    QFont text(QStringLiteral("Verdana"));
    text.setPointSizeF(m_typeSize);
    scroll->widget()->setFont(text);
    QFont big = text;
    big.setPointSizeF(m_typeSize * 1.7);
    big.setBold(true);
    name->setFont(big);
    QFont italic = text;
    italic.setItalic(true);
    author->setFont(italic);
    QFont headingFont = text;
    headingFont.setPointSizeF(m_typeSize * 1.3);
    headingFont.setBold(true);
    for (QLabel* h : std::as_const(m_headings))
        h->setFont(headingFont);
    QFont bold = text;
    bold.setBold(true);
    for (QLabel* c : std::as_const(m_captions))
        c->setFont(bold);
    reflow();
}

void RecipeCard::largerType() {
    for (int size : kTypeSizes)
        if (size > m_typeSize) {
            m_typeSize = size;
            break;
        }
    applyTypeSize();
    keepSettings();
}

void RecipeCard::smallerType() {
    for (auto it = std::rbegin(kTypeSizes); it != std::rend(kTypeSizes); ++it)
        if (*it < m_typeSize) {
            m_typeSize = *it;
            break;
        }
    applyTypeSize();
    keepSettings();
}

void RecipeCard::placeKitchen(bool wide) {
    m_kitchenWide = wide;
    const std::initializer_list<QWidget*> kitchen = {scaleCaption, scaleBox,   unitsCaption,
                                                     unitsBox,     haveButton, shopButton};
    for (QWidget* w : kitchen)
        m_kitchen->removeWidget(w);
    const auto place = [this](QWidget* w, int row, int column) {
        m_kitchen->addWidget(w, row, column, Qt::AlignLeft | Qt::AlignVCenter);
    };
    // Wide: all in one row, the commands at its right end; narrow: a row each.
    int i = 0;
    for (QWidget* w : kitchen) {
        if (wide)
            place(w, 0, i < 4 ? i : i + 1);
        else
            place(w, i / 2, i % 2);
        ++i;
    }
    unitsCaption->setContentsMargins(wide ? 12 : 0, 0, 0, 0);
    for (int c = 0; c < 7; ++c)
        m_kitchen->setColumnStretch(c, 0);
    m_kitchen->setColumnStretch(wide ? 4 : 2, 1);
}

void RecipeCard::reflow() {
    const int available = std::max(200, scroll->viewport()->width() - 32);
    const bool wide = available >= kWideFrom;
    m_top->setDirection(wide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    m_body->setDirection(wide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    if (m_kitchenWide != wide)
        placeKitchen(wide);
    // Six command buttons and their margins.
    constexpr int kCommandsInOneRow = 660;
    m_commands->setDirection(width() >= kCommandsInOneRow ? QBoxLayout::LeftToRight
                                                          : QBoxLayout::TopToBottom);
    if (!photo->isVisibleTo(scroll->widget()) && m_recipe.firstPhoto.isEmpty())
        return;
    const Details& d = m_recipe.details;
    QSize full =
        d.photos.isEmpty() ? QSize(4, 3) : QSize(d.photos.first().width, d.photos.first().height);
    if (full.isEmpty())
        full = QSize(4, 3);
    // Beside the details the photo takes two fifths of the width; above them the whole width.
    // Either way no taller than most of the window, so the name stays in sight.
    const int maxWidth = wide ? available * 2 / 5 : available;
    const int maxHeight = std::max(160, scroll->viewport()->height() * 3 / 5);
    const QSize box = full.scaled(QSize(maxWidth, maxHeight), Qt::KeepAspectRatio)
                          .boundedTo(full.expandedTo(QSize(240, 180)));
    photo->setFixedSize(box);
    // Decoded once at about the size shown, and again only when it grows past that.
    const qreal ratio = devicePixelRatioF();
    const QSize needed = box * ratio;
    if (m_decodedFor.isValid() && m_decodedFor.width() >= needed.width() &&
        m_decodedFor.height() >= needed.height())
        return;
    // Nothing to read before a recipe with a photo is shown.
    if (d.photos.isEmpty() || m_recipe.recipe.name().isEmpty())
        return;
    const QSize decodeBox = needed * 5 / 4;
    m_decodedFor = decodeBox;
    // The thumbnail at once, the photo itself once read and decoded on a worker thread, so a
    // large photo never holds the card up.
    if (photo->image().isNull()) {
        QImage thumbnail;
        thumbnail.loadFromData(d.photos.first().thumbnail, "PNG");
        photo->setImage(thumbnail);
    }
    const int generation = ++m_photoGeneration;
    using Decoded = std::pair<QByteArray, QImage>;
    runThenDeliver<Decoded>(
        m_photoJobs.free(),
        [bytes = m_recipe.firstPhoto, path = m_databasePath(),
         category = m_recipe.recipe.place.category, recipeName = m_recipe.recipe.name(),
         decodeBox]() -> Decoded {
            try {
                QByteArray photoBytes = bytes;
                if (photoBytes.isEmpty())
                    RecipeFile::fromDatabasePath(path).withConnection(
                        [&](Database& db) { photoBytes = photoData(db, category, recipeName, 0); });
                QImage image = decodePhoto(photoBytes, decodeBox);
                return {photoBytes, image};
            } catch (const std::exception&) {
                // The thumbnail stays.
                return {};
            }
        },
        this,
        [this, generation](const Decoded& decoded) {
            if (generation != m_photoGeneration)
                return;
            if (m_recipe.firstPhoto.isEmpty())
                m_recipe.firstPhoto = decoded.first;
            if (!decoded.second.isNull())
                photo->setImage(decoded.second);
        });
}

void RecipeCard::editDetails() {
    if (m_recipe.recipe.name().isEmpty())
        return;
    if (editor) {
        editor->raise();
        editor->activateWindow();
        return;
    }
    editor = new EditDetails(m_dialogs, m_databasePath, m_recipe.recipe.place.category,
                             m_recipe.recipe.name(), this);
    editor->move(geometry().center() - editor->rect().center());
    connect(editor, &EditDetails::saved, this, &RecipeCard::reload);
    if (!editor->open())
        delete editor;
}

void RecipeCard::printCard() {
    if (m_recipe.recipe.name().isEmpty())
        return;
    runGuarded(m_dialogs, [&] {
        // The card prints as it is shown: scaled and in the units chosen.
        CardRecipe shown = shownRecipe();
        if (shown.firstPhoto.isEmpty() && !shown.details.photos.isEmpty()) {
            RecipeFile::fromDatabasePath(m_databasePath()).withConnection([&](Database& db) {
                shown.firstPhoto =
                    photoData(db, shown.recipe.place.category, shown.recipe.name(), 0);
            });
        }
        const QString page = writeCardPage(m_appFolder, shown);
        if (!preview) {
            preview = new frmprint(m_appFolder, m_dialogs);
            preview->setObjectName(QStringLiteral("cardPreview"));
        }
        preview->WB->Navigate(page);
        preview->setCaption(QStringLiteral("Print [ ") + m_recipe.recipe.name() +
                            QStringLiteral(" ]"));
        preview->setWindowState(preview->windowState() & ~Qt::WindowMinimized);
        preview->show();
        preview->raise();
        preview->activateWindow();
    });
}

void RecipeCard::exportCard() {
    if (m_recipe.recipe.name().isEmpty())
        return;
    runGuarded(m_dialogs, [&] {
        const QString title = QStringLiteral("Export Recipe");
        const QString chosen = m_dialogs.saveFileName(
            title,
            QDir::home().filePath(exchange::fileNameFor(m_recipe.recipe.name()) +
                                  QStringLiteral(".jsonld")),
            exchange::exportFilter());
        if (chosen.isEmpty())
            return;
        const exchange::ExportTarget target = exchange::exportTarget(chosen);
        // The kept details with their photos' bytes, which the card never reads whole.
        exchange::Collection c =
            exchange::collectRecipes(RecipeFile::fromDatabasePath(m_databasePath()),
                                     m_recipe.recipe.place.category, m_recipe.recipe.name());
        if (c.recipes.isEmpty())
            return;
        const CardRecipe shown = shownRecipe();
        exchange::RecipeRecord& r = c.recipes.first();
        r.author = shown.recipe.author();
        r.ingredients = shown.recipe.ingredients();
        r.instructions = shown.recipe.instructions();
        // The stored texts travel exactly in our own format; here they would bring the
        // unscaled recipe back on import.
        r.stored.reset();
        r.kept.servings = shown.details.servings;
        r.kept.yield = shown.details.yield;
        exchange::exportRecipes(target.fileName, c, target.format);
        m_dialogs.msgBox(
            QStringLiteral("\"%1\" was exported as shown to \"%2\".")
                .arg(m_recipe.recipe.name(), QDir::toNativeSeparators(target.fileName)),
            vbOKOnly, title);
    });
}

void RecipeCard::openSource() {
    const QString address = webAddress(m_recipe.details.source);
    if (!address.isEmpty())
        OpenUrl(address);
}

void RecipeCard::setMaximised(bool maximised) {
    setWindowState(maximised ? (windowState() | Qt::WindowMaximized)
                             : (windowState() & ~Qt::WindowMaximized));
}

void RecipeCard::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    frame->setGeometry(0, 0, width(), height());
    CaptionButtons{minimiseButton, maximiseButton, closeButton}.place(width());
}

bool RecipeCard::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll->viewport() && event->type() == QEvent::Resize)
        reflow();
    return QWidget::eventFilter(watched, event);
}

void RecipeCard::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        const bool maximised = windowState() & Qt::WindowMaximized;
        maximiseButton->setValue(maximised ? 3 : 1);
        grip->setVisible(!maximised);
    }
}

void RecipeCard::closeEvent(QCloseEvent* event) {
    keepSettings();
    QWidget::closeEvent(event);
}

} // namespace kb
