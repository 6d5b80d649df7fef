#ifndef MESHRENDERMODE_H
#define MESHRENDERMODE_H

// How a mesh is drawn, decoded from its render mode r (SurfaceMesh::renderMode).
// r mod 100 selects 1 Gouraud (filled, smooth shading), 2 wireframe (lines),
// 3 flat (filled, flat shading) or 4 points. Modes 2 and 4 keep the shade model
// of the mode drawn before; any other value keeps polygons and shading both.
// r above 100 draws the mesh transparent. Before any mode the state is filled
// and smooth, as the view starts.
class MeshRenderMode
{
public:
    enum Polygons { Filled, Lines, Points };

    MeshRenderMode() = default;

    // The state for drawing with render mode r after this one.
    MeshRenderMode next(int renderMode) const;
    // The W key: 1 <-> 2 and 101 <-> 102; any other mode becomes 1, or 101
    // when it was above 100.
    static int toggledWireframe(int renderMode);

    // For glPolygonMode on front and back faces.
    Polygons polygons() const { return polygonMode; }
    // For glShadeModel: GL_FLAT when true, else GL_SMOOTH.
    bool flatShading() const { return flat; }
    // Blending with the source alpha, depth writes off while the mesh is drawn.
    bool transparent() const { return blended; }
    // Flat mode (r mod 100 == 3): of each separate triangle only the last
    // vertex sent sets the colour.
    bool lastVertexColoursTriangle() const { return flatColours; }

private:
    Polygons polygonMode = Filled;
    bool flat = false;
    bool blended = false;
    bool flatColours = false;
};

#endif
