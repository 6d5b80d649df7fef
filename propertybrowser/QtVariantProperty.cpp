#include "QtVariantProperty.h"

#include "QtVariantPropertyManager.h"

QtVariantProperty::QtVariantProperty(QtVariantPropertyManager *manager, int type,
                                     const QString &name)
    : manager(manager), type(type), name(name)
{
    if (type != QtVariantPropertyManager::groupTypeId())
        val = QVariant(QMetaType(type));
}

QtVariantProperty::~QtVariantProperty() = default;

void QtVariantProperty::setPropertyName(const QString &text)
{
    if (text == name)
        return;
    name = text;
    emit manager->propertyChanged(this);
}

void QtVariantProperty::setValue(const QVariant &value)
{
    if (type == QtVariantPropertyManager::groupTypeId() || value == val)
        return;
    val = value;
    emit manager->propertyChanged(this);
}

QString QtVariantProperty::valueText() const
{
    return val.toString();
}

void QtVariantProperty::addSubProperty(QtVariantProperty *property)
{
    if (property && property != this && !children.contains(property))
        children.append(property);
}
