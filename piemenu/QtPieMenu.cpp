#include "QtPieMenu.h"

#include "QtPieAction.h"

#include <QBitmap>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>
#include <utility>

namespace {

const double pi = 3.14159265358979323846;
const double twoPi = 2 * pi;

// False while a mouse button is held; shared so that a sub-menu knows about a
// press that its parent received.
bool mouseButtonStatus = true;

const QColor sectorHighlight(110, 150, 190);

// Adds 2π while the angle is negative, without looping over huge values.
double raisedToPositive(double angle)
{
    if (angle < 0) {
        angle = std::fmod(angle, twoPi);
        if (angle < 0)
            angle += twoPi;
    }
    return angle;
}

// Subtracts 2π while the angle is above 2π, without looping over huge values.
double loweredToTwoPi(double angle)
{
    if (angle > twoPi) {
        angle = std::fmod(angle, twoPi);
        if (angle == 0)
            angle = twoPi;
    }
    return angle;
}

QColor average(const QColor &a, const QColor &b)
{
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

// Every second pixel of the icon, so that it looks dimmed like the rest.
QPixmap checkered(QPixmap pixmap)
{
    QBitmap mask(pixmap.size());
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.fillRect(mask.rect(), QBrush(Qt::color1, Qt::Dense4Pattern));
    painter.end();
    pixmap.setMask(mask);
    return pixmap;
}

} // namespace

QtPieMenu::QtPieMenu(const QString &title, QWidget *parent, const char *name, uint innerRadius,
                     uint outerRadius)
    : QtPieItem(QIcon(), title, parent, name), hoverTimer(this)
{
    init(innerRadius, outerRadius);
}

QtPieMenu::QtPieMenu(const QIcon &icon, const QString &title, QWidget *parent, const char *name,
                     uint innerRadius, uint outerRadius)
    : QtPieItem(icon, title, parent, name), hoverTimer(this)
{
    init(innerRadius, outerRadius);
}

QtPieMenu::QtPieMenu(const QIcon &icon, QWidget *parent, const char *name, uint innerRadius,
                     uint outerRadius)
    : QtPieItem(icon, QString(), parent, name), hoverTimer(this)
{
    init(innerRadius, outerRadius);
}

QtPieMenu::~QtPieMenu()
{
    deleteItems(-1);
}

void QtPieMenu::init(uint innerRadius, uint outerRadius)
{
    innerRad = int(innerRadius);
    setOuterRadius(int(outerRadius));
    setMouseTracking(true);
    hoverTimer.setSingleShot(true);
    hoverTimer.setInterval(250);
    connect(&hoverTimer, &QTimer::timeout, this, &QtPieMenu::hoverAlert);
}

int QtPieMenu::type() const
{
    return 1;
}

int QtPieMenu::indexAt(const QPoint &pos) const
{
    return angleToIndex(angleAt(pos), count());
}

void QtPieMenu::insertItem(const QString &text, QObject *receiver, const char *member, int index)
{
    insertAt(new QtPieAction(text, receiver, member), index);
}

void QtPieMenu::insertItem(const QIcon &icon, const QString &text, QObject *receiver,
                           const char *member, int index)
{
    insertAt(new QtPieAction(icon, text, receiver, member), index);
}

void QtPieMenu::insertItem(const QIcon &icon, QObject *receiver, const char *member, int index)
{
    insertAt(new QtPieAction(icon, QString(), receiver, member), index);
}

void QtPieMenu::insertItem(QtPieMenu *subMenu, int index)
{
    if (!subMenu)
        return;
    connect(subMenu, qOverload<>(&QtPieMenu::activated), this, &QtPieMenu::subMenuSelected);
    connect(subMenu, &QtPieMenu::canceled, this, &QtPieMenu::subMenuCanceled);
    connect(subMenu, &QtPieMenu::canceledAll, this, &QtPieMenu::allCanceled);
    insertAt(subMenu, index);
}

void QtPieMenu::insertAt(QtPieItem *item, int index)
{
    if (index < 0 || index > items.size())
        index = items.size();
    items.insert(index, item);
    if (shownSubMenu >= index)
        ++shownSubMenu;
    update();
}

void QtPieMenu::removeItemAt(int index)
{
    if (!isValidIndex(index)) {
        qWarning("Attempt to remove item %i from QtPieMenu with %i items.", index, count());
        return;
    }
    deleteItems(index);
}

void QtPieMenu::clear()
{
    deleteItems(-1);
}

void QtPieMenu::deleteItems(int index)
{
    // The open sub-menu is tracked by index: it must follow the list.
    if (index < 0) {
        qDeleteAll(std::exchange(items, {}));
        shownSubMenu = -1;
    } else if (index < items.size()) {
        delete items.takeAt(index);
        if (shownSubMenu == index)
            shownSubMenu = -1;
        else if (shownSubMenu > index)
            --shownSubMenu;
    }
    if (shownSubMenu < 0)
        shaded = false;
    update();
}

QtPieItem *QtPieMenu::itemAt(int index) const
{
    return isValidIndex(index) ? items.at(index) : nullptr;
}

int QtPieMenu::itemType(int index) const
{
    return isValidIndex(index) ? items.at(index)->type() : 0;
}

QtPieMenu *QtPieMenu::subMenuAt(int index) const
{
    return itemType(index) == 1 ? static_cast<QtPieMenu *>(items.at(index)) : nullptr;
}

QString QtPieMenu::itemText(int index) const
{
    if (!isValidIndex(index)) {
        qWarning("QtPieMenu::itemText(%i) index of of range", index);
        return QString();
    }
    return items.at(index)->text();
}

void QtPieMenu::setItemText(const QString &text, int index)
{
    if (!isValidIndex(index)) {
        qWarning("QtPieMenu::setItemText(\"%s\", %i) index of of range",
                 text.toLatin1().constData(), index);
        return;
    }
    items.at(index)->setText(text);
    update();
}

QIcon QtPieMenu::itemIcon(int index) const
{
    if (!isValidIndex(index)) {
        qWarning("QtPieMenu::itemIcon(%i) index of of range", index);
        return QIcon();
    }
    return items.at(index)->icon();
}

void QtPieMenu::setItemIcon(const QIcon &icon, int index)
{
    if (!isValidIndex(index)) {
        qWarning("QtPieMenu::setItemIcon(%p, %i) index of of range",
                 static_cast<const void *>(&icon), index);
        return;
    }
    items.at(index)->setIcon(icon);
    update();
}

bool QtPieMenu::isItemEnabled(int index) const
{
    if (!isValidIndex(index)) {
        qWarning("QtPieMenu::isItemEnabled(%i) index of of range", index);
        return false;
    }
    return items.at(index)->isItemEnabled();
}

void QtPieMenu::setItemEnabled(bool enabled, int index)
{
    if (!isValidIndex(index)) {
        qWarning("QtPieMenu::setItemEnabled(%s, %i) index of of range", enabled ? "true" : "false",
                 index);
        return;
    }
    items.at(index)->setItemEnabled(enabled);
    update();
}

int QtPieMenu::itemWeight(int index) const
{
    if (!isValidIndex(index)) {
        qWarning("QtPieMenu::itemWeight(%i) index of of range", index);
        return 0;
    }
    return items.at(index)->weight();
}

void QtPieMenu::setItemWeight(int weight, int index)
{
    if (!isValidIndex(index)) {
        qWarning("QtPieMenu::setItemWeight(%i, %i) index of of range", weight, index);
        return;
    }
    items.at(index)->setWeight(weight);
    update();
}

void QtPieMenu::setInnerRadius(int radius)
{
    innerRad = radius;
    update();
}

void QtPieMenu::setOuterRadius(int radius)
{
    outerRad = radius;
    menuPixmap = QPixmap(sizeHint());
    // A mask of the old size would clip the new disc.
    maskGenerated = false;
    updateGeometry();
    update();
}

void QtPieMenu::setHighlightedItem(int index)
{
    highlightIndex = index;
    update();
}

bool QtPieMenu::dragging() const
{
    return !mouseButtonStatus && moveCount > 6;
}

double QtPieMenu::unitAngle(int count) const
{
    if (items.isEmpty())
        return count > 0 ? twoPi / count : 0;
    qint64 total = 0;
    for (const QtPieItem *item : items)
        total += item->weight();
    // Weights that add up to nothing leave every sector empty.
    return total > 0 ? twoPi / double(total) : 0;
}

int QtPieMenu::weightAt(int index) const
{
    return index < items.size() ? items.at(index)->weight() : 1;
}

double QtPieMenu::indexToAngle(int index, int count, bool centred) const
{
    if (count <= 0)
        return pi / 2;
    const int i = index % count;
    const double unit = unitAngle(count);
    double angle = pi / 2;
    if (centred)
        angle = raisedToPositive(pi / 2 - weightAt(0) * unit / 2);
    for (int k = 0; k < i; ++k)
        angle += weightAt(k) * unit;
    return loweredToTwoPi(angle);
}

int QtPieMenu::angleToIndex(double angle, int count) const
{
    if (count == 0 || items.isEmpty())
        return -1;
    const double unit = unitAngle(count);
    double start = raisedToPositive(pi / 2 - weightAt(0) * unit / 2);
    for (int i = 0; i < items.size(); ++i) {
        const double end = start + items.at(i)->weight() * unit;
        if ((start < angle && angle <= end) || (start < angle + twoPi && angle + twoPi <= end))
            return i;
        start = end;
    }
    return -1;
}

void QtPieMenu::sectorAngles(int index, double *start, double *end) const
{
    *start = indexToAngle(index, count(), true);
    *end = indexToAngle(index + 1, count(), true);
    // Only a sector that has weight can wrap around; an empty one stays empty.
    if (*end < *start || (*end == *start && weightAt(index) > 0))
        *end += twoPi;
}

QPoint QtPieMenu::centre() const
{
    return QPoint((width() - 1) / 2, (height() - 1) / 2);
}

double QtPieMenu::angleAt(const QPoint &pos) const
{
    const QPoint d = pos - centre();
    // The centre itself has no direction (NaN), which no sector contains.
    const double angle =
        std::acos(d.x() / std::sqrt(double(d.x()) * d.x() + double(d.y()) * d.y()));
    return d.y() < 0 ? angle : twoPi - angle;
}

double QtPieMenu::radiusAt(const QPoint &pos) const
{
    const QPoint d = pos - centre();
    return std::sqrt(double(d.x()) * d.x() + double(d.y()) * d.y());
}

QSize QtPieMenu::sizeHint() const
{
    return QSize(2 * outerRad + 1, 2 * outerRad + 1);
}

void QtPieMenu::popup(const QPoint &globalPos)
{
    activatedIndex = -1;
    shaded = false;
    resize(sizeHint());
    int x = globalPos.x() - width() / 2;
    int y = globalPos.y() - height() / 2;
    QScreen *screen = QGuiApplication::screenAt(globalPos);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        // The full geometry: the disc may cover task bars, but never leave the screen.
        const QRect area = screen->geometry();
        x = qMax(x, area.left());
        y = qMax(y, area.top());
        if (x + width() > area.x() + area.width())
            x = area.x() + area.width() - width();
        if (y + height() > area.y() + area.height())
            y = area.y() + area.height() - height();
    }
    move(x, y);
    reposition();
    show();
}

void QtPieMenu::reposition() {}

void QtPieMenu::generateMask(QBitmap *mask)
{
    QPainter painter(mask);
    painter.setPen(Qt::color1);
    painter.setBrush(Qt::color1);
    painter.drawEllipse(0, 0, mask->width() - 1, mask->height() - 1);
}

void QtPieMenu::showEvent(QShowEvent *)
{
    emit aboutToShow();
    if (!maskGenerated) {
        QBitmap mask(menuPixmap.size());
        mask.fill(Qt::color0);
        generateMask(&mask);
        menuPixmap.setMask(mask);
        setMask(mask);
        maskGenerated = true;
    }
    moveCount = 0;
    cursorPos = mapFromGlobal(QCursor::pos());
    const double r = radiusAt(cursorPos);
    if (r < innerRad)
        highlightIndex = -1;
    else if (r <= outerRad)
        highlightIndex = indexAt(cursorPos);
    else
        highlightIndex = -2;
}

void QtPieMenu::hideEvent(QHideEvent *)
{
    if (activatedIndex == -1)
        emit canceled();
    highlightIndex = -2;
    hideShownSubMenu();
}

void QtPieMenu::mouseMoveEvent(QMouseEvent *event)
{
    cursorPos = event->position().toPoint();
    const double r = radiusAt(cursorPos);
    auto *parentMenu = qobject_cast<QtPieMenu *>(parentWidget());
    if (parentMenu && r > outerRad) {
        // The parent follows the pointer once it leaves this sub-menu.
        QMouseEvent mapped(event->type(), parentMenu->mapFromGlobal(event->globalPosition()),
                           event->globalPosition(), event->button(), event->buttons(),
                           event->modifiers(), event->pointingDevice());
        parentMenu->mouseMoveEvent(&mapped);
        return;
    }
    ++moveCount;
    mouseButtonStatus = event->buttons() == Qt::NoButton;

    int index;
    if (r < innerRad)
        index = -1;
    else if (shownSubMenu < 0 && r > outerRad && !dragging())
        index = -2;
    else
        index = indexAt(cursorPos);
    if (index != highlightIndex) {
        highlightIndex = index;
        emit highlighted(index);
        update();
        hoverTimer.start();
    }
    // Dragging out across a sub-menu's sector opens it at once.
    if (itemType(highlightIndex) == 1 && r > outerRad && dragging()) {
        hoverTimer.stop();
        activateItem(HoverAlert | Dragging);
    }
}

void QtPieMenu::mousePressEvent(QMouseEvent *event)
{
    hoverTimer.stop();
    mouseButtonStatus = false;
    cursorPos = event->position().toPoint();
    highlightIndex = indexAt(cursorPos);
    if (shownSubMenu >= 0 && highlightIndex != shownSubMenu)
        hideShownSubMenu();
    activateItem(Press);
    moveCount = 0;
}

void QtPieMenu::mouseReleaseEvent(QMouseEvent *event)
{
    hoverTimer.stop();
    if (ignoreNextRelease) {
        ignoreNextRelease = false;
        if (!dragging()) {
            mouseButtonStatus = true;
            return;
        }
    }
    cursorPos = event->position().toPoint();
    if (shownSubMenu < 0)
        activateItem(dragging() ? Release | Dragging : Release);
    mouseButtonStatus = true;
    moveCount = 0;
}

void QtPieMenu::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Backspace:
        emit aboutToHide();
        hide();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        moveCount = 0;
        activateItem(Keyboard);
        if (QtPieMenu *subMenu = subMenuAt(shownSubMenu))
            subMenu->setHighlightedItem(0);
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Backtab:
        if (++highlightIndex >= count())
            highlightIndex -= count();
        update();
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Tab:
        if (--highlightIndex < 0)
            highlightIndex += count();
        update();
        break;
    default:
        QtPieItem::keyPressEvent(event);
    }
}

void QtPieMenu::hoverAlert()
{
    activateItem(dragging() ? HoverAlert | Dragging : HoverAlert);
}

void QtPieMenu::activateItem(int flags)
{
    if (!isVisible())
        return;
    hoverTimer.stop();
    const double r = radiusAt(cursorPos);
    const bool inside = r < innerRad;
    if (flags & Dragging) {
        if (inside) {
            hideShownSubMenu();
            if (flags & HoverAlert)
                hoverTimer.start();
            return;
        }
    } else if (!(flags & Keyboard)) {
        if (flags & Release)
            return;
        if (inside || r > outerRad) {
            if (flags & HoverAlert)
                hideShownSubMenu();
            if (flags & Press) {
                if (r > outerRad)
                    emit canceledAll();
                emit aboutToHide();
                hide();
            }
            return;
        }
    }

    // Closing a sub-menu resets the highlight, so keep the chosen index.
    const int index = highlightIndex;
    if (!isValidIndex(index) || !items.at(index)->isItemEnabled())
        return;
    if (items.at(index)->type() != 1) {
        hideShownSubMenu();
        if (flags & HoverAlert)
            return;
        emit activated(index);
        if (auto *action = qobject_cast<QtPieAction *>(items.at(index)))
            action->activate();
        activatedIndex = index;
        subMenuSelected();
    } else if (index != shownSubMenu) {
        openSubMenu(index);
    }
}

void QtPieMenu::openSubMenu(int index)
{
    hideShownSubMenu();
    emit activated(index);
    shaded = true;

    double direction = 0;
    if (items.size() == 1) {
        // A lone item has no sector to point along: keep going away from the parent.
        if (auto *parentMenu = qobject_cast<QtPieMenu *>(parentWidget())) {
            const QPoint d = mapToGlobal(centre()) - parentMenu->mapToGlobal(parentMenu->centre());
            direction = std::atan2(-d.y(), d.x());
        }
    } else {
        double start, end;
        sectorAngles(index, &start, &end);
        direction = (start + end) / 2;
    }
    QtPieMenu *subMenu = subMenuAt(index);
    const double distance = 0.9 * (subMenu->outerRadius() + outerRad);
    const QPoint subMenuCentre = centre() + QPoint(int(distance * std::cos(direction)),
                                                   int(-distance * std::sin(direction)));
    hoverTimer.stop();
    shownSubMenu = index;
    subMenu->popup(mapToGlobal(subMenuCentre));
    update();
}

void QtPieMenu::hideShownSubMenu()
{
    QtPieMenu *subMenu = subMenuAt(shownSubMenu);
    if (!subMenu)
        return;
    emit subMenu->aboutToHide();
    subMenu->hide();
    shownSubMenu = -1;
    shaded = false;
    update();
}

void QtPieMenu::subMenuCanceled()
{
    shownSubMenu = -1;
    moveCount = 0;
    highlightIndex = -2;
    hoverTimer.stop();
    shaded = false;
    ignoreNextRelease = true;
    update();
}

void QtPieMenu::allCanceled()
{
    subMenuCanceled();
    emit aboutToHide();
    hide();
    emit canceledAll();
    update();
}

void QtPieMenu::subMenuSelected()
{
    // A choice made in a sub-menu is a choice of this menu too, not a cancel.
    if (activatedIndex == -1)
        activatedIndex = shownSubMenu;
    emit activated();
    // The parent may have closed this menu already while passing the choice on.
    if (isVisible()) {
        emit aboutToHide();
        hide();
    }
}

QColor QtPieMenu::shade(const QColor &colour) const
{
    return shaded ? colour.darker(125) : colour;
}

void QtPieMenu::paintEvent(QPaintEvent *)
{
    const QRect rect(0, 0, menuPixmap.width() - 1, menuPixmap.height() - 1);
    const QPoint c((menuPixmap.width() - 1) / 2, (menuPixmap.height() - 1) / 2);
    QPainter painter(&menuPixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    paintSectors(painter, rect, c);
    paintBevels(painter, rect, c);
    paintCancelMark(painter, c);
    paintSubMenuMarks(painter, c);
    paintContents(painter, c);
    painter.end();

    QPainter(this).drawPixmap(0, 0, menuPixmap);
}

QRect QtPieMenu::centreSquare(const QPoint &c) const
{
    return QRect(c.x() - innerRad, c.y() - innerRad, 2 * innerRad + 1, 2 * innerRad + 1);
}

void QtPieMenu::paintSectors(QPainter &painter, const QRect &rect, const QPoint &c)
{
    const QPalette &pal = palette();
    const QColor window = shade(pal.color(QPalette::Window));
    if (items.size() <= 1) {
        const bool lit = highlightIndex == 0 && !items.isEmpty() && items.at(0)->isItemEnabled();
        painter.fillRect(menuPixmap.rect(), lit ? shade(pal.color(QPalette::Highlight)) : window);
    } else {
        painter.setPen(shade(pal.color(QPalette::Mid)));
        for (int i = 0; i < items.size(); ++i) {
            const bool lit = i == highlightIndex && items.at(i)->isItemEnabled();
            painter.setBrush(lit ? shade(sectorHighlight) : window);
            double start, end;
            sectorAngles(i, &start, &end);
            painter.drawPie(rect, qRound(qRadiansToDegrees(start) * 16),
                            qRound(qRadiansToDegrees(end - start) * 16));
        }
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(highlightIndex == -1 ? shade(sectorHighlight) : window);
    painter.drawEllipse(centreSquare(c));
}

void QtPieMenu::paintBevels(QPainter &painter, const QRect &rect, const QPoint &c)
{
    QColor light = shade(palette().color(QPalette::Light));
    light.setAlpha(128);
    const QColor dark = shade(palette().color(QPalette::Dark));
    // Upper-left half from 45° to 225°, lower-right half from 225° to 45°.
    auto bevel = [&painter](const QRect &r, const QColor &upperLeft, const QColor &lowerRight) {
        painter.setPen(QPen(upperLeft, 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        painter.drawArc(r, 45 * 16, 180 * 16);
        painter.setPen(QPen(lowerRight, 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        painter.drawArc(r, 225 * 16, 180 * 16);
    };
    const QRect square = centreSquare(c);
    bevel(square, dark, light);
    bevel(rect, light, dark);
    if (innerRad > 0)
        bevel(square.adjusted(1, 1, -1, -1), light, dark);
}

void QtPieMenu::paintCancelMark(QPainter &painter, const QPoint &c)
{
    const QPalette::ColorRole role =
        highlightIndex == -1 ? QPalette::HighlightedText : QPalette::Text;
    painter.setPen(QPen(shade(palette().color(role)), 2));
    const int third = innerRad / 3;
    painter.drawLine(c + QPoint(-third, -third), c + QPoint(third, third));
    painter.drawLine(c + QPoint(-third, third), c + QPoint(third, -third));
}

void QtPieMenu::paintSubMenuMarks(QPainter &painter, const QPoint &c)
{
    const QPalette &pal = palette();
    auto at = [&c](double radius, double angle) {
        return QPointF(c.x() + radius * std::cos(angle), c.y() - radius * std::sin(angle));
    };
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i)->type() != 1)
            continue;
        if (i == highlightIndex) {
            painter.setPen(shade(
                average(pal.color(QPalette::HighlightedText), pal.color(QPalette::Highlight))));
            painter.setBrush(shade(pal.color(QPalette::HighlightedText)));
        } else {
            painter.setPen(shade(average(pal.color(QPalette::Text), pal.color(QPalette::Window))));
            painter.setBrush(shade(pal.color(QPalette::Text)));
        }
        double start, end;
        sectorAngles(i, &start, &end);
        const double middle = (start + end) / 2;
        const QPointF triangle[3] = {at(outerRad - 2, middle), at(outerRad - 6, middle - 0.1),
                                     at(outerRad - 6, middle + 0.1)};
        painter.drawPolygon(triangle, 3);
    }
}

void QtPieMenu::paintContents(QPainter &painter, const QPoint &c)
{
    const QPalette &pal = palette();
    QFont font;
    font.setPointSize(10);
    painter.setFont(font);
    const QFontMetrics metrics = painter.fontMetrics();
    const int radius = (innerRad + outerRad) / 2;
    for (int i = 0; i < items.size(); ++i) {
        const QtPieItem *item = items.at(i);
        double start, end;
        sectorAngles(i, &start, &end);
        const double middle = (start + end) / 2;
        const QPoint p(c.x() + qRound(radius * std::cos(middle)),
                       c.y() - qRound(radius * std::sin(middle)));

        const QPixmap icon = item->icon().isNull() ? QPixmap() : item->icon().pixmap(32, 32);
        const int iconWidth = icon.isNull() ? 0 : 32;
        int x = p.x() - (iconWidth + metrics.horizontalAdvance(item->text())) / 2;
        if (!icon.isNull()) {
            painter.drawPixmap(QRect(x, p.y() - 16, 32, 32), shaded ? checkered(icon) : icon);
            x += iconWidth;
        }
        QPalette::ColorRole role = QPalette::Mid;
        if (item->isItemEnabled())
            role = i == highlightIndex ? QPalette::HighlightedText : QPalette::Text;
        painter.setPen(shade(pal.color(role)));
        painter.drawText(x, p.y() + (metrics.height() + 1) / 2, item->text());
    }
}
