#ifndef DOCSRFINTERFACE_H
#define DOCSRFINTERFACE_H

#include <QString>
#include <QtPlugin>

class SurfaceMesh;

class DocSRFInterface
{
public:
    virtual ~DocSRFInterface() {}
    virtual bool loadMesh(QString fileName) = 0;
    virtual int getNrOfMeshes() = 0;
    virtual SurfaceMesh *getMesh(int index) = 0;
    // Deletes the meshes once no view shows them.
    virtual void releaseMeshes() = 0;
    // Why the last loadMesh failed, in a few words for the user ("all 642
    // vertices lie at one point"); empty after one that succeeded.
    virtual QString getMeshFailureReason() = 0;
};

#define DocSRFInterface_iid "com.cortivex.CXSCoreDocSRFInterface/0.1"
Q_DECLARE_INTERFACE(DocSRFInterface, DocSRFInterface_iid)

#endif
