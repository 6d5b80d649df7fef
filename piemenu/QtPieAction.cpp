#include "QtPieAction.h"

QtPieAction::QtPieAction(const QString &text, QObject *receiver, const char *member)
    : QtPieAction(QIcon(), text, receiver, member)
{
}

QtPieAction::QtPieAction(const QIcon &icon, const QString &text, QObject *receiver,
                         const char *member)
    : QtPieItem(icon, text, nullptr, nullptr)
{
    if (receiver && member)
        connect(this, SIGNAL(activated()), receiver, member);
}

int QtPieAction::type() const
{
    return 2;
}

void QtPieAction::activate()
{
    emit activated();
}
