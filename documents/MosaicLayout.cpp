#include "MosaicLayout.h"

#include <algorithm>
#include <cmath>

MosaicLayout::MosaicLayout(int dimX, int dimY, int dimZ)
{
    const int m = std::max({dimX, dimY, dimZ});
    if (std::min({dimX, dimY, dimZ}) <= 0 || m > maxQuadrantSide)
        return;
    dims[0] = dimX;
    dims[1] = dimY;
    dims[2] = dimZ;
    side = m;
    for (int axis = 0; axis < 3; ++axis)
        offsets[axis] = (m - dims[axis]) / 2;
}

bool MosaicLayout::contains(int x, int y, int z) const
{
    return x >= 0 && x < dims[0] && y >= 0 && y < dims[1] && z >= 0 && z < dims[2];
}

QRect MosaicLayout::quadrantAt(QPoint pixel) const
{
    if (!QRect(QPoint(0, 0), imageSize()).contains(pixel))
        return {};
    return {pixel.x() / side * side, pixel.y() / side * side, side, side};
}

MosaicLayout::VoxelHit MosaicLayout::voxelAtMousePosition(QSize widgetSize, QSize imageSize,
                                                          double zoom, QPointF translation,
                                                          QPoint mousePos, int crossX, int crossY,
                                                          int crossZ) const
{
    VoxelHit hit;
    if (isEmpty() || widgetSize.isEmpty() || imageSize.isEmpty() || !(zoom > 0))
        return hit;

    const double ww = widgetSize.width(), wh = widgetSize.height();
    const double scale = std::min(ww / imageSize.width(), wh / imageSize.height());
    double px = (mousePos.x() - zoom * translation.x() * scale - ww / 2) / zoom + ww / 2;
    double py = (mousePos.y() - zoom * translation.y() * scale - wh / 2) / zoom + wh / 2;
    // The image is square: the longer side of the widget has margins.
    if (ww > wh)
        px -= (ww - wh) / 2;
    else if (ww < wh)
        py -= (wh - ww) / 2;
    if (!std::isfinite(px) || !std::isfinite(py))
        return hit;

    // Far outside the image all pixels are alike; the bound keeps them in an int.
    const double bound = 1 << 30;
    const int ix = int(std::clamp(std::round(px / scale), -bound, bound));
    const int iy = int(std::clamp(std::round(py / scale), -bound, bound));
    hit.column = ix / side;
    hit.row = iy / side;
    const int rx = ix % side, ry = iy % side;
    if (hit.column == 0 && hit.row == 0) {
        hit.x = rx - offsets[0];
        hit.y = ry - offsets[1];
        hit.z = crossZ;
    } else if (hit.column == 1 && hit.row == 0) {
        hit.x = crossX;
        hit.y = ry - offsets[1];
        hit.z = rx - offsets[2];
    } else if (hit.column == 1 && hit.row == 1) {
        hit.x = ry - offsets[0];
        hit.y = crossY;
        hit.z = rx - offsets[2];
    }
    // Left of or above the image the quotients are 0 as well: only the image's
    // own lower-left quadrant gives the valid voxel (0, 0, 0).
    hit.valid =
        ix >= 0 && iy >= 0 && hit.column <= 1 && hit.row <= 1 && contains(hit.x, hit.y, hit.z);
    return hit;
}
