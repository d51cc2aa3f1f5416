// A recipe's details: kept beside it through every change, in every backup, and refused in
// words when an image is not one to trust.

#include "core/store_error.h"
#include "details/details.h"
#include "tests/history/history_fixture.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>

using namespace kb;
using namespace kb::test;

namespace {

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    image.save(&out, format);
    return bytes;
}

QByteArray picture(int w, int h, const char* format) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    return encoded(image, format);
}

quint32 crc32Of(const QByteArray& data) {
    quint32 crc = 0xffffffffU;
    for (const char c : data) {
        crc ^= static_cast<quint8>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320U & (0U - (crc & 1U)));
    }
    return ~crc;
}

// A well-formed PNG header claiming a picture far too large to decode, and no picture.
QByteArray hugePngHeader() {
    QByteArray ihdr("IHDR");
    const auto be32 = [](quint32 v) {
        QByteArray b(4, '\0');
        qToBigEndian(v, b.data());
        return b;
    };
    ihdr += be32(60000) + be32(60000) + QByteArray("\x08\x02\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + be32(13) + ihdr + be32(crc32Of(ihdr)) + be32(0) +
           QByteArray("IEND") + be32(crc32Of("IEND"));
}

Details everyKind() {
    Details d;
    d.servings = 4;
    d.yield = QStringLiteral("12 muffins");
    d.prepMinutes = 20;
    d.cookMinutes = 90;
    d.totalMinutes = 110;
    d.source = QStringLiteral("https://example.org/leek");
    d.tags = {QStringLiteral("Winter"), QStringLiteral("Soup")};
    d.rating = 4;
    d.notes = QStringLiteral("Less salt.");
    d.photos = {photoFromBytes(picture(600, 400, "JPEG")), photoFromBytes(picture(8, 8, "PNG"))};
    return d;
}

} // namespace

class TestDetails : public QObject {
    Q_OBJECT

  private slots:
    void detailsFollowTheirRecipeThroughEveryChange() {
        HistoryFixture f;
        DetailsFollower details([&f] { return f.now; });
        f.store->addFollower(&details);
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        f.addRecipe("Soups", "Onion");
        auto db = f.open();
        const Details kept = everyKind();
        writeDetails(*db, "Soups", "Leek", kept);
        QCOMPARE(readDetails(*db, "Soups", "Leek"), kept);
        QCOMPARE(readDetails(*db, "Soups", "Leek", false).photos.first().data, QByteArray());

        // A rename takes them along; an edit that keeps the name leaves them.
        f.setBoxes("Leek and Potato", "A", "I", "S");
        f.store->UpdateRecipe("Soups", "Leek");
        QVERIFY(readDetails(*db, "Soups", "Leek").isEmpty());
        QCOMPARE(readDetails(*db, "Soups", "Leek and Potato"), kept);

        // Deleted, they are kept aside, and come back with the recipe.
        f.store->DeleteRecipe("Soups", "Leek and Potato");
        QVERIFY(readDetails(*db, "Soups", "Leek and Potato").isEmpty());
        putBack(f.store->file(), f.history().first().id);
        QCOMPARE(readDetails(*db, "Soups", "Leek and Potato"), kept);

        // The same for a whole category.
        f.dialogs.answer(vbYes);
        f.store->SelectedCategory = "Soups";
        f.store->DeleteCategory("Soups");
        QVERIFY(readDetails(*db, "Soups", "Leek and Potato").isEmpty());
        for (const HistoryEntry& e : f.history())
            if (e.recipe.name() == QStringLiteral("Leek and Potato"))
                putBack(f.store->file(), e.id);
        QCOMPARE(readDetails(*db, "Soups", "Leek and Potato"), kept);

        // A new recipe that only shares the name of a deleted one starts without details.
        f.store->DeleteRecipe("Soups", "Leek and Potato");
        f.setBoxes("Leek and Potato", "Someone", "leeks", "Boil.");
        f.store->AddRecipe("Soups");
        QVERIFY(readDetails(*db, "Soups", "Leek and Potato").isEmpty());
        // Put back beside it, the deleted one comes back numbered, its details with it.
        putBack(f.store->file(), f.history().first().id);
        QCOMPARE(readDetails(*db, "Soups", "Leek and Potato (2)"), kept);
        QVERIFY(readDetails(*db, "Soups", "Leek and Potato").isEmpty());
        f.store->DeleteRecipe("Soups", "Leek and Potato (2)");

        // Kept aside no longer than the history keeps recipes.
        pruneDetails(*db, f.now.addDays(91));
        QCOMPARE(db->Query("SELECT count(*) FROM details.recipes").value(0).value(0).toInt(), 0);

        // Details are for a recipe that is there, and never a category.
        QVERIFY_THROWS_EXCEPTION(StoreError, writeDetails(*db, "Soups", "Nothing", kept));
        f.store->LoadCatalogue();
        QVERIFY(!f.tree().join('\n').contains("details"));
    }

    void aBackupAndItsRestoreCarryTheDetails() {
        HistoryFixture f;
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        const Details kept = everyKind();
        QString backup;
        {
            auto db = f.open();
            writeDetails(*db, "Soups", "Leek", kept);
            backup = makeBackup(*db);
            Details changed = kept;
            changed.photos.clear();
            changed.rating = 1;
            writeDetails(*db, "Soups", "Leek", changed);
            db->Close();
        }
        QVERIFY(QFile::exists(backup.chopped(4) + ".details"));
        const QString saved = restoreBackup(backup, f.base);
        auto db = f.open();
        QCOMPARE(readDetails(*db, "Soups", "Leek"), kept);
        // The copy of what was replaced holds the replaced details.
        db->Close();
        restoreBackup(saved, f.base);
        auto again = f.open();
        QCOMPARE(readDetails(*again, "Soups", "Leek").rating, 1);
    }

    void imagesAreCheckedBeforeTheyAreKept_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("said");
        const QByteArray jpeg = picture(300, 200, "JPEG");
        QTest::newRow("huge PNG header") << hugePngHeader() << "too large to open";
        QTest::newRow("truncated JPEG") << jpeg.left(jpeg.size() / 2) << "cut short";
        QTest::newRow("text") << QByteArray("<html>not a photo</html>")
                              << "not a JPEG, PNG or WebP image";
        QTest::newRow("BMP") << picture(4, 4, "BMP") << "not a JPEG, PNG or WebP image";
        QTest::newRow("over 10 MB") << QByteArray(kMaxPhotoBytes + 1, 'x') << "larger than 10 MB";
    }
    void imagesAreCheckedBeforeTheyAreKept() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, said);
        try {
            photoFromBytes(bytes, QStringLiteral("pie.jpg"));
            QFAIL("the image was taken");
        } catch (const StoreError& e) {
            QVERIFY2(e.message().contains(said) && e.message().contains("\"pie.jpg\""),
                     qPrintable(e.message()));
        }
    }

    void aPhotoKeepsItsBytesAndGetsAThumbnail() {
        for (const char* format : {"JPEG", "PNG", "WEBP"}) {
            const QByteArray bytes = picture(1024, 512, format);
            const Photo p = photoFromBytes(bytes);
            QCOMPARE(p.data, bytes);
            QCOMPARE(p.format, QString::fromLatin1(format).toLower());
            QCOMPARE(QImage::fromData(p.thumbnail).size(), QSize(256, 128));
        }
    }

    void detailsAreSetAsWritten_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("taken");
        QTest::newRow("servings") << "servings=4" << true;
        QTest::newRow("servings not a number") << "servings=four" << false;
        QTest::newRow("rating too high") << "rating=6" << false;
        QTest::newRow("clock time") << "cook=1:30" << true;
        QTest::newRow("written time") << "prep=1 h 30 min" << true;
        QTest::newRow("ISO time") << "total=PT1H30M" << true;
        QTest::newRow("vague time") << "total=a while" << false;
        QTest::newRow("unknown key") << "colour=red" << false;
        QTest::newRow("no value") << "servings" << false;
        QTest::newRow("missing photo") << "photo=/nowhere/pie.jpg" << false;
    }
    void detailsAreSetAsWritten() {
        QFETCH(QString, setting);
        QFETCH(bool, taken);
        Details d;
        bool ok = true;
        try {
            applySetting(d, setting);
        } catch (const StoreError&) {
            ok = false;
        }
        QCOMPARE(ok, taken);
        if (taken && setting.contains("=1"))
            QVERIFY(d.prepMinutes == 90 || d.cookMinutes == 90 || d.totalMinutes == 90);
    }
};

QTEST_MAIN(TestDetails)
#include "test_details.moc"
