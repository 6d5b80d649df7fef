#include "SamplePictures.h"

#include "MeshRasterizer.h"
#include "Phantom.h"

#include <QPainter>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const float pi = 3.14159265f;

float square(float x)
{
    return x * x;
}

uchar toByte(float v)
{
    return uchar(std::clamp(int(v + 0.5f), 0, 255));
}

QRgb toRgb(const QVector3D &c)
{
    return qRgb(toByte(c.x() * 255), toByte(c.y() * 255), toByte(c.z() * 255));
}

// A palette of three cosine waves, one per primary, for t in 0..1.
QVector3D cosinePalette(float t, const QVector3D &phase)
{
    return QVector3D(0.5f + 0.5f * std::cos(2 * pi * (t + phase.x())),
                     0.5f + 0.5f * std::cos(2 * pi * (t + phase.y())),
                     0.5f + 0.5f * std::cos(2 * pi * (t + phase.z())));
}

QVector3D mix(const QVector3D &a, const QVector3D &b, float t)
{
    return a + (b - a) * t;
}

// A ridge line over 0..1 by midpoint displacement, heights about -1..1.
std::vector<float> ridge(int levels, float roughness, quint32 seed)
{
    QRandomGenerator random(seed);
    const int n = (1 << levels) + 1;
    std::vector<float> h(n, 0.0f);
    float amplitude = 1;
    for (int step = n - 1; step > 1; step /= 2) {
        for (int i = step / 2; i < n; i += step)
            h[i] = (h[i - step / 2] + h[i + step / 2]) / 2 +
                   amplitude * float(random.generateDouble() * 2 - 1);
        amplitude *= roughness;
    }
    return h;
}

float sample(const std::vector<float> &line, float u)
{
    const float x = std::clamp(u, 0.0f, 1.0f) * float(line.size() - 1);
    const size_t i = std::min(size_t(x), line.size() - 2);
    return line[i] + (line[i + 1] - line[i]) * (x - float(i));
}

} // namespace

QImage SamplePictures::phantomSlice(Plane plane, float position, int size, float mmPerPixel)
{
    // The field of view is centred on the head, which reaches below the brain.
    const QVector3D centre(0, -5, -15);
    QImage image(size, size, QImage::Format_Grayscale8);
    for (int row = 0; row < size; ++row) {
        uchar *line = image.scanLine(row);
        const float down = (row + 0.5f - size / 2.0f) * mmPerPixel;
        for (int column = 0; column < size; ++column) {
            const float across = (column + 0.5f - size / 2.0f) * mmPerPixel;
            QVector3D p;
            if (plane == Sagittal)
                p = QVector3D(position, centre.y() - across, centre.z() - down);
            else if (plane == Coronal)
                p = QVector3D(-across, position, centre.z() - down);
            else
                p = QVector3D(-across, centre.y() - down, position);
            line[column] = toByte((Phantom::intensity(p) - 10) * 255 / 215);
        }
    }
    return image;
}

QImage SamplePictures::hotSlice(const QImage &slice)
{
    QImage image(slice.size(), QImage::Format_Indexed8);
    QList<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette << qRgb(std::min(255, 3 * i), std::clamp(3 * i - 255, 0, 255),
                        std::clamp(3 * i - 510, 0, 255));
    image.setColorTable(palette);
    for (int y = 0; y < slice.height(); ++y)
        std::copy_n(slice.constScanLine(y), slice.width(), image.scanLine(y));
    return image;
}

QImage SamplePictures::axialMontage()
{
    QImage image(1024, 768, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    for (int k = 0; k < 12; ++k)
        painter.drawImage(256 * (k % 4), 256 * (k / 4),
                          phantomSlice(Axial, -40 + 10 * k, 256, 0.9f));
    return image;
}

QImage SamplePictures::meshView(const MeshRasterizer &mesh, const QMatrix4x4 &camera,
                                double pixelsPerMm, const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QRadialGradient backdrop(size.width() * 0.45, size.height() * 0.4, size.width() * 0.75);
    backdrop.setColorAt(0, QColor(58, 66, 86));
    backdrop.setColorAt(1, QColor(12, 14, 20));
    painter.fillRect(image.rect(), backdrop);
    painter.drawImage(0, 0, mesh.render(camera, pixelsPerMm, size));
    return image;
}

QImage SamplePictures::landscape(const QSize &size)
{
    const int w = size.width(), h = size.height();
    const float horizon = 0.64f;
    const QVector3D sun(0.7f, 0.5f, 0.045f); // position and radius, in heights
    const float aspect = float(w) / h;
    struct Layer
    {
        std::vector<float> line;
        float base, height;
        QVector3D colour;
    };
    const Layer layers[] = {
        {ridge(12, 0.62f, 11), 0.47f, 0.07f, QVector3D(0.55f, 0.38f, 0.52f)},
        {ridge(12, 0.58f, 23), 0.54f, 0.06f, QVector3D(0.30f, 0.20f, 0.33f)},
        {ridge(12, 0.55f, 37), 0.60f, 0.05f, QVector3D(0.12f, 0.08f, 0.14f)},
    };
    // Sky, sun and mountains above the horizon at (u, v), both in 0..1.
    const auto scene = [&](float u, float v) {
        const float t = std::clamp(v / horizon, 0.0f, 1.0f);
        QVector3D c = mix(QVector3D(0.10f, 0.12f, 0.32f), QVector3D(0.80f, 0.36f, 0.32f), t * t);
        c = mix(c, QVector3D(1.0f, 0.72f, 0.35f), t * t * t * t * t * t);
        const float d = std::sqrt(square((u - sun.x()) * aspect) + square(v - sun.y()));
        if (d < 0.8f)
            c += QVector3D(1.0f, 0.6f, 0.3f) * 0.6f * std::exp(-d / 0.08f);
        if (d < sun.z())
            c = mix(c, QVector3D(1.0f, 0.93f, 0.75f), std::clamp((sun.z() - d) * h, 0.0f, 1.0f));
        for (const Layer &layer : layers) {
            const float top = layer.base - layer.height * sample(layer.line, u);
            if (v > top)
                c = mix(c, layer.colour, std::clamp((v - top) * h, 0.0f, 1.0f));
        }
        return c;
    };
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const float v = (y + 0.5f) / h;
        for (int x = 0; x < w; ++x) {
            const float u = (x + 0.5f) / w;
            if (v < horizon) {
                line[x] = toRgb(scene(u, v));
            } else {
                // The lake mirrors the scene, rippled and darker further down.
                const float depth = v - horizon;
                const float ripple = 0.004f * std::sin(depth * 900 / (depth + 0.05f) + u * 40);
                const QVector3D c = scene(u + ripple, horizon - depth * 1.3f);
                line[x] = toRgb(mix(c * 0.75f, QVector3D(0.05f, 0.07f, 0.15f), depth * 2.2f));
            }
        }
    }
    return image;
}

QImage SamplePictures::plasma(const QSize &size, quint32 seed)
{
    int n = 2;
    while (n + 1 < std::max(size.width(), size.height()))
        n *= 2;
    ++n;
    std::vector<float> grid(size_t(n) * n);
    const auto at = [&](int x, int y) -> float & { return grid[size_t(y) * n + x]; };
    QRandomGenerator random(seed);
    const auto jitter = [&random](float amplitude) {
        return amplitude * float(random.generateDouble() * 2 - 1);
    };
    at(0, 0) = jitter(1);
    at(n - 1, 0) = jitter(1);
    at(0, n - 1) = jitter(1);
    at(n - 1, n - 1) = jitter(1);
    float amplitude = 1;
    for (int step = n - 1; step > 1; step /= 2) {
        const int half = step / 2;
        for (int y = half; y < n; y += step) {
            for (int x = half; x < n; x += step)
                at(x, y) = (at(x - half, y - half) + at(x + half, y - half) +
                            at(x - half, y + half) + at(x + half, y + half)) /
                               4 +
                           jitter(amplitude);
        }
        for (int y = 0; y < n; y += half) {
            for (int x = (y / half) % 2 ? 0 : half; x < n; x += step) {
                float sum = 0;
                int count = 0;
                for (const QPoint &d :
                     {QPoint(-half, 0), QPoint(half, 0), QPoint(0, -half), QPoint(0, half)}) {
                    const int nx = x + d.x(), ny = y + d.y();
                    if (nx >= 0 && nx < n && ny >= 0 && ny < n) {
                        sum += at(nx, ny);
                        ++count;
                    }
                }
                at(x, y) = sum / count + jitter(amplitude);
            }
        }
        amplitude *= 0.56f;
    }
    const auto [low, high] = std::minmax_element(grid.begin(), grid.end());
    const float lowest = *low, range = *high - *low;
    QList<QRgb> palette;
    for (int i = 0; i < 1024; ++i)
        palette << toRgb(cosinePalette(1.6f * i / 1023, QVector3D(0.0f, 0.15f, 0.35f)));
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = palette[int((at(x, y) - lowest) / range * 1023 + 0.5f)];
    }
    return image;
}

QImage SamplePictures::mandelbrot(const QSize &size)
{
    // The double spiral near -0.7436 + 0.1318i.
    const double centreX = -0.743643887, centreY = 0.131825904, width = 0.012;
    const int maxIterations = 600;
    QImage image(size, QImage::Format_Indexed8);
    QList<QRgb> palette = {qRgb(0, 0, 0)};
    for (int i = 1; i < 256; ++i)
        palette << toRgb(cosinePalette(i / 255.0f, QVector3D(0.6f, 0.45f, 0.3f)));
    image.setColorTable(palette);
    const double pixel = width / size.width();
    for (int y = 0; y < size.height(); ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < size.width(); ++x) {
            const double cx = centreX + (x - size.width() / 2.0) * pixel;
            const double cy = centreY - (y - size.height() / 2.0) * pixel;
            double zx = 0, zy = 0;
            int i = 0;
            for (; i < maxIterations && zx * zx + zy * zy < 4; ++i) {
                const double t = zx * zx - zy * zy + cx;
                zy = 2 * zx * zy + cy;
                zx = t;
            }
            line[x] = i == maxIterations ? 0 : uchar(1 + (i * 4) % 255);
        }
    }
    return image;
}

QImage SamplePictures::julia(const QSize &size)
{
    // The real axis runs upwards, which stands the set upright in a portrait.
    const double cRe = -0.8, cIm = 0.156, scale = 2.8 / size.height();
    const int maxIterations = 300;
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            double zx = (size.height() / 2.0 - y) * scale, zy = (x - size.width() / 2.0) * scale;
            int i = 0;
            for (; i < maxIterations && zx * zx + zy * zy < 256; ++i) {
                const double t = zx * zx - zy * zy + cRe;
                zy = 2 * zx * zy + cIm;
                zx = t;
            }
            if (i == maxIterations) {
                line[x] = qRgb(8, 6, 20);
                continue;
            }
            // A continuous escape count hides the bands between iterations.
            const double smooth = i + 1 - std::log2(std::log2(zx * zx + zy * zy) / 2);
            line[x] =
                toRgb(cosinePalette(float(std::sqrt(smooth) / 6), QVector3D(0.5f, 0.6f, 0.7f)));
        }
    }
    return image;
}
