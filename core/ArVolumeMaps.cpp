#include "ArVolumeMaps.h"

#include "DocumentStream.h"
#include "MapRecords.h"
#include "VolumeMaps.h"

#include <climits>

namespace {

// Smallest map header, that of version 1: cluster size, thresholds, two
// parameters and an empty name.
const int minMapHeaderSize = 2 + 2 * 4 + 2 + 2 + 1;

QString unreadable(const QString &why)
{
    return QString("not a readable VMP file (%1)").arg(why);
}

} // namespace

ArVolumeMaps::ArVolumeMaps() : MapSet(QStringLiteral("untitled.vmp")) {}

ArVolumeMaps::~ArVolumeMaps() = default;

int ArVolumeMaps::loadVolumeMaps(QString name, const VolumeGrid &volume, const ReadContext &context)
{
    return readFile(name, [&](QIODevice &file) { return loadVolumeMaps(file, volume, context); });
}

int ArVolumeMaps::loadVolumeMaps(QIODevice &device, const VolumeGrid &volume,
                                 const ReadContext &context)
{
    clearFailure();
    freeMapsMemory();
    DocumentStream in(&device, context);
    quint16 version;
    in >> version;
    if (in.status() != QDataStream::Ok)
        return fail(unreadable("cut short in its header"));
    if (version == 0)
        return fail(unreadable("version 0"));
    if (version > 4) {
        quint32 magic;
        if (!device.seek(0))
            return fail(unreadable("read error"));
        in.resetStatus();
        in >> magic;
        if (in.status() != QDataStream::Ok || magic != VolumeMaps::vmpMagic)
            return fail(QString("VMP version %1 is not supported (versions 1 to 4 of the older "
                                "format are)")
                            .arg(version));
        fail("a VMP file of the current format, which is read as such from version 5 on or "
             "under a name other than .vmp");
        return 2;
    }

    qint32 count;
    if (version == 1) {
        qint16 shortCount;
        in >> shortCount;
        count = shortCount;
    } else {
        in >> count;
    }
    if (in.status() != QDataStream::Ok || !in.fits(count, minMapHeaderSize))
        return fail(unreadable("cut short in its header"));
    if (count <= 0)
        return fail("holds no maps");

    const int result = readMaps(in, version, count, volume);
    if (result != 1)
        freeMapsMemory();
    else
        vmpVersion = version;
    return result;
}

int ArVolumeMaps::readMaps(DocumentStream &in, int version, int count, const VolumeGrid &volume)
{
    // Fields that are int16 in version 1 and int32 later.
    auto readShortOrInt = [&in, version]() {
        if (version == 1) {
            qint16 value;
            in >> value;
            return qint32(value);
        }
        qint32 value;
        in >> value;
        return value;
    };

    // Versions 1 and 2 store one type and one number of lags for all maps.
    int mapType = 0;
    int lagValues[4] = {};
    if (version <= 2) {
        mapType = readShortOrInt();
        lagValues[0] = readShortOrInt();
    }
    MapRecordFormat format;
    format.typePerMap = format.mapOption = format.negativeColours = version >= 3;
    format.shortFields = version == 1;
    format.extended = format.thirdParameter = version >= 2;
    format.signSelection = version == 4;
    MapRecordReader records(in, format, mapType, lagValues);
    selectedMaps = QList<int>(count, 0);
    for (int i = 0; i < count; ++i) {
        maps.push_back(std::make_unique<ArVolumeMap>());
        records.read(*maps.back());
    }

    const QString cutShort = unreadable("shorter than its maps need");
    savedDimX = readShortOrInt();
    savedDimY = readShortOrInt();
    savedDimZ = readShortOrInt();
    if (in.status() != QDataStream::Ok)
        return fail(cutShort);
    if (savedDimX != volume.dimX || savedDimY != volume.dimY)
        return fail(QString("made for a volume of %1 × %2 voxels in x and y, not %3 × %4")
                        .arg(savedDimX)
                        .arg(savedDimY)
                        .arg(volume.dimX)
                        .arg(volume.dimY));
    for (int *limit : {&xStart, &xEnd, &yStart, &yEnd, &zStart, &zEnd, &resolution})
        *limit = readShortOrInt();
    if (in.status() != QDataStream::Ok)
        return fail(cutShort);
    if (resolution != 1)
        return fail(QString("a resolution of %1 is not supported in the older format (only 1 is)")
                        .arg(resolution));
    if (xEnd < xStart || yEnd < yStart || zEnd < zStart)
        return fail(unreadable("a box that ends before it starts"));

    // A volume of another slice count is taken to be centred on the same slices.
    if (savedDimZ != volume.dimZ) {
        const qint64 shift = (qint64(volume.dimZ) - savedDimZ) / 2;
        if (qint64(zStart) + shift < 0 || qint64(zEnd) + shift > INT_MAX)
            return fail(QString("made for %1 slices, which centred on the volume's %2 start "
                                "before its first")
                            .arg(savedDimZ)
                            .arg(volume.dimZ));
        zStart += int(shift);
        zEnd += int(shift);
    }

    // The values of every map must be in the file before memory is taken for them.
    const qint64 room = in.bytesLeft() / 4 / count;
    if (boxDimX() > room || boxDimY() > room / boxDimX() ||
        boxDimZ() > room / (boxDimX() * boxDimY()))
        return fail(cutShort);
    const qint64 nrOfVoxels = boxDimX() * boxDimY() * boxDimZ();
    for (const auto &map : maps) {
        if (!map->allocateMapData(*this))
            return fail("no memory for its maps");
        if (!in.readFloats(map->mapData.get(), nrOfVoxels))
            return fail(cutShort);
    }
    return in.status() == QDataStream::Ok ? 1 : fail(cutShort);
}
