#include "Lightbox.h"

#include "Documents.h"
#include "MosaicLayout.h"
#include "VolumeDoc.h"
#include "VolumeLegend.h"
#include "VolumeWorld.h"

#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

bool shown(unsigned char v)
{
    return v != 0;
}

// The stretch of each axis that the non-zero voxels cover; low > high when none.
std::array<std::array<int, 2>, 3> shownExtent(const VolumeDoc &doc)
{
    std::array<std::array<int, 2>, 3> extent = {{{doc.dimX, -1}, {doc.dimY, -1}, {doc.dimZ, -1}}};
    const unsigned char *voxels = doc.vmrData.get();
    for (int z = 0; z < doc.dimZ; ++z) {
        for (int y = 0; y < doc.dimY; ++y) {
            const unsigned char *row = voxels + (qsizetype(z) * doc.dimY + y) * doc.dimX;
            const unsigned char *end = row + doc.dimX;
            const unsigned char *first = std::find_if(row, end, shown);
            if (first == end)
                continue;
            const auto last = std::find_if(std::make_reverse_iterator(end),
                                           std::make_reverse_iterator(row), shown);
            extent[0][0] = std::min(extent[0][0], int(first - row));
            extent[0][1] = std::max(extent[0][1], int(last.base() - row) - 1);
            extent[1][0] = std::min(extent[1][0], y);
            extent[1][1] = std::max(extent[1][1], y);
            extent[2][0] = std::min(extent[2][0], z);
            extent[2][1] = std::max(extent[2][1], z);
        }
    }
    return extent;
}

// The axis letter and world coordinate of a slice, or its index without a world.
QString labelOf(const VolumeWorld &world, int volumeAxis, int position)
{
    if (!world.isKnown())
        return QString("slice %1").arg(position);
    VolumeWorld::Voxel voxel = {0, 0, 0};
    voxel[size_t(volumeAxis)] = position;
    // The viewer's axes run anterior to posterior (x), superior to inferior
    // (y) and right to left (z): the world's y, z and x.
    static const int worldAxis[3] = {1, 2, 0};
    const double mm = world.worldOf(voxel)[size_t(worldAxis[volumeAxis])];
    const double tenths = std::round(mm * 10) / 10;
    return QString("%1 = %2")
        .arg(QChar("xyz"[worldAxis[volumeAxis]]))
        .arg(tenths == 0 ? 0.0 : tenths);
}

} // namespace

int Lightbox::volumeAxis(Axis axis)
{
    return axis == Axial ? 1 : axis == Coronal ? 0 : 2;
}

std::vector<int> Lightbox::slicePositions(const VolumeDoc &volume, Axis axis, int n)
{
    std::vector<int> positions;
    const int a = volumeAxis(axis);
    const int dims[3] = {volume.dimX, volume.dimY, volume.dimZ};
    if (!volume.vmrData || n < 1 || dims[a] < 1)
        return positions;
    std::array<int, 2> stretch = shownExtent(volume)[size_t(a)];
    if (stretch[0] > stretch[1])
        stretch = {0, dims[a] - 1};
    const qint64 length = stretch[1] - stretch[0] + 1;
    // Reading order runs against the viewer's axes.
    for (int i = n - 1; i >= 0; --i)
        positions.push_back(stretch[0] + int((2 * qint64(i) + 1) * length / (2 * qint64(n))));
    return positions;
}

QRect Lightbox::tileRect(int i) const
{
    return QRect((i % columns) * side, (i / columns) * (side + caption), side, side);
}

QImage Lightbox::compose(const VolumeDocument &volume, const Options &options, QSize fit,
                         const std::array<int, 3> &cross)
{
    const VolumeDoc &doc = volume.volume();
    const MosaicLayout layout(doc.dimX, doc.dimY, doc.dimZ);
    const std::vector<int> positions = slicePositions(doc, options.axis, options.slices);
    if (layout.isEmpty() || positions.empty())
        return {};
    const int n = int(positions.size());
    side = layout.quadrantSide();
    QFont font(QGuiApplication::font().family());
    font.setPixelSize(std::clamp(side / 12, 8, 18));
    caption = QFontMetrics(font).height() + 4;
    const int legendHeight = options.legend ? side : 0;
    columns = std::min(options.columns, n);
    if (columns < 1) {
        // The most columns-by-rows tiles scaled to the figure's size.
        double best = 0;
        for (int c = 1; c <= n; ++c) {
            const int rows = (n + c - 1) / c;
            const double scale =
                std::min(double(fit.width()) / (c * side),
                         double(fit.height()) / (rows * (side + caption) + legendHeight));
            if (scale > best) {
                best = scale;
                columns = c;
            }
        }
    }
    const int rows = (n + columns - 1) / columns;
    QImage image(columns * side, rows * (side + caption) + legendHeight, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.fill(Qt::black);

    const int a = volumeAxis(options.axis);
    const VolumeWorld world(doc);
    labels.clear();
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::white);
    for (int i = 0; i < n; ++i) {
        std::array<int, 3> at = {-1, -1, -1};
        at[size_t(a)] = positions[size_t(i)];
        const QImage tile = mosaic.composeSlice(
            doc, a, positions[size_t(i)],
            mapColouring.mapColouring(doc, volume.display(), at[0], at[1], at[2]));
        if (tile.isNull())
            return {};
        const QRect rect = tileRect(i);
        painter.drawImage(rect.topLeft(), tile);
        labels << labelOf(world, a, positions[size_t(i)]);
        painter.drawText(QRect(rect.left(), rect.bottom() + 1, side, caption), Qt::AlignCenter,
                         labels.last());
    }
    painter.end();
    if (options.legend)
        VolumeLegend(volume, cross)
            .draw(image, QRect(0, rows * (side + caption), image.width(), legendHeight));
    return image;
}
