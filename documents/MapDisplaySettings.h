#ifndef MAPDISPLAYSETTINGS_H
#define MAPDISPLAYSETTINGS_H

#include "MapDisplay.h"

#include <QObject>

#include <memory>

class Atlas;

// What the user chose to see of the maps of the volume or mesh shown: the map
// file, the map of it, and how it is coloured. One object serves the volume
// and the mesh view; the maps panel drives it and follows it. Changes reach the
// document shown at once, and changed() tells its view to draw it anew.
class MapDisplaySettings : public QObject
{
    Q_OBJECT

public:
    explicit MapDisplaySettings(QObject *parent = nullptr);

    // The document whose maps are chosen from now on; none forgets the choice.
    void setTarget(std::shared_ptr<MapTarget> target);
    bool hasTarget() const { return bool(target); }

    QString mapFile() const { return file; }
    // -1 while no map is shown.
    int mapIndex() const { return index; }
    MapDisplay display() const { return shown; }
    // What the view says over the document about its maps: which map file or
    // map shows nothing, and why; empty while all is well.
    QString note() const { return mapNote; }

    // Reads a map file onto the document and lists its maps; false, with a
    // note, when it cannot be read.
    bool chooseMapFile(const QString &fileName);
    // Shows map row of the file chosen, as the file says to show it; false
    // when the file holds no such map.
    bool chooseMap(int row);
    void setThreshold(float threshold);
    void setClusterSize(int size);
    void setClusterFilter(bool on);
    void setSignSelection(int signSelection);

    // The atlas that names the regions of maps and volumes from now on, for
    // every document; none while no atlas is chosen.
    std::shared_ptr<const Atlas> atlas() const { return regions; }
    // Reads an atlas (Atlas::read) and chooses it; false with why, the atlas
    // chosen before kept, when it cannot be read.
    bool chooseAtlas(const QString &fileName, QString &why);

signals:
    // The maps of the file chosen, for the panel.
    void mapNamesListed(const QStringList &names);
    // A map was chosen: the panel shows how it is coloured.
    void mapChosen(const MapDisplay &display);
    // The document shows its maps differently: draw it anew.
    void changed();
    void noteChanged(const QString &note);
    void atlasChanged(const std::shared_ptr<const Atlas> &atlas);

private:
    void apply(const MapDisplay &display);
    void setNote(const QString &note);

    std::shared_ptr<MapTarget> target;
    QString file;
    int index = -1;
    MapDisplay shown;
    QString mapNote;
    std::shared_ptr<const Atlas> regions;
};

#endif
