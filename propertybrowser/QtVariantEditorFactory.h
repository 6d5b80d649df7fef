#ifndef QTVARIANTEDITORFACTORY_H
#define QTVARIANTEDITORFACTORY_H

#include <QObject>

// The browsers here are read-only, so the factory provides no editors; it is
// kept so that a browser could be made editable by attaching one.
class QtVariantEditorFactory : public QObject
{
    Q_OBJECT

public:
    explicit QtVariantEditorFactory(QObject *parent = nullptr) : QObject(parent) {}
};

#endif
