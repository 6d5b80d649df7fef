#include "MeshMapOverlay.h"

#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"

std::optional<QStringList> MeshMapOverlay::load(SurfaceMesh &mesh, const QString &fileName)
{
    if (!mesh.loadSMPs(fileName) || !mesh.surfaceMaps)
        return std::nullopt;
    QStringList names;
    for (const SurfaceMap *map : std::as_const(mesh.surfaceMaps->maps))
        names << map->mapName;
    return names;
}

SurfaceMap *MeshMapOverlay::select(SurfaceMesh &mesh, int index)
{
    SurfaceMaps *maps = mesh.surfaceMaps;
    if (!maps || index < 0 || index >= maps->maps.size())
        return nullptr;
    maps->nrOfSelectedMaps = 1;
    maps->selectedMaps = {index};
    return maps->maps[index];
}

SurfaceMap *MeshMapOverlay::shown(const SurfaceMesh &mesh)
{
    const SurfaceMaps *maps = mesh.surfaceMaps;
    if (!maps || maps->nrOfSelectedMaps != 1 || maps->selectedMaps.isEmpty())
        return nullptr;
    const int index = maps->selectedMaps.first();
    return index >= 0 && index < maps->maps.size() ? maps->maps[index] : nullptr;
}

void MeshMapOverlay::overlay(SurfaceMesh &mesh)
{
    mesh.prepareDisplayOfSMP();
    mesh.overlaySMP();
}

bool MeshMapOverlay::setThreshold(SurfaceMesh &mesh, float threshold)
{
    SurfaceMap *map = shown(mesh);
    if (!map)
        return false;
    map->threshMin = threshold;
    map->checkStatValueThreshMinMax();
    overlay(mesh);
    return true;
}

bool MeshMapOverlay::setClusterSize(SurfaceMesh &mesh, int size)
{
    SurfaceMap *map = shown(mesh);
    if (!map)
        return false;
    map->clusterSize = size;
    overlay(mesh);
    return true;
}

bool MeshMapOverlay::setClusterFilter(SurfaceMesh &mesh, bool on)
{
    SurfaceMap *map = shown(mesh);
    if (!map)
        return false;
    map->clusterCheckEnabled = on;
    overlay(mesh);
    return true;
}

bool MeshMapOverlay::setSignSelection(SurfaceMesh &mesh, int signSelection)
{
    SurfaceMap *map = shown(mesh);
    if (!map)
        return false;
    map->showPosNeg = signSelection;
    overlay(mesh);
    return true;
}
