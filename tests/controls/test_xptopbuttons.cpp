#include "controls_fixture.h"
#include "platform/cursor.h"
#include "platform/propertybag.h"
#include "ui/controls/xptopbuttons.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QTest>

using kb::xptopbuttons;
using kb::test::EventLog;
using kb::test::sendMouse;
using kb::test::shownPixel;

class TestXpTopButtons : public QObject {
    Q_OBJECT

    static QColor stripPixel(int strip, int cell, QPoint at) {
        static const char* files[4] = {":/buttons/close.png", ":/buttons/maximize.png",
                                       ":/buttons/minimize.png", ":/buttons/restore.png"};
        return QImage(QString::fromLatin1(files[strip])).pixelColor(cell * 21 + at.x(), at.y());
    }

  private slots:
    void cleanup() { kb::Cursor::clearFakePos(); }

    void sizeStaysTwentyOnePixels() {
        QWidget host;
        auto* b = new xptopbuttons(&host);
        QCOMPARE(b->size(), QSize(21, 21));
        b->resize(60, 40);
        QCOMPARE(b->size(), QSize(21, 21));
        b->setGeometry(3, 4, 5, 6);
        QCOMPARE(b->geometry(), QRect(3, 4, 21, 21));
    }

    void valueChoosesTheStripAndKeepsItOutsideTheRange() {
        QWidget host;
        auto* b = new xptopbuttons(&host);
        host.show();
        QCOMPARE(b->stripIndex(), int(xptopbuttons::Close));
        b->setValue(-1);
        QCOMPARE(b->stripIndex(), int(xptopbuttons::Close));
        b->setValue(2);
        QCOMPARE(b->stripIndex(), int(xptopbuttons::Minimize));
        QCOMPARE(shownPixel(b, {8, 14}), stripPixel(2, 0, {8, 14}));
        b->setValue(4);
        QCOMPARE(b->Value(), 4);
        QCOMPARE(b->stripIndex(), int(xptopbuttons::Minimize));
        QCOMPARE(b->shownCell(), int(xptopbuttons::CellNormal));
    }

    void cellsFollowTheMouse() {
        QWidget host;
        auto* b = new xptopbuttons(&host);
        b->setValue(1);
        host.show();
        EventLog log(b);
        sendMouse(b, QEvent::MouseMove, {10, 10}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(b->shownCell(), int(xptopbuttons::CellHover));
        QCOMPARE(shownPixel(b, {3, 10}), stripPixel(1, 1, {3, 10}));
        sendMouse(b, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(b->shownCell(), int(xptopbuttons::CellPressed));
        sendMouse(b, QEvent::MouseMove, {21, 21}, Qt::NoButton, Qt::LeftButton); // edge: inside
        QCOMPARE(b->shownCell(), int(xptopbuttons::CellPressed));
        sendMouse(b, QEvent::MouseMove, {30, 10}, Qt::NoButton, Qt::LeftButton); // captured
        sendMouse(b, QEvent::MouseMove, {11, 10}, Qt::NoButton, Qt::RightButton);
        QCOMPARE(b->shownCell(), int(xptopbuttons::CellHover));
        sendMouse(b, QEvent::MouseButtonRelease, {11, 10}, Qt::LeftButton, Qt::NoButton);
        // Released over the button: the normal cell until the next move.
        QCOMPARE(b->shownCell(), int(xptopbuttons::CellNormal));
        QCOMPARE(log.entries, QStringList({"MouseMove(0,0,10,10)", "MouseDown(1,0,10,10)",
                                           "MouseMove(1,0,21,21)", "MouseMove(2,0,11,10)",
                                           "MouseUp(1,0,11,10)", "Click"}));
    }

    void pollRaisesMouseOutOnceAndShowsNormal() {
        QWidget host;
        host.resize(100, 50);
        auto* b = new xptopbuttons(&host);
        b->move(40, 10);
        kb::Cursor::setFakePos(b->mapToGlobal(QPoint(5, 5)));
        host.show();
        QVERIFY(b->isHoverPolling()); // running from creation
        EventLog log(b);
        sendMouse(b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
        QTest::qWait(30);
        QCOMPARE(log.count("MouseOut"), 0);
        kb::Cursor::setFakePos(b->mapToGlobal(QPoint(30, 5))); // dragged out, still held
        QTRY_COMPARE(log.count("MouseOut"), 1);
        QCOMPARE(b->shownCell(), int(xptopbuttons::CellNormal));
        QVERIFY(!b->isHoverPolling());
        sendMouse(b, QEvent::MouseButtonRelease, {30, 5}, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(log.count("Click"), 0);
        QTest::qWait(30);
        QCOMPARE(log.count("MouseOut"), 1);
    }

    void disabledShowsCellThreeOfTheSameStrip() {
        QWidget host;
        auto* b = new xptopbuttons(&host);
        b->setValue(3);
        host.show();
        b->setEnabled(false);
        QCOMPARE(b->shownCell(), int(xptopbuttons::CellDisabled));
        QCOMPARE(shownPixel(b, {10, 10}), stripPixel(3, 3, {10, 10}));
        b->setValue(1);
        QCOMPARE(b->shownCell(), int(xptopbuttons::CellDisabled));
        b->setEnabled(true);
        QCOMPARE(b->shownCell(), int(xptopbuttons::CellNormal));
        QCOMPARE(b->stripIndex(), 1);
    }

    void propertyBag() {
        QWidget form;
        auto* fresh = new xptopbuttons(&form);
        fresh->InitProperties();
        kb::PropertyBag bag;
        fresh->WriteProperties(bag);
        QCOMPARE(bag.count(), 0);

        auto* maximize = new xptopbuttons(&form);
        maximize->setValue(2);
        maximize->setEnabled(false);
        maximize->WriteProperties(bag);
        QCOMPARE(bag.names(), QStringList({"Enabled", "Value"}));

        auto* loaded = new xptopbuttons(&form);
        loaded->ReadProperties(bag);
        // While loading, the strip in use before is still shown ...
        QCOMPARE(loaded->stripIndex(), int(xptopbuttons::Close));
        QCOMPARE(loaded->shownCell(), int(xptopbuttons::CellDisabled));
        form.show();
        // ... and the loaded one by the time it is shown.
        QCOMPARE(loaded->stripIndex(), int(xptopbuttons::Minimize));
        QVERIFY(!loaded->Enabled());
    }

    void assistiveTechnologySeesANamedButton() {
        QWidget form;
        auto* b = new xptopbuttons(&form);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(b);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::Button);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Close"));
        b->setValue(3);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Restore"));
        EventLog log(b);
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(log.count("Click"), 0);
        QTRY_COMPARE(log.count("Click"), 1);
    }
};

QTEST_MAIN(TestXpTopButtons)
#include "test_xptopbuttons.moc"
