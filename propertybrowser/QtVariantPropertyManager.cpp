#include "QtVariantPropertyManager.h"

#include "QtVariantProperty.h"

namespace {
struct QtGroupPropertyType
{
};
} // namespace
Q_DECLARE_METATYPE(QtGroupPropertyType)

QtVariantPropertyManager::QtVariantPropertyManager(QObject *parent) : QObject(parent) {}

QtVariantPropertyManager::~QtVariantPropertyManager() = default;

int QtVariantPropertyManager::groupTypeId()
{
    return qMetaTypeId<QtGroupPropertyType>();
}

QtVariantProperty *QtVariantPropertyManager::addProperty(int propertyType, const QString &name)
{
    owned.emplace_back(new QtVariantProperty(this, propertyType, name));
    return owned.back().get();
}

QList<QtVariantProperty *> QtVariantPropertyManager::properties() const
{
    QList<QtVariantProperty *> list;
    for (const auto &p : owned)
        list.append(p.get());
    return list;
}
