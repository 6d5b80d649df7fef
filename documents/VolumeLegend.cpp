#include "VolumeLegend.h"

#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "Documents.h"
#include "LocalFiles.h"
#include "NiftiVolume.h"
#include "VolumeDoc.h"
#include "VolumeWorld.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>

namespace {

QString value(double v)
{
    return QString::number(v, 'g', 5);
}

// The values shown: the display's threshold to the map's top, negative for
// the negative scale.
QString bound(float v, bool negative)
{
    return value(negative ? -double(v) : double(v));
}

} // namespace

VolumeLegend::VolumeLegend(const VolumeDocument &volume, const std::array<int, 3> &cross)
    : VolumeLegend(volume.volume(), volume.display(), volume.fileName(), volume.mapFileName(),
                   cross)
{
}

VolumeLegend::VolumeLegend(const VolumeDoc &doc, const MapDisplay &display, const QString &fileName,
                           const QString &mapFileName, const std::array<int, 3> &cross)
{
    const int x = cross[0], y = cross[1], z = cross[2];
    const bool inside = x >= 0 && y >= 0 && z >= 0 && x < doc.dimX && y < doc.dimY && z < doc.dimZ;
    texts.push_back(LocalFiles::displayName(fileName));

    QString voxel = QString("Voxel %1, %2, %3").arg(x).arg(y).arg(z);
    QString anatomy;
    std::array<qint64, 3> ijk;
    if (doc.niftiVolume && inside && doc.niftiVolume->fileVoxelAt(x, y, z, ijk)) {
        voxel += QString(" (file %1, %2, %3)").arg(ijk[0]).arg(ijk[1]).arg(ijk[2]);
        anatomy = value(doc.niftiVolume->image().valueAt(ijk[0], ijk[1], ijk[2]));
    } else if (!doc.niftiVolume && inside && doc.vmrData) {
        anatomy =
            value(doc.vmrData[x + qsizetype(y) * doc.dimX + qsizetype(z) * doc.dimX * doc.dimY]);
    }
    texts.push_back(voxel);
    const VolumeWorld world(doc);
    if (world.isKnown()) {
        const QString space = world.spaceName();
        texts.push_back(
            QString("%1 %2 mm")
                .arg(space == "mm" ? "World" : space, VolumeWorld::text(world.worldOf({x, y, z}))));
    }
    if (!anatomy.isEmpty())
        texts.push_back("Anatomy " + anatomy);

    mapRows = int(texts.size());
    const ArVolumeMaps *maps = doc.arVolumeMaps.get();
    if (!maps || maps->maps.empty())
        return;
    const qsizetype selected =
        std::clamp<qsizetype>(maps->nrOfSelectedMaps, 0, maps->selectedMaps.size());
    bool named = false;
    for (qsizetype k = 0; k < selected; ++k) {
        const int index = maps->selectedMaps[k];
        if (index < 0 || index >= int(maps->maps.size()) || !maps->maps[index])
            continue;
        const ArVolumeMap &map = *maps->maps[index];
        if (!named && !mapFileName.isEmpty())
            texts.push_back(LocalFiles::displayName(mapFileName));
        named = true;
        QString line = LocalFiles::printable(map.mapName);
        if (inside)
            line += ": " + value(map.valueAt(*maps, x, y, z));
        texts.push_back(line);
        // A map coloured by lag has no scale of values.
        if (map.mapType == 3 && map.lagValues[3] == 0)
            continue;
        const StatisticalMap::Thresholds t = map.thresholds(display);
        for (const bool negative : {false, true}) {
            if (negative ? !display.showsNegative() : !display.showsPositive())
                continue;
            bars.push_back({bound(t.lower, negative), bound(t.upper, negative), t.lower, t.upper,
                            &map, negative, int(texts.size())});
            texts.push_back(QString());
        }
    }
}

QStringList VolumeLegend::lines() const
{
    QStringList shown;
    for (const QString &text : texts)
        if (!text.isEmpty())
            shown << text;
    return shown;
}

QStringList VolumeLegend::barLabels(int i) const
{
    if (i < 0 || i >= barCount())
        return {};
    return {bars[size_t(i)].lowLabel, bars[size_t(i)].highLabel};
}

int VolumeLegend::rowCount() const
{
    return int(texts.size());
}

VolumeLegend::Layout VolumeLegend::layoutFor(const QRect &area) const
{
    // A wide area, as under a lightbox, takes the maps beside the rest.
    const int rows = rowCount();
    const bool twoColumns = area.width() >= 2 * area.height() && mapRows > 0 && mapRows < rows;
    const int tallest = twoColumns ? std::max(mapRows, rows - mapRows) : rows;
    // Rows of at most 32 pixels, with half a row of margin all round.
    const int line = std::clamp(area.height() / (tallest + 1), 1, 32);
    const int margin = line / 2;
    const int columns = twoColumns ? 2 : 1;
    const int content = std::min((area.width() - (columns + 1) * margin) / columns, 24 * line);
    return {line, std::max(1, line * 3 / 5), margin, twoColumns ? mapRows : rows, content};
}

QRect VolumeLegend::rowRect(const QRect &area, const Layout &layout, int row) const
{
    const int column = row < layout.firstColumnRows ? 0 : 1;
    const int inColumn = column ? row - layout.firstColumnRows : row;
    return QRect(area.left() + layout.margin + column * (layout.content + layout.margin),
                 area.top() + layout.margin + inColumn * layout.lineHeight, layout.content,
                 layout.lineHeight);
}

float VolumeLegend::barValue(float lower, float upper, int column, int width)
{
    // The middle of the column: never exactly at a step of the scale.
    const float t = (float(column) + 0.5f) / float(std::max(width, 1));
    return lower + t * (upper - lower);
}

QRect VolumeLegend::barRect(const QRect &area, int i) const
{
    if (i < 0 || i >= barCount())
        return QRect();
    const Layout layout = layoutFor(area);
    QFont font(QGuiApplication::font().family());
    font.setPixelSize(layout.pixelSize);
    const QFontMetrics metrics(font);
    int labels = 0;
    for (const Bar &bar : bars)
        labels = std::max({labels, metrics.horizontalAdvance(bar.lowLabel),
                           metrics.horizontalAdvance(bar.highLabel)});
    const int gap = layout.margin;
    const QRect row = rowRect(area, layout, bars[size_t(i)].row);
    const int width = row.width() - 2 * (labels + gap);
    if (width < 8)
        return QRect();
    const int height = std::max(1, layout.lineHeight * 3 / 5);
    return QRect(row.left() + labels + gap, row.top() + (layout.lineHeight - height) / 2, width,
                 height);
}

void VolumeLegend::draw(QImage &image, const QRect &area) const
{
    if (image.isNull() || area.isEmpty())
        return;
    const Layout layout = layoutFor(area);
    QPainter painter(&image);
    painter.setClipRect(area);
    painter.fillRect(area, Qt::black);
    QFont font(QGuiApplication::font().family());
    font.setPixelSize(layout.pixelSize);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QFontMetrics metrics(font);
    for (int row = 0; row < rowCount(); ++row) {
        const QString &text = texts[size_t(row)];
        if (text.isEmpty())
            continue;
        const QRect line = rowRect(area, layout, row);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(text, Qt::ElideMiddle, line.width()));
    }
    for (int i = 0; i < barCount(); ++i) {
        const Bar &bar = bars[size_t(i)];
        const QRect rect = barRect(area, i);
        if (rect.isEmpty())
            continue;
        for (int column = 0; column < rect.width(); ++column) {
            const float v = barValue(bar.lower, bar.upper, column, rect.width());
            const float t =
                bar.upper != bar.lower ? (v - bar.lower) / (bar.upper - bar.lower) : 1.0f;
            painter.fillRect(rect.left() + column, rect.top(), 1, rect.height(),
                             QColor(colouring.scaleColour(*bar.map, t, bar.negative)));
        }
        const QRect line = rowRect(area, layout, bar.row);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, bar.lowLabel);
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, bar.highLabel);
    }
}

QRect VolumeLegend::mosaicArea(const QImage &mosaic)
{
    const int m = mosaic.width() / 2;
    // Inside the borders the view draws through the middle.
    return QRect(0, m + 1, m, mosaic.height() - m - 1);
}

void VolumeLegend::drawInMosaic(QImage &mosaic) const
{
    draw(mosaic, mosaicArea(mosaic));
}
