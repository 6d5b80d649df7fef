#include "SliceMosaic.h"

#include "MosaicLayout.h"
#include "VolumeDoc.h"

#include <QGuiApplication>
#include <QPainter>

#include <algorithm>

namespace {

// Where each slice's quadrant starts in the image, by the slice's fixed axis.
using Origins = std::array<QPoint, 3>;

// Writes the three slices through the cross, those whose fixed coordinate
// lies inside the volume; colourOf(value, x, y, z) gives a voxel's pixel. One
// template for the plain and the map-coloured case keeps the plain loops free
// of any test per voxel.
template <typename ColourOf>
void drawSlices(QImage &image, const unsigned char *voxels, const MosaicLayout &layout, int crossX,
                int crossY, int crossZ, ColourOf colourOf, const Origins &origins)
{
    const int dimX = layout.dimX(), dimY = layout.dimY(), dimZ = layout.dimZ();
    const qsizetype rowStride = dimX;
    const qsizetype planeStride = rowStride * dimY;
    const qsizetype width = image.bytesPerLine() / qsizetype(sizeof(QRgb));
    QRgb *const bits = reinterpret_cast<QRgb *>(image.bits());

    if (crossZ >= 0 && crossZ < dimZ) {
        for (int y = 0; y < dimY; ++y) {
            const unsigned char *in = voxels + crossZ * planeStride + y * rowStride;
            QRgb *out = bits + (origins[2].y() + layout.offsetY() + y) * width + origins[2].x() +
                        layout.offsetX();
            for (int x = 0; x < dimX; ++x)
                out[x] = colourOf(in[x], x, y, crossZ);
        }
    }
    // The two slices that run across the planes fill image columns, one plane
    // at a time, so that the voxels are read in memory order.
    if (crossX >= 0 && crossX < dimX) {
        for (int z = 0; z < dimZ; ++z) {
            const unsigned char *in = voxels + z * planeStride + crossX;
            QRgb *out = bits + (origins[0].y() + layout.offsetY()) * width + origins[0].x() +
                        layout.offsetZ() + z;
            for (int y = 0; y < dimY; ++y)
                out[y * width] = colourOf(in[y * rowStride], crossX, y, z);
        }
    }
    if (crossY >= 0 && crossY < dimY) {
        for (int z = 0; z < dimZ; ++z) {
            const unsigned char *in = voxels + z * planeStride + crossY * rowStride;
            QRgb *out = bits + (origins[1].y() + layout.offsetX()) * width + origins[1].x() +
                        layout.offsetZ() + z;
            for (int x = 0; x < dimX; ++x)
                out[x * width] = colourOf(in[x], x, crossY, z);
        }
    }
}

// Coordinates of the labels: truncated after adding a half.
int rounded(double value)
{
    return int(value + 0.5);
}

} // namespace

QImage SliceMosaic::compose(const VolumeDoc &volume, int crossX, int crossY, int crossZ,
                            const MapColouring &mapColouring) const
{
    const MosaicLayout layout(volume.dimX, volume.dimY, volume.dimZ);
    const int m = layout.quadrantSide();
    return draw(volume, layout.imageSize(), {crossX, crossY, crossZ},
                {QPoint(m, 0), QPoint(m, m), QPoint(0, 0)}, mapColouring);
}

QImage SliceMosaic::composeSlice(const VolumeDoc &volume, int axis, int position,
                                 const MapColouring &mapColouring) const
{
    const MosaicLayout layout(volume.dimX, volume.dimY, volume.dimZ);
    const int m = layout.quadrantSide();
    std::array<int, 3> cross = {-1, -1, -1};
    if (axis < 0 || axis > 2 || position < 0)
        return {};
    cross[size_t(axis)] = position;
    return draw(volume, QSize(m, m), cross, {}, mapColouring);
}

QImage SliceMosaic::draw(const VolumeDoc &volume, QSize size, const std::array<int, 3> &cross,
                         const std::array<QPoint, 3> &origins,
                         const MapColouring &mapColouring) const
{
    const MosaicLayout layout(volume.dimX, volume.dimY, volume.dimZ);
    if (layout.isEmpty() || !volume.vmrData)
        return {};
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.fill(Qt::black);

    const VoxelColours &table = colours;
    if (mapColouring) {
        drawSlices(
            image, volume.vmrData.get(), layout, cross[0], cross[1], cross[2],
            [&](unsigned char value, int x, int y, int z) {
                const QRgb anatomical = table.voxel(value);
                return mapColouring(x, y, z, anatomical).value_or(anatomical);
            },
            origins);
    } else {
        drawSlices(
            image, volume.vmrData.get(), layout, cross[0], cross[1], cross[2],
            [&](unsigned char value, int, int, int) { return table.voxel(value); }, origins);
    }
    return image;
}

void SliceMosaic::drawBorders(QImage &mosaic)
{
    if (mosaic.isNull())
        return;
    QPainter painter(&mosaic);
    painter.setPen(QPen(Qt::white, 1));
    const int w = mosaic.width(), h = mosaic.height();
    painter.drawLine(w / 2, 0, w / 2, h);
    painter.drawLine(0, h / 2, w, h / 2);
}

QFont SliceMosaic::labelFont()
{
    return QFont(QGuiApplication::font().family(), 8, QFont::Bold);
}

void SliceMosaic::drawLabels(QImage &mosaic, int leftRightConvention, const QFont &font)
{
    if (mosaic.isNull())
        return;
    QPainter painter(&mosaic);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QFontMetrics metrics = painter.fontMetrics();
    const double m = mosaic.width() / 2;
    const double h = metrics.height();
    auto widthOf = [&](const QString &text) { return metrics.horizontalAdvance(text); };
    auto draw = [&](double x, double y, const QString &text) {
        painter.drawText(rounded(x), rounded(y), text);
    };
    auto centred = [&](double centre, double y, const QString &text) {
        draw(centre - widthOf(text) / 2.0, y, text);
    };
    auto atEdges = [&](double left, double y, const QString &first, const QString &second) {
        draw(left + 5, y, first);
        draw(left + m - 5 - widthOf(second), y, second);
    };

    centred(m / 2, 2 + 1.3 * h, "SAG");
    centred(1.5 * m, 2 + 1.3 * h, "COR");
    centred(1.5 * m, m + 2 + 1.3 * h, "TRA");
    atEdges(0, m / 2 + h / 3, "A", "P");
    const QString left = leftRightConvention == 1 ? "R" : "L";
    const QString right = leftRightConvention == 1 ? "L" : "R";
    atEdges(m, m / 2 + h / 3, left, right);
    atEdges(m, 1.5 * m + h / 3, left, right);
}

void SliceMosaic::drawCross(QImage &mosaic, const MosaicLayout &layout, int crossX, int crossY,
                            int crossZ)
{
    if (mosaic.isNull() || !layout.contains(crossX, crossY, crossZ))
        return;
    QPainter painter(&mosaic);
    painter.setPen(QPen(QColor(255, 0, 0), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    const QPoint centres[] = {layout.upperLeftPixel(crossX, crossY),
                              layout.upperRightPixel(crossY, crossZ),
                              layout.lowerRightPixel(crossX, crossZ)};
    for (const QPoint c : centres) {
        const QRect quadrant = layout.quadrantAt(c);
        auto inX = [&](int x) { return std::clamp(x, quadrant.left(), quadrant.right()); };
        auto inY = [&](int y) { return std::clamp(y, quadrant.top(), quadrant.bottom()); };
        painter.drawLine(inX(c.x() - 59), c.y(), inX(c.x() - 6), c.y());
        painter.drawLine(inX(c.x() + 6), c.y(), inX(c.x() + 60), c.y());
        painter.drawLine(c.x(), inY(c.y() - 59), c.x(), inY(c.y() - 6));
        painter.drawLine(c.x(), inY(c.y() + 6), c.x(), inY(c.y() + 60));
        painter.drawRect(c.x() - 1, c.y() - 1, 2, 2);
    }
}
