#include "ContactSheet.h"

#include "CoverFlowBrowser.h"
#include "FileHelpers.h"
#include "LocalFiles.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <cmath>

int ContactSheet::columnsFor(int count, int asked)
{
    if (asked <= 0)
        asked = int(std::ceil(std::sqrt(double(count))));
    return qMax(1, qMin(asked, count));
}

QSize ContactSheet::sheetSize(int count, int columns)
{
    const int rows = qMax(1, (count + columns - 1) / columns);
    return QSize(gap + columns * (coverSide + gap), gap + rows * (coverSide + labelHeight + gap));
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
    columns = columnsFor(int(covers.size()), columns);
    const QSize size = sheetSize(int(covers.size()), columns);
    if (size.width() > maxSide || size.height() > maxSide)
        return QImage();
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
