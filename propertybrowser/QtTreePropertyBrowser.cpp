#include "QtTreePropertyBrowser.h"

#include "QtBrowserItem.h"
#include "QtVariantProperty.h"
#include "QtVariantPropertyManager.h"

#include <QEvent>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

QtTreePropertyBrowser::QtTreePropertyBrowser(QWidget *parent)
    : QWidget(parent), tree(new QTreeWidget(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree);
    tree->setColumnCount(2);
    tree->setHeaderLabels({tr("Property"), tr("Value")});
    tree->setAlternatingRowColors(true);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setRootIsDecorated(true);
    tree->setTextElideMode(Qt::ElideRight);
    // The labels shown change with the groups opened and the width with the dock.
    tree->viewport()->installEventFilter(this);
    connect(tree, &QTreeView::expanded, this, &QtTreePropertyBrowser::fitColumns);
    connect(tree, &QTreeView::collapsed, this, &QtTreePropertyBrowser::fitColumns);
    setResizeMode(Stretch);
}

QtTreePropertyBrowser::~QtTreePropertyBrowser() = default;

QtBrowserItem *QtTreePropertyBrowser::addProperty(QtVariantProperty *property)
{
    if (!property)
        return nullptr;
    for (QtBrowserItem *item : topItems)
        if (item->property() == property)
            return item;
    QtBrowserItem *item = createItem(property, nullptr);
    topItems.append(item);
    connect(property->propertyManager(), &QtVariantPropertyManager::propertyChanged, this,
            &QtTreePropertyBrowser::propertyChanged, Qt::UniqueConnection);
    return item;
}

QtBrowserItem *QtTreePropertyBrowser::createItem(QtVariantProperty *property, QtBrowserItem *parent)
{
    QTreeWidgetItem *treeItem =
        parent ? new QTreeWidgetItem(parent->treeItem) : new QTreeWidgetItem(tree);
    allItems.emplace_back(new QtBrowserItem(this, property, parent, treeItem));
    QtBrowserItem *item = allItems.back().get();
    if (parent)
        parent->childItems.append(item);
    if (property->propertyType() == QtVariantPropertyManager::groupTypeId()) {
        treeItem->setFirstColumnSpanned(true);
        QFont font = treeItem->font(0);
        font.setBold(true);
        treeItem->setFont(0, font);
    }
    updateItem(item);
    for (QtVariantProperty *sub : property->subProperties())
        createItem(sub, item);
    treeItem->setExpanded(true);
    return item;
}

void QtTreePropertyBrowser::updateItem(QtBrowserItem *item)
{
    const QString name = item->property()->propertyName();
    const bool renamed = item->treeItem->text(0) != name;
    item->treeItem->setText(0, name);
    item->treeItem->setText(1, item->property()->valueText());
    // A label or value too long for its column is cut short; the whole of it
    // shows on hovering.
    item->treeItem->setToolTip(0, name);
    item->treeItem->setToolTip(1, item->property()->valueText());
    if (renamed)
        fitColumns();
}

void QtTreePropertyBrowser::propertyChanged(QtVariantProperty *property)
{
    for (QtBrowserItem *item : items(property))
        updateItem(item);
}

QList<QtBrowserItem *> QtTreePropertyBrowser::items(QtVariantProperty *property) const
{
    QList<QtBrowserItem *> found;
    for (const auto &item : allItems)
        if (item->property() == property)
            found.append(item.get());
    return found;
}

void QtTreePropertyBrowser::setExpanded(QtBrowserItem *item, bool expanded)
{
    if (item && item->browser() == this)
        item->treeItem->setExpanded(expanded);
}

void QtTreePropertyBrowser::scrollTo(QtBrowserItem *item)
{
    if (!item || item->browser() != this)
        return;
    QTreeWidgetItem *last = item->treeItem;
    if (last->isExpanded() && last->childCount() > 0)
        tree->scrollToItem(last->child(last->childCount() - 1));
    tree->scrollToItem(item->treeItem);
}

bool QtTreePropertyBrowser::isExpanded(QtBrowserItem *item) const
{
    return item && item->browser() == this && item->treeItem->isExpanded();
}

void QtTreePropertyBrowser::setHeaderVisible(bool visible)
{
    tree->setHeaderHidden(!visible);
}

bool QtTreePropertyBrowser::isHeaderVisible() const
{
    return !tree->isHeaderHidden();
}

void QtTreePropertyBrowser::setResizeMode(ResizeMode resizeMode)
{
    mode = resizeMode;
    static const QHeaderView::ResizeMode modes[] = {QHeaderView::Interactive, QHeaderView::Stretch,
                                                    QHeaderView::Fixed,
                                                    QHeaderView::ResizeToContents};
    tree->header()->setSectionResizeMode(modes[mode]);
    // Stretching both columns alike cuts the labels short in a narrow dock,
    // and sizing the labels to their longest pushes the values out of sight:
    // the names take what they need up to a share of the width, the values the rest.
    if (mode == Stretch) {
        tree->header()->setSectionResizeMode(0, QHeaderView::Interactive);
        tree->header()->setStretchLastSection(true);
        tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    } else {
        tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }
    fitColumns();
}

void QtTreePropertyBrowser::fitColumns()
{
    if (mode != Stretch)
        return;
    const int available = tree->viewport()->width();
    // Public in the base class, which calls the tree's own version.
    const int labels = static_cast<const QAbstractItemView *>(tree)->sizeHintForColumn(0);
    tree->header()->resizeSection(0, qMax(1, qMin(labels, int(available * labelShare))));
}

bool QtTreePropertyBrowser::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == tree->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QWidget::eventFilter(watched, event);
}
