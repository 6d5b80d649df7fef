#ifndef MAPRECORDS_H
#define MAPRECORDS_H

class DocumentStream;
class StatisticalMap;

// How the older VMP format and the SMP format store the settings of each map:
// the same fields in the same order, some of them only from some version on.
struct MapRecordFormat
{
    // Each map its type, and a lag map its lags; else one type and one set of
    // lags for all maps, given before them.
    bool typePerMap = false;
    // The cluster size and the first two parameters in 16 bits, not 32.
    bool shortFields = false;
    // The cluster switch, the first colour pair, the own-colour switch and
    // the transparency.
    bool extended = false;
    bool mapOption = false;
    // The signs shown, after the second parameter.
    bool signSelection = false;
    bool thirdParameter = false;
    // The second colour pair, for negative values.
    bool negativeColours = false;
};

// Reads the records of the maps of a file one after another. Lags are given
// only with lag maps: the maps after one keep its lags.
class MapRecordReader
{
public:
    // The type and lags the maps have when the file gives none per map.
    MapRecordReader(DocumentStream &in, const MapRecordFormat &format, int mapType,
                    const int (&lagValues)[4]);

    void read(StatisticalMap &map);

private:
    int readField();

    DocumentStream &in;
    MapRecordFormat format;
    int mapType;
    int lagValues[4];
};

#endif
