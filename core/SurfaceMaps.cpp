#include "SurfaceMaps.h"

#include "Allocation.h"
#include "DocumentStream.h"
#include "MapRecords.h"

#include <QFile>

namespace {

// Smallest map header, that of version 1: cluster size, thresholds, three
// parameters and an empty name.
const int minMapHeaderSize = 4 + 2 * 4 + 3 * 4 + 1;

QString unreadable(const QString &why)
{
    return QString("not a readable SMP file (%1)").arg(why);
}

} // namespace

SurfaceMaps::SurfaceMaps() : MapSet(QStringLiteral("untitled.smp")) {}

SurfaceMaps::~SurfaceMaps() = default;

bool SurfaceMaps::loadSurfaceMaps(QString name, int meshVertices, const ReadContext &context)
{
    return readFile(name, [&](QIODevice &file) {
               return loadSurfaceMaps(file, meshVertices, context) ? 1 : 0;
           }) == 1;
}

// A file that fails leaves no map behind, so that nothing half read is shown.
bool SurfaceMaps::loadSurfaceMaps(QIODevice &device, int meshVertices, const ReadContext &context)
{
    freeMapsMemory();
    clearFailure();
    DocumentStream in(&device, context);
    qint16 version;
    qint32 vertexCount;
    if (!readHeader(in, version, vertexCount)) {
        if (in.status() != QDataStream::Ok)
            return fail(unreadable("cut short in its header"));
        if (version < 1 || version > 4)
            return fail(
                QString("SMP version %1 is not supported (versions 1 to 4 are)").arg(version));
        return fail(unreadable(QString("%1 vertices").arg(vertexCount)));
    }
    if (vertexCount != meshVertices)
        return fail(
            QString("made for a mesh of %1 vertices, not %2").arg(vertexCount).arg(meshVertices));
    nrOfVertices = vertexCount;
    if (readMaps(in, version)) {
        smpVersion = version;
        return true;
    }
    freeMapsMemory();
    return false;
}

bool SurfaceMaps::readHeader(DocumentStream &in, qint16 &version, qint32 &vertexCount)
{
    in >> version >> vertexCount;
    // A negative count is refused here too: a caller may have set the mesh's
    // count from the file.
    return in.status() == QDataStream::Ok && version >= 1 && version <= 4 && vertexCount >= 0;
}

int SurfaceMaps::statedVertexCount(const QString &fileName)
{
    QFile file(fileName);
    if (!DocumentStream::openFile(file))
        return -1;
    DocumentStream in(&file, ReadContext());
    qint16 version;
    qint32 vertexCount;
    return readHeader(in, version, vertexCount) ? vertexCount : -1;
}

bool SurfaceMaps::readMaps(DocumentStream &in, int version)
{
    const QString cutShort = unreadable("shorter than its maps need");
    qint16 count;
    in >> count;
    if (in.status() != QDataStream::Ok ||
        !in.fits(count, qint64(nrOfVertices) * 4 + minMapHeaderSize))
        return fail(cutShort);
    if (!allocateMapsMemory(count, false))
        return fail("no memory for its maps");

    // Versions 1 and 2 store one type and one number of lags for all maps.
    int mapType = 1;
    int lagValues[4] = {};
    if (version <= 2) {
        qint16 type;
        qint16 nrOfLags;
        in >> type >> nrOfLags;
        mapType = type;
        lagValues[2] = qMax(nrOfLags - 1, 0);
    }
    srfFileName = QString::fromLatin1(in.readText(DocumentStream::maxTextLength));

    MapRecordFormat format;
    format.typePerMap = version >= 3;
    format.extended = version >= 2;
    format.mapOption = format.negativeColours = version == 4;
    format.thirdParameter = true;
    MapRecordReader records(in, format, mapType, lagValues);
    for (const auto &map : maps) {
        records.read(*map);
        if (!in.readFloats(map->mapData.get(), nrOfVertices))
            return fail(cutShort);
    }
    return in.status() == QDataStream::Ok || fail(cutShort);
}

bool SurfaceMaps::allocateMapsMemory(int count, bool greys)
{
    freeMapsMemory();
    for (int i = 0; i < count; ++i) {
        maps.push_back(std::make_unique<SurfaceMap>());
        SurfaceMap *map = maps.back().get();
        map->mapData = allocateZeroed<float>(nrOfVertices);
        if (!map->mapData) {
            freeMapsMemory();
            return false;
        }
        map->mapName = QStringLiteral("SMP %1").arg(i + 1);
        if (greys) {
            map->mapColor1 = {50, 50, 50};
            map->mapColor2 = {100, 100, 100};
            map->mapColor3 = {125, 125, 125};
            map->mapColor4 = {175, 175, 175};
        } else {
            map->setColorSet(i);
        }
    }
    selectedMaps = QList<int>(count, 0);
    fileNameWithPath = QStringLiteral("untitled.smp");
    return true;
}
