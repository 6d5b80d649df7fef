#include "Documents.h"

#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "Atlas.h"
#include "ClusterTable.h"
#include "DICOMDoc.h"
#include "DicomGreyImage.h"
#include "DicomPixels.h"
#include "DicomSeries.h"
#include "FileHelpers.h"
#include "FileTypes.h"
#include "HeaderTexts.h"
#include "LocalFiles.h"
#include "MosaicLayout.h"
#include "NiftiImage.h"
#include "NiftiVolume.h"
#include "SurfaceImport.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"
#include "VolumeDoc.h"
#include "VolumeMap.h"
#include "VolumeMaps.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTransform>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

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
    switch (FileTypes::kindOfFile(fileName)) {
    case FileTypes::Image:
        return PictureDocument::read(fileName, reason);
    case FileTypes::Dicom:
        return DicomDocument::read(fileName, reason);
    case FileTypes::Volume:
    case FileTypes::DicomSeries:
        return VolumeDocument::read(fileName, reason);
    case FileTypes::Mesh:
        return MeshDocument::read(fileName, reason);
    default:
        reason = "not a kind of file the viewer shows";
        return nullptr;
    }
}

std::optional<DicomSeries> dicomSeriesOfCover(const QString &coverName, QString &reason)
{
    const QFileInfo member(FileTypes::seriesMemberFile(coverName));
    if (!member.isFile()) {
        reason = "the DICOM series is no longer in its folder";
        return std::nullopt;
    }
    for (DicomSeries &series : DicomSeriesGrouping::scanFolder(member.absolutePath()))
        for (const DicomSlice &slice : series.slices)
            if (QFileInfo(slice.fileName).fileName() == member.fileName())
                return std::move(series);
    reason = "the DICOM series is no longer in its folder";
    return std::nullopt;
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
        const int angle = orientation == 3   ? 180
                          : orientation == 6 ? 90
                          : orientation == 8 ? 270
                                             : 0;
        if (angle)
            image = image.transformed(QTransform().rotate(angle), Qt::FastTransformation);
    }
    return std::unique_ptr<PictureDocument>(new PictureDocument(fileName, image, orientation));
}

// DICOM images

struct DicomDocument::Frames
{
    std::mutex lock;
    DicomPixels pixels;
};

namespace {

QString noMemoryForPicture(int columns, int rows)
{
    return QString("no memory for a picture of %1 × %2 pixels").arg(columns).arg(rows);
}

// The picture of a frame: grey scaled to the frame's own statistics, or colour.
QImage pictureOfFrame(DicomPixels &pixels, int frame, QString &reason,
                      GreyStatistics *statistics = nullptr)
{
    const int columns = pixels.columns(), rows = pixels.rows();
    try {
        if (pixels.isColour()) {
            std::vector<quint32> rgb;
            if (!pixels.colourFrame(frame, rgb)) {
                reason = pixels.failureReason();
                return {};
            }
            QImage image(columns, rows, QImage::Format_RGB32);
            if (image.isNull()) {
                reason = noMemoryForPicture(columns, rows);
                return {};
            }
            for (int y = 0; y < rows; ++y)
                memcpy(image.scanLine(y), rgb.data() + qint64(y) * columns, size_t(columns) * 4);
            return image;
        }
        std::vector<float> values;
        if (!pixels.greyFrame(frame, values)) {
            reason = pixels.failureReason();
            return {};
        }
        const GreyStatistics s = greyStatistics(values.data(), qint64(values.size()));
        if (statistics)
            *statistics = s;
        const QImage image = dicomGreyImage(values.data(), columns, rows, s, pixels.isInverted());
        if (image.isNull())
            reason = noMemoryForPicture(columns, rows);
        return image;
    } catch (const std::bad_alloc &) {
        reason = noMemoryForPicture(columns, rows);
        return {};
    }
}

} // namespace

DicomDocument::DicomDocument(const QString &fileName, std::unique_ptr<DICOMDoc> doc,
                             const QImage &first)
    : Document(fileName), doc(std::move(doc)), first(first)
{
}

DicomDocument::~DicomDocument() = default;

// The file is read once. Its own reader takes the header fields and, for the
// plain 16-bit images it reads, the pixels it always did; the decoder takes
// every image it can, compressed, 8-bit, signed, colour or multi-frame.
std::unique_ptr<DicomDocument> DicomDocument::read(const QString &fileName, QString &reason)
{
    auto frames = std::make_unique<Frames>();
    DicomPixels &pixels = frames->pixels;
    const bool decoded = pixels.open(fileName);
    if (!decoded && pixels.fileBytes().isEmpty()) {
        reason = pixels.failureReason();
        return nullptr;
    }
    auto doc = std::make_unique<DICOMDoc>();
    QBuffer buffer;
    buffer.setData(pixels.fileBytes());
    buffer.open(QIODevice::ReadOnly);
    const bool ownPixels = doc->readDICOM(buffer);
    if (!decoded && !ownPixels) {
        // The decoder knows better why pixels of a kind the reader does not
        // take cannot be shown; the reader, why a file is damaged.
        reason = doc->failedOnPixelKind() ? pixels.failureReason() : doc->failureReason();
        return nullptr;
    }
    if (!decoded) {
        const QImage grey = dicomGreyImage(*doc);
        if (grey.isNull()) {
            reason = noMemoryForPicture(doc->nrOfColumns, doc->nrOfRows);
            return nullptr;
        }
        return std::unique_ptr<DicomDocument>(new DicomDocument(fileName, std::move(doc), grey));
    }
    if (!ownPixels)
        doc->readFields(pixels.header());
    GreyStatistics statistics;
    const QImage image = pictureOfFrame(pixels, 0, reason, &statistics);
    if (image.isNull())
        return nullptr;
    if (!ownPixels && !pixels.isColour()) {
        doc->meanIntensity = statistics.mean;
        doc->stdDevIntensity = statistics.deviation;
    }
    std::unique_ptr<DicomDocument> document(new DicomDocument(fileName, std::move(doc), image));
    document->frameCount = pixels.frames();
    document->colour = pixels.isColour();
    // Only a multi-frame image keeps its bytes, for the frames asked for later.
    if (pixels.frames() > 1)
        document->decoder = std::move(frames);
    return document;
}

QImage DicomDocument::frameImage(int frame, QString &reason) const
{
    if (frame == 0)
        return first;
    if (!decoder || frame < 0 || frame >= frameCount) {
        reason = QString("the image has no frame %1").arg(frame + 1);
        return {};
    }
    const std::lock_guard<std::mutex> guard(decoder->lock);
    return pictureOfFrame(decoder->pixels, frame, reason);
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
    bool read = false;
    if (FileTypes::kindOf(fileName) == FileTypes::DicomSeries) {
        std::optional<DicomSeries> series = dicomSeriesOfCover(fileName, reason);
        if (!series)
            return nullptr;
        read = doc->readDicomSeries(*series, fileName);
    } else if (NiftiImage::isNiftiFileName(fileName)) {
        read = doc->readNifti(fileName);
    } else {
        read = doc->readVolume(fileName);
    }
    if (!read) {
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
    // volume shows (for a NIfTI volume or a Talairach VMR); a series' folder
    // is the one its cover stands for.
    const QFileInfo file(fileName);
    const QDir folder(FileTypes::folderOf(fileName));
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
    // A map that shows nothing lists no clusters and no values.
    grid.reset();
    gridName.clear();
    gridFile.clear();
    auto own = std::make_shared<MapGrid>();
    QString why;
    if (showsMap && doc->mapGrid(row, *own, why)) {
        grid = std::move(own);
        const ArVolumeMaps &converted = *doc->arVolumeMaps;
        gridName = converted.maps[size_t(converted.selectedMaps.value(0))]->mapName;
        gridFile = mapFile;
    }
    return display;
}

ClusterCriteria VolumeDocument::clusterCriteria() const
{
    const ArVolumeMaps *maps = doc->arVolumeMaps.get();
    const int index = maps && maps->nrOfSelectedMaps > 0 ? maps->selectedMaps.value(0, -1) : -1;
    if (!grid || index < 0 || index >= int(maps->maps.size()))
        return ClusterCriteria{0.0f, 0};
    // What the slices show: the map as the colouring reads it.
    ClusterCriteria criteria = maps->maps[size_t(index)]->shownValues(shown);
    if (shown.clusterFilter)
        criteria.minVolumeMm3 =
            std::max(shown.clusterSize, 0) * std::abs(doc->millimetreTransform().determinant());
    return criteria;
}

bool VolumeDocument::voxelAt(const std::array<double, 3> &millimetres,
                             std::array<int, 3> &voxel) const
{
    AffineTransform toVolume;
    if (!doc->millimetreTransform().inverted(toVolume))
        return false;
    const AffineTransform::Point p = toVolume.map(millimetres);
    const int dims[3] = {doc->dimX, doc->dimY, doc->dimZ};
    for (int a = 0; a < 3; ++a) {
        const double nearest = std::floor(p[a] + 0.5);
        if (!(nearest >= 0.0 && nearest < dims[a]))
            return false;
        voxel[a] = int(nearest);
    }
    return true;
}

QList<QPair<QString, QString>> VolumeDocument::valuesAt(const std::array<int, 3> &voxel,
                                                        const Atlas *atlas) const
{
    const auto general = [](float v) { return QString::number(double(v), 'g', 6); };
    QList<QPair<QString, QString>> values;
    const int x = voxel[0], y = voxel[1], z = voxel[2];
    const bool inside = doc->vmrData && x >= 0 && x < doc->dimX && y >= 0 && y < doc->dimY &&
                        z >= 0 && z < doc->dimZ;
    QString anatomy;
    if (inside && doc->niftiVolume) {
        // The file's own value, as the NIfTI panel shows it.
        std::array<qint64, 3> ijk;
        if (doc->niftiVolume->fileVoxelAt(x, y, z, ijk))
            anatomy = general(doc->niftiVolume->fileValueAt(ijk[0], ijk[1], ijk[2]));
    } else if (inside) {
        anatomy = QString::number(
            doc->vmrData[x + qint64(y) * doc->dimX + qint64(z) * doc->dimX * doc->dimY]);
    }
    values.append({"Anatomy", anatomy});
    const AffineTransform::Point at =
        doc->millimetreTransform().map({double(x), double(y), double(z)});
    float value = 0.0f;
    values.append({grid ? gridName : QString("Map"),
                   grid && inside && grid->valueAt(at, value) ? general(value) : QString()});
    AffineTransform world;
    values.append({"Atlas region",
                   atlas && inside && doc->worldTransform(world) ? atlas->nameAt(at) : QString()});
    return values;
}

void VolumeDocument::applyDisplay(const MapDisplay &display)
{
    shown = display;
}

// Meshes

MeshDocument::MeshDocument(const QString &fileName, std::unique_ptr<SurfaceMesh> mesh,
                           const QString &type)
    : Document(fileName), doc(std::move(mesh))
{
    // The viewing parameters saved beside the mesh, if any.
    const QStringList files = viewingParameterFiles(fileName);
    parameters = ViewingParameters::fromFile(QFileInfo::exists(files[0]) ? files[0] : files[1]);
    // Counting the edges of a large mesh takes a while: not on the window's thread.
    header = srfHeaderValues(*doc);
    if (!type.isEmpty() && !header.isEmpty())
        header[0] = type;
}

MeshDocument::~MeshDocument() = default;

// A name without an ending, such as FreeSurfer's, keeps its folder's dots.
QStringList MeshDocument::viewingParameterFiles(const QString &meshFile)
{
    const QFileInfo file(meshFile);
    const QString base = file.dir().filePath(removeExtension(file.fileName()));
    return {base + ".vwp", base + ".VWP"};
}

std::unique_ptr<MeshDocument> MeshDocument::read(const QString &fileName, QString &reason)
{
    std::unique_ptr<MeshDocument> document;
    const SurfaceImport::Format format = SurfaceImport::formatOf(fileName);
    if (format != SurfaceImport::Format::Srf) {
        std::unique_ptr<SurfaceMesh> mesh = SurfaceImport::readMesh(fileName, reason);
        if (!mesh)
            return nullptr;
        const QString curvature = SurfaceImport::shadeFromFileBeside(*mesh, fileName);
        document.reset(
            new MeshDocument(fileName, std::move(mesh), SurfaceImport::typeName(format)));
        document->curvature = curvature;
    } else {
        auto mesh = std::make_unique<SurfaceMesh>();
        if (!mesh->readMesh(fileName)) {
            reason = mesh->failureReason();
            return nullptr;
        }
        document.reset(new MeshDocument(fileName, std::move(mesh)));
    }
    // Only the files of values or labels per vertex (SMP, FreeSurfer, GIfTI)
    // made for as many vertices as the mesh has. FreeSurfer's have no ending of
    // their own: those of unknown names are told by their first bytes.
    const QDir folder = QFileInfo(fileName).dir();
    for (const QString &name :
         folder.entryList(QDir::Files | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase)) {
        const QString path = folder.filePath(name);
        if (FileTypes::kindOfFile(path) == FileTypes::SurfaceMaps &&
            SurfaceImport::statedVertexCount(path) == document->doc->nrOfVertices)
            document->offered << name;
    }
    return document;
}

QString MeshDocument::labelAt(int vertex) const
{
    if (!labels || !labelsShown || vertex < 0 || size_t(vertex) >= labels->labelOfVertex.size())
        return QString();
    const int label = labels->labelOfVertex[size_t(vertex)];
    return label >= 0 ? labels->table[size_t(label)].name : QString();
}

QStringList MeshDocument::readMapFile(const QString &fileName, QString &reason)
{
    QStringList names;
    // A file that cannot be read leaves the maps as they were.
    if (fileName.endsWith(".smp", Qt::CaseInsensitive)) {
        if (!doc->loadSMPs(fileName)) {
            reason = doc->mapFailureReason();
            return names;
        }
        labels.reset();
    } else {
        std::optional<SurfaceImport::VertexFile> file =
            SurfaceImport::readVertexFile(fileName, doc->nrOfVertices, reason);
        if (!file)
            return names;
        if (file->labels) {
            doc->surfaceMaps.reset();
            labels = std::make_unique<VertexLabels>(std::move(*file->labels));
            labelsShown = false;
            return {file->labelsName};
        }
        doc->surfaceMaps = std::move(file->maps);
        labels.reset();
    }
    labelsShown = false;
    for (const auto &map : doc->surfaceMaps->maps)
        names << map->mapName;
    return names;
}

std::optional<MapDisplay> MeshDocument::chooseMap(int row, QString &)
{
    if (labels) {
        if (row != 0)
            return std::nullopt;
        labelsShown = true;
        // Nothing to threshold: every vertex of a label shows it.
        return MapDisplay();
    }
    SurfaceMaps *maps = doc->surfaceMaps.get();
    if (!maps || row < 0 || row >= int(maps->maps.size()))
        return std::nullopt;
    maps->nrOfSelectedMaps = 1;
    maps->selectedMaps = {row};
    return maps->maps[row]->storedDisplay();
}

// Each vertex of a label in the label's colour; vertices of no label, or of a
// label without a colour or wholly transparent, keep the mesh's own.
void MeshDocument::showLabels()
{
    doc->prepareDisplayOfSMP();
    std::vector<int> codes(labels->table.size(), -1);
    for (size_t i = 0; i < codes.size(); ++i) {
        const VertexLabels::Label &label = labels->table[i];
        if (label.hasColour && label.alpha > 0)
            codes[i] = 0x3F000000 + label.red * 65536 + label.green * 256 + label.blue;
    }
    for (int v = 0; v < doc->nrOfVertices; ++v) {
        const int label = labels->labelOfVertex[size_t(v)];
        if (doc->vertexColors[v] >= 0 && label >= 0 && codes[size_t(label)] >= 0)
            doc->vertexColors[v] = codes[size_t(label)];
    }
}

void MeshDocument::applyDisplay(const MapDisplay &display)
{
    if (labels) {
        if (labelsShown)
            showLabels();
        return;
    }
    SurfaceMaps *maps = doc->surfaceMaps.get();
    if (!maps || maps->nrOfSelectedMaps != 1 || maps->selectedMaps.isEmpty())
        return;
    const int index = maps->selectedMaps.first();
    if (index < 0 || index >= int(maps->maps.size()))
        return;
    doc->prepareDisplayOfSMP();
    doc->overlaySMP(display);
}

QList<QPair<QString, QString>> MeshDocument::vertexValues(int vertex) const
{
    const SurfaceMesh &m = *doc;
    QList<QPair<QString, QString>> values = {
        {"Vertex", QString()}, {"Coordinates", QString()}, {"Curvature", QString()}};
    // The first map shown, as the overlay shows one.
    const SurfaceMaps *maps = m.surfaceMaps.get();
    const SurfaceMap *map = nullptr;
    if (maps && maps->nrOfSelectedMaps > 0 && !maps->selectedMaps.isEmpty() &&
        maps->nrOfVertices == m.nrOfVertices) {
        const int index = maps->selectedMaps.first();
        if (index >= 0 && index < int(maps->maps.size()))
            map = maps->maps[size_t(index)].get();
    }
    values.append({map ? map->mapName : QString("Map"), QString()});
    values.append({"Label", QString()});
    if (vertex < 0 || vertex >= m.nrOfVertices || !m.vertexX)
        return values;

    const auto general = [](float v) { return QString::number(double(v), 'g', 6); };
    // The code the file gave the vertex, before any map coloured it.
    const int code = m.savedVertexColors ? m.savedVertexColors[vertex]
                     : m.vertexColors    ? m.vertexColors[vertex]
                                         : 1000;
    values[0].second = QString::number(vertex);
    values[1].second = QString("%1 / %2 / %3")
                           .arg(general(m.vertexX[vertex]), general(m.vertexY[vertex]),
                                general(m.vertexZ[vertex]));
    values[2].second = code == 0                  ? "convex"
                       : code >= 1 && code <= 999 ? "concave"
                       : code < 0                 ? "deleted"
                                                  : QString();
    if (map && map->mapData)
        values[3].second = general(map->mapData[vertex]);
    values[4].second = LocalFiles::printable(labelAt(vertex));
    return values;
}
