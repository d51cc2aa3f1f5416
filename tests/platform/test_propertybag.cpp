#include "platform/propertybag.h"

#include <QFont>
#include <QImage>
#include <QTest>

class TestPropertyBag : public QObject {
    Q_OBJECT

  private slots:
    void readsTheDefaultForMissingNames() {
        const kb::PropertyBag bag;
        QCOMPARE(bag.ReadProperty("State", 0), QVariant(0));
        QCOMPARE(bag.ReadProperty("Caption", "Save"), QVariant("Save"));
    }

    void leavesOutValuesEqualToTheirDefault() {
        kb::PropertyBag bag;
        bag.WriteProperty("State", 1, 0);
        bag.WriteProperty("Enabled", true, true);
        QCOMPARE(bag.names(), QStringList({"State"}));
        QCOMPARE(bag.ReadProperty("State", 0), QVariant(1));
        // Written back at its default, the older stored value must go too.
        bag.WriteProperty("State", 0, 0);
        QCOMPARE(bag.count(), 0);
        QCOMPARE(bag.ReadProperty("State", 0), QVariant(0));
    }

    void comparesFontsAndPicturesByValue() {
        kb::PropertyBag bag;
        QFont font(QStringLiteral("Tahoma"));
        bag.WriteProperty("Font", font, QFont(QStringLiteral("Tahoma")));
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        bag.WriteProperty("Icon", picture, picture.copy());
        QCOMPARE(bag.count(), 0);
        font.setBold(true);
        bag.WriteProperty("Font", font, QFont(QStringLiteral("Tahoma")));
        QCOMPARE(bag.ReadProperty("Font").value<QFont>(), font);
    }
};

QTEST_MAIN(TestPropertyBag)
#include "test_propertybag.moc"
