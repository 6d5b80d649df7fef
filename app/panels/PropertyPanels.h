#ifndef PROPERTYPANELS_H
#define PROPERTYPANELS_H

#include <QList>
#include <QObject>
#include <QPointer>

#include "QtTreePropertyBrowser.h"

#include <array>
#include <memory>

class Atlas;
class DICOMDoc;
class MeshDocument;
class VolumeDocument;
class QtBrowserItem;
class QtVariantEditorFactory;
class QtVariantProperty;
class QtVariantPropertyManager;

// The three panels of the properties dock, one per browsing mode: the file
// properties of the current cover and the header figures of the document shown.
class PropertyPanels : public QObject
{
    Q_OBJECT

public:
    explicit PropertyPanels(QObject *parent = nullptr);
    ~PropertyPanels() override;

    QtTreePropertyBrowser *imagePropertiesBrowser() const { return imageBrowser; }
    QtTreePropertyBrowser *cxPropertiesBrowser() const { return cxBrowser; }
    QtTreePropertyBrowser *rawMRIPropertiesBrowser() const { return rawMRIBrowser; }
    QtBrowserItem *vmrGroupItem() const { return vmrGroup; }
    QtBrowserItem *srfGroupItem() const { return srfGroup; }
    QtBrowserItem *niftiGroupItem() const { return niftiGroup; }
    QtBrowserItem *crossValuesGroupItem() const { return crossGroup; }
    QtBrowserItem *pickedVertexGroupItem() const { return vertexGroup; }

public slots:
    void updateImageFileProperties(int citem, QString strFullFileName, int img_width,
                                   int img_height, int img_orientation);
    void updateImageDimsProperties(int img_width, int img_height);
    void updateCXFileProperties(int citem, QString strFullFileName);
    void updateRawMRIFileProperties(int citem, QString strFullFileName);
    // The figures of the volume shown; the panel follows its cross from now on.
    void updateHeaderOfLoadedVMR(const std::shared_ptr<const VolumeDocument> &volume);
    // The cross of the volume view at voxel (x, y, z) of the volume shown, in
    // voxels or, for a volume in Talairach space, in Talairach coordinates.
    void updateCrossCoords(int x, int y, int z);
    // The figures of the mesh shown, as MeshDocument counted them.
    void updateHeaderOfLoadedSRF(const QStringList &values);
    void updateHeaderOfLoadedDICOM(const DICOMDoc &doc);
    // The atlas that names the region at the cross; none names nothing.
    void setAtlas(const std::shared_ptr<const Atlas> &atlas);
    // A vertex of a mesh picked in the mesh view (-1: none): its index,
    // coordinates, curvature and the value of the map shown there.
    void showPickedVertex(const std::shared_ptr<const MeshDocument> &mesh, int vertex);
    // The values at the cross and at the picked vertex anew: the map shown changed.
    void updateValues();
    // "Frame": frame (from 0) of frames is shown.
    void updateDicomFrame(int frame, int frames);
    // A file that failed to load shows no figures, and none of the last one read.
    void clearHeaderOfVMR();
    void clearHeaderOfSRF();
    void clearHeaderOfDICOM();

private:
    struct FileProperties
    {
        QtVariantProperty *name = nullptr;
        QtVariantProperty *folder = nullptr;
        QtVariantProperty *size = nullptr;
    };

    QtBrowserItem *addGroup(QtTreePropertyBrowser *browser, const QString &name,
                            const QStringList &labels, QList<QtVariantProperty *> &members);
    FileProperties addFileGroup(QtTreePropertyBrowser *browser);
    void clearHeaderOfNifti();
    static void showValues(const QList<QtVariantProperty *> &rows,
                           const QList<QPair<QString, QString>> &values);
    static void setFileProperties(const FileProperties &file, int citem,
                                  const QString &fullFileName);

    std::weak_ptr<const VolumeDocument> shownVolume;
    std::array<int, 3> cross = {-1, -1, -1};
    std::shared_ptr<const Atlas> atlas;
    std::weak_ptr<const MeshDocument> pickedMesh;
    int pickedVertex = -1;
    QtVariantPropertyManager *variantManager;
    // Editors exist but are never attached: the panels only display.
    QtVariantEditorFactory *imageEditorFactory;
    QtVariantEditorFactory *cxEditorFactory;
    QtVariantEditorFactory *rawMRIEditorFactory;
    // A browser shown in a dock goes with the dock; the others go with us.
    QPointer<QtTreePropertyBrowser> imageBrowser;
    QPointer<QtTreePropertyBrowser> cxBrowser;
    QPointer<QtTreePropertyBrowser> rawMRIBrowser;
    QtBrowserItem *vmrGroup = nullptr;
    QtBrowserItem *srfGroup = nullptr;
    QtBrowserItem *niftiGroup = nullptr;
    QtBrowserItem *crossGroup = nullptr;
    QtBrowserItem *vertexGroup = nullptr;
    FileProperties imageFile, cxFile, rawMRIFile;
    QList<QtVariantProperty *> imageDimsProps;
    QList<QtVariantProperty *> vmrProps;
    QList<QtVariantProperty *> srfProps;
    QList<QtVariantProperty *> niftiProps;
    QList<QtVariantProperty *> dicomProps;
    QList<QtVariantProperty *> crossProps;
    QList<QtVariantProperty *> vertexProps;
};

#endif
