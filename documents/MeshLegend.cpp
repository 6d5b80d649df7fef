#include "MeshLegend.h"

#include "LocalFiles.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"
#include "VolumeLegend.h"

#include <QGuiApplication>
#include <QPainter>

#include <algorithm>

MeshLegend::MeshLegend(const SurfaceMesh &mesh, const MapDisplay &display,
                       const QString &mapFileName)
{
    const SurfaceMaps *maps = mesh.surfaceMaps.get();
    if (!maps)
        return;
    const int count = std::min(maps->nrOfSelectedMaps, int(maps->selectedMaps.size()));
    for (int k = 0; k < count; ++k) {
        const int index = maps->selectedMaps[k];
        if (index < 0 || index >= int(maps->maps.size()) || !maps->maps[index])
            continue;
        const SurfaceMap &map = *maps->maps[index];
        // A map coloured by lag has no scale of values.
        if (map.mapType == 3 && map.lagValues[3] == 0)
            continue;
        if (texts.isEmpty() && !mapFileName.isEmpty())
            texts << LocalFiles::displayName(mapFileName);
        texts << LocalFiles::printable(map.mapName);
        const StatisticalMap::Thresholds t = map.thresholds(display);
        for (const bool negative : {false, true}) {
            if (negative ? !display.showsNegative() : !display.showsPositive())
                continue;
            const double sign = negative ? -1 : 1;
            bars.push_back({QString::number(sign * t.lower, 'g', 5),
                            QString::number(sign * t.upper, 'g', 5), t, &map, negative,
                            int(texts.size())});
            texts << QString();
        }
    }
    if (bars.empty())
        texts.clear();
}

QStringList MeshLegend::barLabels(int i) const
{
    if (i < 0 || i >= barCount())
        return {};
    return {bars[size_t(i)].lowLabel, bars[size_t(i)].highLabel};
}

int MeshLegend::lineHeight(QSize figure) const
{
    return std::clamp(std::min(figure.width(), figure.height()) / 24, 8, 24);
}

QRect MeshLegend::area(QSize figure) const
{
    if (bars.empty())
        return QRect();
    const int line = lineHeight(figure);
    const int width = std::min(figure.width(), 14 * line);
    const int height = std::min(figure.height(), (int(texts.size()) + 1) * line);
    return QRect(0, figure.height() - height, width, height);
}

QRect MeshLegend::barRect(QSize figure, int i) const
{
    const QRect box = area(figure);
    if (i < 0 || i >= barCount() || box.isEmpty())
        return QRect();
    const int line = lineHeight(figure);
    QFont font(QGuiApplication::font().family());
    font.setPixelSize(std::max(1, line * 3 / 5));
    const QFontMetrics metrics(font);
    int labels = 0;
    for (const Bar &bar : bars)
        labels = std::max({labels, metrics.horizontalAdvance(bar.lowLabel),
                           metrics.horizontalAdvance(bar.highLabel)});
    const int margin = line / 2;
    const int width = box.width() - 2 * margin - 2 * (labels + margin);
    if (width < 8)
        return QRect();
    const int height = std::max(1, line * 3 / 5);
    return QRect(box.left() + 2 * margin + labels,
                 box.top() + margin + bars[size_t(i)].row * line + (line - height) / 2, width,
                 height);
}

void MeshLegend::draw(QImage &figure) const
{
    const QRect box = area(figure.size());
    if (figure.isNull() || box.isEmpty())
        return;
    const int line = lineHeight(figure.size());
    const int margin = line / 2;
    QPainter painter(&figure);
    painter.setClipRect(box);
    painter.fillRect(box, Qt::black);
    QFont font(QGuiApplication::font().family());
    font.setPixelSize(std::max(1, line * 3 / 5));
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QFontMetrics metrics(font);
    const int content = box.width() - 2 * margin;
    for (int row = 0; row < texts.size(); ++row) {
        const QRect r(box.left() + margin, box.top() + margin + row * line, content, line);
        painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(texts[row], Qt::ElideMiddle, content));
    }
    for (int i = 0; i < barCount(); ++i) {
        const Bar &bar = bars[size_t(i)];
        const QRect rect = barRect(figure.size(), i);
        if (rect.isEmpty())
            continue;
        const float lower = bar.thresholds.lower, upper = bar.thresholds.upper;
        for (int column = 0; column < rect.width(); ++column) {
            const float v = VolumeLegend::barValue(lower, upper, column, rect.width());
            // As the overlay places a value between the thresholds.
            const float t = upper > lower ? (v - lower) / (upper - lower) : 1.0f;
            int rgb[3];
            SurfaceMesh::mapScaleColour(*bar.map, t > 0.0f ? std::min(t, 1.0f) : 0.0f, bar.negative,
                                        rgb);
            painter.fillRect(rect.left() + column, rect.top(), 1, rect.height(),
                             QColor(rgb[0], rgb[1], rgb[2]));
        }
        const QRect r(box.left() + margin, rect.top(), content, rect.height());
        painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, bar.lowLabel);
        painter.drawText(r, Qt::AlignRight | Qt::AlignVCenter, bar.highLabel);
    }
}
