#include "InstructionBand.h"

#include <QFontMetrics>
#include <QPainter>

QImage renderInstructionBand(const QString &text, const QFont &font, int width, int height)
{
    const QFontMetrics metrics(font);
    const int margin = metrics.leading() >= 5 ? metrics.leading() : 4;
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    const QRect bounds =
        metrics.boundingRect(QRect(0, 0, width - 2 * margin, int(height * 0.125)), flags, text);

    QImage band(width, 2 * margin + bounds.height(), QImage::Format_ARGB32_Premultiplied);
    if (band.isNull())
        return band;
    band.fill(QColor(30, 30, 30, 200));
    QPainter painter(&band);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.drawText(QRect((width - bounds.width()) / 2, margin, bounds.width(), bounds.height()),
                     flags, text);
    return band;
}
