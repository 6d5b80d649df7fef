#ifndef QTTREEPROPERTYBROWSER_H
#define QTTREEPROPERTYBROWSER_H

#include <QWidget>

#include <memory>
#include <vector>

class QtBrowserItem;
class QtVariantProperty;
class QTreeWidget;

// Shows properties as a two-column tree of names and values, read-only. In the
// Stretch mode both columns stay in sight however narrow the browser: the
// names take what they need up to labelShare of the width, the values the
// rest, and either is cut short with the whole text as its tooltip.
class QtTreePropertyBrowser : public QWidget
{
    Q_OBJECT

public:
    enum ResizeMode { Interactive, Stretch, Fixed, ResizeToContents };

    explicit QtTreePropertyBrowser(QWidget *parent = nullptr);
    ~QtTreePropertyBrowser() override;

    QtBrowserItem *addProperty(QtVariantProperty *property);
    QList<QtBrowserItem *> topLevelItems() const { return topItems; }
    QList<QtBrowserItem *> items(QtVariantProperty *property) const;

    void setExpanded(QtBrowserItem *item, bool expanded);
    bool isExpanded(QtBrowserItem *item) const;
    // Scrolls the tree so that the item and its shown children are in sight.
    void scrollTo(QtBrowserItem *item);
    void setHeaderVisible(bool visible);
    bool isHeaderVisible() const;
    void setResizeMode(ResizeMode mode);
    ResizeMode resizeMode() const { return mode; }

    QTreeWidget *treeWidget() const { return tree; }

    static constexpr double labelShare = 0.5;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitColumns();
    QtBrowserItem *createItem(QtVariantProperty *property, QtBrowserItem *parent);
    void updateItem(QtBrowserItem *item);
    void propertyChanged(QtVariantProperty *property);

    QTreeWidget *tree;
    ResizeMode mode = Stretch;
    QList<QtBrowserItem *> topItems;
    std::vector<std::unique_ptr<QtBrowserItem>> allItems;
};

#endif
