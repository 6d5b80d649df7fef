#include "VolumeDoc.h"

#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "CXSCore.h"
#include "DocumentStream.h"
#include "GridResampler.h"
#include "NiftiImage.h"
#include "NiftiVolume.h"
#include "VolumeMap.h"
#include "VolumeMaps.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <memory>

namespace {

// Smallest transformation: two empty names, the type and the value count.
const int minTransformationSize = 1 + 4 + 1 + 4;

} // namespace

VolumeDoc::VolumeDoc(CXSCore *core) : core(core) {}

VolumeDoc::~VolumeDoc()
{
    free(vmrData);
    delete volumeMaps;
    delete arVolumeMaps;
    delete niftiVolume;
    delete niftiMaps;
}

bool VolumeDoc::readVolume(QString name)
{
    QFile file(name);
    if (!DocumentStream::openFile(file) || !readVolume(file))
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
        fileName = name;
        filePath = core->getCurrentDir();
        fileNameWithPath = core->combinePathAndFileName(filePath, fileName);
    }
}

bool VolumeDoc::readVolume(QIODevice &device)
{
    DocumentStream in(&device, core->hostIsBigEndian);

    qint16 first;
    qint16 dims[3];
    in >> first;
    int version = 1;
    if (first >= 2 && first <= 10) {
        version = first;
        if (version >= 5)
            return false;
        in >> dims[0] >> dims[1] >> dims[2];
    } else {
        dims[0] = first;
        if (first == 0) {
            qint16 skipped;
            in >> skipped >> dims[0];
        }
        in >> dims[1] >> dims[2];
    }
    if (in.status() != QDataStream::Ok || dims[0] <= 0 || dims[1] <= 0 || dims[2] <= 0)
        return false;
    vmrVersion = version;
    dimX = dims[0];
    dimY = dims[1];
    dimZ = dims[2];

    // A short voxel block is a broken file, not a volume with a black tail.
    const qint64 nrOfVoxels = qint64(dimX) * dimY * dimZ;
    if (nrOfVoxels > INT_MAX || !in.fits(nrOfVoxels, 1))
        return false;
    free(vmrData);
    vmrData = static_cast<unsigned char *>(malloc(size_t(nrOfVoxels)));
    if (!vmrData || !in.readBytes(vmrData, nrOfVoxels))
        return false;

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
                return false;

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
        core->convertWinDirSlashes2UnixSlashes(sourceFile);
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

// A file that cannot be read leaves the maps already loaded, and shown, as they were.
int VolumeDoc::loadVolumeMaps(QString name)
{
    if (!QFile::exists(name))
        return 0;
    auto *maps = new VolumeMaps(this);
    const int result = maps->loadVolumeMaps(name);
    if (result != 1) {
        delete maps;
        return result;
    }
    delete volumeMaps;
    volumeMaps = maps;
    delete niftiMaps;
    niftiMaps = nullptr;
    return result;
}

int VolumeDoc::loadArVolumeMaps(QString name)
{
    if (!QFile::exists(name))
        return 0;
    auto *maps = new ArVolumeMaps(this);
    const int result = maps->loadVolumeMaps(name);
    if (result != 1) {
        delete maps;
        return result;
    }
    delete arVolumeMaps;
    arVolumeMaps = maps;
    delete niftiMaps;
    niftiMaps = nullptr;
    // Maps of another file at their own resolution no longer belong to those shown.
    delete volumeMaps;
    volumeMaps = nullptr;
    return result;
}

// Several selected maps end up side by side in one set; a selected index
// that names no map is passed over.
void VolumeDoc::convertSelectedMapsToNrMaps(bool interpolate)
{
    if (!volumeMaps)
        return;
    delete arVolumeMaps;
    arVolumeMaps = nullptr;

    const double cellVoxels = std::pow(double(volumeMaps->resolution), 3);
    const int count = qMin(volumeMaps->nrOfSelectedMaps, int(volumeMaps->selectedMaps.size()));
    ArVolumeMaps *converted = nullptr;
    for (int k = 0; k < count; ++k) {
        const int m = volumeMaps->selectedMaps[k];
        if (m < 0 || m >= volumeMaps->maps.size())
            continue;
        const VolumeMap &source = *volumeMaps->maps[m];
        if (!upmixFuncResMapToArVMP(source.mapData, interpolate, source.mapType == 3,
                                    source.mapName, source.mapType, 3, true)) {
            delete converted;
            return;
        }
        ArVolumeMap *map = arVolumeMaps->maps.first();
        if (converted) {
            arVolumeMaps->maps.clear();
            delete arVolumeMaps;
            map->parentMaps = converted;
            converted->maps << map;
        } else {
            converted = arVolumeMaps;
            converted->selectedMaps.clear();
        }
        arVolumeMaps = nullptr;

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
    arVolumeMaps = converted;
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
    delete arVolumeMaps;
    arVolumeMaps = nullptr;

    const VolumeMaps &grid = *volumeMaps;
    auto *target = new ArVolumeMaps(this);
    target->xStart = grid.xStart;
    target->xEnd = grid.xEnd;
    target->yStart = grid.yStart;
    target->yEnd = grid.yEnd;
    target->zStart = grid.zStart;
    target->zEnd = grid.zEnd;
    target->resolution = 1;
    auto *map = new ArVolumeMap(target);
    target->maps << map;
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
    if (nx > maxEdge || ny > maxEdge || nz > maxEdge || !map->allocateMapData()) {
        delete target;
        return false;
    }

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
            float *out = map->mapData + y * nx + z * nx * ny;
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
    arVolumeMaps = target;
    return true;
}

// NIfTI

bool VolumeDoc::readNifti(QString name)
{
    auto image = std::make_unique<NiftiImage>();
    if (!image->read(name, false))
        return false;
    auto volume = std::make_unique<NiftiVolume>(std::move(image));
    if (!volume->fillVolume(*this))
        return false;
    delete niftiVolume;
    niftiVolume = volume.release();
    setFileName(name);
    return true;
}

bool VolumeDoc::worldTransform(AffineTransform &gridToWorld) const
{
    if (niftiVolume) {
        gridToWorld = niftiVolume->gridToWorld();
        return true;
    }
    if (referenceSpace != 3)
        return false;
    // The Talairach coordinates the header panel shows: right, anterior and
    // superior from the centre of the framing cube.
    const auto size = [](float stored) { return stored < 0 ? 1.0 : double(stored); };
    const double sx = size(voxelSizeX), sy = size(voxelSizeY), sz = size(voxelSizeZ);
    gridToWorld = AffineTransform::fromRows({{{0, 0, -sz, 128 - offsetZ * sz},
                                              {-sx, 0, 0, 128 - offsetX * sx},
                                              {0, -sy, 0, 128 - offsetY * sy}}});
    return true;
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
    delete volumeMaps;
    volumeMaps = nullptr;
    delete arVolumeMaps;
    arVolumeMaps = nullptr;
    delete niftiMaps;
    niftiMaps = nullptr;
}

int VolumeDoc::loadNiftiMaps(QString name)
{
    AffineTransform gridToWorld;
    if (!vmrData || !worldTransform(gridToWorld))
        return 0;
    auto maps = std::make_unique<NiftiImage>();
    if (!maps->read(name, true) || maps->nrOfVolumesRead() < 1)
        return 0;
    removeMaps();
    niftiMaps = maps.release();
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
    AffineTransform gridToWorld, worldToMap;
    const float *values = niftiMaps ? niftiMaps->volumeValues(index) : nullptr;
    if (!values || !vmrData || !worldTransform(gridToWorld) ||
        !niftiMaps->voxelToWorld().inverted(worldToMap))
        return false;
    delete arVolumeMaps;
    arVolumeMaps = nullptr;

    // Only the part of the volume the map covers, which bounds work and memory.
    AffineTransform volumeToGrid;
    if (!gridToWorld.inverted(volumeToGrid))
        return false;
    const std::array<qint64, 3> mapDims = {niftiMaps->dim(0), niftiMaps->dim(1), niftiMaps->dim(2)};
    const auto box = (volumeToGrid * niftiMaps->voxelToWorld()).boxOfGrid(mapDims);
    const int dims[3] = {dimX, dimY, dimZ};
    int start[3], end[3];
    for (int axis = 0; axis < 3; ++axis) {
        start[axis] = int(qBound(0.0, std::floor(box[0][axis]), double(dims[axis] - 1)));
        end[axis] = int(qBound(0.0, std::ceil(box[1][axis]), double(dims[axis] - 1)));
    }
    auto target = std::make_unique<ArVolumeMaps>(this);
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
    auto *map = new ArVolumeMap(target.get());
    target->maps << map;
    target->selectedMaps = {0};
    target->nrOfSelectedMaps = 1;
    map->mapName = niftiMapNames().value(index);
    map->mapType = 1;
    if (!map->allocateMapData())
        return false;
    GridResampler(values, mapDims, !niftiMaps->isFloatingPoint())
        .fill(worldToMap * gridToWorld, {start[0], start[1], start[2]},
              {end[0] - start[0] + 1, end[1] - start[1] + 1, end[2] - start[2] + 1}, map->mapData);
    // The colour scale reaches the map's largest magnitude.
    float largest = 0.0f;
    for (qint64 v = 0; v < map->nrOfValues(); ++v)
        largest = std::max(largest, std::abs(map->mapData[v]));
    if (largest > map->threshMin)
        map->threshMax = largest;
    arVolumeMaps = target.release();
    return true;
}
