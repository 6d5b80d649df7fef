#include "MeshRasterizer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Rendering at twice the size and scaling down smooths the edges.
const int oversampling = 2;

} // namespace

MeshRasterizer::MeshRasterizer(const QList<QVector3D> &vertices, const QList<int> &triangles,
                               const QList<QVector3D> &colours)
    : vertices(vertices), triangles(triangles), colours(colours),
      normals(vertexNormals(vertices, triangles))
{
}

QList<QVector3D> MeshRasterizer::vertexNormals(const QList<QVector3D> &vertices,
                                               const QList<int> &triangles)
{
    // The cross product's length is twice the triangle's area.
    QList<QVector3D> normals(vertices.size());
    for (qsizetype t = 0; t < triangles.size(); t += 3) {
        const int a = triangles[t], b = triangles[t + 1], c = triangles[t + 2];
        const QVector3D n =
            QVector3D::crossProduct(vertices[b] - vertices[a], vertices[c] - vertices[a]);
        normals[a] += n;
        normals[b] += n;
        normals[c] += n;
    }
    for (QVector3D &n : normals)
        n.normalize();
    return normals;
}

QImage MeshRasterizer::render(const QMatrix4x4 &camera, double pixelsPerMm, const QSize &size) const
{
    const int width = size.width() * oversampling, height = size.height() * oversampling;
    const float scale = float(pixelsPerMm * oversampling);
    const QVector3D light = QVector3D(-0.45f, 0.55f, 0.7f).normalized();
    const QVector3D halfway = (light + QVector3D(0, 0, 1)).normalized();

    // Screen position, depth and lit colour of every vertex.
    QList<QVector3D> screen(vertices.size());
    QList<QVector3D> shade(vertices.size());
    for (qsizetype v = 0; v < vertices.size(); ++v) {
        const QVector3D p = camera.map(vertices[v]);
        screen[v] = QVector3D(width / 2.0f + p.x() * scale, height / 2.0f - p.y() * scale, p.z());
        const QVector3D n = camera.mapVector(normals[v]).normalized();
        const float diffuse = std::max(0.0f, QVector3D::dotProduct(n, light));
        const float specular =
            std::pow(std::max(0.0f, QVector3D::dotProduct(n, halfway)), 24.0f) * 0.25f;
        shade[v] = colours[v] * (0.22f + 0.78f * diffuse) + QVector3D(specular, specular, specular);
    }

    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QList<float> depth(qsizetype(width) * height, -std::numeric_limits<float>::infinity());
    for (qsizetype t = 0; t < triangles.size(); t += 3) {
        const QVector3D &a = screen[triangles[t]], &b = screen[triangles[t + 1]],
                        &c = screen[triangles[t + 2]];
        // Screen y grows downwards, so a front face turns clockwise here.
        const float area = (b.x() - a.x()) * (c.y() - a.y()) - (b.y() - a.y()) * (c.x() - a.x());
        if (area >= 0)
            continue;
        const int x0 = std::max(0, int(std::floor(std::min({a.x(), b.x(), c.x()}))));
        const int x1 = std::min(width - 1, int(std::ceil(std::max({a.x(), b.x(), c.x()}))));
        const int y0 = std::max(0, int(std::floor(std::min({a.y(), b.y(), c.y()}))));
        const int y1 = std::min(height - 1, int(std::ceil(std::max({a.y(), b.y(), c.y()}))));
        const QVector3D &sa = shade[triangles[t]], &sb = shade[triangles[t + 1]],
                        &sc = shade[triangles[t + 2]];
        for (int y = y0; y <= y1; ++y) {
            QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = x0; x <= x1; ++x) {
                const float px = x + 0.5f, py = y + 0.5f;
                // Barycentric weights; all three share the sign of the area inside.
                const float wa = ((b.x() - px) * (c.y() - py) - (b.y() - py) * (c.x() - px)) / area;
                const float wb = ((c.x() - px) * (a.y() - py) - (c.y() - py) * (a.x() - px)) / area;
                const float wc = 1 - wa - wb;
                if (wa < 0 || wb < 0 || wc < 0)
                    continue;
                const float z = wa * a.z() + wb * b.z() + wc * c.z();
                float &stored = depth[qsizetype(y) * width + x];
                if (z <= stored)
                    continue;
                stored = z;
                const QVector3D colour = (wa * sa + wb * sb + wc * sc) * 255.0f;
                line[x] =
                    qRgb(std::clamp(int(colour.x()), 0, 255), std::clamp(int(colour.y()), 0, 255),
                         std::clamp(int(colour.z()), 0, 255));
            }
        }
    }
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
