#include "CXSCore.h"

#include "DICOMDoc.h"
#include "NiftiImage.h"
#include "SurfaceMesh.h"
#include "VolumeDoc.h"

#include <QDir>
#include <QFileInfo>

CXSCore::CXSCore() = default;

CXSCore::~CXSCore()
{
    qDeleteAll(volumeDocs);
    volumeDocs.clear();
    qDeleteAll(meshes);
    meshes.clear();
    delete dicomDoc;
}

bool CXSCore::loadVMR(QString fileName)
{
    auto *doc = new VolumeDoc;
    const bool read = NiftiImage::isNiftiFileName(fileName) ? doc->readNifti(fileName)
                                                            : doc->readVolume(fileName);
    if (!read) {
        vmrFailureReason = doc->failureReason();
        delete doc;
        return false;
    }
    vmrFailureReason.clear();
    qDeleteAll(volumeDocs);
    volumeDocs = {doc};
    nrOfVolumeDocs = 1;
    return true;
}

int CXSCore::getNrOfVolumeDocs()
{
    return nrOfVolumeDocs;
}

VolumeDoc *CXSCore::getVolumeDoc(int index)
{
    return index >= 0 && index < volumeDocs.size() ? volumeDocs[index] : nullptr;
}

void CXSCore::releaseVolumeDocs()
{
    qDeleteAll(volumeDocs);
    volumeDocs.clear();
    nrOfVolumeDocs = 0;
    currentVolumeDoc = -1;
}

QString CXSCore::getVMRFailureReason()
{
    return vmrFailureReason;
}

bool CXSCore::loadMesh(QString fileName)
{
    auto *mesh = new SurfaceMesh;
    if (!mesh->readMesh(fileName)) {
        meshFailureReason = mesh->failureReason();
        delete mesh;
        return false;
    }
    meshFailureReason.clear();
    currentMesh = 0;
    qDeleteAll(meshes);
    meshes = {mesh};
    nrOfMeshes = 1;
    return true;
}

int CXSCore::getNrOfMeshes()
{
    return nrOfMeshes;
}

SurfaceMesh *CXSCore::getMesh(int index)
{
    return index >= 0 && index < meshes.size() ? meshes[index] : nullptr;
}

void CXSCore::releaseMeshes()
{
    qDeleteAll(meshes);
    meshes.clear();
    nrOfMeshes = 0;
    currentMesh = -1;
}

QString CXSCore::getMeshFailureReason()
{
    return meshFailureReason;
}

bool CXSCore::loadDICOM(QString fileName)
{
    auto *doc = new DICOMDoc;
    if (!doc->readDICOM(fileName)) {
        dicomFailureReason = doc->failureReason();
        delete doc;
        return false;
    }
    dicomFailureReason.clear();
    delete dicomDoc;
    dicomDoc = doc;
    return true;
}

DICOMDoc *CXSCore::getDICOMDoc()
{
    return dicomDoc;
}

QString CXSCore::getDICOMFailureReason()
{
    return dicomFailureReason;
}

void CXSCore::releaseDICOMDoc()
{
    delete dicomDoc;
    dicomDoc = nullptr;
}

void CXSCore::convertWinDirSlashes2UnixSlashes(QString &path)
{
    path.replace('\\', '/');
}

QString CXSCore::removeExtension(const QString &name)
{
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? name : name.left(dot);
}

QString CXSCore::getExtension(const QString &name)
{
    return QFileInfo(name).suffix().toLower();
}

QString CXSCore::getCurrentDir()
{
    QString dir = QDir::currentPath();
    if (!dir.endsWith('/'))
        dir += '/';
    return dir;
}

QString CXSCore::combinePathAndFileName(const QString &path, const QString &name)
{
    if (path.isEmpty())
        return name;
    return path.endsWith('/') ? path + name : path + '/' + name;
}
