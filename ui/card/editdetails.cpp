#include "ui/card/editdetails.h"

#include "core/database.h"
#include "core/recipefile.h"
#include "core/store_error.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/propertybag.h"
#include "ui/controls/captionbuttons.h"
#include "ui/controls/formdesign.h"
#include "ui/controls/xp_canvas.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/controls/xptopbuttons.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>

namespace kb {

namespace {

constexpr int kCaption = 30;
constexpr int kMargin = 8;

QString photoCaption(const Photo& p, int index) {
    return QStringLiteral("%1%2 x %3 %4")
        .arg(index == 0 ? QStringLiteral("First: ") : QString())
        .arg(p.width)
        .arg(p.height)
        .arg(p.format.toUpper());
}

} // namespace

EditDetails::EditDetails(Dialogs& dialogs, std::function<QString()> databasePath, QString category,
                         QString name, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_dialogs(dialogs),
      m_databasePath(std::move(databasePath)), m_category(std::move(category)),
      m_name(std::move(name)) {
    const QString title = QStringLiteral("Edit Details: ") + m_name;
    setObjectName(QStringLiteral("EditDetails"));
    setWindowTitle(title);
    setAccessibleName(QStringLiteral("Edit Details"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setFont(formFont());
    setMinimumSize(420, 460);
    resize(kWidth, kHeight);

    frame = new xp_canvas(this);
    frame->setObjectName(QStringLiteral("EditDetailsXP"));
    frame->ReadProperties(PropertyBag({{QStringLiteral("Caption"), title}}));
    const CaptionButtons captionButtons = CaptionButtons::addTo(frame, this);
    minimiseButton = captionButtons.minimise;
    maximiseButton = captionButtons.maximise;
    closeButton = captionButtons.close;

    const auto commandButton = [this](const char* objectName, const QString& caption,
                                      const QString& description) {
        return makeCommandButton(frame, QLatin1String(objectName), caption, description,
                                 QSize(104, 25));
    };
    const auto lineEdit = [this](const char* objectName, const QString& accessible,
                                 const QString& hint) {
        auto* edit = new QLineEdit(frame);
        edit->setObjectName(QLatin1String(objectName));
        edit->setAccessibleName(accessible);
        edit->setPlaceholderText(hint);
        return edit;
    };
    servings = lineEdit("servings", QStringLiteral("Servings"), QStringLiteral("4"));
    yield = lineEdit("yield", QStringLiteral("Yield"), QStringLiteral("12 muffins"));
    prepTime = lineEdit("prepTime", QStringLiteral("Preparation time"),
                        QStringLiteral("20 min, 1 h 30 min or 90"));
    cookTime = lineEdit("cookTime", QStringLiteral("Cooking time"), prepTime->placeholderText());
    totalTime = lineEdit("totalTime", QStringLiteral("Total time"), prepTime->placeholderText());
    source = lineEdit("source", QStringLiteral("Source"),
                      QStringLiteral("A web address, a book or a person"));
    tags = lineEdit("tags", QStringLiteral("Tags"), QStringLiteral("Comma separated"));
    rating = new QSpinBox(frame);
    rating->setObjectName(QStringLiteral("rating"));
    rating->setAccessibleName(QStringLiteral("Rating"));
    rating->setRange(0, kMaxRating);
    rating->setSpecialValueText(QStringLiteral("None"));
    rating->setSuffix(QStringLiteral(" of 5"));
    if (auto* edit = rating->findChild<QLineEdit*>())
        edit->setAccessibleName(rating->accessibleName());
    notes = new QPlainTextEdit(frame);
    notes->setObjectName(QStringLiteral("notes"));
    notes->setAccessibleName(QStringLiteral("Notes"));
    notes->setTabChangesFocus(true);

    photoList = new QListWidget(frame);
    photoList->setObjectName(QStringLiteral("photoList"));
    photoList->setAccessibleName(QStringLiteral("Photos"));
    photoList->setAccessibleDescription(QStringLiteral("The first photo is the one shown."));
    photoList->setViewMode(QListView::IconMode);
    photoList->setIconSize(QSize(96, 96));
    photoList->setMovement(QListView::Static);
    photoList->setResizeMode(QListView::Adjust);
    photoList->setWrapping(false);
    photoList->setFixedHeight(140);
    addPhotoButton = commandButton("addPhotoButton", QStringLiteral("Add Photo..."),
                                   QStringLiteral("Adds a JPEG, PNG or WebP file."));
    pasteButton = commandButton("pasteButton", QStringLiteral("Paste Photo"),
                                QStringLiteral("Adds the picture on the clipboard."));
    removeButton = commandButton("removeButton", QStringLiteral("Remove Photo"),
                                 QStringLiteral("Removes the chosen photo."));
    firstButton = commandButton("firstButton", QStringLiteral("Make First"),
                                QStringLiteral("Makes the chosen photo the one shown."));
    status = new QLabel(frame);
    status->setObjectName(QStringLiteral("status"));
    status->setAccessibleName(QStringLiteral("Edit Details status"));
    status->setWordWrap(true);
    saveButton = commandButton("saveButton", QStringLiteral("Save"),
                               QStringLiteral("Saves the details. Key: Ctrl+S."));
    cancelButton = commandButton("cancelButton", QStringLiteral("Cancel"),
                                 QStringLiteral("Closes without saving. Key: Escape."));

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    const auto row = [&](const QString& label, QWidget* field) {
        auto* l = new QLabel(label, frame);
        l->setBuddy(field);
        form->addRow(l, field);
    };
    row(QStringLiteral("S&ervings:"), servings);
    row(QStringLiteral("&Yield:"), yield);
    row(QStringLiteral("&Preparation:"), prepTime);
    row(QStringLiteral("C&ooking:"), cookTime);
    row(QStringLiteral("&Total time:"), totalTime);
    row(QStringLiteral("So&urce:"), source);
    row(QStringLiteral("T&ags:"), tags);
    row(QStringLiteral("&Rating:"), rating);
    row(QStringLiteral("&Notes:"), notes);
    row(QStringLiteral("P&hotos:"), photoList);

    auto* outer = new QVBoxLayout(frame);
    outer->setContentsMargins(kMargin, kCaption + kMargin, kMargin, kMargin);
    outer->setSpacing(6);
    outer->addLayout(form, 1);
    auto* photoButtons = new QHBoxLayout;
    photoButtons->addStretch(1);
    for (xpcmdbutton* b : {addPhotoButton, pasteButton, removeButton, firstButton})
        photoButtons->addWidget(b);
    outer->addLayout(photoButtons);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status, 1);
    bottom->addWidget(saveButton);
    bottom->addWidget(cancelButton);
    outer->addLayout(bottom);

    const QList<QWidget*> order = {servings,     yield,       prepTime,       cookTime,
                                   totalTime,    source,      tags,           rating,
                                   notes,        photoList,   addPhotoButton, pasteButton,
                                   removeButton, firstButton, saveButton,     cancelButton};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(addPhotoButton, &xpcmdbutton::Click, this, &EditDetails::addPhotoFromFile);
    connect(pasteButton, &xpcmdbutton::Click, this, [this] { pastePhoto(); });
    connect(removeButton, &xpcmdbutton::Click, this, &EditDetails::removePhoto);
    connect(firstButton, &xpcmdbutton::Click, this, &EditDetails::makeFirst);
    connect(saveButton, &xpcmdbutton::Click, this, &EditDetails::save);
    connect(cancelButton, &xpcmdbutton::Click, this, &QWidget::close);
    auto* saveKey = new QAction(this);
    saveKey->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(saveKey, &QAction::triggered, this, &EditDetails::save);
    addAction(saveKey);
    auto* pasteKey = new QAction(this);
    pasteKey->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
    connect(pasteKey, &QAction::triggered, this, [this] { pastePhoto(); });
    addAction(pasteKey);
    connect(photoList, &QListWidget::currentRowChanged, this, [this](int r) {
        removeButton->setEnabled(r >= 0);
        firstButton->setEnabled(r > 0);
    });
    fillPhotos(-1);
}

bool EditDetails::open() {
    bool read = false;
    runGuarded(m_dialogs, [&] {
        Details details;
        RecipeFile::fromDatabasePath(m_databasePath()).withConnection([&](Database& db) {
            details = readDetails(db, m_category, m_name);
        });
        fill(details);
        read = true;
    });
    if (!read)
        return false;
    show();
    raise();
    activateWindow();
    servings->setFocus();
    return true;
}

void EditDetails::fill(const Details& d) {
    servings->setText(d.servings ? QString::number(*d.servings, 'g', 6) : QString());
    yield->setText(d.yield);
    prepTime->setText(minutesText(d.prepMinutes));
    cookTime->setText(minutesText(d.cookMinutes));
    totalTime->setText(minutesText(d.totalMinutes));
    source->setText(d.source);
    tags->setText(d.tags.join(QStringLiteral(", ")));
    rating->setValue(d.rating);
    notes->setPlainText(d.notes);
    m_photos = d.photos;
    fillPhotos(m_photos.isEmpty() ? -1 : 0);
}

void EditDetails::fillPhotos(int current) {
    photoList->clear();
    for (qsizetype i = 0; i < m_photos.size(); ++i) {
        const Photo& p = m_photos.at(i);
        QPixmap thumb;
        thumb.loadFromData(p.thumbnail, "PNG");
        auto* item = new QListWidgetItem(QIcon(thumb), photoCaption(p, static_cast<int>(i)));
        item->setData(Qt::AccessibleTextRole, QStringLiteral("Photo %1 of %2, %3")
                                                  .arg(i + 1)
                                                  .arg(m_photos.size())
                                                  .arg(photoCaption(p, static_cast<int>(i))));
        photoList->addItem(item);
    }
    photoList->setCurrentRow(current);
    removeButton->setEnabled(current >= 0);
    firstButton->setEnabled(current > 0);
    addPhotoButton->setEnabled(m_photos.size() < kMaxPhotos);
    pasteButton->setEnabled(m_photos.size() < kMaxPhotos);
}

Details EditDetails::typed() const {
    Details d;
    const auto take = [&d](const char* key, const QString& value) {
        applySetting(d, QLatin1String(key) + QLatin1Char('=') + value);
    };
    take("servings", servings->text());
    take("yield", yield->text());
    take("prep", prepTime->text());
    take("cook", cookTime->text());
    take("total", totalTime->text());
    take("source", source->text());
    d.tags = tagsFrom(tags->text());
    d.rating = rating->value();
    // Notes keep their lines, which a KEY=VALUE setting would not.
    d.notes = notes->toPlainText().trimmed();
    d.photos = m_photos;
    return d;
}

bool EditDetails::save() {
    bool saved = false;
    runGuarded(m_dialogs, [&] {
        const Details details = typed();
        RecipeFile::fromDatabasePath(m_databasePath()).withConnection([&](Database& db) {
            writeDetails(db, m_category, m_name, details);
        });
        saved = true;
    });
    if (!saved) {
        status->setText(QStringLiteral("Not saved: nothing was changed in the file."));
        return false;
    }
    emit this->saved();
    close();
    return true;
}

void EditDetails::addPhoto(const Photo& photo) {
    if (m_photos.size() >= kMaxPhotos)
        throw StoreError(
            QStringLiteral("A recipe keeps at most %1 photos: remove one first.").arg(kMaxPhotos));
    m_photos.append(photo);
    fillPhotos(static_cast<int>(m_photos.size() - 1));
    status->setText(QStringLiteral("Photo added; Save keeps it."));
}

void EditDetails::addPhotoFromFile() {
    runGuarded(m_dialogs, [&] {
        if (m_photos.size() >= kMaxPhotos)
            throw StoreError(QStringLiteral("A recipe keeps at most %1 photos: remove one first.")
                                 .arg(kMaxPhotos));
        const QString file = m_dialogs.openFileName(
            QStringLiteral("Add a Photo"),
            QStringLiteral("Photos (*.jpg *.jpeg *.png *.webp);;All files (*)"));
        if (file.isEmpty())
            return;
        addPhoto(photoFromFile(file));
    });
}

void EditDetails::pastePhoto(const QMimeData* given) {
    runGuarded(m_dialogs, [&] {
        const QMimeData* mime = given ? given : QApplication::clipboard()->mimeData();
        if (mime) {
            // The picture's own bytes where the clipboard offers them, so nothing is re-encoded.
            for (const char* type : {"image/jpeg", "image/png", "image/webp"})
                if (mime->hasFormat(QLatin1String(type))) {
                    addPhoto(photoFromBytes(mime->data(QLatin1String(type)),
                                            QStringLiteral("pasted picture")));
                    return;
                }
            if (mime->hasImage()) {
                const QImage image = qvariant_cast<QImage>(mime->imageData());
                QByteArray png;
                QBuffer out(&png);
                out.open(QIODevice::WriteOnly);
                if (!image.isNull() && image.save(&out, "PNG")) {
                    addPhoto(photoFromBytes(png, QStringLiteral("pasted picture")));
                    return;
                }
            }
            for (const QUrl& url : mime->urls())
                if (url.isLocalFile()) {
                    addPhoto(photoFromFile(url.toLocalFile()));
                    return;
                }
        }
        throw StoreError(QStringLiteral("The clipboard holds no picture to paste. Copy a photo "
                                        "first, or add one from a file."));
    });
}

void EditDetails::removePhoto() {
    const int row = photoList->currentRow();
    if (row < 0 || row >= m_photos.size())
        return;
    m_photos.removeAt(row);
    fillPhotos(m_photos.isEmpty() ? -1 : std::min(row, static_cast<int>(m_photos.size() - 1)));
    status->setText(QStringLiteral("Photo removed; Save keeps the change."));
}

void EditDetails::makeFirst() {
    const int row = photoList->currentRow();
    if (row <= 0 || row >= m_photos.size())
        return;
    m_photos.move(row, 0);
    fillPhotos(0);
    status->setText(QStringLiteral("Photo made first; Save keeps the change."));
}

void EditDetails::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    frame->setGeometry(0, 0, width(), height());
    CaptionButtons{minimiseButton, maximiseButton, closeButton}.place(width());
}

} // namespace kb
