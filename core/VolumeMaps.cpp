#include "VolumeMaps.h"

#include "CXSCore.h"
#include "DocumentStream.h"
#include "VolumeDoc.h"
#include "VolumeMap.h"

#include <QFile>

#include <climits>
#include <cstdlib>

namespace {

// Smallest map header of any version: an empty name and two colours.
const int minMapHeaderSize = 1 + 2 * 3;

// start - offset, unless that leaves the range of int.
bool shift(int &value, int offset)
{
    const qint64 shifted = qint64(value) - offset;
    if (shifted < INT_MIN || shifted > INT_MAX)
        return false;
    value = int(shifted);
    return true;
}

} // namespace

VolumeMaps::VolumeMaps(VolumeDoc *volumeDoc) : volumeDoc(volumeDoc) {}

VolumeMaps::~VolumeMaps()
{
    freeMapsMemory();
}

int VolumeMaps::loadVolumeMaps(QString name)
{
    QFile file(name);
    if (!DocumentStream::openFile(file))
        return 0;
    const int result = loadVolumeMaps(file, volumeDoc->core->getExtension(name) == "vmp");
    if (result == 1)
        fileNameWithPath = name;
    return result;
}

// A file that fails leaves no map behind, so that nothing half read is shown.
int VolumeMaps::loadVolumeMaps(QIODevice &device, bool vmpExtension)
{
    freeMapsMemory();
    const int result = readMaps(device, vmpExtension);
    if (result != 1)
        freeMapsMemory();
    return result;
}

int VolumeMaps::readMaps(QIODevice &device, bool vmpExtension)
{
    DocumentStream in(&device, volumeDoc->core->hostIsBigEndian);
    quint32 magic;
    in >> magic;
    if (magic != vmpMagic) {
        if (vmpExtension)
            return 2;
        if (!device.seek(0))
            return 0;
        in.resetStatus();
    }

    qint16 version;
    in >> version;
    if (in.status() != QDataStream::Ok)
        return 0;
    if (version < 5 && vmpExtension)
        return 2;
    if (version < 2 || version > 6)
        return 0;
    vmpVersion = version;
    if (version >= 3)
        in.skipRawData(2);

    qint32 counts[3];
    in >> counts[0] >> counts[1] >> counts[2];
    qint32 header[4] = {0, counts[2], 0, 0};
    if (version >= 4)
        in >> header[0] >> header[1] >> header[2] >> header[3];
    qint32 box[7];
    for (qint32 &v : box)
        in >> v;
    in.skipRawData(3 * 4);
    if (in.status() != QDataStream::Ok)
        return 0;

    xStart = box[0];
    xEnd = box[1];
    yStart = box[2];
    yEnd = box[3];
    zStart = box[4];
    zEnd = box[5];
    resolution = box[6];
    if (resolution <= 0 || xEnd < xStart || yEnd < yStart || zEnd < zStart)
        return 0;
    if (!shift(xStart, volumeDoc->offsetX) || !shift(xEnd, volumeDoc->offsetX) ||
        !shift(yStart, volumeDoc->offsetY) || !shift(yEnd, volumeDoc->offsetY) ||
        !shift(zStart, volumeDoc->offsetZ) || !shift(zEnd, volumeDoc->offsetZ))
        return 0;

    // Every map needs its header and its values; weighed before anything is made.
    if (counts[0] < 0 || counts[1] < 0 || counts[2] < 0)
        return 0;
    const qint64 room = in.bytesLeft() / 4;
    qint64 nrOfCells = 1;
    for (qint64 dim : {gridDimX(), gridDimY(), gridDimZ()}) {
        if (dim > 0 && nrOfCells > room / dim) {
            if (counts[0] > 0)
                return 0;
            nrOfCells = 0;
        }
        nrOfCells *= dim;
    }
    const qint64 perMap = (nrOfCells + counts[1] + counts[2]) * 4 + minMapHeaderSize;
    // Each component has a name of at least its terminating zero.
    if (!in.fits(counts[0], perMap) || !in.fits(counts[2], 1))
        return 0;
    if (!allocateMapsMemory(counts[0], counts[1], counts[2]))
        return 0;
    std::copy(header, header + 4, headerValues);

    for (QString &text : headerStrings)
        text = QString::fromLatin1(in.readText(DocumentStream::maxTextLength));

    for (VolumeMap *map : std::as_const(maps)) {
        if (version >= 3)
            in >> map->mapType >> map->threshMin >> map->threshMax;
        map->mapName = QString::fromLatin1(in.readText(DocumentStream::maxTextLength));
        map->mapColor1 = StatisticalMap::readColor(in);
        map->mapColor2 = StatisticalMap::readColor(in);
        map->showPosNeg = 3;
        if (version == 2)
            continue;
        map->mapColor3 = StatisticalMap::readColor(in);
        map->mapColor4 = StatisticalMap::readColor(in);
        quint8 byte;
        in >> byte;
        map->useMapColors = byte != 0;
        if (version == 6)
            in.readText(DocumentStream::maxTextLength);
        in >> map->mapAlpha;
        if (version <= 4)
            continue;
        if (map->mapType == 3) {
            for (int &lag : map->lagValues)
                in >> lag;
        }
        in >> map->clusterSize >> byte;
        map->clusterCheckEnabled = byte != 0;
        in >> map->mapOption >> map->statParam1 >> map->statParam2 >> byte;
        map->showPosNeg = byte;
        qint32 nrOfPoints;
        in >> map->statParam3 >> nrOfPoints;
        if (!in.fits(nrOfPoints, 3 * 4))
            return 0;
        map->pointTriples.resize(qsizetype(nrOfPoints) * 3);
        if (!in.readFloats(map->pointTriples.data(), map->pointTriples.size()))
            return 0;
        in >> map->mapTrailerValue;
    }

    for (VolumeMap *map : std::as_const(maps)) {
        if (!in.readFloats(map->timeCourse.data(), nrOfTimePoints))
            return 0;
    }
    componentNames.clear();
    for (int i = 0; i < nrOfComponentParams; ++i)
        componentNames << QString::fromLatin1(in.readText(DocumentStream::maxTextLength));
    for (VolumeMap *map : std::as_const(maps)) {
        if (!in.readFloats(map->componentValues.data(), nrOfComponentParams))
            return 0;
    }

    for (VolumeMap *map : std::as_const(maps)) {
        if (!in.readFloats(map->mapData, nrOfCells))
            return 0;
    }
    return in.status() == QDataStream::Ok ? 1 : 0;
}

bool VolumeMaps::allocateMapsMemory(int count, int timePoints, int componentParams)
{
    freeMapsMemory();
    const size_t nrOfCells = size_t(gridDimX()) * gridDimY() * gridDimZ();
    for (int i = 0; i < count; ++i) {
        auto *map = new VolumeMap(this);
        maps << map;
        // One cell more than needed, so that an empty grid still gets memory.
        map->mapData = static_cast<float *>(calloc(nrOfCells + 1, sizeof(float)));
        if (!map->mapData) {
            freeMapsMemory();
            return false;
        }
        map->timeCourse.resize(timePoints);
        map->componentValues.resize(componentParams);
        map->mapName = QStringLiteral("Component %1").arg(i + 1);
        map->setColorSet(i);
    }
    nrOfMaps = count;
    nrOfTimePoints = timePoints;
    nrOfComponentParams = componentParams;
    selectedMaps = QList<int>(count, 0);
    for (int i = 1; i <= componentParams; ++i)
        componentNames << QStringLiteral("Param %1").arg(i);
    return true;
}

void VolumeMaps::freeMapsMemory()
{
    qDeleteAll(maps);
    maps.clear();
    nrOfMaps = 0;
    nrOfSelectedMaps = 0;
    selectedMaps.clear();
    componentNames.clear();
}
