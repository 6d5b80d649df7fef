#ifndef CXSCORE_H
#define CXSCORE_H

#include "DocRawDataInterface.h"
#include "DocSRFInterface.h"
#include "DocVMRInterface.h"
#include "GeneralToolsInterface.h"
#include "StatisticalMap.h"

#include <QObject>

#include <memory>

class DICOMDoc;

// The document core: loads and owns the documents the views show.
class CXSCore : public QObject,
                public DocVMRInterface,
                public DocSRFInterface,
                public DocRawDataInterface,
                public GeneralToolsInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.cortivex.CXSCore/0.1")
    Q_INTERFACES(DocVMRInterface DocSRFInterface DocRawDataInterface GeneralToolsInterface)

public:
    CXSCore();
    ~CXSCore() override;

    bool loadVMR(QString fileName) override;
    int getNrOfVolumeDocs() override;
    VolumeDoc *getVolumeDoc(int index) override;
    void releaseVolumeDocs() override;
    QString getVMRFailureReason() override;

    bool loadMesh(QString fileName) override;
    int getNrOfMeshes() override;
    SurfaceMesh *getMesh(int index) override;
    void releaseMeshes() override;
    QString getMeshFailureReason() override;

    bool loadDICOM(QString fileName) override;
    DICOMDoc *getDICOMDoc() override;
    QString getDICOMFailureReason() override;
    void releaseDICOMDoc() override;

    void convertWinDirSlashes2UnixSlashes(QString &path) override;

    // Entry 0..19 of the maps' built-in colour scale.
    const unsigned char *mapColor(int entry) const
    {
        return StatisticalMap::scaleColor(entry).data();
    }

    int currentVolumeDoc = -1;
    int currentMesh = -1;

private:
    // One document of each kind at a time.
    std::unique_ptr<VolumeDoc> volumeDoc;
    std::unique_ptr<SurfaceMesh> mesh;
    std::unique_ptr<DICOMDoc> dicomDoc;

    // The failed documents are deleted; their reasons outlive them.
    QString vmrFailureReason;
    QString meshFailureReason;
    QString dicomFailureReason;
};

#endif
