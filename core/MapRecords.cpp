#include "MapRecords.h"

#include "DocumentStream.h"
#include "StatisticalMap.h"

#include <algorithm>

MapRecordReader::MapRecordReader(DocumentStream &in, const MapRecordFormat &format, int mapType,
                                 const int (&lagValues)[4])
    : in(in), format(format), mapType(mapType)
{
    std::copy(lagValues, lagValues + 4, this->lagValues);
}

int MapRecordReader::readField()
{
    if (format.shortFields) {
        qint16 value;
        in >> value;
        return value;
    }
    qint32 value;
    in >> value;
    return value;
}

void MapRecordReader::read(StatisticalMap &map)
{
    if (format.typePerMap) {
        in >> mapType;
        if (mapType == 3) {
            for (int &lag : lagValues)
                in >> lag;
        }
    }
    map.mapType = mapType;
    std::copy(lagValues, lagValues + 4, map.lagValues);
    map.clusterSize = readField();
    quint8 byte;
    if (format.extended) {
        in >> byte;
        map.clusterCheckEnabled = byte != 0;
    }
    in >> map.threshMin >> map.threshMax;
    if (format.mapOption)
        in >> map.mapOption;
    map.statParam1 = readField();
    map.statParam2 = readField();
    if (format.signSelection)
        in >> map.showPosNeg;
    if (format.thirdParameter)
        in >> map.statParam3;
    if (format.extended) {
        map.mapColor1 = StatisticalMap::readColor(in);
        map.mapColor2 = StatisticalMap::readColor(in);
    }
    if (format.negativeColours) {
        map.mapColor3 = StatisticalMap::readColor(in);
        map.mapColor4 = StatisticalMap::readColor(in);
    }
    if (format.extended) {
        in >> byte >> map.mapAlpha;
        map.useMapColors = byte != 0;
    }
    map.mapName = QString::fromLatin1(in.readText(DocumentStream::maxTextLength));
}
