#include "MeshPick.h"

#include "MeshCamera.h"
#include "SurfaceMesh.h"

#include <QMatrix4x4>
#include <QVector3D>

#include <cmath>
#include <limits>

namespace {

struct Vector
{
    double x, y, z;
    Vector operator-(const Vector &o) const { return {x - o.x, y - o.y, z - o.z}; }
    double dot(const Vector &o) const { return x * o.x + y * o.y + z * o.z; }
    Vector cross(const Vector &o) const
    {
        return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
    }
};

// Where the mesh draws vertex v: centred on its centre and mirrored along z.
Vector drawnAt(const SurfaceMesh &mesh, int v)
{
    return {double(mesh.vertexX[v]) - mesh.meshCenter[0],
            double(mesh.vertexY[v]) - mesh.meshCenter[1],
            double(mesh.meshCenter[2]) - mesh.vertexZ[v]};
}

} // namespace

int pickVertex(const SurfaceMesh &mesh, const MeshCamera &camera, QSizeF viewSize, QPointF point)
{
    if (mesh.reservedValue < 0 || mesh.nrOfVertices <= 0 || !mesh.triangles ||
        viewSize.width() <= 0 || viewSize.height() <= 0)
        return -1;
    QMatrix4x4 modelView;
    modelView.translate(float(camera.translationX()), float(camera.translationY()),
                        float(camera.translationZ()));
    modelView.rotate(float(camera.rotationX()), 1, 0, 0);
    modelView.rotate(float(camera.rotationY()), 0, 1, 0);
    modelView.rotate(float(camera.rotationZ()), 0, 0, 1);
    bool invertible = false;
    const QMatrix4x4 toModel = modelView.inverted(&invertible);
    if (!invertible)
        return -1;

    // The line of sight in the eye's coordinates, then in the model's.
    const double aspect = viewSize.width() / viewSize.height();
    const double ndcX = 2.0 * point.x() / viewSize.width() - 1.0;
    const double ndcY = 1.0 - 2.0 * point.y() / viewSize.height();
    QVector3D eyeOrigin, eyeDirection(0, 0, -1);
    if (camera.perspectiveProjection()) {
        const double slope = std::tan(camera.fieldOfView() * M_PI / 360.0);
        eyeDirection = QVector3D(float(ndcX * slope * aspect), float(ndcY * slope), -1);
    } else {
        const double h = camera.orthoHalfWidth();
        eyeOrigin = QVector3D(float(ndcX * h), float(ndcY * h / aspect), 0);
    }
    const QVector3D o = toModel.map(eyeOrigin);
    const QVector3D d = toModel.mapVector(eyeDirection);
    const Vector origin{o.x(), o.y(), o.z()}, direction{d.x(), d.y(), d.z()};

    // Each triangle met (Möller and Trumbore), the nearest kept.
    double nearest = std::numeric_limits<double>::infinity();
    qint64 hit = -1;
    const int *corner = mesh.triangles.get();
    for (qint64 t = 0; t < mesh.nrOfTriangles; ++t, corner += 3) {
        const Vector p0 = drawnAt(mesh, corner[0]);
        const Vector e1 = drawnAt(mesh, corner[1]) - p0, e2 = drawnAt(mesh, corner[2]) - p0;
        const Vector q = direction.cross(e2);
        const double determinant = e1.dot(q);
        if (std::abs(determinant) < 1e-12)
            continue;
        const Vector s = origin - p0;
        const double u = s.dot(q) / determinant;
        if (u < 0 || u > 1)
            continue;
        const Vector r = s.cross(e1);
        const double v = direction.dot(r) / determinant;
        if (v < 0 || u + v > 1)
            continue;
        const double distance = e2.dot(r) / determinant;
        if (distance > 0 && distance < nearest) {
            nearest = distance;
            hit = t;
        }
    }
    if (hit < 0)
        return -1;
    const int *met = mesh.triangles.get() + 3 * hit;
    const Vector at{origin.x + nearest * direction.x, origin.y + nearest * direction.y,
                    origin.z + nearest * direction.z};
    int closest = met[0];
    double closestSquared = std::numeric_limits<double>::infinity();
    for (int k = 0; k < 3; ++k) {
        const Vector apart = drawnAt(mesh, met[k]) - at;
        if (apart.dot(apart) < closestSquared) {
            closestSquared = apart.dot(apart);
            closest = met[k];
        }
    }
    return closest;
}
