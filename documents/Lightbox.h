#ifndef LIGHTBOX_H
#define LIGHTBOX_H

#include "SliceMosaic.h"
#include "VolumeMapColouring.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <vector>

class VolumeDoc;
class VolumeDocument;

// Many parallel slices of a volume side by side, in reading order, the map
// shown coloured in: each tile is the quadrant the volume view shows that
// slice in, with its place written under it; the legend below the tiles when
// asked. Evenly spaced across the anatomy's voxels that are not 0. One
// lightbox per thread, as a VolumeComposer.
class Lightbox
{
public:
    enum Axis { Axial, Coronal, Sagittal };
    struct Options
    {
        Axis axis = Axial;
        int slices = 24;
        // 0: as many as fit the figure best.
        int columns = 0;
        bool legend = false;
    };

    // The volume's axis (0 x, 1 y, 2 z) across the slices of axis.
    static int volumeAxis(Axis axis);
    // The slices' positions along the volume's axis, in reading order: from
    // inferior, posterior or left on. The middles of n equal parts of the
    // stretch the anatomy's non-zero voxels cover (the whole axis when all are 0).
    static std::vector<int> slicePositions(const VolumeDoc &volume, Axis axis, int n);
    // Where slice i of those is drawn, and under it its label.
    QRect tileRect(int i) const;
    QString tileLabel(int i) const { return labels.value(i); }
    int columnCount() const { return columns; }

    // The lightbox of volume at the cross (for the legend), laid out to fit a
    // figure of size fit best unless the columns are given. Null when the
    // volume cannot be composed.
    QImage compose(const VolumeDocument &volume, const Options &options, QSize fit,
                   const std::array<int, 3> &cross);

private:
    SliceMosaic mosaic;
    VolumeMapColouring mapColouring;
    int side = 0;
    int caption = 0;
    int columns = 1;
    QStringList labels;
};

#endif
