#ifndef MESHRASTERIZER_H
#define MESHRASTERIZER_H

#include <QImage>
#include <QList>
#include <QMatrix4x4>
#include <QVector3D>

// Draws a triangle mesh lit from the upper left with a depth buffer, for
// pictures of the sample meshes. Triangles are counter-clockwise seen from
// outside; the view is orthographic along the camera's -z axis.
class MeshRasterizer
{
public:
    // colours: an RGB albedo per vertex, 0..1 each.
    MeshRasterizer(const QList<QVector3D> &vertices, const QList<int> &triangles,
                   const QList<QVector3D> &colours);

    // camera maps mesh coordinates to view coordinates (x right, y up, z towards
    // the viewer, millimetres); the image centre shows the view origin.
    // Transparent where the mesh does not cover the image.
    QImage render(const QMatrix4x4 &camera, double pixelsPerMm, const QSize &size) const;

    // Unit normals at the vertices: the area-weighted normals of their triangles.
    static QList<QVector3D> vertexNormals(const QList<QVector3D> &vertices,
                                          const QList<int> &triangles);

private:
    QList<QVector3D> vertices;
    QList<int> triangles;
    QList<QVector3D> colours;
    QList<QVector3D> normals;
};

#endif
