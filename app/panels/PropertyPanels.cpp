#include "PropertyPanels.h"

#include "Atlas.h"
#include "DICOMDoc.h"
#include "Documents.h"
#include "FileHelpers.h"
#include "FileTypes.h"
#include "HeaderTexts.h"
#include "LocalFiles.h"
#include "NiftiVolume.h"
#include "QtBrowserItem.h"
#include "QtTreePropertyBrowser.h"
#include "QtVariantEditorFactory.h"
#include "QtVariantProperty.h"
#include "QtVariantPropertyManager.h"
#include "SurfaceMesh.h"
#include "VolumeDoc.h"

#include <QFileInfo>

namespace {

QString sizeText(qint64 size)
{
    if (size > 1048576)
        return QString::number(float(size) / 1024 / 1024, 'f', 2) + " MB";
    if (size <= 1024)
        return QString::number(size) + " bytes";
    return QString::number(float(size) / 1024, 'f', 2) + " KB";
}

QtTreePropertyBrowser *newBrowser(const QString &styleSheet)
{
    auto *browser = new QtTreePropertyBrowser;
    browser->setAttribute(Qt::WA_MacShowFocusRect, false);
    browser->setHeaderVisible(false);
    browser->setStyleSheet(styleSheet);
    return browser;
}

} // namespace

PropertyPanels::PropertyPanels(QObject *parent)
    : QObject(parent), variantManager(new QtVariantPropertyManager(this))
{
    imageEditorFactory = new QtVariantEditorFactory(this);
    imageBrowser = newBrowser(
        "font-size: 11pt; alternate-background-color: rgb(50, 50, 50); background: rgb(39, 39, "
        "39); color: rgb(200, 200, 200); selection-background-color: rgb(120, 120, 120); "
        "selection-color: rgb(255, 255, 255);");
    imageFile = addFileGroup(imageBrowser);
    addGroup(imageBrowser, "Image Properties", {"Width:", "Height:"}, imageDimsProps);

    cxEditorFactory = new QtVariantEditorFactory(this);
    cxBrowser = newBrowser("alternate-background-color: rgb(50, 50, 60); font-size: 11pt;");
    cxBrowser->setResizeMode(QtTreePropertyBrowser::Stretch);
    cxFile = addFileGroup(cxBrowser);
    // What changes as the user moves the cross or picks a vertex right under
    // the cross's coordinates and the mesh's figures, above the long NIfTI
    // header, in sight at the window's first size.
    vmrGroup =
        addGroup(cxBrowser, "VMR Info / Talairach Coords", {"Dims X/Y/Z", "X", "Y", "Z"}, vmrProps);
    crossGroup =
        addGroup(cxBrowser, "Values at Cross", {"Anatomy", "Map", "Atlas region"}, crossProps);
    srfGroup = addGroup(cxBrowser, "SRF Header", srfHeaderLabels(), srfProps);
    vertexGroup = addGroup(cxBrowser, "Picked Vertex",
                           {"Vertex", "Coordinates", "Curvature", "Map", "Label"}, vertexProps);
    niftiGroup = addGroup(cxBrowser, "NIfTI Info", niftiHeaderLabels(nullptr), niftiProps);
    for (QtBrowserItem *group : {vmrGroup, srfGroup, niftiGroup, crossGroup, vertexGroup})
        cxBrowser->setExpanded(group, false);

    rawMRIEditorFactory = new QtVariantEditorFactory(this);
    rawMRIBrowser = newBrowser("font-size: 11pt; background: rgb(39, 39, 39); "
                               "alternate-background-color: rgb(50, 55, 50);");
    rawMRIBrowser->setResizeMode(QtTreePropertyBrowser::Stretch);
    rawMRIFile = addFileGroup(rawMRIBrowser);
    // The frame shown of a multi-frame image, as the view steps through them.
    addGroup(rawMRIBrowser, "DICOM Header", dicomHeaderLabels() << "Frame", dicomProps);
}

PropertyPanels::~PropertyPanels()
{
    for (QtTreePropertyBrowser *browser : {imageBrowser, cxBrowser, rawMRIBrowser})
        if (browser && !browser->parent())
            delete browser;
}

QtBrowserItem *PropertyPanels::addGroup(QtTreePropertyBrowser *browser, const QString &name,
                                        const QStringList &labels,
                                        QList<QtVariantProperty *> &members)
{
    QtVariantProperty *group =
        variantManager->addProperty(QtVariantPropertyManager::groupTypeId(), name);
    for (const QString &label : labels) {
        QtVariantProperty *member = variantManager->addProperty(QMetaType::QString, label);
        member->setValue(QString());
        group->addSubProperty(member);
        members.append(member);
    }
    return browser->addProperty(group);
}

PropertyPanels::FileProperties PropertyPanels::addFileGroup(QtTreePropertyBrowser *browser)
{
    QList<QtVariantProperty *> members;
    addGroup(browser, "File Properties", {"Name", "Folder", "Size"}, members);
    return {members[0], members[1], members[2]};
}

void PropertyPanels::setFileProperties(const FileProperties &file, int citem,
                                       const QString &fullFileName)
{
    if (citem == -1) {
        file.name->setValue(QString());
        file.folder->setValue(QString());
        file.size->setValue(QString());
        return;
    }
    file.name->setValue(getFileNameFromFullFileName(fullFileName));
    // A series cover stands for files of its folder, not for a file of its own.
    const bool series = FileTypes::kindOf(fullFileName) == FileTypes::DicomSeries;
    file.folder->setValue(series ? FileTypes::folderOf(fullFileName)
                                 : getPathFromFullFileName(fullFileName));
    file.size->setValue(series ? QString() : sizeText(QFileInfo(fullFileName).size()));
}

void PropertyPanels::updateImageFileProperties(int citem, QString strFullFileName, int img_width,
                                               int img_height, int img_orientation)
{
    Q_UNUSED(img_orientation);
    setFileProperties(imageFile, citem, strFullFileName);
    if (citem == -1) {
        for (QtVariantProperty *p : std::as_const(imageDimsProps))
            p->setValue(QString());
        return;
    }
    updateImageDimsProperties(img_width, img_height);
}

void PropertyPanels::updateImageDimsProperties(int img_width, int img_height)
{
    imageDimsProps[0]->setValue(img_width == -1 ? QString() : QString::number(img_width));
    imageDimsProps[1]->setValue(img_height == -1 ? QString() : QString::number(img_height));
}

void PropertyPanels::updateCXFileProperties(int citem, QString strFullFileName)
{
    setFileProperties(cxFile, citem, strFullFileName);
}

void PropertyPanels::updateRawMRIFileProperties(int citem, QString strFullFileName)
{
    setFileProperties(rawMRIFile, citem, strFullFileName);
}

void PropertyPanels::updateHeaderOfLoadedVMR(const std::shared_ptr<const VolumeDocument> &volume)
{
    shownVolume = volume;
    const VolumeDoc &doc = volume->volume();
    vmrProps[0]->setValue(vmrDimsText(doc));
    // A volume outside Talairach space after one inside it gets the plain names back.
    const QString prefix = doc.inTalairachSpace ? "TAL " : "";
    vmrProps[1]->setPropertyName(prefix + "X");
    vmrProps[2]->setPropertyName(prefix + "Y");
    vmrProps[3]->setPropertyName(prefix + "Z");
    const NiftiVolume *nifti = doc.niftiVolume.get();
    clearHeaderOfNifti();
    const QStringList labels = niftiHeaderLabels(nifti);
    for (int i = 0; i < labels.size(); ++i)
        niftiProps[i]->setPropertyName(labels[i]);
    if (nifti) {
        const QStringList values = niftiHeaderValues(*nifti);
        for (int i = 0; i < values.size(); ++i)
            niftiProps[i]->setValue(values[i]);
        niftiProps.last()->setValue(niftiNotes(*nifti));
    }
    cross = {-1, -1, -1};
    updateValues();
    cxBrowser->setExpanded(vmrGroup, true);
    cxBrowser->setExpanded(crossGroup, true);
    cxBrowser->setExpanded(srfGroup, false);
    cxBrowser->setExpanded(vertexGroup, false);
    cxBrowser->setExpanded(niftiGroup, nifti != nullptr);
}

void PropertyPanels::updateCrossCoords(int x, int y, int z)
{
    const std::shared_ptr<const VolumeDocument> volume = shownVolume.lock();
    if (!volume)
        return;
    const VolumeDoc *doc = &volume->volume();
    // A voxel size the file does not state counts as 1.
    const auto size = [](float stored) { return stored < 0 ? 1.0f : stored; };
    const QStringList values = crossCoordValues(
        {x, y, z}, {doc->offsetX, doc->offsetY, doc->offsetZ},
        {size(doc->voxelSizeX), size(doc->voxelSizeY), size(doc->voxelSizeZ)}, doc->referenceSpace);
    for (int i = 0; i < values.size(); ++i)
        vmrProps[i + 1]->setValue(values[i]);
    if (doc->niftiVolume) {
        const QStringList values = niftiCrossValues(*doc->niftiVolume, x, y, z);
        for (int i = 0; i < values.size(); ++i)
            niftiProps[i + 4]->setValue(values[i]);
    }
    cross = {x, y, z};
    updateValues();
}

void PropertyPanels::setAtlas(const std::shared_ptr<const Atlas> &regions)
{
    atlas = regions;
    updateValues();
}

void PropertyPanels::showPickedVertex(const std::shared_ptr<const MeshDocument> &mesh, int vertex)
{
    pickedMesh = mesh;
    pickedVertex = vertex;
    updateValues();
    // Opened at the first pick, where the user looks after the click.
    if (vertex >= 0) {
        cxBrowser->setExpanded(vertexGroup, true);
        cxBrowser->scrollTo(vertexGroup);
    }
}

void PropertyPanels::updateValues()
{
    const std::shared_ptr<const VolumeDocument> volume = shownVolume.lock();
    showValues(crossProps,
               volume ? volume->valuesAt(cross, atlas.get()) : QList<QPair<QString, QString>>());
    const std::shared_ptr<const MeshDocument> mesh = pickedMesh.lock();
    showValues(vertexProps,
               mesh ? mesh->vertexValues(pickedVertex) : QList<QPair<QString, QString>>());
}

// Rows keep their place; a map's value is shown under the map's name.
void PropertyPanels::showValues(const QList<QtVariantProperty *> &rows,
                                const QList<QPair<QString, QString>> &values)
{
    for (int i = 0; i < rows.size(); ++i) {
        if (i < values.size()) {
            rows[i]->setPropertyName(LocalFiles::printable(values[i].first));
            rows[i]->setValue(values[i].second);
        } else {
            rows[i]->setValue(QString());
        }
    }
}

void PropertyPanels::clearHeaderOfVMR()
{
    shownVolume.reset();
    for (QtVariantProperty *p : std::as_const(vmrProps))
        p->setValue(QString());
    clearHeaderOfNifti();
    updateValues();
}

void PropertyPanels::clearHeaderOfNifti()
{
    for (QtVariantProperty *p : std::as_const(niftiProps))
        p->setValue(QString());
}

void PropertyPanels::clearHeaderOfSRF()
{
    for (QtVariantProperty *p : std::as_const(srfProps))
        p->setValue(QString());
    pickedMesh.reset();
    updateValues();
}

void PropertyPanels::clearHeaderOfDICOM()
{
    for (QtVariantProperty *p : std::as_const(dicomProps))
        p->setValue(QString());
}

void PropertyPanels::updateHeaderOfLoadedSRF(const QStringList &values)
{
    for (int i = 0; i < values.size() && i < srfProps.size(); ++i)
        srfProps[i]->setValue(values[i]);
    cxBrowser->setExpanded(vmrGroup, false);
    cxBrowser->setExpanded(crossGroup, false);
    cxBrowser->setExpanded(srfGroup, true);
    cxBrowser->setExpanded(vertexGroup, false);
    cxBrowser->setExpanded(niftiGroup, false);
}

void PropertyPanels::updateDicomFrame(int frame, int frames)
{
    dicomProps.last()->setValue(QString("%1 / %2").arg(frame + 1).arg(frames));
}

void PropertyPanels::updateHeaderOfLoadedDICOM(const DICOMDoc &doc)
{
    const QStringList values = dicomHeaderValues(doc);
    for (int i = 0; i < dicomProps.size(); ++i)
        dicomProps[i]->setValue(values.value(i));
}
