#include "Documents.h"

#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "DICOMDoc.h"
#include "DicomGreyImage.h"
#include "FileHelpers.h"
#include "FileTypes.h"
#include "HeaderTexts.h"
#include "LocalFiles.h"
#include "MosaicLayout.h"
#include "NiftiImage.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"
#include "VolumeDoc.h"
#include "VolumeMap.h"
#include "VolumeMaps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTransform>

#include <atomic>
#include <cmath>

namespace {

// The files of a kind in a folder, by name as the strip sorts them.
QStringList filesOf(const QDir &folder, FileTypes::Kind kind)
{
    return folder.entryList(FileTypes::nameFilters(kind), QDir::Files | QDir::NoSymLinks,
                            QDir::Name | QDir::IgnoreCase);
}

// The stored cross, truncated; a value that is no voxel index (damaged, or
// far outside) gives the middle of the axis instead.
int initialCrossOnAxis(float stored, int dim)
{
    if (!std::isfinite(stored) || stored < 0 || stored >= float(dim))
        return dim / 2;
    return int(stored);
}

} // namespace

namespace {

std::atomic<int> liveDocuments{0};

} // namespace

Document::Document(const QString &fileName) : name(fileName)
{
    ++liveDocuments;
}

Document::~Document()
{
    --liveDocuments;
}

int Document::instances()
{
    return liveDocuments;
}

std::shared_ptr<Document> readDocument(const QString &fileName, QString &reason)
{
    switch (FileTypes::kindOf(fileName)) {
    case FileTypes::Image:
        return PictureDocument::read(fileName, reason);
    case FileTypes::Dicom:
        return DicomDocument::read(fileName, reason);
    case FileTypes::Volume:
        return VolumeDocument::read(fileName, reason);
    case FileTypes::Mesh:
        return MeshDocument::read(fileName, reason);
    default:
        reason = "not a kind of file the viewer shows";
        return nullptr;
    }
}

// Pictures

PictureDocument::PictureDocument(const QString &fileName, const QImage &picture, int orientation)
    : Document(fileName), picture(picture), orientationCode(orientation)
{
}

std::unique_ptr<PictureDocument> PictureDocument::read(const QString &fileName, QString &reason)
{
    // What cannot be opened is not read: a FIFO would block the reader.
    QFile file;
    if (!LocalFiles::openRegular(file, fileName, QIODevice::ReadOnly, &reason))
        return nullptr;
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    // The viewer turns the picture by its own reading of the EXIF orientation.
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull()) {
        // The reader's own words: "unsupported image format", or what the
        // decoder found wrong with the data.
        const QString why = reader.errorString();
        reason = why.isEmpty() || why == QLatin1String("Unknown error")
                     ? "not a readable picture"
                     : why.left(1).toLower() + why.mid(1);
        return nullptr;
    }
    int orientation = 1;
    const QString lower = fileName.toLower();
    if (lower.endsWith("jpg") || lower.endsWith("jpeg")) {
        orientation = getOrientationFromExif(fileName);
        const int angle = orientation == 3 ? 180 : orientation == 6 ? 90 : orientation == 8 ? 270 : 0;
        if (angle)
            image = image.transformed(QTransform().rotate(angle), Qt::FastTransformation);
    }
    return std::unique_ptr<PictureDocument>(new PictureDocument(fileName, image, orientation));
}

// DICOM images

DicomDocument::DicomDocument(const QString &fileName, std::unique_ptr<DICOMDoc> doc,
                             const QImage &grey)
    : Document(fileName), doc(std::move(doc)), grey(grey)
{
}

DicomDocument::~DicomDocument() = default;

std::unique_ptr<DicomDocument> DicomDocument::read(const QString &fileName, QString &reason)
{
    auto doc = std::make_unique<DICOMDoc>();
    if (!doc->readDICOM(fileName)) {
        reason = doc->failureReason();
        return nullptr;
    }
    const QImage grey = dicomGreyImage(*doc);
    if (grey.isNull()) {
        reason = QString("no memory for a picture of %1 × %2 pixels")
                     .arg(doc->nrOfColumns)
                     .arg(doc->nrOfRows);
        return nullptr;
    }
    return std::unique_ptr<DicomDocument>(new DicomDocument(fileName, std::move(doc), grey));
}

// Volumes

VolumeDocument::VolumeDocument(const QString &fileName, std::unique_ptr<VolumeDoc> doc)
    : Document(fileName), doc(std::move(doc))
{
}

VolumeDocument::~VolumeDocument() = default;

std::unique_ptr<VolumeDocument> VolumeDocument::read(const QString &fileName, QString &reason)
{
    auto doc = std::make_unique<VolumeDoc>();
    const bool nifti = NiftiImage::isNiftiFileName(fileName);
    if (!(nifti ? doc->readNifti(fileName) : doc->readVolume(fileName))) {
        reason = doc->failureReason();
        return nullptr;
    }
    if (MosaicLayout(doc->dimX, doc->dimY, doc->dimZ).isEmpty()) {
        reason = QString("a volume of %1 × %2 × %3 voxels cannot be shown")
                     .arg(doc->dimX)
                     .arg(doc->dimY)
                     .arg(doc->dimZ);
        return nullptr;
    }
    std::unique_ptr<VolumeDocument> volume(new VolumeDocument(fileName, std::move(doc)));
    // The folder's VMP files, then its NIfTI statistics over the world the
    // volume shows (for a NIfTI volume or a Talairach VMR).
    const QFileInfo file(fileName);
    const QDir folder = file.dir();
    volume->offered = filesOf(folder, FileTypes::VolumeMaps);
    for (const QString &name : filesOf(folder, FileTypes::Volume))
        if (name != file.fileName() && NiftiImage::isNiftiFileName(name) &&
            volume->doc->niftiMapFits(folder.filePath(name)))
            volume->offered << name;
    return volume;
}

std::array<int, 3> VolumeDocument::initialCross() const
{
    return {initialCrossOnAxis(doc->crossPosX, doc->dimX),
            initialCrossOnAxis(doc->crossPosY, doc->dimY),
            initialCrossOnAxis(doc->crossPosZ, doc->dimZ)};
}

QStringList VolumeDocument::readMapFile(const QString &fileName, QString &reason)
{
    QStringList names;
    if (NiftiImage::isNiftiFileName(fileName)) {
        if (doc->loadNiftiMaps(fileName) > 0) {
            mapFile = fileName;
            return doc->niftiMapNames();
        }
        reason = doc->mapFailureReason();
        return names;
    }
    // A file that cannot be read leaves the maps as they were.
    const int result = doc->loadVolumeMaps(fileName);
    if (result == 0 || (result == 2 && doc->loadArVolumeMaps(fileName) != 1)) {
        reason = doc->mapFailureReason();
        return names;
    }
    mapFile = fileName;
    if (result == 1) {
        for (const auto &map : doc->volumeMaps->maps)
            names << map->mapName;
    } else {
        for (const auto &map : doc->arVolumeMaps->maps)
            names << map->mapName;
    }
    return names;
}

std::optional<MapDisplay> VolumeDocument::chooseMap(int row, QString &problem)
{
    if (row < 0)
        return std::nullopt;
    std::optional<MapDisplay> display;
    bool showsMap = false;
    if (doc->niftiMaps) {
        if (row >= doc->niftiMaps->nrOfVolumesRead())
            return std::nullopt;
        showsMap = doc->convertNiftiMapToArVMP(row);
        // A map that shows nothing leaves no settings of its own.
        if (showsMap)
            display = doc->arVolumeMaps->maps[0]->storedDisplay();
    } else if (VolumeMaps *maps = doc->volumeMaps.get(); maps && !maps->maps.empty()) {
        if (row >= int(maps->maps.size()))
            return std::nullopt;
        maps->nrOfSelectedMaps = 1;
        maps->selectedMaps = {row};
        showsMap = doc->convertSelectedMapsToNrMaps(true);
        display = maps->maps[row]->storedDisplay();
        // The cluster size in voxels of the volume, which the conversion scaled.
        const ArVolumeMaps *converted = doc->arVolumeMaps.get();
        if (converted && converted->maps.size() == 1)
            display->clusterSize = converted->maps[0]->clusterSize;
    } else if (ArVolumeMaps *maps = doc->arVolumeMaps.get()) {
        if (row >= int(maps->maps.size()))
            return std::nullopt;
        showsMap = doc->selectArVolumeMap(row);
        display = maps->maps[row]->storedDisplay();
    } else {
        return std::nullopt;
    }
    if (!showsMap)
        problem = doc->mapFailureReason();
    if (display)
        shown = *display;
    return display;
}

void VolumeDocument::applyDisplay(const MapDisplay &display)
{
    shown = display;
}

// Meshes

MeshDocument::MeshDocument(const QString &fileName, std::unique_ptr<SurfaceMesh> mesh)
    : Document(fileName), doc(std::move(mesh))
{
    // The viewing parameters saved beside the mesh, if any.
    const QString base = removeExtension(fileName);
    const QString file = QFileInfo::exists(base + ".vwp") ? base + ".vwp" : base + ".VWP";
    parameters = ViewingParameters::fromFile(file);
    // Counting the edges of a large mesh takes a while: not on the window's thread.
    header = srfHeaderValues(*doc);
}

MeshDocument::~MeshDocument() = default;

std::unique_ptr<MeshDocument> MeshDocument::read(const QString &fileName, QString &reason)
{
    auto mesh = std::make_unique<SurfaceMesh>();
    if (!mesh->readMesh(fileName)) {
        reason = mesh->failureReason();
        return nullptr;
    }
    std::unique_ptr<MeshDocument> document(new MeshDocument(fileName, std::move(mesh)));
    // Only the SMP files made for as many vertices as the mesh has.
    const QDir folder = QFileInfo(fileName).dir();
    for (const QString &name : filesOf(folder, FileTypes::SurfaceMaps))
        if (SurfaceMaps::statedVertexCount(folder.filePath(name)) ==
            document->doc->nrOfVertices)
            document->offered << name;
    return document;
}

QStringList MeshDocument::readMapFile(const QString &fileName, QString &reason)
{
    QStringList names;
    // A file that cannot be read leaves the maps as they were.
    if (!doc->loadSMPs(fileName)) {
        reason = doc->mapFailureReason();
        return names;
    }
    for (const auto &map : doc->surfaceMaps->maps)
        names << map->mapName;
    return names;
}

std::optional<MapDisplay> MeshDocument::chooseMap(int row, QString &)
{
    SurfaceMaps *maps = doc->surfaceMaps.get();
    if (!maps || row < 0 || row >= int(maps->maps.size()))
        return std::nullopt;
    maps->nrOfSelectedMaps = 1;
    maps->selectedMaps = {row};
    return maps->maps[row]->storedDisplay();
}

void MeshDocument::applyDisplay(const MapDisplay &display)
{
    SurfaceMaps *maps = doc->surfaceMaps.get();
    if (!maps || maps->nrOfSelectedMaps != 1 || maps->selectedMaps.isEmpty())
        return;
    const int index = maps->selectedMaps.first();
    if (index < 0 || index >= int(maps->maps.size()))
        return;
    doc->prepareDisplayOfSMP();
    doc->overlaySMP(display);
}
