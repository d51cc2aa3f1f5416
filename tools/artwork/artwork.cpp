// Draws every picture of the skinned controls, the window icons and the tree images, and
// writes them as PNG under the folder given (default: the source tree's resources/).
//
//   kb_artwork [RESOURCES_DIR [ICONS_DIR]]
//
// The application icon for the desktop goes in hicolor sizes and as SVG under ICONS_DIR
// (default: the source tree's data/icons/hicolor).

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>
#include <cstdio>
#include <functional>

namespace {

QColor hex(unsigned rgb) {
    return QColor::fromRgb((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff);
}

QColor mix(const QColor& a, const QColor& b, double t) {
    auto ch = [t](int x, int y) { return qBound(0, qRound(x + (y - x) * t), 255); };
    return QColor(ch(a.red(), b.red()), ch(a.green(), b.green()), ch(a.blue(), b.blue()),
                  ch(a.alpha(), b.alpha()));
}

// Lightens (factor > 1) or darkens (factor < 1) keeping the hue: the skins share one
// shading and differ only in their base colour.
QColor shade(const QColor& base, double factor) {
    if (factor >= 1.0)
        return mix(base, Qt::white, qMin(1.0, factor - 1.0));
    return mix(base, Qt::black, 1.0 - factor);
}

QImage opaque(int w, int h, const QColor& fill = Qt::white) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

QImage clear(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    return img;
}

bool save(const QImage& img, const QString& dir, const QString& name) {
    const QString path = dir + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(name), img.width(), img.height());
    return true;
}

// ---- Push button faces: five 18 x 21 cells -------------------------------------------------

const QColor kClientArea(236, 233, 216); // the frame's client colour, seen at the corners

// A rounded 1-pixel border: the outermost corner pixel shows the client colour and the two
// beside it half the border, so the corner reads as a curve.
void buttonBorder(QImage& img, int x0, const QColor& border) {
    const int w = 18, h = 21;
    auto set = [&](int x, int y, const QColor& c) { img.setPixelColor(x0 + x, y, c); };
    for (int x = 2; x < w - 2; ++x) {
        set(x, 0, border);
        set(x, h - 1, border);
    }
    for (int y = 2; y < h - 2; ++y) {
        set(0, y, border);
        set(w - 1, y, border);
    }
    const QColor half = mix(border, kClientArea, 0.55);
    for (auto [cx, cy, dx, dy] : {std::array{0, 0, 1, 1}, std::array{w - 1, 0, -1, 1},
                                  std::array{0, h - 1, 1, -1}, std::array{w - 1, h - 1, -1, -1}}) {
        set(cx, cy, kClientArea);
        set(cx + dx, cy, half);
        set(cx, cy + dy, half);
        set(cx + dx, cy + dy, mix(border, img.pixelColor(x0 + cx + 2 * dx, cy + 2 * dy), 0.3));
    }
}

void normalFace(QImage& img, int x0) {
    for (int y = 1; y < 20; ++y) {
        QColor c;
        if (y <= 16)
            c = mix(hex(0xFFFFFF), hex(0xF0F0EA), (y - 1) / 15.0);
        else
            c = mix(hex(0xF0F0EA), hex(0xD6D0C5), (y - 16) / 3.0);
        for (int x = 1; x < 17; ++x)
            img.setPixelColor(x0 + x, y, c);
    }
}

void rim(QImage& img, int x0, QColor top1, QColor top2, QColor side, QColor bottom1,
         QColor bottom2) {
    for (int y = 3; y < 18; ++y)
        for (int x : {1, 2, 15, 16})
            img.setPixelColor(x0 + x, y, side);
    for (int x = 2; x < 16; ++x) {
        img.setPixelColor(x0 + x, 1, top1);
        img.setPixelColor(x0 + x, 2, top2);
        img.setPixelColor(x0 + x, 18, bottom1);
        img.setPixelColor(x0 + x, 19, bottom2);
    }
    // The rim's own corners are rounded into the side colour.
    img.setPixelColor(x0 + 1, 2, mix(top2, side, 0.5));
    img.setPixelColor(x0 + 16, 2, mix(top2, side, 0.5));
    img.setPixelColor(x0 + 1, 18, mix(bottom1, side, 0.5));
    img.setPixelColor(x0 + 16, 18, mix(bottom1, side, 0.5));
}

QImage buttonStrip() {
    QImage img = opaque(90, 21, kClientArea);
    const QColor border = hex(0x003C74);
    // 0 normal
    normalFace(img, 0);
    buttonBorder(img, 0, border);
    // 1 pressed: darker at the top, lighter at the bottom
    for (int y = 1; y < 20; ++y) {
        QColor c = hex(0xE2E1DA);
        if (y <= 4)
            c = mix(hex(0xD1CCC1), hex(0xE2E1DA), (y - 1) / 4.0);
        else if (y >= 17)
            c = mix(hex(0xE2E1DA), hex(0xF2F1EE), (y - 16) / 3.0);
        for (int x = 1; x < 17; ++x)
            img.setPixelColor(18 + x, y, c);
    }
    for (int y = 2; y < 19; ++y) // a soft inner shadow on the left
        img.setPixelColor(18 + 1, y, mix(img.pixelColor(19, y), hex(0xD1CCC1), 0.6));
    buttonBorder(img, 18, border);
    // 2 disabled: flat
    for (int y = 1; y < 20; ++y)
        for (int x = 1; x < 17; ++x)
            img.setPixelColor(36 + x, y, hex(0xF5F4EA));
    buttonBorder(img, 36, hex(0xC9C7BA));
    // 3 hover: orange rim
    normalFace(img, 54);
    rim(img, 54, hex(0xFFF0CF), hex(0xFDD889), hex(0xFCCA69), hex(0xF8B330), hex(0xE59700));
    buttonBorder(img, 54, border);
    // 4 default: blue rim
    normalFace(img, 72);
    rim(img, 72, hex(0xCEE7FF), hex(0xBCD4F6), hex(0xA0BEEC), hex(0x89ADE4), hex(0x6982EE));
    buttonBorder(img, 72, border);
    return img;
}

// ---- Caption buttons: four 21 x 21 cells per strip --------------------------------------------

enum class Glyph { Close, Maximize, Minimize, Restore };

struct CellLook {
    QColor dark, light, outline, glyph;
};

void drawGlyph(QPainter& p, int x0, Glyph glyph, const QColor& c) {
    p.save();
    p.translate(x0, 0);
    switch (glyph) {
    case Glyph::Close: {
        QPen pen(c, 2.2, Qt::SolidLine, Qt::SquareCap);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(pen);
        p.drawLine(QPointF(6.5, 6.5), QPointF(14.5, 14.5));
        p.drawLine(QPointF(14.5, 6.5), QPointF(6.5, 14.5));
        break;
    }
    case Glyph::Maximize:
        p.fillRect(5, 5, 11, 3, c);
        p.fillRect(5, 8, 1, 8, c);
        p.fillRect(15, 8, 1, 8, c);
        p.fillRect(5, 15, 11, 1, c);
        break;
    case Glyph::Minimize:
        p.fillRect(6, 13, 6, 3, c);
        break;
    case Glyph::Restore:
        // back window
        p.fillRect(8, 4, 8, 2, c);
        p.fillRect(15, 6, 1, 6, c);
        p.fillRect(13, 11, 2, 1, c);
        p.fillRect(8, 6, 1, 2, c);
        // front window
        p.fillRect(5, 8, 8, 2, c);
        p.fillRect(5, 10, 1, 6, c);
        p.fillRect(12, 10, 1, 6, c);
        p.fillRect(5, 15, 8, 1, c);
        break;
    }
    p.restore();
}

void captionCell(QImage& img, int x0, const CellLook& look, Glyph glyph) {
    QPainter p(&img);
    // the shaded square: light from the top left, the colour deepening to the bottom right
    QRadialGradient g(QPointF(x0 + 5, 4), 20);
    g.setColorAt(0, look.light);
    g.setColorAt(1, look.dark);
    p.fillRect(x0 + 1, 1, 19, 19, g);
    // the outline, with its four corner pixels left out so the square looks rounded
    p.setPen(look.outline);
    p.drawLine(x0 + 2, 0, x0 + 18, 0);
    p.drawLine(x0 + 2, 20, x0 + 18, 20);
    p.drawLine(x0, 2, x0, 18);
    p.drawLine(x0 + 20, 2, x0 + 20, 18);
    for (auto [x, y] : {std::pair{1, 1}, std::pair{19, 1}, std::pair{1, 19}, std::pair{19, 19}})
        p.drawPoint(x0 + x, y);
    drawGlyph(p, x0, glyph, look.glyph);
}

QImage captionStrip(bool close, Glyph glyph) {
    QImage img = clear(84, 21);
    const QColor white(255, 255, 255);
    QColor faded(255, 255, 255, 150);
    std::array<CellLook, 4> looks;
    if (close) {
        looks = {CellLook{hex(0xD06F40), hex(0xE0A08F), white, white},
                 CellLook{hex(0xF06F40), hex(0xEFA080), white, white},
                 CellLook{hex(0x804F2F), hex(0xBF704F), white, hex(0xDF9F8F)},
                 CellLook{hex(0xC0AF9F), hex(0xC0B0B0), hex(0xEFF0DF), faded}};
    } else {
        looks = {CellLook{hex(0x306FF0), hex(0x7FA0FF), white, white},
                 CellLook{hex(0x3F7FFF), hex(0x8FB0FF), white, white},
                 CellLook{hex(0x002F6F), hex(0x0040AF), white, hex(0x9FB8E0)},
                 CellLook{hex(0x1F5FEF), hex(0x4070EF), hex(0x80AFF0), faded}};
    }
    for (int cell = 0; cell < 4; ++cell) {
        // The disabled restore cell shows the single window: restore is never disabled alone.
        const Glyph g = (glyph == Glyph::Restore && cell == 3) ? Glyph::Maximize : glyph;
        captionCell(img, cell * 21, looks[cell], g);
    }
    return img;
}

// ---- Frame skins ----------------------------------------------------------------------------

const QColor kMagenta(255, 0, 255);

// Brightness of each caption-bar row: a bright top edge, a glossy band, a darker last row.
double captionRowShade(int y) {
    static const double rows[29] = {1.45, 1.28, 1.14, 1.05, 1.0,  0.97, 0.96, 0.97, 0.99, 1.0,
                                    1.01, 1.02, 1.02, 1.02, 1.02, 1.01, 1.0,  1.0,  0.99, 0.98,
                                    0.97, 0.96, 0.95, 0.94, 0.93, 0.92, 0.9,  0.86, 0.62};
    return rows[y];
}

// Brightness across a side border, outside to inside: a dark outline, a bright bevel.
const double kSideShade[5] = {0.55, 1.22, 1.06, 0.96, 0.82};

QImage captionBar(const QColor& base, bool curved) {
    QImage img = opaque(66, 29);
    for (int y = 0; y < 29; ++y) {
        for (int x = 0; x < 66; ++x) {
            double f = captionRowShade(y);
            // the outermost columns carry the side borders' outline and bevel up the bar
            if (curved && (x <= 1 || x >= 64))
                f *= (x == 0 || x == 65) ? 0.55 : 1.12;
            img.setPixelColor(x, y, shade(base, f));
        }
    }
    if (curved) {
        // The curved corners: twelve magenta pixels at each end, the curve's edge a shade
        // darker so the corner is drawn, not only cut.
        const QList<QPoint> corner = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {0, 1},
                                      {1, 1}, {2, 1}, {0, 2}, {1, 2}, {0, 3}, {0, 4}};
        const QList<QPoint> edge = {{5, 0}, {3, 1}, {4, 1}, {2, 2}, {1, 3}, {1, 4}};
        for (const QPoint& e : edge) {
            img.setPixelColor(e.x(), e.y(), shade(base, 0.75));
            img.setPixelColor(65 - e.x(), e.y(), shade(base, 0.75));
        }
        for (const QPoint& c : corner) {
            img.setPixelColor(c.x(), c.y(), kMagenta);
            img.setPixelColor(65 - c.x(), c.y(), kMagenta);
        }
    }
    return img;
}

QImage sideBorder(const QColor& base, bool left) {
    QImage img = opaque(5, 31);
    for (int x = 0; x < 5; ++x) {
        const QColor c = shade(base, kSideShade[left ? x : 4 - x]);
        for (int y = 0; y < 31; ++y)
            img.setPixelColor(x, y, c);
    }
    return img;
}

QImage bottomBorder(const QColor& base) {
    static const double rows[5] = {0.92, 1.05, 0.96, 0.82, 0.55};
    QImage img = opaque(49, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 49; ++x) {
            double f = rows[y];
            // the two bottom corners: the side bevel turns the corner into the bottom one
            if (x < 5)
                f = qMin(f, kSideShade[x] < 1.0 ? kSideShade[x] : f);
            if (x > 43)
                f = qMin(f, kSideShade[48 - x] < 1.0 ? kSideShade[48 - x] : f);
            if ((x < 5 && x < y) || (x > 43 && 48 - x < y))
                f = qMin(f, 0.75);
            img.setPixelColor(x, y, shade(base, f));
        }
    return img;
}

// ---- Icons --------------------------------------------------------------------------------

QImage defaultIcon() {
    // A small window: the generic picture of a skinned window without an icon of its own.
    QImage img = clear(16, 16);
    QPainter p(&img);
    p.fillRect(1, 2, 14, 12, hex(0xFFFFFF));
    QLinearGradient g(0, 2, 0, 6);
    g.setColorAt(0, hex(0x3D8BFF));
    g.setColorAt(1, hex(0x0050D8));
    p.fillRect(1, 2, 14, 4, g);
    p.setPen(hex(0x003C9C));
    p.drawRect(1, 2, 13, 11);
    p.fillRect(11, 3, 2, 2, hex(0xE06030));
    p.fillRect(3, 8, 6, 1, hex(0xB0B8C8));
    p.fillRect(3, 10, 9, 1, hex(0xB0B8C8));
    return img;
}

// A cooking pot with a lid and steam, drawn on a 32 x 32 grid: one drawing for every
// pixel size and for the scalable icon.
void drawAppIcon(QPainter& p) {
    const QColor outline = hex(0x3A3F4A);
    // steam
    QPen steam(QColor(120, 150, 200, 200), 1.6, Qt::SolidLine, Qt::RoundCap);
    p.setPen(steam);
    for (int i = 0; i < 3; ++i) {
        QPainterPath s;
        const double x = 11 + i * 5;
        s.moveTo(x, 9);
        s.cubicTo(x - 2, 7, x + 2, 5, x, 2);
        p.drawPath(s);
    }
    // handles
    p.setPen(QPen(outline, 1.4));
    p.setBrush(hex(0x555B66));
    p.drawRoundedRect(QRectF(1.5, 15, 5, 4), 1.5, 1.5);
    p.drawRoundedRect(QRectF(25.5, 15, 5, 4), 1.5, 1.5);
    // body
    QLinearGradient body(4, 0, 28, 0);
    body.setColorAt(0, hex(0xB8C0CC));
    body.setColorAt(0.3, hex(0xF4F7FB));
    body.setColorAt(0.7, hex(0xC2C9D4));
    body.setColorAt(1, hex(0x7E8794));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(5, 13, 22, 16), 3, 3);
    // red band
    p.setPen(Qt::NoPen);
    p.setBrush(hex(0xD04A2A));
    p.drawRect(QRectF(5.7, 20, 20.6, 3));
    // lid
    QLinearGradient lid(0, 10, 0, 14);
    lid.setColorAt(0, hex(0xF0F3F8));
    lid.setColorAt(1, hex(0x9AA3B0));
    p.setPen(QPen(outline, 1.2));
    p.setBrush(lid);
    p.drawRoundedRect(QRectF(4, 10.5, 24, 3.5), 1.5, 1.5);
    p.setBrush(hex(0x2A5DC8));
    p.drawRoundedRect(QRectF(13.5, 8, 5, 3), 1, 1);
}

QImage appIcon(int size) {
    QImage img = clear(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    drawAppIcon(p);
    return img;
}

bool saveScalableAppIcon(const QString& dir, const QString& name) {
    const QString path = dir + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(32, 32));
    svg.setViewBox(QRect(0, 0, 32, 32));
    svg.setTitle(QStringLiteral("Kettlebox Recipe"));
    {
        QPainter p(&svg);
        p.setRenderHint(QPainter::Antialiasing);
        drawAppIcon(p);
    }
    if (!QFileInfo(path).isFile()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s scalable\n", qPrintable(name));
    return true;
}

QImage treeRoot() {
    // A recipe book: red cover, pages at the edge, a small white label.
    QImage img = clear(16, 16);
    QPainter p(&img);
    p.fillRect(4, 2, 10, 13, hex(0xF4F1E6)); // pages
    p.setPen(hex(0xB8B09A));
    p.drawLine(13, 3, 13, 14);
    QLinearGradient cover(2, 0, 12, 0);
    cover.setColorAt(0, hex(0x8E1E12));
    cover.setColorAt(0.4, hex(0xD8452E));
    cover.setColorAt(1, hex(0xB3301F));
    p.fillRect(2, 1, 10, 13, cover);
    p.setPen(hex(0x5E130B));
    p.drawRect(2, 1, 9, 12);
    p.drawLine(4, 1, 4, 13);
    p.fillRect(6, 4, 4, 3, hex(0xFFF6D8));
    p.setPen(hex(0xE7B84A));
    p.drawLine(6, 10, 9, 10);
    return img;
}

void folderBack(QPainter& p) {
    p.setPen(hex(0xB88A1B));
    p.setBrush(hex(0xE8B440));
    p.drawRect(1, 3, 5, 2); // tab
    p.drawRect(1, 4, 13, 10);
}

QImage treeCategory() {
    QImage img = clear(16, 16);
    QPainter p(&img);
    folderBack(p);
    QLinearGradient g(0, 5, 0, 14);
    g.setColorAt(0, hex(0xFFE9A0));
    g.setColorAt(1, hex(0xF2C450));
    p.setPen(hex(0xB88A1B));
    p.setBrush(g);
    p.drawRect(1, 6, 13, 8);
    return img;
}

QImage treeSelected() {
    // The open folder: its front leans forward, with a card inside.
    QImage img = clear(16, 16);
    QPainter p(&img);
    folderBack(p);
    p.fillRect(4, 3, 8, 7, hex(0xFFFFFF));
    p.setPen(hex(0x9AA6B8));
    p.drawRect(4, 3, 7, 7);
    QPolygon front;
    front << QPoint(3, 8) << QPoint(15, 8) << QPoint(13, 14) << QPoint(1, 14);
    QLinearGradient g(0, 8, 0, 14);
    g.setColorAt(0, hex(0xFFF2B8));
    g.setColorAt(1, hex(0xF4C850));
    p.setPen(hex(0xB88A1B));
    p.setBrush(g);
    p.drawPolygon(front);
    return img;
}

QImage treeRecipe() {
    // A recipe card: white, blue title line, text lines, a folded corner.
    QImage img = clear(16, 16);
    QPainter p(&img);
    p.setPen(hex(0x7A8494));
    p.setBrush(hex(0xFFFFFF));
    QPolygon card;
    card << QPoint(2, 1) << QPoint(10, 1) << QPoint(13, 4) << QPoint(13, 14) << QPoint(2, 14);
    p.drawPolygon(card);
    p.setBrush(hex(0xDCE2EC));
    QPolygon fold;
    fold << QPoint(10, 1) << QPoint(10, 4) << QPoint(13, 4);
    p.drawPolygon(fold);
    p.fillRect(4, 4, 5, 1, hex(0x2A5DC8));
    for (int y : {7, 9, 11})
        p.fillRect(4, y, 7, 1, hex(0xA6AEBA));
    p.fillRect(4, 7, 1, 1, hex(0xD04A2A));
    p.fillRect(4, 9, 1, 1, hex(0xD04A2A));
    return img;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString dir = args.size() > 1 ? args.at(1) : QStringLiteral(KB_RESOURCES_DIR);
    const QString icons = args.size() > 2 ? args.at(2) : QStringLiteral(KB_ICONS_DIR);

    const QColor active(0, 84, 232);
    const QColor inactive(122, 150, 224);
    bool ok = true;
    ok &= save(buttonStrip(), dir, QStringLiteral("buttons/xpcmdbutton.png"));
    ok &= save(captionStrip(true, Glyph::Close), dir, QStringLiteral("buttons/close.png"));
    ok &= save(captionStrip(false, Glyph::Maximize), dir, QStringLiteral("buttons/maximize.png"));
    ok &= save(captionStrip(false, Glyph::Minimize), dir, QStringLiteral("buttons/minimize.png"));
    ok &= save(captionStrip(false, Glyph::Restore), dir, QStringLiteral("buttons/restore.png"));
    for (auto [n, base] : {std::pair{1, active}, std::pair{2, inactive}}) {
        const QString s = QString::number(n);
        ok &= save(captionBar(base, true), dir,
                   QStringLiteral("skin/top") + s + QStringLiteral(".png"));
        ok &= save(captionBar(base, false), dir,
                   QStringLiteral("skin/topmax") + s + QStringLiteral(".png"));
        ok &= save(sideBorder(base, true), dir,
                   QStringLiteral("skin/left") + s + QStringLiteral(".png"));
        ok &= save(sideBorder(base, false), dir,
                   QStringLiteral("skin/right") + s + QStringLiteral(".png"));
        ok &= save(bottomBorder(base), dir,
                   QStringLiteral("skin/bottom") + s + QStringLiteral(".png"));
    }
    ok &= save(defaultIcon(), dir, QStringLiteral("icons/default.png"));
    ok &= save(appIcon(16), dir, QStringLiteral("icons/app16.png"));
    ok &= save(appIcon(32), dir, QStringLiteral("icons/app32.png"));
    ok &= save(treeRoot(), dir, QStringLiteral("tree/root.png"));
    ok &= save(treeCategory(), dir, QStringLiteral("tree/category.png"));
    ok &= save(treeSelected(), dir, QStringLiteral("tree/selected.png"));
    ok &= save(treeRecipe(), dir, QStringLiteral("tree/recipe.png"));
    const QString appId = QStringLiteral(KB_APP_ID);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        ok &= save(appIcon(size), icons, QStringLiteral("%1x%1/apps/%2.png").arg(size).arg(appId));
    ok &= saveScalableAppIcon(icons,
                              QStringLiteral("scalable/apps/") + appId + QStringLiteral(".svg"));
    return ok ? 0 : 1;
}
