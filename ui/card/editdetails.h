#pragma once

#include "details/details.h"

#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QMimeData;
class QPlainTextEdit;
class QSpinBox;

namespace kb {

class Dialogs;
class xp_canvas;
class xpcmdbutton;
class xptopbuttons;

// The "Edit Details..." window of one recipe: servings, yield, times, source, tags, rating,
// notes and photos (added from a file or pasted, removed, made the first). Save writes them in
// one transaction and closes the window; a failure is said in words and everything typed
// stays on screen. Modal over the program while shown, but not waited for.
class EditDetails : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 560;
    static constexpr int kHeight = 560;

    // `databasePath` gives the recipe file's path without ".mdb".
    EditDetails(Dialogs& dialogs, std::function<QString()> databasePath, QString category,
                QString name, QWidget* parent = nullptr);

    // Reads the recipe's details into the fields and shows the window; false (said in words,
    // nothing shown) when they can't be read.
    bool open();
    // The details as typed; throws StoreError naming a value that can't be taken.
    Details typed() const;
    // Writes them; true when saved (the window then closes).
    bool save();
    void addPhotoFromFile();
    // Takes a picture from `data` (the clipboard's when null): image bytes, an image, or a
    // local image file.
    void pastePhoto(const QMimeData* given = nullptr);
    void removePhoto();
    void makeFirst();

    const QString& category() const { return m_category; }
    const QString& name() const { return m_name; }
    const QList<Photo>& photos() const { return m_photos; }

    // The controls.
    xp_canvas* frame = nullptr;
    xptopbuttons* closeButton = nullptr;
    xptopbuttons* maximiseButton = nullptr;
    xptopbuttons* minimiseButton = nullptr;
    QLineEdit* servings = nullptr;
    QLineEdit* yield = nullptr;
    QLineEdit* prepTime = nullptr;
    QLineEdit* cookTime = nullptr;
    QLineEdit* totalTime = nullptr;
    QLineEdit* source = nullptr;
    QLineEdit* tags = nullptr;
    QSpinBox* rating = nullptr;
    QPlainTextEdit* notes = nullptr;
    QListWidget* photoList = nullptr;
    xpcmdbutton* addPhotoButton = nullptr;
    xpcmdbutton* pasteButton = nullptr;
    xpcmdbutton* removeButton = nullptr;
    xpcmdbutton* firstButton = nullptr;
    QLabel* status = nullptr;
    xpcmdbutton* saveButton = nullptr;
    xpcmdbutton* cancelButton = nullptr;

  signals:
    void saved();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void fill(const Details& details);
    void fillPhotos(int current);
    void addPhoto(const Photo& photo);

    Dialogs& m_dialogs;
    std::function<QString()> m_databasePath;
    QString m_category;
    QString m_name;
    QList<Photo> m_photos;
};

} // namespace kb
