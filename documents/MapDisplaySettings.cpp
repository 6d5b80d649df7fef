#include "MapDisplaySettings.h"

MapDisplaySettings::MapDisplaySettings(QObject *parent) : QObject(parent) {}

void MapDisplaySettings::setTarget(std::shared_ptr<MapTarget> newTarget)
{
    target = std::move(newTarget);
    file.clear();
    index = -1;
}

bool MapDisplaySettings::chooseMapFile(const QString &fileName)
{
    if (!target)
        return false;
    QString reason;
    const QStringList names = target->readMapFile(fileName, reason);
    if (names.isEmpty()) {
        emit failed(reason);
        return false;
    }
    file = fileName;
    index = -1;
    emit mapNamesListed(names);
    return true;
}

bool MapDisplaySettings::chooseMap(int row)
{
    const std::optional<MapDisplay> stored = target ? target->chooseMap(row) : std::nullopt;
    if (!stored)
        return false;
    index = row;
    shown = *stored;
    emit mapChosen(shown);
    target->applyDisplay(shown);
    emit changed();
    return true;
}

void MapDisplaySettings::apply(const MapDisplay &display)
{
    if (display == shown)
        return;
    shown = display;
    if (!target || index < 0)
        return;
    target->applyDisplay(shown);
    emit changed();
}

void MapDisplaySettings::setThreshold(float threshold)
{
    MapDisplay display = shown;
    display.threshold = threshold;
    apply(display);
}

void MapDisplaySettings::setClusterSize(int size)
{
    MapDisplay display = shown;
    display.clusterSize = size;
    apply(display);
}

void MapDisplaySettings::setClusterFilter(bool on)
{
    MapDisplay display = shown;
    display.clusterFilter = on;
    apply(display);
}

void MapDisplaySettings::setSignSelection(int signSelection)
{
    MapDisplay display = shown;
    display.signSelection = signSelection;
    apply(display);
}
