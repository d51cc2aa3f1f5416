#include "controls_fixture.h"
#include "platform/cursor.h"
#include "platform/propertybag.h"
#include "ui/controls/xp_canvas.h"

#include <QLabel>
#include <QTest>

using kb::xp_canvas;
using kb::test::EventLog;
using kb::test::sendMouse;
using kb::test::shownPixel;

namespace {

// A borderless window covered by one frame, as every window of the program is built.
struct Host {
    QWidget window;
    xp_canvas* canvas;
    explicit Host(QSize size = {300, 200}) {
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        window.setGeometry(QRect(QPoint(100, 100), size));
        canvas = new xp_canvas(&window);
        canvas->setObjectName(QStringLiteral("xp_canvas1"));
        canvas->InitProperties();
    }
    void show() {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
};

const QColor kMagenta(255, 0, 255);

} // namespace

class TestXpCanvas : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { kb::Cursor::clearFakePos(); }

    void layoutOfA300By200Frame() {
        Host h;
        h.show();
        xp_canvas* c = h.canvas;
        QCOMPARE(c->geometry(), QRect(0, 0, 300, 200));
        QCOMPARE(c->piece(xp_canvas::PicTop)->geometry(), QRect(0, 0, 300, 29));
        QCOMPARE(c->piece(xp_canvas::PicLeft)->geometry(), QRect(0, 29, 5, 166));
        QCOMPARE(c->piece(xp_canvas::PicRight)->geometry(), QRect(295, 29, 5, 166));
        QCOMPARE(c->piece(xp_canvas::PicBottom)->geometry(), QRect(0, 195, 300, 5));
        QCOMPARE(c->clientRect(), QRect(QPoint(5, 29), QPoint(294, 194)));
        QCOMPARE(c->hotZone(2)->geometry(), QRect(9, 0, 282, 9));
        QCOMPARE(c->hotZone(6)->geometry(), QRect(291, 0, 9, 9));
        QCOMPARE(c->hotZone(4)->geometry(), QRect(291, -4, 9, 9));
        QCOMPARE(c->hotZone(7)->pos(), QPoint(0, 0));
        QCOMPARE(c->hotZone(5)->pos(), QPoint(0, 0));
        QCOMPARE(c->iconImage()->geometry(), QRect(6, 8, 16, 16));
        QCOMPARE(c->captionLabel()->pos(), QPoint(26, 6));
        QCOMPARE(c->shadowLabel()->pos(), QPoint(28, 8));
        QCOMPARE(c->hotZone(3), nullptr);

        // The curved corners are shown as they are; the middle of the bar is stretched.
        const QImage shown = c->grab().toImage();
        const QImage top(QStringLiteral(":/skin/top%1.png").arg(c->skinSet()));
        QCOMPARE(shown.pixelColor(0, 0), kMagenta);
        QCOMPARE(shown.pixelColor(299, 0), kMagenta);
        QCOMPARE(shown.pixelColor(4, 0), kMagenta);
        QCOMPARE(shown.pixelColor(295, 0), kMagenta);
        QCOMPARE(shown.pixelColor(150, 20), top.pixelColor(30, 20));
        QCOMPARE(shown.pixelColor(150, 100), QColor(236, 233, 216)); // client area
    }

    void captionSetsTitlesAndRunsTheLayout() {
        Host h;
        EventLog log(h.canvas);
        QCOMPARE(h.canvas->Caption(), QStringLiteral("xp_canvas1"));
        h.canvas->setCaption(QStringLiteral("Kettlebox Recipe"));
        QCOMPARE(h.canvas->captionLabel()->text(), QStringLiteral("Kettlebox Recipe"));
        QCOMPARE(h.canvas->shadowLabel()->text(), QStringLiteral("Kettlebox Recipe"));
        QCOMPARE(h.window.windowTitle(), QStringLiteral("Kettlebox Recipe"));
        QCOMPARE(log.entries, QStringList({"Resize"}));
    }

    void pointersByFixedAndWindowState() {
        Host h;
        h.show();
        xp_canvas* c = h.canvas;
        auto shape = [](QWidget* w) { return w->cursor().shape(); };
        QCOMPARE(shape(c->piece(xp_canvas::PicLeft)), Qt::SizeHorCursor);
        QCOMPARE(shape(c->piece(xp_canvas::PicRight)), Qt::SizeHorCursor);
        QCOMPARE(shape(c->piece(xp_canvas::PicBottom)), Qt::SizeVerCursor);
        QCOMPARE(shape(c->hotZone(2)), Qt::SizeVerCursor);
        QCOMPARE(shape(c->hotZone(6)), Qt::SizeBDiagCursor);
        QCOMPARE(shape(c->hotZone(5)), Qt::SizeBDiagCursor);
        QCOMPARE(shape(c->hotZone(4)), Qt::SizeFDiagCursor);
        QCOMPARE(shape(c->hotZone(7)), Qt::SizeFDiagCursor);
        QCOMPARE(c->captionPicture(), int(xp_canvas::CaptionNormal));

        c->setFixed_Single(true);
        for (QWidget* w : {c->piece(xp_canvas::PicLeft), c->piece(xp_canvas::PicBottom),
                           c->hotZone(2), c->hotZone(4), c->hotZone(6)})
            QCOMPARE(shape(w), Qt::ArrowCursor);
        c->setFixed_Single(false);

        h.window.setWindowState(Qt::WindowMaximized);
        QCOMPARE(c->captionPicture(), int(xp_canvas::CaptionMaximized));
        QCOMPARE(shape(c->piece(xp_canvas::PicRight)), Qt::ArrowCursor);
        QCOMPARE(shape(c->hotZone(7)), Qt::ArrowCursor);
        QTRY_VERIFY(c->width() > 300); // the frame follows its window
        QVERIFY(c->grab().toImage().pixelColor(0, 0) != kMagenta);

        h.window.setWindowState(Qt::WindowNoState);
        QCOMPARE(c->captionPicture(), int(xp_canvas::CaptionNormal));
        QCOMPARE(shape(c->hotZone(7)), Qt::SizeFDiagCursor);

        // Minimised: the last drawing and pointers stay.
        c->setFixed_Single(true);
        h.window.setWindowState(Qt::WindowMinimized);
        c->setFixed_Single(false);
        QCOMPARE(shape(c->hotZone(7)), Qt::ArrowCursor);
        QCOMPARE(c->captionPicture(), int(xp_canvas::CaptionNormal));
    }

    void resizeTable_data() {
        QTest::addColumn<int>("edge");
        QTest::addColumn<QPoint>("travel");
        QTest::addColumn<QRect>("expected");
        const QRect g(100, 100, 300, 200);
        QTest::newRow("left") << 0 << QPoint(-10, 7) << g.adjusted(-10, 0, 0, 0);
        QTest::newRow("right 30") << 1 << QPoint(30, 0) << g.adjusted(0, 0, 30, 0);
        QTest::newRow("top") << 2 << QPoint(4, -12) << g.adjusted(0, -12, 0, 0);
        QTest::newRow("bottom") << 3 << QPoint(4, 12) << g.adjusted(0, 0, 0, 12);
        QTest::newRow("bottom-right") << 4 << QPoint(5, 6) << g.adjusted(0, 0, 5, 6);
        QTest::newRow("bottom-left") << 5 << QPoint(5, 6) << g.adjusted(5, 0, 0, 6);
        QTest::newRow("top-right") << 6 << QPoint(5, 6) << g.adjusted(0, 6, 5, 0);
        QTest::newRow("top-left") << 7 << QPoint(-10, -20) << g.adjusted(-10, -20, 0, 0);
        QTest::newRow("unknown edge") << 9 << QPoint(5, 6) << g;
        QTest::newRow("below zero") << 1 << QPoint(-400, 0) << g;
    }
    void resizeTable() {
        QFETCH(int, edge);
        QFETCH(QPoint, travel);
        QFETCH(QRect, expected);
        Host h;
        h.show();
        const QPoint start(500, 400);
        xp_canvas::ResizeFromDrag(&h.window, start, start + travel, edge);
        QTRY_COMPARE(h.window.geometry(), expected);
    }

    void borderDragsResizeOnceAtTheRelease() {
        Host h;
        h.show();
        QWidget* right = h.canvas->piece(xp_canvas::PicRight);
        kb::Cursor::setFakePos({400, 200});
        sendMouse(right, QEvent::MouseButtonPress, {2, 50}, Qt::LeftButton, Qt::LeftButton);
        kb::Cursor::setFakePos({430, 260});
        sendMouse(right, QEvent::MouseMove, {32, 110}, Qt::NoButton, Qt::LeftButton);
        QTest::qWait(20);
        QCOMPARE(h.window.geometry(), QRect(100, 100, 300, 200));
        sendMouse(right, QEvent::MouseButtonRelease, {32, 110}, Qt::LeftButton, Qt::NoButton);
        QTRY_COMPARE(h.window.geometry(), QRect(100, 100, 330, 200));
        QTRY_COMPARE(h.canvas->size(), QSize(330, 200));
        QCOMPARE(h.canvas->piece(xp_canvas::PicRight)->x(), 325);

        QWidget* corner = h.canvas->hotZone(7);
        kb::Cursor::setFakePos({100, 100});
        sendMouse(corner, QEvent::MouseButtonPress, {1, 1}, Qt::RightButton, Qt::RightButton);
        kb::Cursor::setFakePos({90, 80});
        sendMouse(corner, QEvent::MouseButtonRelease, {-9, -19}, Qt::RightButton, Qt::NoButton);
        QTRY_COMPARE(h.window.geometry(), QRect(90, 80, 340, 220));
    }

    void fixedFrameNeitherResizesNorMaximisesButMoves() {
        Host h;
        h.canvas->setFixed_Single(true);
        h.show();
        QWidget* bottom = h.canvas->piece(xp_canvas::PicBottom);
        kb::Cursor::setFakePos({200, 300});
        sendMouse(bottom, QEvent::MouseButtonPress, {50, 2}, Qt::LeftButton, Qt::LeftButton);
        kb::Cursor::setFakePos({200, 350});
        sendMouse(bottom, QEvent::MouseButtonRelease, {50, 52}, Qt::LeftButton, Qt::NoButton);
        QWidget* top = h.canvas->piece(xp_canvas::PicTop);
        sendMouse(top, QEvent::MouseButtonDblClick, {100, 15}, Qt::LeftButton, Qt::LeftButton);
        QTest::qWait(20);
        QCOMPARE(h.window.geometry(), QRect(100, 100, 300, 200));
        QCOMPARE(h.window.windowState(), Qt::WindowNoState);

        // Without a window manager to take the move, the window follows the pointer.
        sendMouse(top, QEvent::MouseButtonPress, {100, 15}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(top, QEvent::MouseMove, {140, 35}, Qt::NoButton, Qt::LeftButton);
        sendMouse(top, QEvent::MouseButtonRelease, {140, 35}, Qt::LeftButton, Qt::NoButton);
        QTRY_COMPARE(h.window.pos(), QPoint(140, 120));
        QCOMPARE(h.window.size(), QSize(300, 200));
    }

    void captionBarMovesWithAnyButtonAndMaximises() {
        Host h;
        h.show();
        QLabel* title = h.canvas->captionLabel();
        sendMouse(title, QEvent::MouseButtonPress, {5, 5}, Qt::RightButton, Qt::RightButton);
        sendMouse(title, QEvent::MouseMove, {15, 5}, Qt::NoButton, Qt::RightButton);
        sendMouse(title, QEvent::MouseButtonRelease, {15, 5}, Qt::RightButton, Qt::NoButton);
        QTRY_COMPARE(h.window.pos(), QPoint(110, 100));

        // The icon does nothing.
        QLabel* icon = h.canvas->iconImage();
        sendMouse(icon, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(icon, QEvent::MouseMove, {25, 5}, Qt::NoButton, Qt::LeftButton);
        sendMouse(icon, QEvent::MouseButtonRelease, {25, 5}, Qt::LeftButton, Qt::NoButton);
        QTest::qWait(20);
        QCOMPARE(h.window.pos(), QPoint(110, 100));

        QWidget* top = h.canvas->piece(xp_canvas::PicTop);
        sendMouse(top, QEvent::MouseButtonDblClick, {100, 15}, Qt::LeftButton, Qt::LeftButton);
        QVERIFY(h.window.windowState() & Qt::WindowMaximized);
        QTRY_VERIFY(h.window.width() > 300);
        // Maximised: pressing the bar does not move, a border drag changes nothing.
        const QRect maximised = h.window.geometry();
        sendMouse(top, QEvent::MouseButtonPress, {100, 15}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(top, QEvent::MouseMove, {160, 45}, Qt::NoButton, Qt::LeftButton);
        sendMouse(top, QEvent::MouseButtonRelease, {160, 45}, Qt::LeftButton, Qt::NoButton);
        xp_canvas::ResizeFromDrag(&h.window, {0, 0}, {40, 40}, xp_canvas::EdgeBottomRight);
        QTest::qWait(20);
        QCOMPARE(h.window.geometry(), maximised);
        sendMouse(title, QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(h.window.windowState(), Qt::WindowNoState);
    }

    void surfaceEventsReachTheHost() {
        Host h;
        h.show();
        EventLog log(h.canvas);
        sendMouse(h.canvas, QEvent::MouseButtonPress, {50, 60}, Qt::LeftButton, Qt::LeftButton,
                  Qt::ControlModifier);
        sendMouse(h.canvas, QEvent::MouseButtonRelease, {50, 60}, Qt::LeftButton, Qt::NoButton);
        sendMouse(h.canvas, QEvent::MouseButtonDblClick, {50, 60}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(log.entries,
                 QStringList({"MouseDown(1,2,50,60)", "MouseUp(1,0,50,60)", "Click", "DblClick"}));
        // Presses on the strips are the frame's own.
        log.clear();
        sendMouse(h.canvas->piece(xp_canvas::PicLeft), QEvent::MouseButtonPress, {1, 1},
                  Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(log.entries, QStringList());
    }

    void skinFollowsTheActiveWindow() {
        Host h;
        h.show();
        h.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&h.window));
        QTRY_COMPARE(h.canvas->skinSet(), int(xp_canvas::SkinActive));

        QWidget other;
        other.setGeometry(500, 400, 100, 100);
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTRY_COMPARE(h.canvas->skinSet(), int(xp_canvas::SkinInactive));
        const QImage inactiveTop(QStringLiteral(":/skin/top2.png"));
        QCOMPARE(shownPixel(h.canvas, {150, 20}), inactiveTop.pixelColor(30, 20));

        // Back and forth more than once: each watch hands over to the other.
        for (int round = 0; round < 2; ++round) {
            h.window.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&h.window));
            QTRY_COMPARE(h.canvas->skinSet(), int(xp_canvas::SkinActive));
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
            QTRY_COMPARE(h.canvas->skinSet(), int(xp_canvas::SkinInactive));
        }

        // SetFocus shows the active skin at once.
        EventLog log(h.canvas);
        h.canvas->SetFocus();
        QCOMPARE(h.canvas->skinSet(), int(xp_canvas::SkinActive));
        QCOMPARE(log.count("Resize"), 1);
    }

    void propertyBag() {
        Host h;
        kb::PropertyBag bag;
        h.canvas->WriteProperties(bag);
        QCOMPARE(bag.count(), 0);

        h.canvas->setCaption(QStringLiteral("Print"));
        h.canvas->setFixed_Single(true);
        QPixmap icon(16, 16);
        icon.fill(Qt::red);
        h.canvas->setIcon(icon);
        h.canvas->WriteProperties(bag);
        QCOMPARE(bag.names(), QStringList({"Caption", "Fixed_Single", "Icon"}));

        Host loaded;
        loaded.canvas->ReadProperties(bag);
        QCOMPARE(loaded.canvas->Caption(), QStringLiteral("Print"));
        QCOMPARE(loaded.window.windowTitle(), QStringLiteral("Print"));
        QVERIFY(loaded.canvas->Fixed_Single());
        QCOMPARE(loaded.canvas->Icon().toImage().pixelColor(3, 3), QColor(Qt::red));
    }
};

QTEST_MAIN(TestXpCanvas)
#include "test_xp_canvas.moc"
