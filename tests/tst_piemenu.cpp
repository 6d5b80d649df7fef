#include "QtPieAction.h"
#include "QtPieMenu.h"

#include <QApplication>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

#include <cmath>
#include <functional>
#include <limits>

namespace {

// A menu of four actions A0..A3, with a sub-menu "sub" (actions A, B, C) in place of
// A1 if asked; logs the menus' signals and the actions' slot in order.
class Log : public QObject
{
    Q_OBJECT

public:
    explicit Log(bool withSubMenu = false)
    {
        for (int i = 0; i < 4; ++i) {
            if (withSubMenu && i == 1) {
                auto *sub = new QtPieMenu("Sub", &menu, "sub", 10, 60);
                for (const char *text : {"A", "B", "C"})
                    sub->insertItem(text, this, SLOT(fire()));
                watch(sub);
                menu.insertItem(sub);
            } else {
                menu.insertItem(QString("A%1").arg(i), this, SLOT(fire()));
            }
        }
        watch(&menu);
    }

    QStringList take() { return std::exchange(lines, {}); }

public slots:
    void fire() { lines << "fire " + static_cast<QtPieItem *>(sender())->text(); }
    void record()
    {
        lines << sender()->objectName() + ':' +
                     sender()->metaObject()->method(senderSignalIndex()).name();
    }
    void recordIndex(int i)
    {
        lines << QString("%1:activated(%2)").arg(sender()->objectName()).arg(i);
    }

private:
    void watch(QtPieMenu *menu)
    {
        connect(menu, SIGNAL(activated(int)), SLOT(recordIndex(int)));
        for (const char *signal : {SIGNAL(activated()), SIGNAL(canceled()), SIGNAL(canceledAll()),
                                   SIGNAL(aboutToShow()), SIGNAL(aboutToHide())})
            connect(menu, signal, SLOT(record()));
    }

    QStringList lines;

public:
    // Last, so that it goes before the log it may still write to.
    QtPieMenu menu{"Root menu", nullptr, "root", 15, 90};
};

// The widget point at the given direction (degrees) and distance from the centre.
QPoint at(const QtPieMenu *menu, double degrees, double radius)
{
    const double a = qDegreesToRadians(degrees);
    return QPoint(menu->outerRadius() + qRound(radius * std::cos(a)),
                  menu->outerRadius() - qRound(radius * std::sin(a)));
}

// Press and release with the left button; moves carry the buttons held.
void mouse(QWidget *w, QEvent::Type type, const QPoint &pos,
           Qt::MouseButtons buttons = Qt::NoButton)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    if (type == QEvent::MouseButtonPress)
        buttons |= Qt::LeftButton;
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

const QPoint screenCentre(640, 512);
const QEvent::Type Press = QEvent::MouseButtonPress, Release = QEvent::MouseButtonRelease,
                   Move = QEvent::MouseMove;

} // namespace

class TestPieMenu : public QObject
{
    Q_OBJECT

private slots:
    void init() { QCursor::setPos(0, 0); }
    void sectors();
    void warnings();
    void popupStaysOnScreen();
    void chooseAndCancel();
    void dragRelease();
    void hoverAndSubMenus();
    void painting();
};

// Starts in degrees, centred on item 0: four equal, one of weight 2, the first of weight 2.
void TestPieMenu::sectors()
{
    const QList<std::pair<QList<int>, QList<double>>> weightsAndStarts = {
        {{1, 1, 1, 1}, {45, 135, 225, 315}},
        {{1, 2, 1, 1}, {54, 126, 270, 342}},
        {{2, 1, 1, 1}, {18, 162, 234, 306}}};
    for (const auto &[weights, starts] : weightsAndStarts) {
        Log log;
        QtPieMenu *menu = &log.menu;
        for (int i = 0; i < 4; ++i)
            menu->setItemWeight(weights[i], i);
        menu->resize(menu->sizeHint());
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(qRadiansToDegrees(menu->indexToAngle(i, 4, true)), starts[i]);
            const double next = starts.value(i + 1, starts[0] + 360);
            const double middle = (starts[i] + next) / 2;
            QCOMPARE(menu->indexAt(at(menu, middle, 50)), i);
            QCOMPARE(menu->angleToIndex(qDegreesToRadians(std::fmod(next - 0.5, 360)), 4), i);
            // An edge belongs to the sector it ends.
            if (i > 0)
                QCOMPARE(menu->angleToIndex(menu->indexToAngle(i, 4, true), 4), i - 1);
        }
        QCOMPARE(qRadiansToDegrees(menu->indexToAngle(4, 4, true)), starts[0]);
    }

    // Weights that add up to nothing, to less or to more than an int holds stay harmless.
    Log log;
    QtPieMenu *menu = &log.menu;
    for (int w : {0, -3, std::numeric_limits<int>::max()}) {
        for (int i = 0; i < 4; ++i)
            menu->setItemWeight(w, i);
        QVERIFY(std::isfinite(menu->indexToAngle(3, 4, true)));
        menu->grab();
    }
    QCOMPARE(menu->angleToIndex(qDegreesToRadians(90.0), 4), 0);
    QCOMPARE(menu->indexToAngle(2, 0, true), M_PI / 2);
    QCOMPARE(QtPieMenu("e", nullptr, "e", 15, 90).angleToIndex(1.0, 4), -1);
}

// Tags in a text are removed with a warning; indices out of range warn and
// change nothing. No other warning is given.
void TestPieMenu::warnings()
{
    QTest::failOnWarning(QRegularExpression(".*"));
    const QList<std::pair<QString, QString>> textAndShown = {
        {"A<br>B", "A B"}, {"<p>Hello</p> <b>world</b>", " Hello world"}, {"A<BR/>B", "AB"}};
    for (const auto &[text, shown] : textAndShown) {
        QTest::ignoreMessage(QtWarningMsg, "QtPieItem::setText: HTML support not implemented "
                                           "until Qt 4.1. All tags removed from text.");
        QCOMPARE(QtPieAction(text, nullptr, nullptr).text(), shown);
    }
    QCOMPARE(QtPieAction("x < y", nullptr, nullptr).text(), "x < y");

    Log log;
    QtPieMenu *menu = &log.menu;
    const QList<std::pair<const char *, std::function<void()>>> warningAndCall = {
        {"QtPieMenu::isItemEnabled(4) index of of range",
         [&] { QVERIFY(!menu->isItemEnabled(4)); }},
        {"QtPieMenu::itemWeight(-1) index of of range", [&] { QCOMPARE(menu->itemWeight(-1), 0); }},
        {"QtPieMenu::setItemEnabled(false, 7) index of of range",
         [&] { menu->setItemEnabled(false, 7); }},
        {"QtPieMenu::setItemWeight(3, 4) index of of range", [&] { menu->setItemWeight(3, 4); }},
        {"QtPieMenu::itemIcon(9) index of of range", [&] { QVERIFY(menu->itemIcon(9).isNull()); }},
        {"QtPieMenu::itemText(4) index of of range", [&] { QVERIFY(menu->itemText(4).isEmpty()); }},
        {"QtPieMenu::setItemText(\"Zoom\", 5) index of of range",
         [&] { menu->setItemText("Zoom", 5); }},
        {"Attempt to remove item 4 from QtPieMenu with 4 items.", [&] { menu->removeItemAt(4); }},
        {"Attempt to remove item -1 from QtPieMenu with 4 items.", [&] { menu->removeItemAt(-1); }},
    };
    for (const auto &[warning, call] : warningAndCall) {
        QTest::ignoreMessage(QtWarningMsg, warning);
        call();
    }
    QTest::ignoreMessage(
        QtWarningMsg,
        QRegularExpression("^QtPieMenu::setItemIcon\\(0x[0-9a-f]+, 4\\) index of of range$"));
    menu->setItemIcon(QIcon(), 4);
    QCOMPARE(menu->count(), 4);
    // Items inserted at the end or beyond it go last.
    menu->insertItem("A4", &log, SLOT(fire()), 4);
    menu->insertItem("A5", &log, SLOT(fire()), 9);
    QCOMPARE(QStringList({menu->itemText(3), menu->itemText(4), menu->itemText(5)}),
             QStringList({"A3", "A4", "A5"}));
}

void TestPieMenu::popupStaysOnScreen()
{
    QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1280, 1024));
    const QList<std::pair<QPoint, QPoint>> requestedAndTopLeft = {{screenCentre, {550, 422}},
                                                                  {{1275, 500}, {1099, 410}},
                                                                  {{3, 40}, {0, 0}},
                                                                  {{5000, 5000}, {1099, 843}}};
    Log log;
    QtPieMenu *menu = &log.menu;
    for (const auto &[requested, topLeft] : requestedAndTopLeft) {
        menu->popup(requested);
        QCOMPARE(menu->geometry(), QRect(topLeft, QSize(181, 181)));
    }
}

void TestPieMenu::chooseAndCancel()
{
    Log log;
    QtPieMenu *menu = &log.menu;

    // Keys move the highlight round the menu, from the centre; Return chooses.
    menu->popup(screenCentre);
    QCOMPARE(menu->highlightedItem(), -2);
    const QList<std::pair<Qt::Key, int>> keyAndHighlight = {
        {Qt::Key_Left, -1}, {Qt::Key_Left, 0},  {Qt::Key_Up, 1},    {Qt::Key_Backtab, 2},
        {Qt::Key_Left, 3},  {Qt::Key_Up, 0},    {Qt::Key_Right, 3}, {Qt::Key_Down, 2},
        {Qt::Key_Tab, 1},   {Qt::Key_Right, 0}, {Qt::Key_Down, 3}};
    for (const auto &[key, highlight] : keyAndHighlight) {
        QTest::keyClick(menu, key);
        QCOMPARE(menu->highlightedItem(), highlight);
    }
    QTest::keyClick(menu, Qt::Key_Return);
    QCOMPARE(log.take(), QStringList({"root:aboutToShow", "root:activated(3)", "fire A3",
                                      "root:activated", "root:aboutToHide"}));

    // A click chooses on the press; the release adds nothing.
    menu->popup(screenCentre);
    mouse(menu, Press, at(menu, 180, 50));
    mouse(menu, Release, at(menu, 180, 50));
    QVERIFY(!menu->isVisible());
    QCOMPARE(log.take(), QStringList({"root:aboutToShow", "root:activated(1)", "fire A1",
                                      "root:activated", "root:aboutToHide"}));

    // Escape, Backspace, a press in the centre and one beyond the rim cancel, once each.
    const QList<std::function<void()>> cancels = {[&] { QTest::keyClick(menu, Qt::Key_Escape); },
                                                  [&] { QTest::keyClick(menu, Qt::Key_Backspace); },
                                                  [&] { mouse(menu, Press, at(menu, 30, 5)); },
                                                  [&] { mouse(menu, Press, at(menu, 30, 95)); }};
    for (const auto &cancel : cancels) {
        menu->popup(screenCentre);
        cancel();
        menu->hide();
        mouse(menu, Release, at(menu, 30, 5));
        QStringList expected = {"root:aboutToShow", "root:aboutToHide", "root:canceled"};
        if (&cancel == &cancels.last())
            expected.insert(1, "root:canceledAll");
        QCOMPARE(log.take(), expected);
    }

    // Disabled items cannot be chosen.
    menu->setItemEnabled(false, 2);
    menu->popup(screenCentre);
    mouse(menu, Press, at(menu, 270, 50));
    mouse(menu, Release, at(menu, 270, 50));
    QVERIFY(menu->isVisible());
    QCOMPARE(log.take(), QStringList{"root:aboutToShow"});
}

void TestPieMenu::dragRelease()
{
    Log log(true);
    QtPieMenu *menu = &log.menu;

    // Opened by a held button as the views do: a drag chooses on the release,
    // but not in the centre.
    menu->popup(screenCentre);
    for (int i = 0; i < 6; ++i)
        mouse(menu, Move, at(menu, 10, 20 + 5 * i), Qt::RightButton);
    QVERIFY(!menu->dragging());
    mouse(menu, Move, at(menu, 10, 60), Qt::RightButton);
    QVERIFY(menu->dragging());
    QCOMPARE(menu->highlightedItem(), 3);
    mouse(menu, Release, at(menu, 0, 3));
    QVERIFY(menu->isVisible());

    for (int i = 0; i < 7; ++i)
        mouse(menu, Move, at(menu, 270, 10 + 10 * i), Qt::RightButton);
    mouse(menu, Release, at(menu, 270, 70));
    QCOMPARE(log.take(), QStringList({"root:aboutToShow", "root:activated(2)", "fire A2",
                                      "root:activated", "root:aboutToHide"}));

    // Dragging out across a sub-menu's sector opens it at once.
    menu->popup(screenCentre);
    for (int i = 0; i < 8; ++i)
        mouse(menu, Move, at(menu, 180, 30 + 10 * i), Qt::RightButton);
    QVERIFY(menu->subMenuAt(1)->isVisible());
    mouse(menu, Release, at(menu, 180, 100));
    QVERIFY(menu->subMenuAt(1)->isVisible());
    menu->hide();
}

void TestPieMenu::hoverAndSubMenus()
{
    Log log(true);
    QtPieMenu *menu = &log.menu;
    QtPieMenu *sub = menu->subMenuAt(1);
    menu->setItemWeight(2, 0); // the sub-menu's sector, 162° to 234°, points left and down

    // Hovering over an action never chooses it; the inner radius itself is on the items.
    menu->popup(screenCentre);
    mouse(menu, Move, at(menu, 0, 14));
    QCOMPARE(menu->highlightedItem(), -1);
    mouse(menu, Move, at(menu, 0, 15));
    QCOMPARE(menu->highlightedItem(), 3);
    mouse(menu, Move, at(menu, 0, 50));
    QCOMPARE(menu->highlightedItem(), 3);
    menu->hoverAlert();
    QVERIFY(menu->isVisible());

    // Hovering over a sub-menu opens it after a while, outward along its sector:
    // 0.9 × (90 + 60) = 135 pixels at 198°.
    mouse(menu, Move, at(menu, 180, 50));
    QVERIFY(!sub->isVisible());
    QTRY_VERIFY(sub->isVisible());
    QVERIFY(menu->isShaded());
    QCOMPARE(sub->geometry(), QRect(640 - 128 - 60, 512 + 41 - 60, 121, 121));
    QCOMPARE(log.take(), QStringList({"root:aboutToShow", "root:activated(1)", "sub:aboutToShow"}));

    // Leaving the sub-menu hands the pointer to its parent.
    mouse(sub, Move, sub->mapFromGlobal(menu->mapToGlobal(at(menu, 90, 50))));
    QCOMPARE(menu->highlightedItem(), 0);

    // A press in the sub-menu's centre closes only the sub-menu.
    mouse(sub, Press, at(sub, 0, 2));
    mouse(menu, Release, at(menu, 0, 50));
    QVERIFY(menu->isVisible() && !sub->isVisible() && !menu->isShaded());
    QCOMPARE(log.take(), QStringList({"sub:aboutToHide", "sub:canceled"}));

    // Return opens the sub-menu and highlights its first item; a choice there
    // closes the tree as a choice, never as a cancel.
    menu->setHighlightedItem(1);
    QTest::keyClick(menu, Qt::Key_Return);
    QCOMPARE(sub->highlightedItem(), 0);
    QTest::keyClick(sub, Qt::Key_Enter);
    QVERIFY(!sub->isVisible() && !menu->isVisible());
    QCOMPARE(log.take(), QStringList({"root:activated(1)", "sub:aboutToShow", "sub:activated(0)",
                                      "fire A", "sub:activated", "root:activated",
                                      "root:aboutToHide", "sub:aboutToHide"}));

    // A press beyond a sub-menu's rim closes the whole tree.
    menu->popup(screenCentre);
    menu->setHighlightedItem(1);
    QTest::keyClick(menu, Qt::Key_Space);
    mouse(sub, Press, at(sub, 0, 70));
    mouse(sub, Release, at(sub, 0, 70));
    QVERIFY(!sub->isVisible() && !menu->isVisible());
    QCOMPARE(log.take(), QStringList({"root:aboutToShow", "root:activated(1)", "sub:aboutToShow",
                                      "sub:canceledAll", "root:aboutToHide", "root:canceled",
                                      "root:canceledAll", "sub:aboutToHide", "sub:canceled"}));

    // Removing the open sub-menu leaves a menu that works on.
    menu->popup(screenCentre);
    menu->setHighlightedItem(1);
    QTest::keyClick(menu, Qt::Key_Return);
    menu->removeItemAt(1);
    QVERIFY(!menu->isShaded());
    menu->setHighlightedItem(1);
    QTest::keyClick(menu, Qt::Key_Return);
    QCOMPARE(log.take().mid(3, 2), QStringList({"root:activated(1)", "fire A2"}));
}

void TestPieMenu::painting()
{
    Log log(true);
    QtPieMenu *menu = &log.menu;
    menu->popup(screenCentre);
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    const QPalette palette = menu->palette();
    const QRgb window = palette.color(QPalette::Window).rgb(), lit = qRgb(110, 150, 190);
    const QPoint top = at(menu, 90, 78), bottom = at(menu, 270, 78), nearCentre = at(menu, 90, 8);
    auto pixels = [menu](std::initializer_list<QPoint> points) {
        const QImage image = menu->grab().toImage();
        QList<QRgb> colours;
        for (const QPoint &p : points)
            colours << image.pixel(p);
        return colours;
    };

    menu->setHighlightedItem(0);
    QCOMPARE(pixels({top, bottom, nearCentre}), QList<QRgb>({lit, window, window}));
    // In the centre: the centre circle lit and the cancel mark in the highlighted-text
    // colour; the sub-menu's arrow sits at the rim of its sector.
    menu->setHighlightedItem(-1);
    QCOMPARE(pixels({top, nearCentre, at(menu, 90, 1), at(menu, 180, 86)}),
             QList<QRgb>({window, lit, palette.color(QPalette::HighlightedText).rgb(),
                          palette.color(QPalette::Text).rgb()}));
    // A menu with an open sub-menu is drawn darker.
    menu->setHighlightedItem(1);
    QTest::keyClick(menu, Qt::Key_Return);
    QCOMPARE(pixels({bottom}), QList<QRgb>({QColor(window).darker(125).rgb()}));
    menu->hide();

    // A new size gets a new circular mask.
    menu->setOuterRadius(50);
    menu->popup(screenCentre);
    QCOMPARE(menu->mask().boundingRect(), QRect(0, 0, 101, 101));
    menu->hide();
}

QTEST_MAIN(TestPieMenu)
#include "tst_piemenu.moc"
