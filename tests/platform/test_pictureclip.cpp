#include "platform/pictureclip.h"

#include <QPainter>
#include <QTest>

class TestPictureClip : public QObject {
    Q_OBJECT

  private slots:
    void cutsOneRowIntoCells() {
        QImage strip(90, 21, QImage::Format_RGB32);
        for (int cell = 0; cell < 5; ++cell) {
            QPainter p(&strip);
            p.fillRect(cell * 18, 0, 18, 21, QColor(cell * 40, 0, 0));
        }
        const kb::PictureClip clip(QPixmap::fromImage(strip), 5);
        QCOMPARE(clip.cellCount(), 5);
        QCOMPARE(clip.cellWidth(), 18);
        QCOMPARE(clip.cellHeight(), 21);
        for (int cell = 0; cell < 5; ++cell) {
            const QImage img = clip.GraphicCell(cell).toImage();
            QCOMPARE(img.size(), QSize(18, 21));
            QCOMPARE(img.pixelColor(0, 0), QColor(cell * 40, 0, 0));
            QCOMPARE(img.pixelColor(17, 20), QColor(cell * 40, 0, 0));
        }
    }

    void outsideTheGridOrEmptyGivesNoPicture() {
        const kb::PictureClip clip(QPixmap(84, 21), 4);
        QVERIFY(clip.GraphicCell(-1).isNull());
        QVERIFY(clip.GraphicCell(4).isNull());
        const kb::PictureClip empty;
        QVERIFY(empty.GraphicCell(0).isNull());
        QCOMPARE(kb::PictureClip(QPixmap(10, 10), 0).cellCount(), 1); // no division by zero
    }
};

QTEST_MAIN(TestPictureClip)
#include "test_pictureclip.moc"
