#include "controls_fixture.h"
#include "platform/cursor.h"
#include "platform/propertybag.h"
#include "ui/controls/xpcmdbutton.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>

using kb::xpcmdbutton;
using kb::test::EventLog;
using kb::test::sendMouse;
using kb::test::shownPixel;

class TestXpCmdButton : public QObject {
    Q_OBJECT

    QImage faceCell(int face) {
        return QImage(QStringLiteral(":/buttons/xpcmdbutton.png")).copy(face * 18, 0, 18, 21);
    }

  private slots:
    void cleanup() { kb::Cursor::clearFakePos(); }

    void nineSliceKeepsCornersAndStretchesTheRest_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("small") << QSize(40, 23);
        QTest::newRow("large") << QSize(160, 64);
    }
    void nineSliceKeepsCornersAndStretchesTheRest() {
        QFETCH(QSize, size);
        QWidget host;
        auto* b = new xpcmdbutton(&host);
        b->setCaption(QString());
        b->resize(size);
        host.show(); // delivers the resize, which paints the rest face
        b->PaintFace(xpcmdbutton::FaceHover);
        const QImage shown = b->grab().toImage();
        const QImage cell = faceCell(xpcmdbutton::FaceHover);
        const int w = size.width(), h = size.height();
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) {
                QCOMPARE(shown.pixelColor(x, y), cell.pixelColor(x, y));
                QCOMPARE(shown.pixelColor(w - 3 + x, y), cell.pixelColor(15 + x, y));
                QCOMPARE(shown.pixelColor(x, h - 3 + y), cell.pixelColor(x, 18 + y));
                QCOMPARE(shown.pixelColor(w - 3 + x, h - 3 + y), cell.pixelColor(15 + x, 18 + y));
            }
        // The rim is stretched along the edges, the face fills the middle.
        QCOMPARE(shown.pixelColor(w / 2, 1), QColor(0xFF, 0xF0, 0xCF));
        QCOMPARE(shown.pixelColor(w / 2, h - 2), QColor(0xE5, 0x97, 0x00));
        QCOMPARE(shown.pixelColor(1, h / 2), QColor(0xFC, 0xCA, 0x69));
        QCOMPARE(shown.pixelColor(w / 2, 3), cell.pixelColor(9, 3));
        QCOMPARE(shown.pixelColor(w - 4, h - 4), cell.pixelColor(14, 17));
    }

    void tinyButtonsPaintWithoutFailing() {
        xpcmdbutton b;
        for (QSize s : {QSize(0, 0), QSize(2, 2), QSize(5, 4)}) {
            b.resize(s);
            b.PaintFace(xpcmdbutton::FaceNormal);
            QCOMPARE(b.shownFace(), 0);
        }
    }

    void hoverShowsUntilThePollFindsThePointerOutside() {
        QWidget host;
        host.resize(200, 100);
        auto* b = new xpcmdbutton(&host);
        b->setGeometry(10, 10, 80, 25);
        host.show();
        EventLog log(b);
        QVERIFY(!b->isHoverPolling());

        kb::Cursor::setFakePos(b->mapToGlobal(QPoint(40, 12)));
        sendMouse(b, QEvent::MouseMove, {40, 12}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(b->shownFace(), int(xpcmdbutton::FaceHover));
        QCOMPARE(shownPixel(b, {40, 1}), QColor(0xFF, 0xF0, 0xCF));
        QVERIFY(b->isHoverPolling());
        QTest::qWait(40); // still inside: the poll changes nothing
        QCOMPARE(b->shownFace(), int(xpcmdbutton::FaceHover));
        QCOMPARE(log.count("MouseOut"), 0);

        // The right edge counts as inside.
        kb::Cursor::setFakePos(b->mapToGlobal(QPoint(80, 25)));
        QTest::qWait(30);
        QCOMPARE(log.count("MouseOut"), 0);

        kb::Cursor::setFakePos(b->mapToGlobal(QPoint(81, 12)));
        QTRY_COMPARE(log.count("MouseOut"), 1);
        QCOMPARE(b->shownFace(), int(xpcmdbutton::FaceNormal));
        QVERIFY(!b->isHoverPolling());
        QTest::qWait(40);
        QCOMPARE(log.count("MouseOut"), 1); // once per hover
        QCOMPARE(log.entries, QStringList({"MouseMove(0,0,40,12)", "MouseOut"}));
    }

    void pressedFaceForEveryButton() {
        xpcmdbutton b;
        b.resize(80, 25);
        EventLog log(&b);
        sendMouse(&b, QEvent::MouseButtonPress, {5, 5}, Qt::RightButton, Qt::RightButton,
                  Qt::ShiftModifier);
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FacePressed));
        sendMouse(&b, QEvent::MouseMove, {6, 5}, Qt::NoButton, Qt::RightButton);
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FaceHover));
        sendMouse(&b, QEvent::MouseMove, {7, 5}, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FaceHover));
        sendMouse(&b, QEvent::MouseMove, {8, 5}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FacePressed));
        // A captured move outside raises nothing and paints nothing.
        sendMouse(&b, QEvent::MouseMove, {-20, 5}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FacePressed));
        sendMouse(&b, QEvent::MouseButtonRelease, {8, 5}, Qt::RightButton, Qt::NoButton);
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FaceNormal));
        QCOMPARE(log.entries,
                 QStringList({"MouseDown(2,1,5,5)", "MouseMove(2,0,6,5)", "MouseMove(3,0,7,5)",
                              "MouseMove(1,0,8,5)", "MouseUp(2,0,8,5)"}));
    }

    void clickFollowsMouseUpInsideOnly() {
        xpcmdbutton b;
        b.resize(80, 25);
        EventLog log(&b);
        sendMouse(&b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&b, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(log.entries, QStringList({"MouseDown(1,0,5,5)", "MouseUp(1,0,5,5)", "Click"}));

        log.clear(); // released outside: no click, the rest face all the same
        sendMouse(&b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&b, QEvent::MouseButtonRelease, {200, 5}, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(log.count("Click"), 0);
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FaceNormal));

        log.clear(); // a double click clicks once
        sendMouse(&b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&b, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
        sendMouse(&b, QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&b, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(log.count("Click"), 1);
        QCOMPARE(log.count("MouseUp"), 2);
    }

    void theCaptionLabelClicksLikeTheSurface() {
        xpcmdbutton b;
        b.setCaption(QStringLiteral("Save"));
        b.resize(120, 30);
        b.show();
        QLabel* lbl = b.captionLabel();
        QVERIFY(lbl->x() > 0 && lbl->y() >= 0);
        QCOMPARE(lbl->x(), (120 - lbl->width()) / 2);
        EventLog log(&b);
        sendMouse(lbl, QEvent::MouseMove, {2, 3}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FaceHover));
        sendMouse(lbl, QEvent::MouseButtonPress, {2, 3}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FacePressed));
        sendMouse(lbl, QEvent::MouseButtonRelease, {2, 3}, Qt::LeftButton, Qt::NoButton);
        const QString at = QStringLiteral("(0,0,%1,%2)").arg(lbl->x()).arg(lbl->y());
        QCOMPARE(log.entries, QStringList({"MouseMove" + at, "MouseDown(1,0,2,3)",
                                           "MouseUp(1,0,2,3)", "Click"}));
    }

    void keysPassThroughWithoutPaintingOrClicking() {
        xpcmdbutton b;
        b.resize(80, 25);
        EventLog log(&b);
        for (int key : {int(Qt::Key_Space), int(Qt::Key_Return)}) {
            const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QStringLiteral("\r");
            QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
            QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
            QApplication::sendEvent(&b, &down);
            QApplication::sendEvent(&b, &up);
        }
        QCOMPARE(log.entries, QStringList({"KeyDown(32,0)", "KeyPress(32)", "KeyUp(32,0)",
                                           "KeyDown(13,0)", "KeyPress(13)", "KeyUp(13,0)"}));
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FaceNormal));
    }

    void stateChoosesTheRestFace() {
        xpcmdbutton b;
        b.resize(60, 23);
        b.setState(7); // a new button keeps the normal face
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FaceNormal));
        b.setState(1);
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FaceDefault));
        QCOMPARE(shownPixel(&b, {30, 1}), QColor(0xCE, 0xE7, 0xFF));
        b.setState(2); // other values keep the last choice
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FaceDefault));
        sendMouse(&b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&b, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FaceDefault));
        b.setState(0);
        QCOMPARE(b.shownFace(), int(xpcmdbutton::FaceNormal));
    }

    void disabledFaceAndCaptionColour() {
        QWidget host;
        auto* b = new xpcmdbutton(&host);
        b->setCaption(QStringLiteral("Delete"));
        b->resize(80, 25);
        b->setState(1);
        b->setEnabled(false);
        QCOMPARE(b->shownFace(), int(xpcmdbutton::FaceDisabled));
        QCOMPARE(shownPixel(b, {40, 2}), QColor(0xF5, 0xF4, 0xEA));
        QCOMPARE(b->captionLabel()->palette().color(QPalette::Disabled, QPalette::WindowText),
                 QColor(161, 161, 146));
        QVERIFY(!b->Enabled());
        b->setEnabled(true);
        QCOMPARE(b->shownFace(), int(xpcmdbutton::FaceDefault));
        QCOMPARE(b->captionLabel()->palette().color(QPalette::Active, QPalette::WindowText),
                 QColor(0, 0, 0));

        // Disabled through its window: the same face, yet the button's own flag stays set.
        host.setEnabled(false);
        QCOMPARE(b->shownFace(), int(xpcmdbutton::FaceDisabled));
        QVERIFY(b->Enabled());
    }

    void disablingWhileHoveredStillRaisesMouseOut() {
        QWidget host;
        auto* b = new xpcmdbutton(&host);
        b->resize(80, 25);
        host.show();
        EventLog log(b);
        kb::Cursor::setFakePos(b->mapToGlobal(QPoint(5, 5)));
        sendMouse(b, QEvent::MouseMove, {5, 5}, Qt::NoButton, Qt::NoButton);
        b->setEnabled(false);
        QVERIFY(b->isHoverPolling());
        kb::Cursor::setFakePos(b->mapToGlobal(QPoint(-5, 5)));
        QTRY_COMPARE(log.count("MouseOut"), 1);
        QCOMPARE(b->shownFace(), int(xpcmdbutton::FaceDisabled));
    }

    void longCaptionIsCentredAndClipped() {
        xpcmdbutton b;
        b.resize(30, 23);
        b.show();
        b.setCaption(QStringLiteral("A caption far wider than its button"));
        QVERIFY(b.captionLabel()->x() < 0);
        QCOMPARE(b.captionLabel()->x(), (30 - b.captionLabel()->width()) / 2);
    }

    void propertyBagLeavesOutDefaultsAndRestores() {
        QWidget form;
        auto* fresh = new xpcmdbutton(&form);
        fresh->setObjectName(QStringLiteral("xpcmdbutton1"));
        fresh->InitProperties();
        QCOMPARE(fresh->Caption(), QStringLiteral("xpcmdbutton1"));
        kb::PropertyBag bag;
        fresh->WriteProperties(bag);
        QCOMPARE(bag.count(), 0);

        auto* saved = new xpcmdbutton(&form);
        saved->setObjectName(QStringLiteral("print"));
        saved->InitProperties();
        saved->setState(1);
        saved->setCaption(QStringLiteral("&Print"));
        QFont bigger = saved->font();
        bigger.setPointSize(bigger.pointSize() + 4);
        saved->setFont(bigger);
        saved->WriteProperties(bag);
        QCOMPARE(bag.names(), QStringList({"Caption", "Font", "State"}));

        auto* loaded = new xpcmdbutton(&form);
        loaded->setObjectName(QStringLiteral("print"));
        loaded->ReadProperties(bag);
        loaded->resize(80, 25);
        QCOMPARE(loaded->State(), 1);
        QCOMPARE(loaded->Caption(), QStringLiteral("&Print"));
        QCOMPARE(loaded->Font().pointSize(), bigger.pointSize());
        QCOMPARE(loaded->shownFace(), int(xpcmdbutton::FaceDefault));

        kb::PropertyBag disabled;
        loaded->setEnabled(false);
        loaded->WriteProperties(disabled);
        QCOMPARE(disabled.ReadProperty("Enabled"), QVariant(false));
    }

    void accessKeyClicks() {
        QWidget form;
        auto* b = new xpcmdbutton(&form);
        b->setCaption(QStringLiteral("&Save"));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        EventLog log(b);
        QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
        QCOMPARE(log.count("Click"), 1);
        QVERIFY(!b->captionLabel()->text().contains(QLatin1Char('&')));
    }

    void assistiveTechnologyPressesQueued() {
        QWidget form;
        auto* b = new xpcmdbutton(&form);
        b->setCaption(QStringLiteral("&Cancel"));
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(b);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::Button);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Cancel"));
        QAccessibleActionInterface* action = iface->actionInterface();
        QVERIFY(action);
        QVERIFY(action->actionNames().contains(QAccessibleActionInterface::pressAction()));

        EventLog log(b);
        action->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(log.count("Click"), 0); // not while the client waits
        QTRY_COMPARE(log.count("Click"), 1);

        b->setEnabled(false);
        QVERIFY(iface->state().disabled);
        action->doAction(QAccessibleActionInterface::pressAction());
        QTest::qWait(20);
        QCOMPARE(log.count("Click"), 1);
    }
};

QTEST_MAIN(TestXpCmdButton)
#include "test_xpcmdbutton.moc"
