#include "StatisticalMap.h"

#include "ClusterTable.h"

#include <QDataStream>

StatisticalMap::StatisticalMap(const QString &mapName, int clusterSize, bool clusterCheckEnabled)
    : mapName(mapName), clusterSize(clusterSize), clusterCheckEnabled(clusterCheckEnabled)
{
}

StatisticalMap::Thresholds StatisticalMap::thresholds(const MapDisplay &display) const
{
    Thresholds t{display.threshold, threshMax};
    if (!(t.lower > 0.0f))
        t.lower = 0.0f;
    if (!(t.upper > 0.0f))
        t.upper = 0.0f;
    const bool correlation = mapType == 2 || mapType == 3;
    if (correlation)
        t.lower = qMin(t.lower, 0.999f);
    if (t.lower < t.upper)
        return t;
    if (mapType == 1 || mapType == 5 || mapType == 14)
        t.upper = t.lower + 2.0f;
    else if (correlation)
        t.upper = qMin(t.lower + 0.2f, 1.0f);
    else if (mapType == 4)
        t.upper = t.lower + 4.0f;
    return t;
}

ClusterCriteria StatisticalMap::shownValues(const MapDisplay &display) const
{
    const Thresholds t = thresholds(display);
    ClusterCriteria shown;
    shown.threshold = t.lower;
    shown.signSelection = display.signSelection;
    if (mapOption == 0)
        shown.upperThreshold = t.upper;
    if (mapType == 3) {
        shown.lagMap = true;
        shown.lowestLag = float(lagValues[1]);
        shown.highestLag = float(lagValues[2]);
        shown.colouredByLag = lagValues[3] == 0;
    }
    return shown;
}

void StatisticalMap::setColorSet(int index)
{
    static const Color positive[5][2] = {{{0, 0, 100}, {0, 0, 255}},
                                         {{0, 100, 0}, {0, 255, 0}},
                                         {{100, 0, 0}, {255, 0, 0}},
                                         {{100, 0, 100}, {255, 0, 255}},
                                         {{0, 100, 100}, {0, 255, 255}}};
    mapColor1 = positive[index % 5][0];
    mapColor2 = positive[index % 5][1];
    mapColor3 = {100, 100, 50};
    mapColor4 = {200, 200, 100};
}

StatisticalMap::Color StatisticalMap::readColor(QDataStream &in)
{
    Color color;
    for (unsigned char &c : color)
        in >> c;
    return color;
}

const StatisticalMap::Color &StatisticalMap::scaleColor(int entry)
{
    static const std::array<Color, scaleEntries> scale = [] {
        std::array<Color, scaleEntries> colors;
        for (int k = 0; k < 10; ++k) {
            colors[k] = {255, (unsigned char)(75 + 20 * k), 0};
            colors[10 + k] = {0, (unsigned char)(75 + 20 * k), (unsigned char)(255 - 20 * k)};
        }
        return colors;
    }();
    return scale[entry];
}
