#ifndef DOCVMRINTERFACE_H
#define DOCVMRINTERFACE_H

#include <QString>
#include <QtPlugin>

class VolumeDoc;

class DocVMRInterface
{
public:
    virtual ~DocVMRInterface() {}
    virtual bool loadVMR(QString fileName) = 0;
    virtual int getNrOfVolumeDocs() = 0;
    virtual VolumeDoc *getVolumeDoc(int index) = 0;
    // Deletes the volumes once no view shows them.
    virtual void releaseVolumeDocs() = 0;
    // Why the last loadVMR failed, in a few words for the user ("a volume of
    // 1024 × 1024 × 1024 voxels is larger than the viewer shows ..."); empty
    // after one that succeeded.
    virtual QString getVMRFailureReason() = 0;
};

#define DocVMRInterface_iid "com.cortivex.CXSCoreDocVMRInterface/0.1"
Q_DECLARE_INTERFACE(DocVMRInterface, DocVMRInterface_iid)

#endif
