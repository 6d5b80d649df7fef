#include "VolumeDoc.h"

#include "Allocation.h"
#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "ClusterTable.h"
#include "DicomSeriesImage.h"
#include "DocumentStream.h"
#include "GridResampler.h"
#include "NiftiImage.h"
#include "NiftiVolume.h"
#include "VolumeMap.h"
#include "VolumeMaps.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>
#include <memory>
#include <new>

namespace {

// Smallest transformation: two empty names, the type and the value count.
const int minTransformationSize = 1 + 4 + 1 + 4;

QString unreadable(const QString &why)
{
    return QString("not a readable VMR volume (%1)").arg(why);
}

QString sizeOf(qint64 x, qint64 y, qint64 z)
{
    return QString("%1 × %2 × %3").arg(x).arg(y).arg(z);
}

} // namespace

VolumeDoc::VolumeDoc(const ReadContext &context) : context(context) {}

VolumeDoc::~VolumeDoc() = default;

bool VolumeDoc::readVolume(QString name)
{
    QFile file(name);
    if (!DocumentStream::openFile(file))
        return fail(DocumentStream::openFailure(name));
    if (!readVolume(file))
        return false;
    setFileName(name);
    return true;
}

void VolumeDoc::setFileName(const QString &name)
{
    const int slash = name.lastIndexOf('/');
    if (slash >= 0) {
        fileNameWithPath = name;
        fileName = name.mid(slash + 1);
        filePath = name.left(slash + 1);
    } else {
        // A name without a folder is one in the current folder.
        fileName = name;
        filePath = QDir::currentPath();
        if (!filePath.endsWith('/'))
            filePath += '/';
        fileNameWithPath = filePath + fileName;
    }
}

bool VolumeDoc::fail(const QString &reason)
{
    failure = reason;
    return false;
}

bool VolumeDoc::readVolume(QIODevice &device)
{
    failure.clear();
    DocumentStream in(&device, context);

    qint16 first;
    qint16 dims[3];
    in >> first;
    int version = 1;
    if (first >= 2 && first <= 10) {
        version = first;
        if (version >= 5)
            return fail(
                QString("VMR version %1 is not supported (versions 1 to 4 are)").arg(version));
        in >> dims[0] >> dims[1] >> dims[2];
    } else {
        dims[0] = first;
        if (first == 0) {
            qint16 skipped;
            in >> skipped >> dims[0];
        }
        in >> dims[1] >> dims[2];
    }
    if (in.status() != QDataStream::Ok)
        return fail(unreadable("cut short in its header"));
    if (dims[0] <= 0 || dims[1] <= 0 || dims[2] <= 0)
        return fail(unreadable("dimensions " + sizeOf(dims[0], dims[1], dims[2])));
    vmrVersion = version;
    dimX = dims[0];
    dimY = dims[1];
    dimZ = dims[2];

    // Weighed before anything is allocated: what the view cannot show, and a
    // short voxel block, which is a broken file, not a volume with a black tail.
    const qint64 nrOfVoxels = qint64(dimX) * dimY * dimZ;
    if ((dimX > 1) + (dimY > 1) + (dimZ > 1) < 2)
        return fail(
            QString("a volume of %1 voxels has no slice to show").arg(sizeOf(dimX, dimY, dimZ)));
    if (nrOfVoxels > maxVoxels)
        return fail(QString("a volume of %1 voxels is larger than the viewer shows (%2 voxels, "
                            "512 × 512 × 512)")
                        .arg(sizeOf(dimX, dimY, dimZ))
                        .arg(maxVoxels));
    if (!in.fits(nrOfVoxels, 1))
        return fail(unreadable(QString("cut short: %1 voxels need %2 bytes, %3 are left")
                                   .arg(sizeOf(dimX, dimY, dimZ))
                                   .arg(nrOfVoxels)
                                   .arg(in.bytesLeft())));
    vmrData = allocateArray<unsigned char>(nrOfVoxels);
    if (!vmrData)
        return fail(QString("no memory for %1 voxels").arg(sizeOf(dimX, dimY, dimZ)));
    if (!in.readBytes(vmrData.get(), nrOfVoxels))
        return fail(unreadable("read error in the voxels"));

    if (version >= 3) {
        qint16 offsets[4];
        in >> offsets[0] >> offsets[1] >> offsets[2] >> offsets[3];
        offsetX = offsets[0];
        offsetY = offsets[1];
        offsetZ = offsets[2];
        framingCubeDim = offsets[3];
    } else {
        offsetX = offsetY = offsetZ = 0;
        framingCubeDim = dimX > 256 || dimY > 256 || dimZ > 256 ? 512 : 256;
    }

    if (version >= 2) {
        posInfoVerified = coordinateSystem = 0;
        std::fill(std::begin(posVectors), std::end(posVectors), 0.0f);
        std::fill(std::begin(posGridSize), std::end(posGridSize), 0);
        std::fill(std::begin(posExtents), std::end(posExtents), 0.0f);
        if (!in.atEnd()) {
            in >> posInfoVerified >> coordinateSystem;
            for (float &v : posVectors)
                in >> v;
            in >> posGridSize[0] >> posGridSize[1];
            for (float &v : posExtents)
                in >> v;
        }

        nrOfTransformations = 0;
        transformationNames.clear();
        transformationSourceFiles.clear();
        transformationTypes.clear();
        transformationNrOfValues.clear();
        transformationValueOffsets.clear();
        transformationValues.clear();
        if (in.bytesLeft() > 6) {
            if (!readTransformations(in))
                return fail(unreadable("damaged or cut short in its transformations"));

            quint8 byte;
            in >> byte;
            leftRightConvention = byte;
            referenceSpace = 0;
            if (version == 4) {
                in >> byte;
                referenceSpace = byte;
            }

            if (in.atEnd()) {
                voxelSizeX = voxelSizeY = voxelSizeZ = -1.0f;
                voxelSizeVerified = inTalairachSpace = false;
            } else {
                in >> voxelSizeX >> voxelSizeY >> voxelSizeZ;
                in >> byte;
                voxelSizeVerified = byte != 0;
                in >> byte;
                inTalairachSpace = byte != 0;
                if (version < 4 && inTalairachSpace)
                    referenceSpace = 3;
            }

            if (in.atEnd()) {
                rangeMinValue = rangeMeanValue = rangeMaxValue = -1;
            } else {
                qint32 range[3];
                in >> range[0] >> range[1] >> range[2];
                rangeMinValue = range[0];
                rangeMeanValue = range[1];
                rangeMaxValue = range[2];
            }
        }
    }

    crossPosX = dimX / 2;
    crossPosY = dimY / 2;
    crossPosZ = dimZ / 2;
    return true;
}

// The transformation records are all or nothing: a count, a value count or a
// record the rest of the file cannot hold fails the read.
bool VolumeDoc::readTransformations(DocumentStream &in)
{
    qint32 count;
    in >> count;
    if (!in.fits(count, minTransformationSize))
        return false;
    nrOfTransformations = count;
    for (int i = 0; i < count; ++i) {
        transformationNames << QString::fromLatin1(in.readText(DocumentStream::maxTextLength));
        qint32 type;
        in >> type;
        transformationTypes << type;
        QString sourceFile = QString::fromLatin1(in.readText(DocumentStream::maxTextLength));
        // Names written on Windows.
        sourceFile.replace('\\', '/');
        transformationSourceFiles << sourceFile;
        qint32 nrOfValues;
        in >> nrOfValues;
        if (!in.fits(nrOfValues, 4))
            return false;
        transformationNrOfValues << nrOfValues;
        transformationValueOffsets << int(transformationValues.size());
        transformationValues.resize(transformationValues.size() + nrOfValues);
        if (!in.readFloats(transformationValues.data() + transformationValueOffsets.last(),
                           nrOfValues))
            return false;
    }
    return in.status() == QDataStream::Ok;
}

bool VolumeDoc::failMap(const QString &reason)
{
    mapFailure = reason;
    return false;
}

// A file that cannot be read leaves the maps already loaded, and shown, as they were.
int VolumeDoc::loadVolumeMaps(QString name)
{
    mapFailure.clear();
    auto maps = std::make_unique<VolumeMaps>();
    const int result = maps->loadVolumeMaps(name, grid(), context);
    if (result != 1) {
        if (result == 0)
            mapFailure = maps->failureReason();
        return result;
    }
    volumeMaps = std::move(maps);
    niftiMaps.reset();
    return result;
}

int VolumeDoc::loadArVolumeMaps(QString name)
{
    mapFailure.clear();
    auto maps = std::make_unique<ArVolumeMaps>();
    const int result = maps->loadVolumeMaps(name, grid(), context);
    if (result != 1) {
        mapFailure = maps->failureReason();
        return result;
    }
    arVolumeMaps = std::move(maps);
    niftiMaps.reset();
    // Maps of another file at their own resolution no longer belong to those shown.
    volumeMaps.reset();
    return result;
}

bool VolumeDoc::mapsOverlapVolume(bool lastLayersEmpty)
{
    const ArVolumeMaps *maps = arVolumeMaps.get();
    const int last = lastLayersEmpty ? 1 : 0;
    if (maps && maps->xStart < dimX && maps->xEnd - last >= 0 && maps->yStart < dimY &&
        maps->yEnd - last >= 0 && maps->zStart < dimZ && maps->zEnd - last >= 0)
        return true;
    return failMap("does not overlap the volume");
}

bool VolumeDoc::selectArVolumeMap(int index)
{
    mapFailure.clear();
    if (!arVolumeMaps || index < 0 || index >= int(arVolumeMaps->maps.size()))
        return failMap(QString("holds no map %1").arg(index + 1));
    arVolumeMaps->nrOfSelectedMaps = 1;
    arVolumeMaps->selectedMaps = {index};
    return mapsOverlapVolume(false);
}

// Several selected maps end up side by side in one set; a selected index
// that names no map is passed over.
bool VolumeDoc::convertSelectedMapsToNrMaps(bool interpolate)
{
    mapFailure.clear();
    if (!volumeMaps)
        return failMap("no maps to convert");
    arVolumeMaps.reset();

    const double cellVoxels = std::pow(double(volumeMaps->resolution), 3);
    const int count = qMin(volumeMaps->nrOfSelectedMaps, int(volumeMaps->selectedMaps.size()));
    std::unique_ptr<ArVolumeMaps> converted;
    for (int k = 0; k < count; ++k) {
        const int m = volumeMaps->selectedMaps[k];
        if (m < 0 || m >= int(volumeMaps->maps.size()))
            continue;
        const VolumeMap &source = *volumeMaps->maps[m];
        if (!upmixFuncResMapToArVMP(source.mapData.get(), interpolate, source.mapType == 3,
                                    source.mapName, source.mapType, 3, true)) {
            return failMap(QString("its box of %1 voxels is larger than the framing cube of %2 "
                                   "or than memory holds")
                               .arg(sizeOf(volumeMaps->xEnd - qint64(volumeMaps->xStart) + 1,
                                           volumeMaps->yEnd - qint64(volumeMaps->yStart) + 1,
                                           volumeMaps->zEnd - qint64(volumeMaps->zStart) + 1))
                               .arg(qMin(framingCubeDim, 512)));
        }
        ArVolumeMap *map = arVolumeMaps->maps.front().get();
        if (converted) {
            converted->maps.push_back(std::move(arVolumeMaps->maps.front()));
            arVolumeMaps.reset();
        } else {
            converted = std::move(arVolumeMaps);
            converted->selectedMaps.clear();
        }

        const int index = int(converted->selectedMaps.size());
        converted->selectedMaps << index;
        converted->nrOfSelectedMaps = index + 1;
        map->clusterSize = int(qBound(0.0, source.clusterSize * cellVoxels, double(INT_MAX)));
        map->clusterCheckEnabled = source.clusterCheckEnabled;
        map->threshMin = source.threshMin;
        map->threshMax = source.threshMax;
        map->statParam1 = source.statParam1;
        map->statParam2 = source.statParam2;
        map->statParam3 = source.statParam3;
        map->showPosNeg = source.showPosNeg;
        map->useMapColors = source.useMapColors;
        std::copy(source.lagValues, source.lagValues + 4, map->lagValues);
        map->mapColor1 = source.mapColor1;
        map->mapColor2 = source.mapColor2;
        map->mapColor3 = source.mapColor3;
        map->mapColor4 = source.mapColor4;
    }
    arVolumeMaps = std::move(converted);
    // The last layer of each axis of a converted box stays 0.
    return !arVolumeMaps || mapsOverlapVolume(true);
}

namespace {

// Where the voxels of one axis of the box fall on the grid of cells.
struct GridAxis
{
    GridAxis(qint64 nrOfVoxels, int resolution, int nrOfCells)
    {
        for (qint64 i = 0; i < nrOfVoxels; ++i) {
            const double c = double(i) / resolution;
            const qint64 nearest = qint64(std::floor(c + 0.5));
            const qint64 low = qint64(std::floor(c));
            nearestCell << (nearest < nrOfCells ? int(nearest) : -1);
            lowCell << (low < nrOfCells ? int(low) : -1);
            highCell << (low + 1 < nrOfCells ? int(low + 1) : -1);
            highWeight << c - double(low);
        }
    }

    // -1 for a cell beyond the grid.
    QList<int> nearestCell;
    QList<int> lowCell;
    QList<int> highCell;
    QList<double> highWeight;
};

} // namespace

// Each voxel of the box but the last layer of every axis takes the value at
// its position on the grid; cells beyond the grid count as 0. Lag maps hold
// the lag in the integer part and the correlation, with its sign, in the
// fraction; the sign belongs to the whole value.
bool VolumeDoc::upmixFuncResMapToArVMP(float *data, bool interpolate, bool interpolateLag,
                                       QString name, int mapType, int, bool)
{
    if (!volumeMaps || !data)
        return false;
    arVolumeMaps.reset();

    const VolumeMaps &grid = *volumeMaps;
    auto target = std::make_unique<ArVolumeMaps>();
    target->xStart = grid.xStart;
    target->xEnd = grid.xEnd;
    target->yStart = grid.yStart;
    target->yEnd = grid.yEnd;
    target->zStart = grid.zStart;
    target->zEnd = grid.zEnd;
    target->resolution = 1;
    target->maps.push_back(std::make_unique<ArVolumeMap>());
    ArVolumeMap *map = target->maps.back().get();
    target->selectedMaps = {0};
    target->nrOfSelectedMaps = 1;
    map->mapName = name;
    map->mapType = mapType;

    // The box must fit the framing cube, at most 512 voxels wide, which also
    // bounds the memory and time taken.
    const qint64 maxEdge = qMin(framingCubeDim, 512);
    const qint64 nx = target->boxDimX();
    const qint64 ny = target->boxDimY();
    const qint64 nz = target->boxDimZ();
    if (nx > maxEdge || ny > maxEdge || nz > maxEdge || !map->allocateMapData(*target))
        return false;

    const int fx = grid.gridDimX();
    const int fy = grid.gridDimY();
    const int fz = grid.gridDimZ();
    const GridAxis ax(qMax<qint64>(nx - 1, 0), grid.resolution, fx);
    const GridAxis ay(qMax<qint64>(ny - 1, 0), grid.resolution, fy);
    const GridAxis az(qMax<qint64>(nz - 1, 0), grid.resolution, fz);
    const qint64 sliceCells = qint64(fx) * fy;
    // The row of cells (j, k) of the grid, or null beyond it.
    auto cellRow = [&](int j, int k) {
        return j < 0 || k < 0 ? nullptr : data + j * qint64(fx) + k * sliceCells;
    };
    auto cell = [](const float *row, int i) { return row && i >= 0 ? row[i] : 0.0f; };
    const bool lagMap = mapType == 3;

    for (qint64 z = 0; z < az.lowCell.size(); ++z) {
        for (qint64 y = 0; y < ay.lowCell.size(); ++y) {
            float *out = map->mapData.get() + y * nx + z * nx * ny;
            const float *nearestRow = cellRow(ay.nearestCell[y], az.nearestCell[z]);
            // The four rows around the voxel with their weights in y and z.
            const float *rows[4];
            double rowWeights[4];
            for (int r = 0; r < 4; ++r) {
                const bool highY = r & 1, highZ = r & 2;
                rows[r] = cellRow(highY ? ay.highCell[y] : ay.lowCell[y],
                                  highZ ? az.highCell[z] : az.lowCell[z]);
                rowWeights[r] = (highY ? ay.highWeight[y] : 1.0 - ay.highWeight[y]) *
                                (highZ ? az.highWeight[z] : 1.0 - az.highWeight[z]);
            }
            for (qint64 x = 0; x < ax.lowCell.size(); ++x) {
                const float nearest = cell(nearestRow, ax.nearestCell[x]);
                if (!interpolate) {
                    out[x] = lagMap ? nearest - std::trunc(nearest) : nearest;
                    continue;
                }
                const double highX = ax.highWeight[x];
                double sum = 0.0;
                double lagSum = 0.0;
                double zeroWeight = 0.0;
                for (int corner = 0; corner < 8; ++corner) {
                    const bool high = corner & 4;
                    const double w = rowWeights[corner & 3] * (high ? highX : 1.0 - highX);
                    const float v = cell(rows[corner & 3], high ? ax.highCell[x] : ax.lowCell[x]);
                    if (v == 0.0f) {
                        zeroWeight += w;
                    } else if (lagMap) {
                        sum += w * (v - std::trunc(v));
                        lagSum += w * std::abs(std::trunc(v));
                    } else {
                        sum += w * v;
                    }
                }
                if (zeroWeight >= 0.5) {
                    out[x] = 0.0f;
                    continue;
                }
                const double value = sum / (1.0 - zeroWeight);
                if (!lagMap) {
                    out[x] = float(value);
                    continue;
                }
                const double lag = interpolateLag ? std::trunc(lagSum / (1.0 - zeroWeight) + 0.5)
                                                  : std::trunc(0.5 + std::abs(nearest));
                out[x] = float(value >= 0.0 ? value + lag : value - lag);
            }
        }
    }
    arVolumeMaps = std::move(target);
    return true;
}

// NIfTI

bool VolumeDoc::readNifti(QString name)
{
    failure.clear();
    auto image = std::make_unique<NiftiImage>();
    if (!image->read(name, false))
        return fail(image->failureReason());
    return takeWorldVolume(std::make_unique<NiftiVolume>(std::move(image)), name);
}

bool VolumeDoc::readDicomSeries(const DicomSeries &series, const QString &name)
{
    failure.clear();
    auto image = std::make_unique<DicomSeriesImage>();
    if (!image->read(series))
        return fail(image->failureReason());
    return takeWorldVolume(std::make_unique<NiftiVolume>(std::move(image)), name);
}

bool VolumeDoc::takeWorldVolume(std::unique_ptr<NiftiVolume> volume, const QString &name)
{
    if (!volume->fillVolume(*this))
        return fail(volume->failureReason());
    if ((dimX > 1) + (dimY > 1) + (dimZ > 1) < 2)
        return fail(QString("an image of %1 voxels has no slice to show")
                        .arg(sizeOf(volume->fileDim(0), volume->fileDim(1), volume->fileDim(2))));
    niftiVolume = std::move(volume);
    setFileName(name);
    return true;
}

bool VolumeDoc::worldTransform(AffineTransform &gridToWorld) const
{
    bool talairach = false;
    const AffineTransform transform = millimetreTransform(&talairach);
    if (!niftiVolume && !talairach)
        return false;
    gridToWorld = transform;
    return true;
}

AffineTransform VolumeDoc::millimetreTransform(bool *talairach) const
{
    if (niftiVolume) {
        if (talairach)
            *talairach = niftiVolume->spaceName() == "TAL";
        return niftiVolume->gridToWorld();
    }
    if (talairach)
        *talairach = referenceSpace == 3;
    // The Talairach coordinates the header panel shows: right, anterior and
    // superior from the centre of the framing cube.
    const auto size = [](float stored) { return stored < 0 ? 1.0 : double(stored); };
    const double sx = size(voxelSizeX), sy = size(voxelSizeY), sz = size(voxelSizeZ);
    return AffineTransform::fromRows({{{0, 0, -sz, 128 - offsetZ * sz},
                                       {-sx, 0, 0, 128 - offsetX * sx},
                                       {0, -sy, 0, 128 - offsetY * sy}}});
}

namespace {

// A copy of count values into grid; false with why when memory runs out.
bool copyValues(const float *values, qint64 count, MapGrid &grid, QString &why)
{
    try {
        grid.values.assign(values, values + count);
    } catch (const std::bad_alloc &) {
        grid.values.clear();
        why = QString("no memory for a copy of its %1 values").arg(count);
        return false;
    }
    return true;
}

} // namespace

bool VolumeDoc::niftiMapGrid(const NiftiImage &image, int index, MapGrid &grid, QString &why)
{
    const float *values = image.volumeValues(index);
    if (!values) {
        why = QString("holds no map %1").arg(index + 1);
        return false;
    }
    grid.dims = {int(image.dim(0)), int(image.dim(1)), int(image.dim(2))};
    grid.voxelToWorld = image.voxelToWorld();
    grid.talairach = image.spaceCode() == 3;
    return copyValues(values, image.dim(0) * image.dim(1) * image.dim(2), grid, why);
}

// A VMP's cell (i, j, k) holds the value the volume view places at voxel
// (xStart + i·r, yStart + j·r, zStart + k·r), r its resolution.
bool VolumeDoc::mapGrid(int row, MapGrid &grid, QString &why) const
{
    grid = MapGrid();
    if (niftiMaps)
        return niftiMapGrid(*niftiMaps, row, grid, why);
    why = QString("holds no map %1").arg(row + 1);
    bool talairach = false;
    const AffineTransform toMillimetres = millimetreTransform(&talairach);
    grid.talairach = talairach;
    grid.inWorld = niftiVolume || talairach;
    if (volumeMaps) {
        const VolumeMaps &set = *volumeMaps;
        if (row < 0 || row >= int(set.maps.size()))
            return false;
        const double r = set.resolution;
        grid.dims = {set.gridDimX(), set.gridDimY(), set.gridDimZ()};
        grid.voxelToWorld =
            toMillimetres * AffineTransform::fromRows({{{r, 0, 0, double(set.xStart)},
                                                        {0, r, 0, double(set.yStart)},
                                                        {0, 0, r, double(set.zStart)}}});
        return copyValues(set.maps[size_t(row)]->mapData.get(),
                          qint64(grid.dims[0]) * grid.dims[1] * grid.dims[2], grid, why);
    }
    if (arVolumeMaps) {
        const ArVolumeMaps &set = *arVolumeMaps;
        if (row < 0 || row >= int(set.maps.size()))
            return false;
        const ArVolumeMap &map = *set.maps[size_t(row)];
        const qint64 count = set.boxDimX() * set.boxDimY() * set.boxDimZ();
        if (map.nrOfValues() < count || set.boxDimX() > INT_MAX || set.boxDimY() > INT_MAX ||
            set.boxDimZ() > INT_MAX)
            return false;
        grid.dims = {int(set.boxDimX()), int(set.boxDimY()), int(set.boxDimZ())};
        grid.voxelToWorld =
            toMillimetres * AffineTransform::fromRows({{{1, 0, 0, double(set.xStart)},
                                                        {0, 1, 0, double(set.yStart)},
                                                        {0, 0, 1, double(set.zStart)}}});
        return copyValues(map.mapData.get(), count, grid, why);
    }
    return false;
}

bool VolumeDoc::niftiMapFits(QString name) const
{
    AffineTransform gridToWorld;
    if (!vmrData || !worldTransform(gridToWorld))
        return false;
    NiftiImage map;
    if (!map.readHeader(name))
        return false;
    const auto volumeBox = gridToWorld.boxOfGrid({dimX, dimY, dimZ});
    const auto mapBox = map.voxelToWorld().boxOfGrid({map.dim(0), map.dim(1), map.dim(2)});
    for (int axis = 0; axis < 3; ++axis)
        if (mapBox[0][axis] > volumeBox[1][axis] || mapBox[1][axis] < volumeBox[0][axis])
            return false;
    if (map.hasStatisticIntent())
        return true;
    return map.isFloatingPoint() && map.read(name, false) && map.hasNegativeValues();
}

void VolumeDoc::removeMaps()
{
    volumeMaps.reset();
    arVolumeMaps.reset();
    niftiMaps.reset();
}

int VolumeDoc::loadNiftiMaps(QString name)
{
    mapFailure.clear();
    AffineTransform gridToWorld;
    if (!vmrData || !worldTransform(gridToWorld)) {
        failMap("the volume has no world coordinates (it is not in Talairach space) to place "
                "the map in");
        return 0;
    }
    auto maps = std::make_unique<NiftiImage>();
    if (!maps->read(name, true)) {
        failMap(maps->failureReason());
        return 0;
    }
    removeMaps();
    niftiMaps = std::move(maps);
    return niftiMaps->nrOfVolumesRead();
}

QStringList VolumeDoc::niftiMapNames() const
{
    if (!niftiMaps)
        return {};
    QStringList names;
    for (int v = 0; v < niftiMaps->nrOfVolumesRead(); ++v)
        names << QString("Volume %1").arg(v + 1);
    return names;
}

bool VolumeDoc::convertNiftiMapToArVMP(int index)
{
    mapFailure.clear();
    AffineTransform gridToWorld, worldToMap;
    const float *values = niftiMaps ? niftiMaps->volumeValues(index) : nullptr;
    if (!values)
        return failMap(QString("holds no map %1").arg(index + 1));
    if (!vmrData || !worldTransform(gridToWorld) || !niftiMaps->voxelToWorld().inverted(worldToMap))
        return failMap("cannot be placed in the volume's world coordinates");
    arVolumeMaps.reset();

    // Only the part of the volume the map covers, which bounds work and memory.
    AffineTransform volumeToGrid;
    if (!gridToWorld.inverted(volumeToGrid))
        return failMap("cannot be placed in the volume's world coordinates");
    const std::array<qint64, 3> mapDims = {niftiMaps->dim(0), niftiMaps->dim(1), niftiMaps->dim(2)};
    const auto box = (volumeToGrid * niftiMaps->voxelToWorld()).boxOfGrid(mapDims);
    const int dims[3] = {dimX, dimY, dimZ};
    // Beyond the outermost voxel centres by less than half a voxel still
    // touches the volume.
    for (int axis = 0; axis < 3; ++axis)
        if (!(box[1][axis] > -0.5 && box[0][axis] < dims[axis] - 0.5))
            return failMap("does not overlap the volume");
    int start[3], end[3];
    for (int axis = 0; axis < 3; ++axis) {
        start[axis] = int(qBound(0.0, std::floor(box[0][axis]), double(dims[axis] - 1)));
        end[axis] = int(qBound(0.0, std::ceil(box[1][axis]), double(dims[axis] - 1)));
    }
    auto target = std::make_unique<ArVolumeMaps>();
    target->xStart = start[0];
    target->xEnd = end[0];
    target->yStart = start[1];
    target->yEnd = end[1];
    target->zStart = start[2];
    target->zEnd = end[2];
    target->resolution = 1;
    target->savedDimX = dimX;
    target->savedDimY = dimY;
    target->savedDimZ = dimZ;
    target->maps.push_back(std::make_unique<ArVolumeMap>());
    ArVolumeMap *map = target->maps.back().get();
    target->selectedMaps = {0};
    target->nrOfSelectedMaps = 1;
    map->mapName = niftiMapNames().value(index);
    map->mapType = 1;
    if (!map->allocateMapData(*target))
        return failMap("no memory for the map in the volume's grid");
    GridResampler(values, mapDims, !niftiMaps->isFloatingPoint())
        .fill(worldToMap * gridToWorld, {start[0], start[1], start[2]},
              {end[0] - start[0] + 1, end[1] - start[1] + 1, end[2] - start[2] + 1},
              map->mapData.get());
    // The colour scale reaches the map's largest magnitude.
    float largest = 0.0f;
    for (qint64 v = 0; v < map->nrOfValues(); ++v)
        largest = std::max(largest, std::abs(map->mapData[v]));
    if (largest > map->threshMin)
        map->threshMax = largest;
    arVolumeMaps = std::move(target);
    return true;
}
