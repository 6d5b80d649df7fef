#ifndef MESHMAPOVERLAY_H
#define MESHMAPOVERLAY_H

#include <QStringList>

#include <optional>

class SurfaceMap;
class SurfaceMesh;

// The maps of an SMP file over a mesh as the maps panel and the command line
// choose them: one map shown at a time, with its threshold, cluster filter
// and signs, painted into the mesh's vertex colour codes. Whoever draws the
// mesh must make its colours again after overlay() and every setter.
class MeshMapOverlay
{
public:
    // Reads the map file onto the mesh: the names of its maps, or nothing when
    // it cannot be read, and then the mesh keeps the maps it had.
    static std::optional<QStringList> load(SurfaceMesh &mesh, const QString &fileName);
    // Makes map index of the mesh's maps the one shown, without painting it;
    // null, with nothing changed, when the mesh holds no such map.
    static SurfaceMap *select(SurfaceMesh &mesh, int index);
    // The one map shown, or null.
    static SurfaceMap *shown(const SurfaceMesh &mesh);
    // The mesh's own colours, and the map shown over them.
    static void overlay(SurfaceMesh &mesh);

    // Change the map shown and overlay it anew; false, with nothing changed,
    // when no map is shown.
    static bool setThreshold(SurfaceMesh &mesh, float threshold);
    static bool setClusterSize(SurfaceMesh &mesh, int size);
    static bool setClusterFilter(SurfaceMesh &mesh, bool on);
    // 1 positive, 2 negative, 3 both.
    static bool setSignSelection(SurfaceMesh &mesh, int signSelection);
};

#endif
