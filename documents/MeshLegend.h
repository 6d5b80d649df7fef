#ifndef MESHLEGEND_H
#define MESHLEGEND_H

#include "StatisticalMap.h"

#include <QImage>
#include <QRect>
#include <QStringList>

#include <vector>

class SurfaceMap;
class SurfaceMesh;

// The colour bars of the maps shown on a mesh, in the lower-left corner of
// its figure: the map file's and each map's name, and its positive and
// negative scales as its display shows them, threshold to top. Drawn into an
// image without OpenGL, on any thread (text needs a QGuiApplication). It reads
// the mesh's maps while it is drawn: they must not change while it lives.
class MeshLegend
{
public:
    MeshLegend(const SurfaceMesh &mesh, const MapDisplay &display, const QString &mapFileName);

    int barCount() const { return int(bars.size()); }
    QStringList barLabels(int i) const;
    // Where the legend goes in a figure of size, and where bar i lies there;
    // the bar's pixel columns show the values VolumeLegend::barValue gives.
    QRect area(QSize figure) const;
    QRect barRect(QSize figure, int i) const;
    // Nothing without a bar.
    void draw(QImage &figure) const;

private:
    struct Bar
    {
        QString lowLabel;
        QString highLabel;
        StatisticalMap::Thresholds thresholds;
        const SurfaceMap *map;
        bool negative;
        int row;
    };
    int lineHeight(QSize figure) const;

    QStringList texts; // one per row; a bar's row holds none
    std::vector<Bar> bars;
};

#endif
