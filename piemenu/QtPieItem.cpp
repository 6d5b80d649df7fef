#include "QtPieItem.h"

#include <QRegularExpression>

QtPieItem::QtPieItem(const QIcon &icon, const QString &text, QWidget *parent, const char *name)
    : QWidget(parent, Qt::Popup), itemIcon(icon)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setText(text);
}

int QtPieItem::type() const
{
    return 0;
}

void QtPieItem::setText(const QString &text)
{
    // Sectors show plain text only: line and paragraph breaks become spaces.
    static const QRegularExpression breakTag(QStringLiteral("<[^>/]*br[^>]*>"));
    static const QRegularExpression paragraphTag(QStringLiteral("<[^>/]*p[^>]*>"));
    static const QRegularExpression anyTag(QStringLiteral("<[^>]+>"));

    itemText = text;
    itemText.replace(breakTag, QStringLiteral(" "));
    itemText.replace(paragraphTag, QStringLiteral(" "));
    itemText.remove(anyTag);
    if (itemText.length() < text.length())
        qWarning("QtPieItem::setText: HTML support not implemented until Qt 4.1. All tags removed "
                 "from text.");
}
