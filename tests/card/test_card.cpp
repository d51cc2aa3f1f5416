// The Recipe Card and its "Edit Details..." window over the real main window: reached by a
// double click, Ctrl+Return and the tree's menu; every field found by its accessible name;
// details saved through the window and carried by a rename; a hostile image refused in words
// with the typing kept; the type size changed by Ctrl++ and kept between starts.

#include "core/database.h"
#include "details/details.h"
#include "kitchen/shoppingstore.h"
#include "platform/browser.h"
#include "tests/main/main_fixture.h"
#include "ui/card/editdetails.h"
#include "ui/card/recipecard.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/print/frmprint.h"

#include <QAction>
#include <QBoxLayout>
#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTest>
#include <QTreeView>

using namespace kb;
using namespace kb::test;

namespace {

QByteArray pngOf(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    image.save(&out, "PNG");
    return bytes;
}

quint32 crc32(const QByteArray& data) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= static_cast<quint8>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A valid PNG header that claims 60000 x 60000 pixels, and no picture behind it.
QByteArray hugePngHeader() {
    const auto be32 = [](quint32 v) {
        QByteArray b(4, '\0');
        for (int i = 0; i < 4; ++i)
            b[i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
        return b;
    };
    const QByteArray ihdr =
        QByteArray("IHDR") + be32(60000) + be32(60000) + QByteArray::fromHex("0802000000");
    return QByteArray::fromHex("89504E470D0A1A0A") + be32(13) + ihdr + be32(crc32(ihdr));
}

QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("test file not written");
    return path;
}

} // namespace

class TestCard : public QObject {
    Q_OBJECT

    std::unique_ptr<MainFixture> f;

    QAction* command(const QString& text) {
        for (QAction* a : f->form().treeCommands())
            if (a->text() == text)
                return a;
        return nullptr;
    }
    RecipeCard* card() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* c = qobject_cast<RecipeCard*>(w))
                return c;
        return nullptr;
    }
    EditDetails* editor() { return f->form().findChild<EditDetails*>(); }
    template <typename T = QLabel> T* named(QWidget* window, const QString& accessible) {
        for (T* w : window->findChildren<T*>())
            if (w->accessibleName() == accessible)
                return w;
        return nullptr;
    }
    Details stored(const QString& category, const QString& name) {
        auto db = Database::OpenDatabase(f->folder() + QStringLiteral("/Recipe"));
        Details d = readDetails(*db, category, name);
        db->Close();
        return d;
    }
    void doubleClick(const QString& name, const QString& category) {
        f->clickNode(name, category);
        const QRect rect = f->form().Tv->visualRect(f->node(name, category));
        QTest::mouseDClick(f->form().Tv->viewport(), Qt::LeftButton, {}, rect.center());
    }

  private slots:
    void init() {
        f = std::make_unique<MainFixture>();
        f->makeFile(sampleCollection());
        f->start();
    }
    void cleanup() {
        delete card();
        f.reset();
    }

    void showsEveryDetailByAccessibleName() {
        Details d;
        d.servings = 4;
        d.yield = QStringLiteral("2 litres");
        d.prepMinutes = 15;
        d.cookMinutes = 90;
        d.source = QStringLiteral("https://example.org/soup");
        d.tags = {QStringLiteral("winter"), QStringLiteral("vegetarian")};
        d.rating = 4;
        d.notes = QStringLiteral("Better the next day.");
        d.photos = {photoFromBytes(pngOf(800, 600, Qt::red))};
        {
            auto db = Database::OpenDatabase(f->folder() + QStringLiteral("/Recipe"));
            writeDetails(*db, QStringLiteral("Soups"), QStringLiteral("Tomato Soup"), d);
            db->Close();
        }
        // Nothing chosen: the program's own words.
        command(QStringLiteral("Recipe Card..."))->trigger();
        QCOMPARE(f->dialogs.messages(), QStringList{QStringLiteral("Please Choose a Recipe")});
        f->dialogs.clear();

        doubleClick(QStringLiteral("Tomato Soup"), QStringLiteral("Soups"));
        RecipeCard* c = card();
        QVERIFY(c && c->isVisible());
        QCOMPARE(c->accessibleName(), QStringLiteral("Recipe Card"));
        const QList<std::pair<QString, QString>> expected = {
            {QStringLiteral("Recipe name"), QStringLiteral("Tomato Soup")},
            {QStringLiteral("Author"), QStringLiteral("Ann")},
            {QStringLiteral("Servings"), QStringLiteral("4")},
            {QStringLiteral("Yield"), QStringLiteral("2 litres")},
            {QStringLiteral("Preparation time"), QStringLiteral("15 min")},
            {QStringLiteral("Cooking time"), QStringLiteral("1 h 30 min")},
            {QStringLiteral("Tags"), QStringLiteral("winter, vegetarian")},
            {QStringLiteral("Rating"), QStringLiteral("★★★★☆")},
            {QStringLiteral("Notes"), QStringLiteral("Better the next day.")},
        };
        for (const auto& [accessible, text] : expected) {
            QLabel* label = named(c, accessible);
            QVERIFY2(label, qPrintable(accessible));
            QCOMPARE(label->text(), text);
            QVERIFY(label->isVisible());
        }
        // A detail the recipe lacks takes no room.
        QVERIFY(!named(c, QStringLiteral("Total time"))->isVisible());
        QVERIFY(
            named(c, QStringLiteral("Ingredients"))->text().contains(QStringLiteral("1 onion")));
        const QString steps = named(c, QStringLiteral("Steps"))->text();
        QVERIFY(steps.startsWith(QStringLiteral("<ol")));
        QCOMPARE(steps.count(QStringLiteral("<li")), 2);
        auto* photo = named<PhotoView>(c, QStringLiteral("Photo"));
        QVERIFY(photo && !photo->image().isNull());
        QCOMPARE(photo->image().pixelColor(10, 10), QColor(Qt::red));
        // The source opens in the browser, only as a web address.
        c->openSource();
        QCOMPARE(f->opened, QStringList{QStringLiteral("https://example.org/soup")});

        // Printed with its photo through the preview.
        c->printCard();
        QVERIFY(c->preview && c->preview->isVisible());
        QFile page(f->folder() + QStringLiteral("/card.htm"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(page.readAll());
        QVERIFY(html.contains(QStringLiteral("<IMG SRC=\"card-photo.jpg\"")));
        QVERIFY(html.contains(QStringLiteral("<LI>Simmer 20 minutes.</LI>")));
        QVERIFY(!QImage(f->folder() + QStringLiteral("/card-photo.jpg")).isNull());

        // Ctrl+Return from the tree shows another recipe in the same card.
        f->clickNode(QStringLiteral("Bread"), QStringLiteral("baking"));
        f->form().Tv->setFocus();
        QTest::keyClick(f->form().Tv, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(card(), c);
        QCOMPARE(named(c, QStringLiteral("Recipe name"))->text(), QStringLiteral("Bread"));
        QVERIFY(!named<PhotoView>(c, QStringLiteral("Photo"))->isVisible());
        QVERIFY(f->dialogs.messages().isEmpty());
    }

    void editsDetailsThroughTheWindowAndARenameKeepsThem() {
        const QString photoFile =
            writeFile(f->folder() + QStringLiteral("/soup.png"), pngOf(300, 200, Qt::blue));
        f->clickNode(QStringLiteral("Tomato Soup"), QStringLiteral("Soups"));
        command(QStringLiteral("Edit Details..."))->trigger();
        EditDetails* e = editor();
        QVERIFY(e && e->isVisible());
        named<QLineEdit>(e, QStringLiteral("Servings"))->setText(QStringLiteral("6"));
        named<QLineEdit>(e, QStringLiteral("Preparation time"))->setText(QStringLiteral("1:15"));
        named<QLineEdit>(e, QStringLiteral("Source"))->setText(QStringLiteral("Grandma"));
        named<QLineEdit>(e, QStringLiteral("Tags"))->setText(QStringLiteral("soup, , Soup, red"));
        named<QSpinBox>(e, QStringLiteral("Rating"))->setValue(5);
        named<QPlainTextEdit>(e, QStringLiteral("Notes"))->setPlainText(QStringLiteral("a\nb"));
        f->dialogs.answerFile(photoFile);
        emit e->addPhotoButton->Click();
        QMimeData pasted;
        pasted.setData(QStringLiteral("image/png"), pngOf(40, 30, Qt::green));
        e->pastePhoto(&pasted);
        QCOMPARE(e->photoList->count(), 2);
        e->photoList->setCurrentRow(1);
        e->makeFirst();
        QVERIFY(e->save());
        QVERIFY(!e->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!editor());

        Details d = stored(QStringLiteral("Soups"), QStringLiteral("Tomato Soup"));
        QCOMPARE(d.servings, std::optional<double>(6));
        QCOMPARE(d.prepMinutes, 75);
        QCOMPARE(d.source, QStringLiteral("Grandma"));
        QCOMPARE(d.tags, QStringList({QStringLiteral("soup"), QStringLiteral("red")}));
        QCOMPARE(d.rating, 5);
        QCOMPARE(d.notes, QStringLiteral("a\nb"));
        QCOMPARE(d.photos.size(), 2);
        QCOMPARE(d.photos.at(0).width, 40);
        QCOMPARE(d.photos.at(1).data, pngOf(300, 200, Qt::blue));

        // Save Edited with a new name takes the details along.
        f->press(f->form().Edit);
        f->form().Text1->setText(QStringLiteral("Red Soup"));
        f->press(f->form().saveedited);
        QCOMPARE(stored(QStringLiteral("Soups"), QStringLiteral("Red Soup")), d);
        QVERIFY(stored(QStringLiteral("Soups"), QStringLiteral("Tomato Soup")).isEmpty());

        // The window reads back what was saved; removing a photo is kept too.
        f->dialogs.clear();
        f->clickNode(QStringLiteral("Red Soup"), QStringLiteral("Soups"));
        command(QStringLiteral("Edit Details..."))->trigger();
        e = editor();
        QCOMPARE(named<QLineEdit>(e, QStringLiteral("Preparation time"))->text(),
                 QStringLiteral("1 h 15 min"));
        QCOMPARE(named<QLineEdit>(e, QStringLiteral("Tags"))->text(), QStringLiteral("soup, red"));
        e->photoList->setCurrentRow(0);
        e->removePhoto();
        QVERIFY(e->save());
        QCOMPARE(stored(QStringLiteral("Soups"), QStringLiteral("Red Soup")).photos.size(), 1);
        QVERIFY(f->dialogs.messages().isEmpty());
    }

    void refusesAHostileImageOrAWrongValueInWordsAndKeepsTheTyping() {
        const QString huge = writeFile(f->folder() + QStringLiteral("/huge.png"), hugePngHeader());
        QByteArray jpeg;
        {
            QImage image(64, 64, QImage::Format_RGB32);
            image.fill(Qt::yellow);
            QBuffer out(&jpeg);
            out.open(QIODevice::WriteOnly);
            image.save(&out, "JPEG");
        }
        const QString truncated =
            writeFile(f->folder() + QStringLiteral("/cut.jpg"), jpeg.left(jpeg.size() / 3));
        f->clickNode(QStringLiteral("Lentil Soup"), QStringLiteral("Soups"));
        command(QStringLiteral("Edit Details..."))->trigger();
        EditDetails* e = editor();
        named<QLineEdit>(e, QStringLiteral("Servings"))->setText(QStringLiteral("3"));
        named<QPlainTextEdit>(e, QStringLiteral("Notes"))->setPlainText(QStringLiteral("mine"));
        for (const QString& file : {huge, truncated}) {
            f->dialogs.clear();
            f->dialogs.answerFile(file);
            e->addPhotoFromFile();
            QCOMPARE(f->dialogs.messages().size(), 1);
            QVERIFY2(f->dialogs.messages().first().contains(QFileInfo(file).fileName()),
                     qPrintable(f->dialogs.messages().first()));
        }
        QVERIFY(f->dialogs.messages().first().contains(QStringLiteral("can't be read")) ||
                f->dialogs.messages().first().contains(QStringLiteral("too large")));
        QCOMPARE(e->photoList->count(), 0);
        // A wrong value is said, nothing is written and the window stays as typed.
        f->dialogs.clear();
        named<QLineEdit>(e, QStringLiteral("Cooking time"))->setText(QStringLiteral("soon"));
        QVERIFY(!e->save());
        QCOMPARE(f->dialogs.messages().size(), 1);
        QVERIFY(f->dialogs.messages().first().contains(QStringLiteral("cook=soon")));
        QVERIFY(e->isVisible());
        QCOMPARE(named<QLineEdit>(e, QStringLiteral("Servings"))->text(), QStringLiteral("3"));
        QCOMPARE(named<QPlainTextEdit>(e, QStringLiteral("Notes"))->toPlainText(),
                 QStringLiteral("mine"));
        QVERIFY(stored(QStringLiteral("Soups"), QStringLiteral("Lentil Soup")).isEmpty());
        e->close();
    }

    void theCookbookShowsEachRecipesPhoto() {
        Details d;
        d.photos = {photoFromBytes(pngOf(500, 400, Qt::darkGreen))};
        {
            auto db = Database::OpenDatabase(f->folder() + QStringLiteral("/Recipe"));
            writeDetails(*db, QStringLiteral("Soups"), QStringLiteral("Lentil Soup"), d);
            db->Close();
        }
        f->clickNode(QStringLiteral("Soups"));
        f->dialogs.answer(vbYes);
        command(QStringLiteral("Print Cookbook..."))->trigger();
        frmprint* preview = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QStringLiteral("cookbookPreview"))
                preview = qobject_cast<frmprint*>(w);
        QVERIFY(preview && preview->isVisible());
        const QString page = preview->WB->source().toLocalFile();
        QFile file(page);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        // Only the recipe with a photo shows one, above its text.
        QCOMPARE(html.count(QStringLiteral("<IMG ")), 1);
        const qsizetype image = html.indexOf(QStringLiteral("<IMG SRC=\"photo-2.png\""));
        QVERIFY(image > html.indexOf(QStringLiteral("Tomato Soup<br>")));
        QVERIFY(image < html.lastIndexOf(QStringLiteral("Lentil Soup")));
        const QImage shown(QFileInfo(page).dir().filePath(QStringLiteral("photo-2.png")));
        QCOMPARE(shown.width(), kThumbnailSide);
    }

    void scalesConvertsTimesAndShopsAsTheCookAsks() {
        Details d;
        d.servings = 2;
        {
            auto db = Database::OpenDatabase(f->folder() + QStringLiteral("/Recipe"));
            writeDetails(*db, QStringLiteral("Soups"), QStringLiteral("Tomato Soup"), d);
            db->Close();
        }
        doubleClick(QStringLiteral("Tomato Soup"), QStringLiteral("Soups"));
        RecipeCard* c = card();
        QVERIFY(c);
        QCOMPARE(c->scaleBox->value(), 2.0);
        c->scaleBox->setValue(4);
        QCOMPARE(c->factor(), 2.0);
        QVERIFY(named(c, QStringLiteral("Ingredients"))->text().contains("12 tomatoes"));
        // Printed as shown; stored as written.
        c->printCard();
        QFile page(f->folder() + QStringLiteral("/card.htm"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(page.readAll()).contains(QStringLiteral("12 tomatoes")));
        {
            auto db = Database::OpenDatabase(f->folder() + QStringLiteral("/Recipe"));
            auto rs = db->OpenRecordset(QStringLiteral("Soups"));
            QVERIFY(rs->FindFirst(QStringLiteral("Tomato Soup"), false));
            QVERIFY(rs->Fields(2).value_or(QString()).contains(QStringLiteral("6 tomatoes")));
            rs->Close();
            db->Close();
        }

        // A time in a step is a countdown in the caption.
        QCOMPARE(c->timerButtons.size(), 1);
        QCOMPARE(c->timerButtons.first()->accessibleName(),
                 QStringLiteral("Timer, Step 2: 20 min"));
        emit c->timerButtons.first()->Click();
        QCOMPARE(c->countdownText(), QStringLiteral("Step 2, 20:00 left"));
        QTRY_COMPARE_WITH_TIMEOUT(c->countdownText(), QStringLiteral("Step 2, 19:59 left"), 3000);
        QVERIFY(c->windowTitle().startsWith(QStringLiteral("Step 2, 19:59 left")));

        // Exported as shown: scaled texts and servings, never the stored values that would
        // bring the unscaled recipe back on import.
        const QString exported = f->folder() + QStringLiteral("/shown");
        f->dialogs.answerFile(exported);
        c->exportCard();
        {
            QFile out(exported + QStringLiteral(".jsonld"));
            QVERIFY(out.open(QIODevice::ReadOnly));
            const QJsonObject o = QJsonDocument::fromJson(out.readAll()).object();
            QVERIFY(o.value("recipeIngredient").toArray().contains(QStringLiteral("12 tomatoes")));
            QCOMPARE(o.value("recipeYield").toVariant().toString(), QStringLiteral("4"));
            const QByteArray whole = QJsonDocument(o).toJson();
            QVERIFY2(!whole.contains("6 tomatoes"), whole.constData());
        }

        // On the shopping list at the card's factor.
        emit c->shopButton->Click();
        {
            auto db = Database::OpenDatabase(f->folder() + QStringLiteral("/Recipe"));
            const QList<kitchen::ListedRecipe> listed = kitchen::listedRecipes(*db);
            QCOMPARE(listed.size(), 1);
            QCOMPARE(listed.first().factor, 2.0);
            db->Close();
        }

        // Scaled to what the cook has of one ingredient; an ingredient it lacks is said.
        QVERIFY(c->scaleToWhatIHave(QStringLiteral("9 tomatoes")));
        QCOMPARE(c->scaleBox->value(), 3.0);
        QVERIFY(!c->scaleToWhatIHave(QStringLiteral("300 g flour")));
        QVERIFY(f->dialogs.messages().last().contains(QStringLiteral("flour")));

        // Units: a cup shown in millilitres, a recipe without servings scaled by a factor.
        doubleClick(QStringLiteral("Lentil Soup"), QStringLiteral("Soups"));
        QCOMPARE(c->scaleBox->accessibleName(), QStringLiteral("Times the recipe"));
        c->setUnits(kitchen::System::Metric);
        const QString metric = named(c, QStringLiteral("Ingredients"))->text();
        QVERIFY2(metric.contains(QStringLiteral(" ml")) && !metric.contains(QStringLiteral("cup")),
                 qPrintable(metric));

        // Its first scaling asks once how many it serves and keeps the answer; a second
        // change scales by servings without asking.
        const qsizetype asked = f->dialogs.prompts().size();
        f->dialogs.answerInput(QStringLiteral("3"));
        c->scaleBox->setValue(2);
        QCOMPARE(f->dialogs.prompts().size(), asked + 1);
        QCOMPARE(f->dialogs.prompts().last().kind, Prompt::Kind::Input);
        QCOMPARE(c->scaleBox->accessibleName(), QStringLiteral("Servings to cook"));
        QCOMPARE(c->scaleBox->value(), 6.0);
        QCOMPARE(c->factor(), 2.0);
        c->scaleBox->setValue(9);
        QCOMPARE(f->dialogs.prompts().size(), asked + 1);
        {
            auto db = Database::OpenDatabase(f->folder() + QStringLiteral("/Recipe"));
            QCOMPARE(
                readDetails(*db, QStringLiteral("Soups"), QStringLiteral("Lentil Soup")).servings,
                std::optional<double>(3));
            db->Close();
        }
    }

    void typeSizeAndSizeAreKeptAndTheCardReflows() {
        f->clickNode(QStringLiteral("Tomato Soup"), QStringLiteral("Soups"));
        command(QStringLiteral("Recipe Card..."))->trigger();
        RecipeCard* c = card();
        QVERIFY(c);
        QLabel* name = named(c, QStringLiteral("Recipe name"));
        c->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(c));
        const qreal before = name->font().pointSizeF();
        QTest::keyClick(c, Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(c, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(c->typeSize(), 16);
        QVERIFY(name->font().pointSizeF() > before);
        QTest::keyClick(c, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(c->typeSize(), 14);
        // Narrow, the steps go beneath the ingredients; wide, beside them.
        c->resize(420, 600);
        QTRY_VERIFY(named(c, QStringLiteral("Steps"))->y() >
                    named(c, QStringLiteral("Ingredients"))->y());
        // Every command stays whole on the narrow card, and on the card as it opens.
        for (const QSize size : {QSize(420, 600), QSize(RecipeCard::kWidth, RecipeCard::kHeight)}) {
            c->resize(size);
            QCoreApplication::processEvents();
            for (xpcmdbutton* b :
                 {c->editButton, c->printButton, c->exportButton, c->largerButton, c->smallerButton,
                  c->closeCommand, c->haveButton, c->shopButton}) {
                const QRect on = QRect(b->mapTo(c, QPoint(0, 0)), b->size());
                QVERIFY2(c->rect().contains(on) && b->width() >= 90,
                         qPrintable(b->accessibleName()));
            }
        }
        c->resize(420, 600);
        c->resize(1000, 700);
        QTRY_COMPARE(named(c, QStringLiteral("Steps"))->y(),
                     named(c, QStringLiteral("Ingredients"))->y());
        c->close();
        delete c;
        command(QStringLiteral("Recipe Card..."))->trigger();
        QVERIFY(card() && card() != nullptr);
        QCOMPARE(card()->typeSize(), 14);
        QCOMPARE(card()->size(), QSize(1000, 700));
    }
};

QTEST_MAIN(TestCard)
#include "test_card.moc"
