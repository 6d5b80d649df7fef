#ifndef SLICEMOSAIC_H
#define SLICEMOSAIC_H

#include "VoxelColours.h"

#include <QFont>
#include <QImage>

#include <array>
#include <functional>
#include <optional>

class MosaicLayout;
class VolumeDoc;

// Draws the slice mosaic of a volume: its three orthogonal slices through the
// cross, placed as MosaicLayout says, then, as the view asks, the quadrant
// borders, the orientation labels and the red cross on top. The drawing
// functions leave a null image alone. Drawing text needs a QGuiApplication;
// composing does not.
class SliceMosaic
{
public:
    // The colour of voxel (x, y, z) under a statistical map, given its
    // anatomical colour, or none to keep that. The colour is used as given:
    // opaque, each component within 0..255.
    using MapColouring = std::function<std::optional<QRgb>(int x, int y, int z, QRgb anatomical)>;

    // The mosaic of volume (its voxels vmrData, dimX × dimY × dimZ) at the
    // cross: a new image of 2M × 2M pixels in format RGB32, black but for the
    // three slices, each drawn only when the cross's coordinate on its fixed
    // axis lies inside the volume. Voxel values become colours as
    // VoxelColours::voxel says, then, with mapColouring, as that says. A null
    // image when the volume has no voxels, MosaicLayout is empty for it, or
    // the memory cannot be had.
    QImage compose(const VolumeDoc &volume, int crossX, int crossY, int crossZ,
                   const MapColouring &mapColouring = {}) const;

    // One slice alone as compose() draws it in its quadrant: an image of M × M
    // pixels, the slice axis = position (0 x, 1 y, 2 z) centred as in the
    // mosaic. Black when position lies outside the volume; null as compose().
    QImage composeSlice(const VolumeDoc &volume, int axis, int position,
                        const MapColouring &mapColouring = {}) const;

    // A white line through the middle of the image each way, pen width 1.
    static void drawBorders(QImage &mosaic);

    // The slice names "SAG", "COR" and "TRA" centred over their quadrants and
    // the side letters at their left and right edges: "A" and "P" in the upper
    // left, and in the right-hand quadrants "R" and "L" when
    // leftRightConvention is 1, otherwise "L" and "R". White, in font.
    static void drawLabels(QImage &mosaic, int leftRightConvention,
                           const QFont &font = labelFont());
    // The application's font family at 8 points, bold.
    static QFont labelFont();

    // A red cross hair at the cross's pixel in each slice: four arms from 6 to
    // 59 (or 60, right and down) pixels off the centre, each held to its own
    // quadrant, and a 3 × 3 square around the centre. Nothing for a cross
    // outside the layout's volume.
    static void drawCross(QImage &mosaic, const MosaicLayout &layout, int crossX, int crossY,
                          int crossZ);

private:
    QImage draw(const VolumeDoc &volume, QSize size, const std::array<int, 3> &cross,
                const std::array<QPoint, 3> &origins, const MapColouring &mapColouring) const;

    VoxelColours colours;
};

#endif
