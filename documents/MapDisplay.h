#ifndef MAPDISPLAY_H
#define MAPDISPLAY_H

#include <QString>
#include <QStringList>

#include <optional>

// How the map shown is coloured: values beyond the threshold, of the signs
// chosen (1 positive only, 2 negative only, 3 both, 0 none), in clusters of at
// least clusterSize voxels or vertices when the filter is on.
struct MapDisplay
{
    float threshold = 0.0f;
    int clusterSize = 0;
    bool clusterFilter = false;
    int signSelection = 3;

    bool operator==(const MapDisplay &other) const
    {
        return threshold == other.threshold && clusterSize == other.clusterSize &&
               clusterFilter == other.clusterFilter && signSelection == other.signSelection;
    }
    bool operator!=(const MapDisplay &other) const { return !(*this == other); }
};

// A document that statistical maps can be shown on: a volume or a mesh.
class MapTarget
{
public:
    virtual ~MapTarget() = default;
    // Reads a map file for the document and returns the names of its maps;
    // none, with the reason, when it cannot be read or does not fit, and then
    // the maps shown stay as they were.
    virtual QStringList readMapFile(const QString &fileName, QString &reason) = 0;
    // Shows map row of the file read last and returns how the file says to
    // show it; none when there is no such map. A map chosen that shows
    // nothing (it lies beside the volume) sets problem to why, and may come
    // without settings of its own.
    virtual std::optional<MapDisplay> chooseMap(int row, QString &problem) = 0;
    // Shows the map chosen as display says.
    virtual void applyDisplay(const MapDisplay &display) = 0;
};

#endif
