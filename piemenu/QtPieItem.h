#ifndef QTPIEITEM_H
#define QTPIEITEM_H

#include <QIcon>
#include <QString>
#include <QWidget>

// One entry of a pie menu: an action or, through QtPieMenu, a nested menu.
class QtPieItem : public QWidget
{
    Q_OBJECT

public:
    QtPieItem(const QIcon &icon, const QString &text, QWidget *parent, const char *name);

    // 0 plain item, 1 menu, 2 action.
    virtual int type() const;

    QString text() const { return itemText; }
    void setText(const QString &text);
    QIcon icon() const { return itemIcon; }
    void setIcon(const QIcon &icon) { itemIcon = icon; }
    // The item's own flag; the widget's enabled state is left to Qt.
    bool isItemEnabled() const { return itemEnabled; }
    void setItemEnabled(bool enabled) { itemEnabled = enabled; }
    int weight() const { return itemWeight; }
    void setWeight(int weight) { itemWeight = weight; }

private:
    QString itemText;
    QIcon itemIcon;
    bool itemEnabled = true;
    int itemWeight = 1;
};

#endif
