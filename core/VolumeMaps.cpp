#include "VolumeMaps.h"

#include "Allocation.h"
#include "DocumentStream.h"
#include "VolumeMap.h"

#include <QFile>
#include <QFileInfo>
#include <QtNumeric>

#include <climits>

namespace {

// Smallest map header of any version: an empty name and two colours.
const int minMapHeaderSize = 1 + 2 * 3;

// start - offset, unless that leaves the range of int.
QString unreadable(const QString &why)
{
    return QString("not a readable VMP file (%1)").arg(why);
}

bool shift(int &value, int offset)
{
    const qint64 shifted = qint64(value) - offset;
    if (shifted < INT_MIN || shifted > INT_MAX)
        return false;
    value = int(shifted);
    return true;
}

} // namespace

VolumeMaps::VolumeMaps() : MapSet(QStringLiteral("untitled.vmp")) {}

VolumeMaps::~VolumeMaps() = default;

int VolumeMaps::loadVolumeMaps(QString name, const VolumeGrid &volume, const ReadContext &context)
{
    const bool vmpExtension = QFileInfo(name).suffix().toLower() == "vmp";
    return readFile(
        name, [&](QIODevice &file) { return loadVolumeMaps(file, vmpExtension, volume, context); });
}

// A file that fails leaves no map behind, so that nothing half read is shown.
int VolumeMaps::loadVolumeMaps(QIODevice &device, bool vmpExtension, const VolumeGrid &volume,
                               const ReadContext &context)
{
    clearFailure();
    freeMapsMemory();
    const int result = readMaps(device, vmpExtension, volume, context);
    if (result != 1)
        freeMapsMemory();
    return result;
}

int VolumeMaps::readMaps(QIODevice &device, bool vmpExtension, const VolumeGrid &volume,
                         const ReadContext &context)
{
    DocumentStream in(&device, context);
    quint32 magic;
    in >> magic;
    if (magic != vmpMagic) {
        if (vmpExtension)
            return 2;
        if (!device.seek(0))
            return fail(unreadable("read error"));
        in.resetStatus();
    }

    qint16 version;
    in >> version;
    if (in.status() != QDataStream::Ok)
        return fail(unreadable("cut short in its header"));
    if (version < 5 && vmpExtension)
        return 2;
    if (version < 2 || version > 6)
        return fail(QString("VMP version %1 is not supported (versions 2 to 6 are)").arg(version));
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
        return fail(unreadable("cut short in its header"));

    xStart = box[0];
    xEnd = box[1];
    yStart = box[2];
    yEnd = box[3];
    zStart = box[4];
    zEnd = box[5];
    resolution = box[6];
    if (resolution <= 0)
        return fail(unreadable(QString("a resolution of %1").arg(resolution)));
    if (xEnd < xStart || yEnd < yStart || zEnd < zStart)
        return fail(unreadable("a box that ends before it starts"));
    if (!shift(xStart, volume.offsetX) || !shift(xEnd, volume.offsetX) ||
        !shift(yStart, volume.offsetY) || !shift(yEnd, volume.offsetY) ||
        !shift(zStart, volume.offsetZ) || !shift(zEnd, volume.offsetZ))
        return fail(unreadable("a box far outside any volume"));

    // Every map needs its header and its values; weighed before anything is made.
    if (counts[0] < 0 || counts[1] < 0 || counts[2] < 0)
        return fail(unreadable("a negative count of maps, time points or components"));
    const QString cutShort = unreadable("shorter than its maps need");
    const qint64 room = in.bytesLeft() / 4;
    qint64 nrOfCells = 1;
    for (qint64 dim : {gridDimX(), gridDimY(), gridDimZ()}) {
        if (dim > 0 && nrOfCells > room / dim) {
            if (counts[0] > 0)
                return fail(cutShort);
            nrOfCells = 0;
        }
        nrOfCells *= dim;
    }
    const qint64 perMap = (nrOfCells + counts[1] + counts[2]) * 4 + minMapHeaderSize;
    // Each component has a name of at least its terminating zero.
    if (!in.fits(counts[0], perMap) || !in.fits(counts[2], 1))
        return fail(cutShort);
    if (!allocateMapsMemory(counts[0], counts[1], counts[2]))
        return fail("no memory for its maps");
    std::copy(header, header + 4, headerValues);

    for (QString &text : headerStrings)
        text = QString::fromLatin1(in.readText(DocumentStream::maxTextLength));

    for (const auto &map : maps) {
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
            return fail(cutShort);
        map->pointTriples.resize(qsizetype(nrOfPoints) * 3);
        if (!in.readFloats(map->pointTriples.data(), map->pointTriples.size()))
            return fail(cutShort);
        in >> map->mapTrailerValue;
    }

    for (const auto &map : maps) {
        if (!in.readFloats(map->timeCourse.data(), nrOfTimePoints))
            return fail(cutShort);
    }
    componentNames.clear();
    for (int i = 0; i < nrOfComponentParams; ++i)
        componentNames << QString::fromLatin1(in.readText(DocumentStream::maxTextLength));
    for (const auto &map : maps) {
        if (!in.readFloats(map->componentValues.data(), nrOfComponentParams))
            return fail(cutShort);
    }

    for (const auto &map : maps) {
        if (!in.readFloats(map->mapData.get(), nrOfCells))
            return fail(cutShort);
    }
    return in.status() == QDataStream::Ok ? 1 : fail(cutShort);
}

bool VolumeMaps::allocateMapsMemory(int count, int timePoints, int componentParams)
{
    freeMapsMemory();
    // A set without maps may lie over a grid of any size.
    qint64 nrOfCells = 0;
    if (count > 0 && qMulOverflow(qint64(gridDimX()) * gridDimY(), qint64(gridDimZ()), &nrOfCells))
        return false;
    for (int i = 0; i < count; ++i) {
        maps.push_back(std::make_unique<VolumeMap>());
        VolumeMap *map = maps.back().get();
        // One cell more than needed, so that an empty grid still gets memory.
        map->mapData = allocateZeroed<float>(nrOfCells + 1);
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
    MapSet::freeMapsMemory();
    nrOfMaps = 0;
    componentNames.clear();
}
