#ifndef MAPDISPLAY_H
#define MAPDISPLAY_H

#include "StatisticalMap.h"

#include <QString>
#include <QStringList>

#include <optional>

// A document that statistical maps can be shown on: a volume or a mesh.
class MapTarget
{
public:
    virtual ~MapTarget() = default;
    // The map files of the document's folder that fit it, by name, as they
    // were when the document was read (reading them takes a while: not on the
    // window's thread).
    QStringList offeredMapFiles() const { return offered; }
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

protected:
    QStringList offered;
};

#endif
