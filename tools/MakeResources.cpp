// Draws the viewer's icons and splash image into resources/.
// Usage: cxv-make-resources OUTDIR   (run with QT_QPA_PLATFORM=offscreen)

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cmath>
#include <functional>

namespace {

const QColor accent(66, 133, 220);
const QColor warm(255, 170, 60);
const QColor light(230, 230, 230);

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

bool save(const QString &dir, const QString &name, int w, int h,
          const std::function<void(QPainter &, int, int)> &draw)
{
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, w, h);
    p.end();
    return image.save(QDir(dir).filePath(name));
}

// A brain-like outline: two hemispheres seen from above, with a few sulci.
void drawBrain(QPainter &p, const QRectF &r, const QColor &fill, const QColor &line)
{
    const double cx = r.center().x(), w = r.width(), h = r.height();
    p.setPen(QPen(line, std::max(1.0, w / 24)));
    p.setBrush(fill);
    p.drawEllipse(QRectF(r.left(), r.top(), w * 0.52, h));
    p.drawEllipse(QRectF(cx - w * 0.02, r.top(), w * 0.52, h));
    p.setBrush(Qt::NoBrush);
    for (int side = -1; side <= 1; side += 2) {
        for (int k = 0; k < 3; ++k) {
            QPainterPath path;
            const double y = r.top() + h * (0.25 + 0.25 * k);
            path.moveTo(cx + side * w * 0.06, y);
            path.cubicTo(cx + side * w * 0.18, y - h * 0.1, cx + side * w * 0.3, y + h * 0.1,
                         cx + side * w * 0.42, y - h * 0.02);
            p.drawPath(path);
        }
    }
}

void drawFullScreen(QPainter &p, int w, int h)
{
    p.setBrush(QColor(40, 40, 40, 200));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), w / 6.0, h / 6.0);
    p.setPen(QPen(light, std::max(2.0, w / 14.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const double m = w * 0.2, l = w * 0.22;
    const QPointF corners[] = {{m, m}, {w - m, m}, {w - m, h - m}, {m, h - m}};
    for (const QPointF &c : corners) {
        const double dx = c.x() < w / 2.0 ? 1 : -1, dy = c.y() < h / 2.0 ? 1 : -1;
        p.drawLine(c, c + QPointF(dx * l, 0));
        p.drawLine(c, c + QPointF(0, dy * l));
    }
}

void drawButtonBase(QPainter &p, int w, int h, bool on)
{
    p.setPen(QPen(on ? accent.lighter(130) : QColor(110, 110, 110), 1.5));
    p.setBrush(on ? accent : QColor(45, 45, 45, 220));
    p.drawRoundedRect(QRectF(1, 1, w - 2, h - 2), 6, 6);
}

void drawRotation(QPainter &p, int w, int h, bool on)
{
    drawButtonBase(p, w, h, on);
    const QColor c = on ? Qt::white : QColor(190, 190, 190);
    p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF arc(w * 0.22, h * 0.22, w * 0.56, h * 0.56);
    p.drawArc(arc, 60 * 16, 280 * 16);
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    const QPointF tip(arc.center().x() + arc.width() / 2 * std::cos(M_PI / 3),
                      arc.center().y() - arc.height() / 2 * std::sin(M_PI / 3));
    p.drawPolygon(QPolygonF({tip + QPointF(-5, -4), tip + QPointF(4, -1), tip + QPointF(-2, 5)}));
}

void drawTranslation(QPainter &p, int w, int h, bool on)
{
    drawButtonBase(p, w, h, on);
    const QColor c = on ? Qt::white : QColor(190, 190, 190);
    p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap));
    const QPointF m(w / 2.0, h / 2.0);
    const double r = w * 0.32, a = w * 0.1;
    p.drawLine(m - QPointF(r, 0), m + QPointF(r, 0));
    p.drawLine(m - QPointF(0, r), m + QPointF(0, r));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (int k = 0; k < 4; ++k) {
        const double ang = k * M_PI / 2;
        const QPointF dir(std::cos(ang), std::sin(ang)), nrm(-dir.y(), dir.x());
        const QPointF tip = m + dir * (r + 2);
        p.drawPolygon(
            QPolygonF({tip, tip - dir * a * 1.4 + nrm * a, tip - dir * a * 1.4 - nrm * a}));
    }
}

void drawRedCross(QPainter &p, int w, int h, bool on)
{
    drawButtonBase(p, w, h, on);
    p.setPen(QPen(QColor(235, 40, 40), 2.4));
    p.drawLine(QPointF(w / 2.0, h * 0.18), QPointF(w / 2.0, h * 0.82));
    p.drawLine(QPointF(w * 0.18, h / 2.0), QPointF(w * 0.82, h / 2.0));
    p.setPen(QPen(on ? Qt::white : QColor(170, 170, 170), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(w * 0.3, h * 0.3, w * 0.4, h * 0.4));
}

// Measures are those of the 32-pixel icon, scaled to the size asked for.
void drawViewerIcon(QPainter &p, int w, int h)
{
    const double s = w / 32.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 34, 42));
    p.drawRoundedRect(QRectF(0, 0, w, h), 6 * s, 6 * s);
    drawBrain(p, QRectF(5 * s, 7 * s, w - 10 * s, h - 14 * s), warm, QColor(255, 230, 190));
    p.setPen(QPen(QColor(235, 40, 40), 1.5 * s));
    p.drawLine(QPointF(w / 2.0, 3 * s), QPointF(w / 2.0, h - 3 * s));
    p.drawLine(QPointF(3 * s, h / 2.0), QPointF(w - 3 * s, h / 2.0));
}

void drawSplash(QPainter &p, int w, int h)
{
    QLinearGradient bg(0, 0, 0, h);
    bg.setColorAt(0, QColor(34, 38, 46));
    bg.setColorAt(1, QColor(12, 13, 16));
    p.fillRect(0, 0, w, h, bg);
    // Three orthogonal "slices" as the emblem.
    const QRectF slice(40, 70, 170, 170);
    QRadialGradient head(slice.center(), 80);
    head.setColorAt(0, QColor(200, 200, 200));
    head.setColorAt(0.7, QColor(120, 120, 120));
    head.setColorAt(1, QColor(30, 30, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(head);
    p.drawEllipse(slice.adjusted(15, 5, -15, -5));
    drawBrain(p, slice.adjusted(35, 30, -35, -30), QColor(255, 150, 60, 150),
              QColor(255, 220, 160));
    p.setPen(QPen(QColor(235, 40, 40), 2));
    p.drawLine(QPointF(slice.center().x(), slice.top()),
               QPointF(slice.center().x(), slice.bottom()));
    p.drawLine(QPointF(slice.left(), slice.center().y()),
               QPointF(slice.right(), slice.center().y()));

    QFont title("DejaVu Sans", 25, QFont::Bold);
    p.setFont(title);
    p.setPen(light);
    p.drawText(QRectF(230, 90, w - 250, 60), Qt::AlignLeft | Qt::AlignVCenter, "Cortivex Viewer");
    QFont sub("DejaVu Sans", 13);
    p.setFont(sub);
    p.setPen(QColor(170, 180, 195));
    p.drawText(QRectF(232, 150, w - 250, 60), Qt::AlignLeft | Qt::TextWordWrap,
               "Browse images, DICOM series, volumes,\nsurfaces and statistical maps");
    p.setPen(QColor(110, 115, 125));
    p.setFont(QFont("DejaVu Sans", 10));
    p.drawText(QRectF(232, h - 50, w - 250, 30), Qt::AlignLeft | Qt::AlignVCenter, "Loading…");
    p.setPen(QPen(accent, 3));
    p.drawLine(QPointF(0, h - 2), QPointF(w, h - 2));
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: cxv-make-resources OUTDIR\n";
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    bool ok = true;

    ok &= save(dir, "CXV_Splash_v18.png", 600, 320, drawSplash);
    ok &= save(dir, "images_icon_32x32.png", 32, 32, [](QPainter &p, int w, int h) {
        p.setPen(QPen(light, 1.5));
        p.setBrush(QColor(60, 90, 140));
        p.drawRoundedRect(QRectF(2, 5, w - 4, h - 10), 3, 3);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 210, 80));
        p.drawEllipse(QPointF(22, 11), 3.5, 3.5);
        p.setBrush(QColor(90, 170, 90));
        p.drawPolygon(QPolygonF({{4, 25}, {12, 13}, {19, 22}, {23, 18}, {28, 25}}));
    });
    ok &= save(dir, "rawdata_icon_32x32.png", 32, 32, [](QPainter &p, int w, int h) {
        p.fillRect(QRectF(2, 2, w - 4, h - 4), QColor(15, 15, 15));
        QRadialGradient g(QPointF(w / 2.0, h / 2.0), 13);
        g.setColorAt(0, QColor(220, 220, 220));
        g.setColorAt(0.6, QColor(120, 120, 120));
        g.setColorAt(1, QColor(40, 40, 40));
        p.setBrush(g);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(6, 4, w - 12, h - 8));
        p.setPen(QPen(light, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(2, 2, w - 4, h - 4));
    });
    ok &= save(dir, "cxdata_icon_32x32.png", 32, 32, [](QPainter &p, int w, int h) {
        drawBrain(p, QRectF(3, 5, w - 6, h - 10), warm, QColor(255, 230, 190));
    });
    ok &= save(dir, "cxs_icon_32x32.png", 32, 32, [](QPainter &p, int w, int h) {
        p.setPen(QPen(light, 2));
        p.setBrush(QColor(50, 50, 50));
        p.drawRoundedRect(QRectF(4, 12, w - 8, h - 15), 3, 3);
        p.setPen(QPen(accent.lighter(140), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(w / 2.0, 2), QPointF(w / 2.0, 20));
        p.drawLine(QPointF(w / 2.0 - 6, 14), QPointF(w / 2.0, 20));
        p.drawLine(QPointF(w / 2.0 + 6, 14), QPointF(w / 2.0, 20));
    });
    ok &= save(dir, "Fullscreen3_48.png", 48, 48, drawFullScreen);
    ok &= save(dir, "Fullscreen3_32.png", 32, 32, drawFullScreen);
    for (bool on : {true, false}) {
        const QString state = on ? "On" : "Off";
        ok &= save(dir, "rotationBtn" + state + ".png", 32, 32,
                   [on](QPainter &p, int w, int h) { drawRotation(p, w, h, on); });
        ok &= save(dir, "translationBtn" + state + ".png", 32, 32,
                   [on](QPainter &p, int w, int h) { drawTranslation(p, w, h, on); });
        ok &= save(dir, "redCrossBtn" + state + "VolumeView.png", 32, 32,
                   [on](QPainter &p, int w, int h) { drawRedCross(p, w, h, on); });
        ok &= save(dir, "translationBtn" + state + "VolumeView.png", 32, 32,
                   [on](QPainter &p, int w, int h) { drawTranslation(p, w, h, on); });
    }
    for (int size : {32, 48}) {
        ok &= save(dir, size == 32 ? "toolbar.png" : "toolbar_48.png", 4, size,
                   [](QPainter &p, int w, int h) {
                       QLinearGradient g(0, 0, 0, h);
                       g.setColorAt(0, QColor(64, 64, 64));
                       g.setColorAt(1, QColor(36, 36, 36));
                       p.fillRect(0, 0, w, h, g);
                   });
    }
    // The desktop's icon theme takes it at 48 and 256 pixels too, drawn at each size.
    for (int size : {32, 48, 256})
        ok &= save(dir, QString("cxviewer_icon_%1x%1.png").arg(size), size, size, drawViewerIcon);
    return ok ? 0 : 1;
}
