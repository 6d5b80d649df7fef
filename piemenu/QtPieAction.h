#ifndef QTPIEACTION_H
#define QTPIEACTION_H

#include "QtPieItem.h"

// A pie menu entry that runs a slot when chosen.
class QtPieAction : public QtPieItem
{
    Q_OBJECT

public:
    // member is a slot signature as made by SLOT().
    QtPieAction(const QString &text, QObject *receiver, const char *member);
    QtPieAction(const QIcon &icon, const QString &text, QObject *receiver, const char *member);

    int type() const override;
    void activate();

signals:
    void activated();
};

#endif
