#ifndef ICOSPHERE_H
#define ICOSPHERE_H

#include <QList>
#include <QVector3D>

// The unit sphere as a subdivided icosahedron: 20·4^n triangles, each listed
// counter-clockwise as seen from outside.
class Icosphere
{
public:
    explicit Icosphere(int subdivisions);

    // The neighbours of every vertex, clockwise round it as seen from outside,
    // so that a neighbour and the next one form a triangle with it. Normals
    // made from such rings point inwards, which the mesh view needs: it draws
    // the surface mirrored along z with the normals mirrored the other way.
    QList<QList<int>> neighbourRings() const;
    // Triangle strips, each ended by -1 except the last. Strip s0 s1 s2 s3 …
    // holds the triangles (s0 s1 s2), (s2 s1 s3), (s2 s3 s4) …, all turning the
    // same way as the triangle list; every triangle appears in exactly one strip.
    QList<int> strips() const;

    QList<QVector3D> vertices;
    QList<int> triangles;
};

#endif
