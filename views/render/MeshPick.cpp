#include "MeshPick.h"

#include "MeshCamera.h"
#include "SurfaceMesh.h"

#include <QMatrix4x4>
#include <QVector3D>

#include <cmath>
#include <limits>

namespace {

// The position a vertex is drawn at: centred, z mirrored (MeshArrays).
QVector3D drawnPosition(const SurfaceMesh &mesh, int v)
{
    return {mesh.vertexX[v] - mesh.meshCenter[0], mesh.vertexY[v] - mesh.meshCenter[1],
            mesh.meshCenter[2] - mesh.vertexZ[v]};
}

} // namespace

int pickVertex(const SurfaceMesh &mesh, const MeshCamera &camera, bool cullBackFaces, QSizeF view,
               QPointF point)
{
    if (mesh.reservedValue < 0 || mesh.nrOfVertices <= 0 || !mesh.triangles || !mesh.vertexX ||
        view.width() < 1 || view.height() < 1)
        return -1;
    const double aspect = view.width() / view.height();
    QMatrix4x4 projection;
    if (camera.perspectiveProjection()) {
        projection.perspective(camera.fieldOfView(), float(aspect), float(camera.nearPlane()),
                               float(camera.farPlane()));
    } else {
        const double h = camera.orthoHalfWidth();
        if (!(h > 0))
            return -1;
        projection.ortho(float(-h), float(h), float(-h / aspect), float(h / aspect),
                         float(camera.nearPlane()), float(camera.farPlane()));
    }
    QMatrix4x4 modelView;
    modelView.translate(float(camera.translationX()), float(camera.translationY()),
                        float(camera.translationZ()));
    modelView.rotate(float(camera.rotationX()), 1, 0, 0);
    modelView.rotate(float(camera.rotationY()), 0, 1, 0);
    modelView.rotate(float(camera.rotationZ()), 0, 0, 1);
    bool invertible = false;
    const QMatrix4x4 toModel = (projection * modelView).inverted(&invertible);
    if (!invertible)
        return -1;

    // The ray through the point from the near plane to the far one, in the
    // model's coordinates; window y runs up.
    const float ndcX = float(2.0 * point.x() / view.width() - 1.0);
    const float ndcY = float(1.0 - 2.0 * point.y() / view.height());
    const QVector3D nearPoint = toModel.map(QVector3D(ndcX, ndcY, -1.0f));
    const QVector3D farPoint = toModel.map(QVector3D(ndcX, ndcY, 1.0f));
    const QVector3D direction = farPoint - nearPoint;
    if (direction.isNull())
        return -1;

    // Möller and Trumbore's test on every triangle as drawn (i0, i2, i1),
    // t running from 0 at the near plane to 1 at the far one.
    double nearest = std::numeric_limits<double>::infinity();
    int hitTriangle = -1;
    QVector3D hit;
    for (int t = 0; t < mesh.nrOfTriangles; ++t) {
        const int *corner = mesh.triangles.get() + 3 * qint64(t);
        if (corner[0] < 0 || corner[1] < 0 || corner[2] < 0 || corner[0] >= mesh.nrOfVertices ||
            corner[1] >= mesh.nrOfVertices || corner[2] >= mesh.nrOfVertices)
            continue;
        const QVector3D a = drawnPosition(mesh, corner[0]);
        const QVector3D b = drawnPosition(mesh, corner[2]);
        const QVector3D c = drawnPosition(mesh, corner[1]);
        const QVector3D ab = b - a, ac = c - a;
        if (cullBackFaces && QVector3D::dotProduct(QVector3D::crossProduct(ab, ac), direction) >= 0)
            continue;
        const QVector3D p = QVector3D::crossProduct(direction, ac);
        const double det = QVector3D::dotProduct(ab, p);
        if (det == 0.0)
            continue;
        const QVector3D s = nearPoint - a;
        const double u = QVector3D::dotProduct(s, p) / det;
        if (u < 0.0 || u > 1.0)
            continue;
        const QVector3D q = QVector3D::crossProduct(s, ab);
        const double v = QVector3D::dotProduct(direction, q) / det;
        if (v < 0.0 || u + v > 1.0)
            continue;
        const double along = QVector3D::dotProduct(ac, q) / det;
        if (along < 0.0 || along > 1.0 || along >= nearest)
            continue;
        nearest = along;
        hitTriangle = t;
        hit = nearPoint + float(along) * direction;
    }
    if (hitTriangle < 0)
        return -1;
    const int *corner = mesh.triangles.get() + 3 * qint64(hitTriangle);
    int best = corner[0];
    for (int i = 1; i < 3; ++i)
        if ((drawnPosition(mesh, corner[i]) - hit).lengthSquared() <
            (drawnPosition(mesh, best) - hit).lengthSquared())
            best = corner[i];
    return best;
}
