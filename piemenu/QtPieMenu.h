#ifndef QTPIEMENU_H
#define QTPIEMENU_H

#include "QtPieItem.h"

#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QTimer>

class QBitmap;
class QPainter;

// A circular pop-up menu: items are weighted sectors around the point where it
// opens, the centre circle cancels, and sub-menus open outward next to their sector.
// Angles are in radians, counter-clockwise from the positive x axis, screen y down.
class QtPieMenu : public QtPieItem
{
    Q_OBJECT
    Q_PROPERTY(int innerRadius READ innerRadius WRITE setInnerRadius)
    Q_PROPERTY(int outerRadius READ outerRadius WRITE setOuterRadius)

public:
    QtPieMenu(const QString &title, QWidget *parent, const char *name, uint innerRadius,
              uint outerRadius);
    QtPieMenu(const QIcon &icon, const QString &title, QWidget *parent, const char *name,
              uint innerRadius, uint outerRadius);
    QtPieMenu(const QIcon &icon, QWidget *parent, const char *name, uint innerRadius,
              uint outerRadius);
    ~QtPieMenu() override;

    int type() const override;
    virtual int indexAt(const QPoint &pos) const;

    void insertItem(const QString &text, QObject *receiver, const char *member, int index = -1);
    void insertItem(const QIcon &icon, const QString &text, QObject *receiver, const char *member,
                    int index = -1);
    void insertItem(const QIcon &icon, QObject *receiver, const char *member, int index = -1);
    // The menu owns the sub-menu; created with this menu as its parent, the
    // sub-menu hands the pointer back when it leaves its disc.
    void insertItem(QtPieMenu *subMenu, int index = -1);
    void removeItemAt(int index);
    void clear();

    int count() const { return items.size(); }
    QtPieItem *itemAt(int index) const;
    int itemType(int index) const;
    QtPieMenu *subMenuAt(int index) const;
    QString itemText(int index) const;
    void setItemText(const QString &text, int index);
    QIcon itemIcon(int index) const;
    void setItemIcon(const QIcon &icon, int index);
    bool isItemEnabled(int index) const;
    void setItemEnabled(bool enabled, int index);
    int itemWeight(int index) const;
    void setItemWeight(int weight, int index);

    int innerRadius() const { return innerRad; }
    void setInnerRadius(int radius);
    int outerRadius() const { return outerRad; }
    void setOuterRadius(int radius);

    int highlightedItem() const { return highlightIndex; }
    void setHighlightedItem(int index);
    bool isShaded() const { return shaded; }
    bool dragging() const;

    double indexToAngle(int index, int count, bool centred) const;
    int angleToIndex(double angle, int count) const;
    double angleAt(const QPoint &pos) const;
    double radiusAt(const QPoint &pos) const;

    QSize sizeHint() const override;
    void popup(const QPoint &globalPos);

signals:
    void activated(int index);
    void activated();
    void highlighted(int index);
    void canceled();
    void canceledAll();
    void aboutToShow();
    void aboutToHide();

public slots:
    void hoverAlert();
    void subMenuCanceled();
    void subMenuSelected();
    void allCanceled();

protected:
    virtual void deleteItems(int index);
    virtual void generateMask(QBitmap *mask);
    virtual void reposition();

    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Why activateItem() is called; the values combine.
    enum ActivationFlag { Press = 1, Release = 2, Keyboard = 4, HoverAlert = 8, Dragging = 16 };

    void init(uint innerRadius, uint outerRadius);
    void insertAt(QtPieItem *item, int index);
    bool isValidIndex(int index) const { return index >= 0 && index < items.size(); }
    double unitAngle(int count) const;
    int weightAt(int index) const;
    void sectorAngles(int index, double *start, double *end) const;
    QPoint centre() const;
    void activateItem(int flags);
    void openSubMenu(int index);
    void hideShownSubMenu();

    QColor shade(const QColor &colour) const;
    QRect centreSquare(const QPoint &c) const;
    void paintSectors(QPainter &painter, const QRect &rect, const QPoint &c);
    void paintBevels(QPainter &painter, const QRect &rect, const QPoint &c);
    void paintCancelMark(QPainter &painter, const QPoint &c);
    void paintSubMenuMarks(QPainter &painter, const QPoint &c);
    void paintContents(QPainter &painter, const QPoint &c);

    QList<QtPieItem *> items;
    int innerRad = 0;
    int outerRad = 0;
    QPixmap menuPixmap;
    QTimer hoverTimer;
    QPoint cursorPos;
    int highlightIndex = -2;
    int shownSubMenu = -1;
    bool shaded = false;
    bool ignoreNextRelease = false;
    int activatedIndex = -1;
    int moveCount = 0;
    bool maskGenerated = false;
};

#endif
