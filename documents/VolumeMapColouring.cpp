#include "VolumeMapColouring.h"

#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "VolumeDoc.h"

#include <QtNumeric>

#include <algorithm>
#include <cmath>

namespace {

using Color = StatisticalMap::Color;

// Answers of the cluster test kept during a composition.
const unsigned char unknown = 0;
const unsigned char inside = 1;
const unsigned char outside = 2;

// Also takes a value that is not a number to 0, so that it never reaches an index.
float clamp01(float value)
{
    return value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
}

// Where value lies between the thresholds. Equal thresholds leave no room
// between them: a value that passed them is at the maximum.
float between(float value, float lower, float upper)
{
    return upper != lower ? clamp01((value - lower) / (upper - lower)) : 1.0f;
}

void lerp(const Color &from, const Color &to, float t, int rgb[3])
{
    for (int i = 0; i < 3; ++i)
        rgb[i] = int(from[i] * (1.0f - t) + to[i] * t);
}

void blend(int rgb[3], const int anatomical[3], float alpha)
{
    for (int i = 0; i < 3; ++i)
        rgb[i] = int(rgb[i] * alpha + anatomical[i] * (1.0f - alpha));
}

void clampComponents(int rgb[3])
{
    for (int i = 0; i < 3; ++i)
        rgb[i] = std::clamp(rgb[i], 0, 255);
}

} // namespace

void VolumeMapColouring::getVMPColorForVoxel(const VolumeDoc *volume, const MapDisplay &display,
                                             int x, int y, int z, int &red, int &green, int &blue,
                                             int anatRed, int anatGreen, int anatBlue)
{
    const int anatomical[3] = {anatRed, anatGreen, anatBlue};
    int rgb[3] = {-1, -1, -1};
    if (prepare(volume, display))
        colourVoxel(x, y, z, anatomical, rgb);
    red = rgb[0];
    green = rgb[1];
    blue = rgb[2];
}

SliceMosaic::MapColouring VolumeMapColouring::mapColouring(const VolumeDoc &volume,
                                                           const MapDisplay &display, int crossX,
                                                           int crossY, int crossZ)
{
    if (!prepare(&volume, display))
        return {};
    dims[0] = volume.dimX;
    dims[1] = volume.dimY;
    dims[2] = volume.dimZ;
    cross[0] = crossX;
    cross[1] = crossY;
    cross[2] = crossZ;
    planeCells[0] = qsizetype(std::max(dims[1], 0)) * std::max(dims[2], 0);
    planeCells[1] = qsizetype(std::max(dims[0], 0)) * std::max(dims[2], 0);
    planeCells[2] = qsizetype(std::max(dims[0], 0)) * std::max(dims[1], 0);
    const qsizetype cells = planeCells[0] + planeCells[1] + planeCells[2];
    qsizetype filtered = 0;
    for (SelectedMap &selected : selection) {
        if (selected.search)
            selected.clusterAnswers = cells * filtered++;
    }
    clusterAnswers.assign(size_t(cells * filtered), unknown);

    return [this](int x, int y, int z, QRgb anatomical) -> std::optional<QRgb> {
        const int anat[3] = {qRed(anatomical), qGreen(anatomical), qBlue(anatomical)};
        int rgb[3];
        if (!colourVoxel(x, y, z, anat, rgb))
            return std::nullopt;
        // Whole numbers within 0..255 already, which the composition's
        // rounding and clamping would leave as they are.
        return qRgb(rgb[0], rgb[1], rgb[2]);
    };
}

bool VolumeMapColouring::prepare(const VolumeDoc *volume, const MapDisplay &display)
{
    selection.clear();
    clusterAnswers.clear();
    shown = display;
    mapSet = volume ? volume->arVolumeMaps.get() : nullptr;
    if (!mapSet || mapSet->maps.empty())
        return false;
    qint64 boxVoxels;
    if (qMulOverflow(mapSet->boxDimX(), mapSet->boxDimY(), &boxVoxels) ||
        qMulOverflow(boxVoxels, mapSet->boxDimZ(), &boxVoxels) || boxVoxels == 0)
        return false;

    const qsizetype selected =
        std::clamp<qsizetype>(mapSet->nrOfSelectedMaps, 0, mapSet->selectedMaps.size());
    if (display.clusterFilter && searches.size() < size_t(selected))
        searches.resize(size_t(selected));
    bool any = false;
    for (qsizetype k = 0; k < selected; ++k) {
        const int index = mapSet->selectedMaps[k];
        const ArVolumeMap *map =
            index >= 0 && index < int(mapSet->maps.size()) ? mapSet->maps[index].get() : nullptr;
        if (map && map->nrOfValues() < boxVoxels)
            map = nullptr;
        SelectedMap entry = {map, -1, {}, nullptr};
        if (map) {
            entry.thresholds = map->thresholds(display);
            if (display.clusterFilter) {
                entry.search = &searches[size_t(k)];
                entry.search->setMap(*volume, *mapSet, *map, display);
            }
        }
        selection.push_back(entry);
        any = any || map;
    }
    const size_t entries = std::max<size_t>(selection.size(), 10);
    if (mapRed.size() < entries) {
        mapRed.resize(entries);
        mapGreen.resize(entries);
        mapBlue.resize(entries);
    }
    return any;
}

bool VolumeMapColouring::colourVoxel(int x, int y, int z, const int anatomical[3], int rgb[3])
{
    const ArVolumeMaps &box = *mapSet;
    const qint64 index = box.indexOf(x, y, z);
    if (index < 0)
        return false;

    const bool transparentOverlay = box.transparentOverlay;
    // The largest position between the thresholds of the maps' statistics.
    float maxBetween = 0.0f;
    const int nrOfSlots = int(selection.size());
    std::fill_n(mapRed.begin(), nrOfSlots, -1);
    for (int k = 0; k < nrOfSlots; ++k) {
        const SelectedMap &selected = selection[k];
        if (!selected.map)
            continue;
        const ArVolumeMap &map = *selected.map;
        const bool positive = shown.showsPositive();
        const bool negative = shown.showsNegative();
        const bool lagMap = map.mapType == 3;
        const bool colourByLag = lagMap && map.lagValues[3] == 0;
        const float lower = selected.thresholds.lower, upper = selected.thresholds.upper;
        const bool noUpper = map.mapOption != 0;
        float v = map.mapData[index];

        // A lag map holds the lag in the whole part of its values and the
        // statistic in the fraction. The lag stays a float, so that no value
        // is too large for it.
        float lag = 0.0f;
        if (lagMap && positive) {
            const float whole = std::trunc(v);
            lag = std::fabs(whole);
            v -= whole;
            if (lag < float(map.lagValues[1]) || lag > float(map.lagValues[2]))
                continue;
        }

        int c[3];
        bool coloured = false;
        if (positive && v >= lower && (noUpper || v <= upper)) {
            if (!inCluster(selected, x, y, z))
                continue;
            if (colourByLag) {
                const float lastLag = float(std::max(map.lagValues[0] - 1, 1));
                const float u = clamp01(lag / lastLag);
                if (map.useMapColors) {
                    lerp(map.mapColor1, map.mapColor2, u, c);
                    if (map.mapAlpha < 1.0f) {
                        const float alpha = clamp01(map.mapAlpha);
                        blend(c, anatomical, alpha == 0.0f ? between(v, lower, upper) : alpha);
                    }
                } else {
                    const unsigned char *entry = colours.colour(std::min(int(19.0f * u), 19));
                    std::copy(entry, entry + 3, c);
                }
            } else {
                const float t = between(v, lower, upper);
                maxBetween = std::max(maxBetween, t);
                if (map.useMapColors) {
                    lerp(map.mapColor1, map.mapColor2, t, c);
                } else {
                    const unsigned char *entry = colours.colour(std::min(int(9.0f * t), 9));
                    std::copy(entry, entry + 3, c);
                }
                if (!transparentOverlay && map.mapAlpha < 1.0f)
                    blend(c, anatomical, map.mapAlpha == -1.0f ? t : clamp01(map.mapAlpha));
            }
            coloured = true;
        }
        const float w = -v;
        if (negative && !colourByLag && w > lower && (noUpper || w <= upper)) {
            // A positive colour passed the same cluster test already.
            if (!coloured && !inCluster(selected, x, y, z))
                continue;
            const float t = between(w, lower, upper);
            maxBetween = std::max(maxBetween, t);
            if (map.useMapColors) {
                lerp(map.mapColor3, map.mapColor4, t, c);
            } else {
                const unsigned char *entry = colours.colour(std::min(int(9.0f * t), 9) + 10);
                std::copy(entry, entry + 3, c);
            }
            if (!transparentOverlay && map.mapAlpha < 1.0f)
                blend(c, anatomical, map.mapAlpha == -1.0f ? t : clamp01(map.mapAlpha));
            coloured = true;
        }
        if (coloured) {
            mapRed[k] = c[0];
            mapGreen[k] = c[1];
            mapBlue[k] = c[2];
        }
    }

    int count = 0;
    int sum[3] = {0, 0, 0};
    for (int k = 0; k < nrOfSlots; ++k) {
        if (mapRed[k] == -1)
            continue;
        ++count;
        sum[0] += mapRed[k];
        sum[1] += mapGreen[k];
        sum[2] += mapBlue[k];
    }
    if (count == 0)
        return false;
    if (box.mapMixMode == 1) {
        for (int i = 0; i < 3; ++i)
            rgb[i] = int(float(sum[i]) / float(count) + 0.5f);
    } else {
        std::copy(sum, sum + 3, rgb);
        const int largest = *std::max_element(sum, sum + 3);
        if (largest > 255) {
            const float scale = float(largest) / 255.0f;
            for (int i = 0; i < 3; ++i)
                rgb[i] = int(float(sum[i]) / scale + 0.5f);
        }
    }
    clampComponents(rgb);
    if (transparentOverlay) {
        blend(rgb, anatomical, maxBetween);
        clampComponents(rgb);
    }
    return true;
}

bool VolumeMapColouring::inCluster(const SelectedMap &selected, int x, int y, int z)
{
    if (!selected.search)
        return true;
    ClusterSearch &search = *selected.search;
    unsigned char *answer = clusterAnswer(selected, x, y, z);
    const int sign = search.clusterSign(x, y, z);
    if (!answer || sign == 0)
        return search.check3DMapClusterSize(x, y, z);
    if (*answer == unknown) {
        // A neighbour of the same sign lies in the same cluster.
        for (int axis = 0; axis < 3 && *answer == unknown; ++axis) {
            for (int step : {-1, 1}) {
                int n[3] = {x, y, z};
                n[axis] += step;
                const unsigned char *known = clusterAnswer(selected, n[0], n[1], n[2]);
                if (known && *known != unknown && search.clusterSign(n[0], n[1], n[2]) == sign) {
                    *answer = *known;
                    break;
                }
            }
        }
    }
    if (*answer == unknown)
        *answer = search.check3DMapClusterSize(x, y, z) ? inside : outside;
    return *answer == inside;
}

unsigned char *VolumeMapColouring::clusterAnswer(const SelectedMap &selected, int x, int y, int z)
{
    if (selected.clusterAnswers < 0 || x < 0 || x >= dims[0] || y < 0 || y >= dims[1] || z < 0 ||
        z >= dims[2])
        return nullptr;
    unsigned char *planes = clusterAnswers.data() + selected.clusterAnswers;
    if (x == cross[0])
        return planes + y + qsizetype(z) * dims[1];
    planes += planeCells[0];
    if (y == cross[1])
        return planes + x + qsizetype(z) * dims[0];
    planes += planeCells[1];
    if (z == cross[2])
        return planes + x + qsizetype(y) * dims[0];
    return nullptr;
}
