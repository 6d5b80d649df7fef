#include "CXSCore.h"

#include "DICOMDoc.h"
#include "NiftiImage.h"
#include "SurfaceMesh.h"
#include "VolumeDoc.h"

CXSCore::CXSCore() = default;

CXSCore::~CXSCore() = default;

bool CXSCore::loadVMR(QString fileName)
{
    auto doc = std::make_unique<VolumeDoc>();
    const bool read = NiftiImage::isNiftiFileName(fileName) ? doc->readNifti(fileName)
                                                            : doc->readVolume(fileName);
    if (!read) {
        vmrFailureReason = doc->failureReason();
        return false;
    }
    vmrFailureReason.clear();
    volumeDoc = std::move(doc);
    return true;
}

int CXSCore::getNrOfVolumeDocs()
{
    return volumeDoc ? 1 : 0;
}

VolumeDoc *CXSCore::getVolumeDoc(int index)
{
    return index == 0 ? volumeDoc.get() : nullptr;
}

void CXSCore::releaseVolumeDocs()
{
    volumeDoc.reset();
    currentVolumeDoc = -1;
}

QString CXSCore::getVMRFailureReason()
{
    return vmrFailureReason;
}

bool CXSCore::loadMesh(QString fileName)
{
    auto read = std::make_unique<SurfaceMesh>();
    if (!read->readMesh(fileName)) {
        meshFailureReason = read->failureReason();
        return false;
    }
    meshFailureReason.clear();
    currentMesh = 0;
    mesh = std::move(read);
    return true;
}

int CXSCore::getNrOfMeshes()
{
    return mesh ? 1 : 0;
}

SurfaceMesh *CXSCore::getMesh(int index)
{
    return index == 0 ? mesh.get() : nullptr;
}

void CXSCore::releaseMeshes()
{
    mesh.reset();
    currentMesh = -1;
}

QString CXSCore::getMeshFailureReason()
{
    return meshFailureReason;
}

bool CXSCore::loadDICOM(QString fileName)
{
    auto doc = std::make_unique<DICOMDoc>();
    if (!doc->readDICOM(fileName)) {
        dicomFailureReason = doc->failureReason();
        return false;
    }
    dicomFailureReason.clear();
    dicomDoc = std::move(doc);
    return true;
}

DICOMDoc *CXSCore::getDICOMDoc()
{
    return dicomDoc.get();
}

QString CXSCore::getDICOMFailureReason()
{
    return dicomFailureReason;
}

void CXSCore::releaseDICOMDoc()
{
    dicomDoc.reset();
}

void CXSCore::convertWinDirSlashes2UnixSlashes(QString &path)
{
    path.replace('\\', '/');
}
