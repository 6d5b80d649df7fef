#ifndef CXSCORE_H
#define CXSCORE_H

#include "DocRawDataInterface.h"
#include "DocSRFInterface.h"
#include "DocVMRInterface.h"
#include "GeneralToolsInterface.h"
#include "StatisticalMap.h"

#include <QList>
#include <QObject>

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

    QString removeExtension(const QString &name);
    QString getExtension(const QString &name);
    QString getCurrentDir();
    QString combinePathAndFileName(const QString &path, const QString &name);

    // Entry 0..19 of the maps' built-in colour scale.
    const unsigned char *mapColor(int entry) const
    {
        return StatisticalMap::scaleColor(entry).data();
    }

    QList<VolumeDoc *> volumeDocs;
    int nrOfVolumeDocs = 0;
    int currentVolumeDoc = -1;
    QList<SurfaceMesh *> meshes;
    int nrOfMeshes = 0;
    int currentMesh = -1;
    DICOMDoc *dicomDoc = nullptr;

private:
    // The failed documents are deleted; their reasons outlive them.
    QString vmrFailureReason;
    QString meshFailureReason;
    QString dicomFailureReason;
};

#endif
