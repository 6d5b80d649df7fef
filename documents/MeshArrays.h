#ifndef MESHARRAYS_H
#define MESHARRAYS_H

#include "MeshRenderMode.h"

#include <QHash>
#include <QtGlobal>

#include <vector>

class SurfaceMesh;

// The arrays a SurfaceMesh is drawn from: vertex buffers and index lists that,
// drawn with one call, give exactly the picture of sending every vertex one by
// one with its colour, normal and position.
//
// What is sent. Each vertex v goes with the normal (-nx, -ny, nz) and the
// position (x - cx, y - cy, cz - z), (cx, cy, cz) the mesh centre: centred and
// mirrored along z. Mirroring turns the faces inside out, so every triangle
// (i0, i1, i2) is sent as i0, i2, i1 to stay counter-clockwise. With strips
// (usesStrips()) each strip s0 s1 s2 s3 … of the strip list (a negative entry
// ends one) is sent as the triangle s0, s2, s1 and then the triangle strip
// s1, s2, s3 …, whose triangles all take the orientation the mirror needs. A
// strip of fewer than three entries sends nothing.
//
// Colours. Before a vertex its colour code c may set the current colour, RGB
// with alpha 0.4: c = 0 the convex colour (meshColor0), 1..999 the concave one
// (meshColor1), c < 0 the highlight (0.8, 0.1, 0.1), c >= 0x3F000000 red, green
// and blue from bits 16..23, 8..15 and 0..7 over 255. Codes 1000..0x3EFFFFFF set
// nothing: the vertex takes the current colour, which is (1, 1, 1, 1) before
// any vertex has set one. Of each separate triangle in flat mode only i1, the
// last vertex sent, sets it; within the strips a vertex sets it only when its
// code differs from the code of the vertex sent before (which gives the same
// colours as setting it every time).
//
// Layout. "The current colour" depends on the order of sending, so one vertex
// may be sent in different colours. The arrays hold one slot per mesh vertex,
// slot v for vertex v, followed by copies of vertices that are sent in a
// second colour; indices() lists the slot of every vertex sent, in the order
// sent. Only codes 1000..0x3EFFFFFF can make copies: every other vertex always
// shows the colour of its own code. Sendings whose colour cannot show need no
// slot of their own: with flat shading a triangle is drawn in the colour of
// its last vertex (the provoking vertex of GL_TRIANGLES and GL_TRIANGLE_STRIP),
// so the other vertices take whatever slot v holds.
//
// Why not one entry per vertex sent: a mesh of 200,000 vertices has about
// 400,000 triangles, 1.2 million vertices sent as separate triangles, and at
// 40 bytes each (float position, normal and RGBA) that is 48 MB, with every
// vertex lit three times per frame. Indexed, the same mesh takes 200,000 slots
// of 44 bytes (positions, normals, colours and the colour key kept for
// updates), 8.8 MB, and 4.8 MB of triangle indices or about 1.7 MB of strip
// indices; copies add 44 bytes each, at most one per vertex sent, and none for
// meshes without codes 1000..0x3EFFFFFF.
//
// Drawing. Positions, normals and colours are tightly packed floats (3, 3 and
// 4 per slot) for glVertexPointer, glNormalPointer and glColorPointer, with
// colour material on for the diffuse colour. Indices are GL_UNSIGNED_INT.
// Separate triangles: glDrawElements(GL_TRIANGLES, indices().size(), ...).
// Strips: glMultiDrawElements(GL_TRIANGLE_STRIP, stripCounts(), offsets, n)
// with offsets[i] = stripFirsts()[i] * 4 bytes into the index buffer; the
// first triangle of every strip is a strip of three, so primitives come in the
// order sent, which keeps blended (transparent) pictures the same as well.
class MeshArrays
{
public:
    enum Primitive { Triangles, TriangleStrips };

    static constexpr float vertexAlpha = 0.4f;

    // Whether the mesh is drawn from its strips: it has a strip list and its
    // strips flag is set.
    static bool usesStrips(const SurfaceMesh &mesh);

    // Makes every array for the mesh drawn in the given mode. False, with
    // everything empty, when there is nothing to draw: the mesh was not read
    // (negative reservedValue), has no vertices, or an index lies outside its
    // vertices.
    bool build(const SurfaceMesh &mesh, const MeshRenderMode &mode);
    // Makes the colours again after the colour codes, the mesh colours or the
    // render mode changed on the mesh last built. True when only colours()
    // changed; false when slots and indices changed as well (or the mesh was
    // built anew), so that every array must be uploaded again.
    bool updateColours(const SurfaceMesh &mesh, const MeshRenderMode &mode);
    void clear();

    bool isEmpty() const { return slotKeys.empty(); }
    int slotCount() const { return int(slotKeys.size()); }
    const std::vector<float> &positions() const { return positionArray; }
    const std::vector<float> &normals() const { return normalArray; }
    const std::vector<float> &colours() const { return colourArray; }

    Primitive primitive() const { return primitiveType; }
    const std::vector<quint32> &indices() const { return indexArray; }
    // Strips only: where each primitive starts in indices() and how many
    // indices it has.
    const std::vector<int> &stripFirsts() const { return firsts; }
    const std::vector<int> &stripCounts() const { return counts; }

private:
    // Fills indexArray, the strip table, slotKeys and copySources; false when
    // an index is out of range.
    bool sendVertices(const SurfaceMesh &mesh, const MeshRenderMode &mode);
    void fillGeometry(const SurfaceMesh &mesh);
    void fillColours(const SurfaceMesh &mesh);

    Primitive primitiveType = Triangles;
    std::vector<float> positionArray;
    std::vector<float> normalArray;
    std::vector<float> colourArray;
    std::vector<quint32> indexArray;
    std::vector<int> firsts;
    std::vector<int> counts;
    std::vector<int> slotKeys;    // the colour of every slot, as a code standing for it
    std::vector<int> copySources; // the vertex of every slot after the mesh's own
    QHash<quint64, int> copies;   // (vertex, colour key) -> slot
    int meshVertexCount = 0;
};

#endif
