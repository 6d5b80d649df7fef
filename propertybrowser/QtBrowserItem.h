#ifndef QTBROWSERITEM_H
#define QTBROWSERITEM_H

#include <QList>

class QtTreePropertyBrowser;
class QtVariantProperty;
class QTreeWidgetItem;

// One appearance of a property in a browser.
class QtBrowserItem
{
public:
    QtVariantProperty *property() const { return prop; }
    QtBrowserItem *parent() const { return parentItem; }
    QList<QtBrowserItem *> children() const { return childItems; }
    QtTreePropertyBrowser *browser() const { return owner; }

private:
    friend class QtTreePropertyBrowser;
    QtBrowserItem(QtTreePropertyBrowser *owner, QtVariantProperty *prop, QtBrowserItem *parent,
                  QTreeWidgetItem *treeItem)
        : owner(owner), prop(prop), parentItem(parent), treeItem(treeItem)
    {
    }

    QtTreePropertyBrowser *owner;
    QtVariantProperty *prop;
    QtBrowserItem *parentItem;
    QTreeWidgetItem *treeItem;
    QList<QtBrowserItem *> childItems;
};

#endif
