#ifndef QTVARIANTPROPERTYMANAGER_H
#define QTVARIANTPROPERTYMANAGER_H

#include <QObject>

#include <memory>
#include <vector>

class QtVariantProperty;

// Creates and owns properties; browsers follow its change signal.
class QtVariantPropertyManager : public QObject
{
    Q_OBJECT

public:
    explicit QtVariantPropertyManager(QObject *parent = nullptr);
    ~QtVariantPropertyManager() override;

    static int groupTypeId();
    QtVariantProperty *addProperty(int propertyType, const QString &name = QString());
    QList<QtVariantProperty *> properties() const;

signals:
    void propertyChanged(QtVariantProperty *property);

private:
    std::vector<std::unique_ptr<QtVariantProperty>> owned;
};

#endif
