#ifndef MESHFILE_H
#define MESHFILE_H

#include "ViewingParameters.h"

#include <QString>

#include <optional>

class DocSRFInterface;
class SurfaceMesh;

// A mesh file opened as the mesh view shows it: read by the core, seen through
// the viewing parameters saved beside it.
class MeshFile
{
public:
    // The mesh the core read from the file, or null with the reason in *reason.
    static SurfaceMesh *load(DocSRFInterface &meshes, const QString &fileName, QString *reason);
    // The viewing-parameter file of the same name ending in .vwp, or else .VWP.
    static std::optional<ViewingParameters> parametersBeside(const QString &meshFileName);
};

#endif
