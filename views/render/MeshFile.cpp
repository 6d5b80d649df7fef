#include "MeshFile.h"

#include "DocSRFInterface.h"
#include "DocumentStream.h"
#include "FileHelpers.h"

#include <QFileInfo>

SurfaceMesh *MeshFile::load(DocSRFInterface &meshes, const QString &fileName, QString *reason)
{
    if (meshes.loadMesh(fileName))
        if (SurfaceMesh *mesh = meshes.getMesh(0))
            return mesh;
    // The core keeps the last mesh it read; showing it under this file's name would lie.
    const QString failure = DocumentStream::openFailure(fileName);
    *reason = failure.isEmpty() ? "not a readable SRF mesh (damaged or cut short)" : failure;
    return nullptr;
}

std::optional<ViewingParameters> MeshFile::parametersBeside(const QString &meshFileName)
{
    const QString base = removeExtension(meshFileName);
    return ViewingParameters::fromFile(QFileInfo::exists(base + ".vwp") ? base + ".vwp"
                                                                        : base + ".VWP");
}
