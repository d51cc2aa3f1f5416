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
using namespace kb::test;

class TestXpCmdButton : public QObject {
    Q_OBJECT

    static constexpr int kHover = xpcmdbutton::FaceHover, kNormal = xpcmdbutton::FaceNormal,
                         kPressed = xpcmdbutton::FacePressed, kDefault = xpcmdbutton::FaceDefault,
                         kDisabled = xpcmdbutton::FaceDisabled;

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
        const QImage cell =
            QImage(QStringLiteral(":/buttons/xpcmdbutton.png")).copy(kHover * 18, 0, 18, 21);
        const int w = size.width(), h = size.height();
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) {
                QCOMPARE(shown.pixelColor(x, y), cell.pixelColor(x, y));
                QCOMPARE(shown.pixelColor(w - 3 + x, y), cell.pixelColor(15 + x, y));
                QCOMPARE(shown.pixelColor(x, h - 3 + y), cell.pixelColor(x, 18 + y));
                QCOMPARE(shown.pixelColor(w - 3 + x, h - 3 + y), cell.pixelColor(15 + x, 18 + y));
            }
        // The rim is stretched along the edges, the face fills the middle.
        QCOMPARE(shown.pixelColor(w / 2, 1), cell.pixelColor(9, 1));
        QCOMPARE(shown.pixelColor(w / 2, h - 2), cell.pixelColor(9, 19));
        QCOMPARE(shown.pixelColor(1, h / 2), cell.pixelColor(1, 10));
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
        moveTo(b, {40, 12});
        QCOMPARE(b->shownFace(), kHover);
        QVERIFY(b->isHoverPolling());
        // Still inside (the right edge counts as inside): the poll changes nothing.
        QTest::qWait(40);
        kb::Cursor::setFakePos(b->mapToGlobal(QPoint(80, 25)));
        QTest::qWait(30);
        QCOMPARE(b->shownFace(), kHover);
        QCOMPARE(log.count("MouseOut"), 0);

        kb::Cursor::setFakePos(b->mapToGlobal(QPoint(81, 12)));
        QTRY_COMPARE(log.count("MouseOut"), 1);
        QCOMPARE(b->shownFace(), kNormal);
        QVERIFY(!b->isHoverPolling());
        QTest::qWait(40); // once per hover
        QCOMPARE(log.entries, QStringList({"MouseMove(0,0,40,12)", "MouseOut"}));
    }

    void pressedFaceForEveryButton() {
        xpcmdbutton b;
        b.resize(80, 25);
        EventLog log(&b);
        press(&b, {5, 5}, Qt::RightButton, Qt::ShiftModifier);
        QCOMPARE(b.shownFace(), kPressed);
        moveTo(&b, {6, 5}, Qt::RightButton);
        QCOMPARE(b.shownFace(), kHover);
        moveTo(&b, {7, 5}, Qt::LeftButton | Qt::RightButton);
        QCOMPARE(b.shownFace(), kHover);
        moveTo(&b, {8, 5}, Qt::LeftButton);
        QCOMPARE(b.shownFace(), kPressed);
        moveTo(&b, {-20, 5}); // a captured move outside raises nothing and paints nothing
        QCOMPARE(b.shownFace(), kPressed);
        release(&b, {8, 5}, Qt::RightButton);
        QCOMPARE(b.shownFace(), kNormal);
        QCOMPARE(log.entries,
                 QStringList({"MouseDown(2,1,5,5)", "MouseMove(2,0,6,5)", "MouseMove(3,0,7,5)",
                              "MouseMove(1,0,8,5)", "MouseUp(2,0,8,5)"}));
    }

    void clickFollowsMouseUpInsideOnly() {
        xpcmdbutton b;
        b.resize(80, 25);
        EventLog log(&b);
        press(&b, {5, 5});
        release(&b, {5, 5});
        QCOMPARE(log.entries, QStringList({"MouseDown(1,0,5,5)", "MouseUp(1,0,5,5)", "Click"}));

        log.clear(); // released outside: no click, the rest face all the same
        press(&b, {5, 5});
        release(&b, {200, 5});
        QCOMPARE(log.count("Click"), 0);
        QCOMPARE(b.shownFace(), kNormal);

        log.clear(); // a double click clicks once
        press(&b, {5, 5});
        release(&b, {5, 5});
        dblClick(&b, {5, 5});
        release(&b, {5, 5});
        QCOMPARE(log.count("Click"), 1);
        QCOMPARE(log.count("MouseUp"), 2);
    }

    void captionIsCentredAndClipped_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("width");
        QTest::newRow("fits") << "Save" << 120;
        QTest::newRow("wider than the button") << "A caption far wider than its button" << 30;
    }
    void captionIsCentredAndClipped() {
        QFETCH(QString, caption);
        QFETCH(int, width);
        xpcmdbutton b;
        b.resize(width, 23);
        b.show();
        b.setCaption(caption);
        const QLabel* lbl = b.captionLabel();
        QCOMPARE(lbl->x(), (width - lbl->width()) / 2);
        QCOMPARE(lbl->x() < 0, lbl->width() > width);
    }

    void theCaptionLabelClicksLikeTheSurface() {
        xpcmdbutton b;
        b.setCaption(QStringLiteral("Save"));
        b.resize(120, 30);
        b.show();
        QLabel* lbl = b.captionLabel();
        QVERIFY(lbl->x() > 0 && lbl->y() >= 0);
        EventLog log(&b);
        moveTo(lbl, {2, 3});
        QCOMPARE(b.shownFace(), kHover);
        press(lbl, {2, 3});
        QCOMPARE(b.shownFace(), kPressed);
        release(lbl, {2, 3});
        const QString at = QStringLiteral("(0,0,%1,%2)").arg(lbl->x()).arg(lbl->y());
        QCOMPARE(log.entries, QStringList({"MouseMove" + at, "MouseDown(1,0,2,3)",
                                           "MouseUp(1,0,2,3)", "Click"}));
    }

    void keysPassThroughWithoutPaintingOrClicking() {
        xpcmdbutton b;
        b.resize(80, 25);
        EventLog log(&b);
        for (auto [key, text] : {std::pair{Qt::Key_Space, " "}, std::pair{Qt::Key_Return, "\r"}})
            for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
                QKeyEvent e(type, key, Qt::NoModifier, QString::fromLatin1(text));
                QApplication::sendEvent(&b, &e);
            }
        QCOMPARE(log.entries, QStringList({"KeyDown(32,0)", "KeyPress(32)", "KeyUp(32,0)",
                                           "KeyDown(13,0)", "KeyPress(13)", "KeyUp(13,0)"}));
        QCOMPARE(b.shownFace(), kNormal);
    }

    void stateChoosesTheRestFace() {
        xpcmdbutton b;
        b.resize(60, 23);
        b.setState(7); // a new button keeps the normal face
        QCOMPARE(b.shownFace(), kNormal);
        b.setState(1);
        QCOMPARE(b.shownFace(), kDefault);
        QCOMPARE(shownPixel(&b, {30, 1}), QColor(0xCE, 0xE7, 0xFF)); // and paints it
        b.setState(2); // other values keep the last choice
        QCOMPARE(b.shownFace(), kDefault);
        press(&b, {5, 5});
        release(&b, {5, 5});
        QCOMPARE(b.shownFace(), kDefault);
        b.setState(0);
        QCOMPARE(b.shownFace(), kNormal);
    }

    void disabledFaceAndCaptionColour() {
        QWidget host;
        auto* b = new xpcmdbutton(&host);
        b->setCaption(QStringLiteral("Delete"));
        b->resize(80, 25);
        b->setState(1);
        b->setEnabled(false);
        QCOMPARE(b->shownFace(), kDisabled);
        QCOMPARE(shownPixel(b, {40, 2}), QColor(0xF5, 0xF4, 0xEA));
        QCOMPARE(b->captionLabel()->palette().color(QPalette::Disabled, QPalette::WindowText),
                 QColor(161, 161, 146));
        QVERIFY(!b->Enabled());
        b->setEnabled(true);
        QCOMPARE(b->shownFace(), kDefault);
        QCOMPARE(b->captionLabel()->palette().color(QPalette::Active, QPalette::WindowText),
                 QColor(Qt::black));

        // Disabled through its window: the same face, yet the button's own flag stays set.
        host.setEnabled(false);
        QCOMPARE(b->shownFace(), kDisabled);
        QVERIFY(b->Enabled());
    }

    void disablingWhileHoveredStillRaisesMouseOut() {
        QWidget host;
        auto* b = new xpcmdbutton(&host);
        b->resize(80, 25);
        host.show();
        EventLog log(b);
        kb::Cursor::setFakePos(b->mapToGlobal(QPoint(5, 5)));
        moveTo(b, {5, 5});
        b->setEnabled(false);
        QVERIFY(b->isHoverPolling());
        kb::Cursor::setFakePos(b->mapToGlobal(QPoint(-5, 5)));
        QTRY_COMPARE(log.count("MouseOut"), 1);
        QCOMPARE(b->shownFace(), kDisabled);
    }

    void propertyBagLeavesOutDefaultsAndRestores() {
        QWidget form;
        auto make = [&](const char* name) {
            auto* b = new xpcmdbutton(&form);
            b->setObjectName(QLatin1String(name));
            return b;
        };
        auto* fresh = make("xpcmdbutton1");
        fresh->InitProperties();
        QCOMPARE(fresh->Caption(), QStringLiteral("xpcmdbutton1"));
        kb::PropertyBag bag;
        fresh->WriteProperties(bag);
        QCOMPARE(bag.count(), 0);

        auto* saved = make("print");
        saved->InitProperties();
        saved->setState(1);
        saved->setCaption(QStringLiteral("&Print"));
        QFont bigger = saved->font();
        bigger.setPointSize(bigger.pointSize() + 4);
        saved->setFont(bigger);
        saved->WriteProperties(bag);
        QCOMPARE(bag.names(), QStringList({"Caption", "Font", "State"}));

        auto* loaded = make("print");
        loaded->ReadProperties(bag);
        loaded->resize(80, 25);
        QCOMPARE(loaded->State(), 1);
        QCOMPARE(loaded->Caption(), QStringLiteral("&Print"));
        QCOMPARE(loaded->Font().pointSize(), bigger.pointSize());
        QCOMPARE(loaded->shownFace(), kDefault);

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
