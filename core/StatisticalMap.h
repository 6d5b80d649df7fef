#ifndef STATISTICALMAP_H
#define STATISTICALMAP_H

#include <QString>

#include <array>

class QDataStream;
struct ClusterCriteria;

// How a map is shown, as the user chose it: values beyond the threshold, of
// the signs chosen (1 positive only, 2 negative only, 3 both, 0 none), in
// clusters of at least clusterSize voxels, or on a mesh square units, when the
// filter is on. A map file stores one for each of its maps; the colouring
// takes one as it is asked to show the map.
struct MapDisplay
{
    float threshold = 0.0f;
    int clusterSize = 0;
    bool clusterFilter = false;
    int signSelection = 3;

    bool showsPositive() const { return signSelection == 1 || signSelection == 3; }
    bool showsNegative() const { return signSelection == 2 || signSelection == 3; }
    bool operator==(const MapDisplay &other) const
    {
        return threshold == other.threshold && clusterSize == other.clusterSize &&
               clusterFilter == other.clusterFilter && signSelection == other.signSelection;
    }
    bool operator!=(const MapDisplay &other) const { return !(*this == other); }
};

// The settings that every kind of statistical map carries, as its file stores
// them: the statistic, its thresholds, the sign selection, the cluster filter
// and the map's own colour range.
class StatisticalMap
{
public:
    using Color = std::array<unsigned char, 3>;
    struct Thresholds
    {
        float lower;
        float upper;
    };

    // How the file says to show the map.
    MapDisplay storedDisplay() const
    {
        return {threshMin, clusterSize, clusterCheckEnabled, showPosNeg};
    }
    // The thresholds of the map shown as display says: the display's threshold
    // and the map's upper one, kept consistent for the map's statistic.
    Thresholds thresholds(const MapDisplay &display) const;
    // Which values the volume view colours when it shows the map as display
    // says: its thresholds, signs, upper threshold and lags shown. The
    // cluster size is left to the caller, who knows the grid.
    ClusterCriteria shownValues(const MapDisplay &display) const;
    // The colour range of map number index of a file (five sets in turn).
    void setColorSet(int index);
    // A colour as the files store it: red, green, blue bytes.
    static Color readColor(QDataStream &in);
    // The built-in colour scale, for maps that do not use their own colours:
    // entries 0..9 run from red-orange to yellow for positive values, 10..19
    // from blue to green for negative ones.
    static constexpr int scaleEntries = 20;
    static const Color &scaleColor(int entry);

    QString mapName;
    int mapType = 1; // 2 and 3: correlations; 3: lag maps
    float threshMin = 4.0f;
    float threshMax = 8.0f;
    float mapAlpha = 1.0f;
    int clusterSize = 0;
    bool clusterCheckEnabled = false;
    int showPosNeg = 3; // 1 positive values, 2 negative, 3 both
    int mapOption = 1;  // 0: values must stay at or below threshMax
    int statParam1 = 0;
    int statParam2 = 0;
    int statParam3 = 0;
    Color mapColor1 = {0, 0, 100};     // positive at threshold
    Color mapColor2 = {0, 0, 255};     // positive at maximum
    Color mapColor3 = {100, 100, 50};  // negative at threshold
    Color mapColor4 = {200, 200, 100}; // negative at maximum
    bool useMapColors = false;
    // Lag maps: number of lags, lowest and highest lag shown, colour by statistic.
    int lagValues[4] = {};

protected:
    StatisticalMap(const QString &mapName, int clusterSize, bool clusterCheckEnabled);
    ~StatisticalMap() = default;
};

#endif
