#ifndef VOLUMELEGEND_H
#define VOLUMELEGEND_H

#include "VolumeMapColouring.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <array>
#include <vector>

class ArVolumeMap;
class VolumeDoc;
class VolumeDocument;

// The legend of a volume's slices: the file names, the cross in voxels and in
// world millimetres, the anatomy's value and each shown map's value there, and
// each shown map's colour bars, positive and negative as its display shows
// them, from the threshold to the top. Drawn into an image without OpenGL, on
// any thread (text needs a QGuiApplication).
class VolumeLegend
{
public:
    // What volume shows at the cross. The legend reads the volume's maps
    // while it is drawn: they must not change while it lives.
    VolumeLegend(const VolumeDocument &volume, const std::array<int, 3> &cross);
    // The same for a volume shown as display says, read from fileName, with
    // maps read from mapFileName.
    VolumeLegend(const VolumeDoc &volume, const MapDisplay &display, const QString &fileName,
                 const QString &mapFileName, const std::array<int, 3> &cross);

    // Black, the texts in white, laid out to fill area as far as its height
    // allows.
    void draw(QImage &image, const QRect &area) const;
    // In the mosaic's empty lower-left quadrant.
    void drawInMosaic(QImage &mosaic) const;
    static QRect mosaicArea(const QImage &mosaic);

    // The lines of text, top to bottom, without the bars' labels.
    QStringList lines() const;
    // The colour bars: one per sign shown of each shown map.
    int barCount() const { return int(bars.size()); }
    // Where bar i lies in area, and the value its pixel column shows; the
    // bar's pixels are the map's colours of those values.
    QRect barRect(const QRect &area, int i) const;
    // The values written at the bar's ends: threshold and top.
    QStringList barLabels(int i) const;
    static float barValue(float lower, float upper, int column, int width);

private:
    struct Bar
    {
        QString lowLabel;
        QString highLabel;
        float lower;
        float upper;
        const ArVolumeMap *map;
        bool negative;
        int row; // the line it is drawn on
    };
    struct Layout
    {
        int lineHeight;
        int pixelSize;
        int margin;
        int firstColumnRows; // the rest go in a second column
        int content;         // a column's width
    };
    Layout layoutFor(const QRect &area) const;
    QRect rowRect(const QRect &area, const Layout &layout, int row) const;
    int rowCount() const;

    std::vector<QString> texts; // one per row; a bar's row holds none
    std::vector<Bar> bars;
    // The rows before those of the maps.
    int mapRows = 0;
    VolumeMapColouring colouring;
};

#endif
