#ifndef QTVARIANTPROPERTY_H
#define QTVARIANTPROPERTY_H

#include <QList>
#include <QString>
#include <QVariant>

class QtVariantPropertyManager;

// A named value shown in a property browser; a group property only holds
// sub-properties.
class QtVariantProperty
{
public:
    ~QtVariantProperty();

    QString propertyName() const { return name; }
    void setPropertyName(const QString &text);
    QVariant value() const { return val; }
    void setValue(const QVariant &value);
    int propertyType() const { return type; }
    QString valueText() const;

    void addSubProperty(QtVariantProperty *property);
    QList<QtVariantProperty *> subProperties() const { return children; }
    QtVariantPropertyManager *propertyManager() const { return manager; }

private:
    friend class QtVariantPropertyManager;
    QtVariantProperty(QtVariantPropertyManager *manager, int type, const QString &name);

    QtVariantPropertyManager *manager;
    int type;
    QString name;
    QVariant val;
    QList<QtVariantProperty *> children;
};

#endif
