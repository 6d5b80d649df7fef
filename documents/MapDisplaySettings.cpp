#include "MapDisplaySettings.h"

#include "Atlas.h"
#include "LocalFiles.h"

MapDisplaySettings::MapDisplaySettings(QObject *parent) : QObject(parent) {}

void MapDisplaySettings::setTarget(std::shared_ptr<MapTarget> newTarget)
{
    target = std::move(newTarget);
    file.clear();
    index = -1;
    setNote(QString());
}

bool MapDisplaySettings::chooseMapFile(const QString &fileName)
{
    if (!target)
        return false;
    QString reason;
    const QStringList names = target->readMapFile(fileName, reason);
    if (names.isEmpty()) {
        setNote(LocalFiles::displayName(fileName) + ": " + LocalFiles::printable(reason));
        return false;
    }
    file = fileName;
    index = -1;
    setNote(QString());
    emit mapNamesListed(names);
    return true;
}

bool MapDisplaySettings::chooseMap(int row)
{
    if (!target)
        return false;
    QString problem;
    const std::optional<MapDisplay> stored = target->chooseMap(row, problem);
    if (!stored && problem.isEmpty())
        return false;
    index = row;
    if (stored) {
        shown = *stored;
        emit mapChosen(shown);
    }
    setNote(problem.isEmpty()
                ? QString()
                : LocalFiles::displayName(file) + ": " + LocalFiles::printable(problem));
    target->applyDisplay(shown);
    emit changed();
    return true;
}

void MapDisplaySettings::setNote(const QString &note)
{
    if (note == mapNote)
        return;
    mapNote = note;
    emit noteChanged(mapNote);
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

bool MapDisplaySettings::chooseAtlas(const QString &fileName, QString &why)
{
    auto read = std::make_shared<Atlas>();
    if (!read->read(fileName)) {
        why = LocalFiles::printable(read->failureReason());
        return false;
    }
    regions = std::move(read);
    emit atlasChanged(regions);
    return true;
}
