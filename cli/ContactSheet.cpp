#include "ContactSheet.h"

#include "CoverFlowBrowser.h"
#include "FileHelpers.h"
#include "LocalFiles.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <cmath>

int ContactSheet::fittingColumns(int count)
{
    return qMax(1, int(std::ceil(std::sqrt(double(count)))));
}

QRect ContactSheet::coverRect(int i, int columns)
{
    return QRect(gap + (i % columns) * (coverSide + gap),
                 gap + (i / columns) * (coverSide + labelHeight + gap), coverSide, coverSide);
}

QRect ContactSheet::labelRect(int i, int columns)
{
    const QRect cover = coverRect(i, columns);
    return QRect(cover.left(), cover.bottom() + 1, coverSide, labelHeight);
}

QImage ContactSheet::draw(const QList<FolderCovers::Cover> &covers, int columns)
{
    if (columns <= 0)
        columns = fittingColumns(int(covers.size()));
    columns = qMax(1, qMin(columns, int(covers.size())));
    const int rows = (int(covers.size()) + columns - 1) / columns;
    const QSize size(gap + columns * (coverSide + gap),
                     gap + qMax(rows, 1) * (coverSide + labelHeight + gap));
    QImage sheet(size, QImage::Format_RGB32);
    if (sheet.isNull())
        return sheet;
    sheet.fill(Qt::black);
    QPainter painter(&sheet);
    QFont font = QGuiApplication::font();
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(QColor(220, 220, 220));
    const QFontMetrics metrics(font);
    for (int i = 0; i < covers.size(); ++i) {
        const FolderCovers::Cover &cover = covers[i];
        const QImage picture =
            cover.picture.isNull()
                ? CoverFlowBrowser::drawPlaceholderCover(getExtension(cover.fileName).toUpper())
                : cover.picture;
        // As the strip draws it: at its own size, unscaled.
        painter.drawImage(coverRect(i, columns).topLeft(), picture);
        const QString name =
            metrics.elidedText(LocalFiles::displayName(cover.fileName), Qt::ElideMiddle, coverSide);
        painter.drawText(labelRect(i, columns), Qt::AlignHCenter | Qt::AlignVCenter, name);
    }
    return sheet;
}
