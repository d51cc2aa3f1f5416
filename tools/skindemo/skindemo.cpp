// A window made of the skinned frame, three caption buttons and a few push buttons.
//
//   kb_skindemo                 shows the window
//   kb_skindemo --shots DIR     walks through rest, hover, pressed, inactive, active and
//                               maximised, saving DIR/<state>.png, then quits

#include "platform/cursor.h"
#include "ui/controls/xp_canvas.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/controls/xptopbuttons.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <functional>

namespace {

struct Demo {
    QWidget host;
    kb::xp_canvas* canvas = nullptr;
    kb::xptopbuttons* close = nullptr;
    kb::xptopbuttons* maximize = nullptr;
    kb::xptopbuttons* minimize = nullptr;
    QList<kb::xpcmdbutton*> buttons;

    Demo(const Demo&) = delete;
    Demo& operator=(const Demo&) = delete;
    Demo() {
        host.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        host.resize(440, 260);
        host.move(60, 60);
        canvas = new kb::xp_canvas(&host);
        canvas->setObjectName(QStringLiteral("xp_canvas1"));
        canvas->InitProperties();
        canvas->setCaption(QStringLiteral("Kettlebox Recipe"));
        canvas->setIcon(QPixmap(QStringLiteral(":/icons/app16.png")));

        auto* field = new QLineEdit(canvas);
        field->setGeometry(20, 45, 260, 24);
        field->setText(QStringLiteral("Pumpkin soup"));

        const QStringList captions = {QStringLiteral("Save"), QStringLiteral("Cancel"),
                                      QStringLiteral("Edit"), QStringLiteral("Delete"),
                                      QStringLiteral("Print")};
        int y = 90;
        for (const QString& caption : captions) {
            auto* b = new kb::xpcmdbutton(canvas);
            b->setObjectName(caption.toLower());
            b->InitProperties();
            b->setCaption(caption);
            b->setGeometry(20, y, 90, 25);
            y += 31;
            buttons.append(b);
        }
        auto* wide = new kb::xpcmdbutton(canvas);
        wide->setObjectName(QStringLiteral("Website"));
        wide->InitProperties();
        wide->setGeometry(140, 90, 180, 46);
        buttons.append(wide);
        buttons[3]->setEnabled(false); // Delete
        buttons[4]->setState(1);       // Print: the default face

        auto placeCaptionButtons = [this] {
            const int right = canvas->width() - 5;
            close->move(right - 21, 4);
            maximize->move(right - 21 - 23, 4);
            minimize->move(right - 21 - 46, 4);
        };
        close = new kb::xptopbuttons(canvas);
        close->InitProperties();
        maximize = new kb::xptopbuttons(canvas);
        maximize->InitProperties();
        maximize->setValue(1);
        maximize->setEnabled(false);
        minimize = new kb::xptopbuttons(canvas);
        minimize->InitProperties();
        minimize->setValue(2);
        for (auto* b : {close, maximize, minimize})
            b->raise();
        placeCaptionButtons();
        QObject::connect(canvas, &kb::xp_canvas::Resize, canvas, placeCaptionButtons);
        QObject::connect(close, &kb::xptopbuttons::Click, &host, &QWidget::close);
        QObject::connect(minimize, &kb::xptopbuttons::Click, &host, &QWidget::showMinimized);
    }
};

void sendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Demo demo;
    demo.host.show();
    demo.host.activateWindow();

    const QStringList args = QCoreApplication::arguments();
    const int at = args.indexOf(QStringLiteral("--shots"));
    if (at < 0 || at + 1 >= args.size())
        return app.exec();

    const QString& dir = args.at(at + 1);
    QDir().mkpath(dir);
    auto shot = [&](const QString& name) {
        // The whole screen, so that the window is seen as the window system shows it.
        QScreen* screen = QGuiApplication::primaryScreen();
        screen->grabWindow(0).save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
        demo.host.grab().save(dir + QLatin1Char('/') + name + QStringLiteral("-window.png"));
    };

    QWidget other;
    other.setWindowTitle(QStringLiteral("Another window"));
    other.resize(240, 120);
    other.move(560, 420);

    kb::xpcmdbutton* edit = demo.buttons[2];
    kb::xpcmdbutton* save = demo.buttons[0];
    QList<std::pair<int, std::function<void()>>> steps = {
        {700, [&] { shot(QStringLiteral("rest")); }},
        {0,
         [&] {
             const QPoint c = edit->rect().center();
             kb::Cursor::setFakePos(edit->mapToGlobal(c));
             sendMouse(edit, QEvent::MouseMove, c, Qt::NoButton, Qt::NoButton);
             sendMouse(demo.minimize, QEvent::MouseMove, {10, 10}, Qt::NoButton, Qt::NoButton);
         }},
        {100, [&] { shot(QStringLiteral("hover")); }},
        {0,
         [&] {
             const QPoint c = save->rect().center();
             kb::Cursor::setFakePos(save->mapToGlobal(c));
             sendMouse(save, QEvent::MouseButtonPress, c, Qt::LeftButton, Qt::LeftButton);
             sendMouse(demo.close, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton,
                       Qt::LeftButton);
         }},
        {100, [&] { shot(QStringLiteral("pressed")); }},
        {0,
         [&] {
             const QPoint c = save->rect().center();
             sendMouse(save, QEvent::MouseButtonRelease, c, Qt::LeftButton, Qt::NoButton);
             sendMouse(demo.close, QEvent::MouseButtonRelease, {30, 30}, Qt::LeftButton,
                       Qt::NoButton);
             kb::Cursor::setFakePos({1000, 760});
             other.show();
             other.activateWindow();
         }},
        {600, [&] { shot(QStringLiteral("inactive")); }},
        {0,
         [&] {
             demo.host.activateWindow();
             demo.host.raise();
         }},
        {600, [&] { shot(QStringLiteral("active")); }},
        {0, [&] { demo.host.showMaximized(); }},
        {800, [&] { shot(QStringLiteral("maximized")); }},
        {0, [&] { demo.host.showNormal(); }},
        {800,
         [&] {
             shot(QStringLiteral("restored"));
             QApplication::quit();
         }},
    };
    int delay = 0;
    for (const auto& [wait, step] : steps) {
        delay += wait;
        QTimer::singleShot(delay, &app, step);
    }
    return app.exec();
}
