#ifndef MOSAICLAYOUT_H
#define MOSAICLAYOUT_H

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>

// Where the three orthogonal slices of a dimX × dimY × dimZ volume lie in the
// slice mosaic: a square image of 2M × 2M pixels, M = max(dimX, dimY, dimZ), cut
// into four quadrants of M × M.
//
//   upper left   slice z = cross z   voxel (x, y) at pixel (offsetX + x,     offsetY + y)
//   upper right  slice x = cross x   voxel (y, z) at pixel (M + offsetZ + z, offsetY + y)
//   lower right  slice y = cross y   voxel (x, z) at pixel (M + offsetZ + z, M + offsetX + x)
//   lower left   empty
//
// The offsets (M - dim) / 2 centre the shorter axes in their quadrants. A layout
// is a value; it holds no voxels.
class MosaicLayout
{
public:
    // The largest M laid out. The volumes shown have at most 512 voxels along
    // an axis (the largest framing cube; NIfTI images are resampled to 256);
    // a longer axis, such as that of a damaged 4096 × 2 × 2 volume, would ask
    // for a mosaic and texture of hundreds of megabytes, so such a volume gets
    // an empty layout.
    static const int maxQuadrantSide = 1024;

    // Empty when a dimension is not positive or longer than maxQuadrantSide.
    MosaicLayout() = default;
    MosaicLayout(int dimX, int dimY, int dimZ);

    bool isEmpty() const { return side == 0; }

    int dimX() const { return dims[0]; }
    int dimY() const { return dims[1]; }
    int dimZ() const { return dims[2]; }
    // M; 0 when empty.
    int quadrantSide() const { return side; }
    // 2M × 2M.
    QSize imageSize() const { return {2 * side, 2 * side}; }
    int offsetX() const { return offsets[0]; }
    int offsetY() const { return offsets[1]; }
    int offsetZ() const { return offsets[2]; }

    bool contains(int x, int y, int z) const;

    // The pixel of a voxel in the quadrant of each slice.
    QPoint upperLeftPixel(int x, int y) const { return {offsets[0] + x, offsets[1] + y}; }
    QPoint upperRightPixel(int y, int z) const { return {side + offsets[2] + z, offsets[1] + y}; }
    QPoint lowerRightPixel(int x, int z) const
    {
        return {side + offsets[2] + z, side + offsets[0] + x};
    }
    // The quadrant that holds an image pixel; empty for a pixel outside the image.
    QRect quadrantAt(QPoint pixel) const;

    struct VoxelHit
    {
        bool valid = false;
        int x = 0;
        int y = 0;
        int z = 0;
        int column = 0; // quadrant column and row, 0 or 1 inside the image
        int row = 0;
    };

    // The voxel under a mouse position in a view that shows the mosaic (of
    // imageSize, normally imageSize()) scaled to fit the widget and centred,
    // then zoomed by zoom about the widget's centre and moved by translation
    // (in image pixels, the view's frustum units). A view that shows the image
    // at another scale, as in native size mode, passes as zoom its widget
    // pixels per image pixel over min(widget width / image width, widget
    // height / image height). A rotation of the view is not undone.
    //
    // The position is turned into an image pixel (rounding halves away from
    // zero) and the pixel into a voxel of the slice under it, the fixed axis
    // of the slice being the cross's. A pixel of the empty lower-left quadrant
    // gives voxel (0, 0, 0), which counts as valid; a pixel outside the image
    // or outside the volume's part of its quadrant is not valid. Not valid
    // either for an empty layout, widget or image, or a zoom that is not
    // positive.
    VoxelHit voxelAtMousePosition(QSize widgetSize, QSize imageSize, double zoom,
                                  QPointF translation, QPoint mousePos, int crossX, int crossY,
                                  int crossZ) const;

private:
    int dims[3] = {};
    int side = 0;
    int offsets[3] = {};
};

#endif
