#ifndef COVERFLOWBROWSER_H
#define COVERFLOWBROWSER_H

#include "BrowsingMode.h"

#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QOpenGLWidget>
#include <QPoint>

class CoverStore;
class QGestureEvent;
class QPainter;
class QTimeLine;
class QTimer;

// The strip of file covers above the inspection views. It paints the covers of
// its store, tells which cover is current and which is to be inspected, and asks
// its owner for what lies outside it: full screen, the size of its pane.
class CoverFlowBrowser : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit CoverFlowBrowser(CoverStore *store, QWidget *parent = nullptr);

    CoverStore *coverStore() const { return store; }
    int getSelectedImageIndex() const { return selectedIndex; }
    QSize sizeHint() const override { return QSize(700, 350); }
    // Public so that the main window can hand on the step keys of its lists.
    void keyPressEvent(QKeyEvent *event) override;

    // Which signals are sent, and whether covers keep an image size (images).
    void setBrowsingMode(BrowsingMode mode);
    // In full screen the counter gives way to the icon that leaves it.
    void setFullScreen(bool on);
    // Adopts an input kind (0 mouse, 1 touch screen, 2 touch pad); a new one
    // shows its instructions.
    void setInputKind(int kind);

    void reShowInstructions();
    void formatInstructions(int width, int height);
    void setAnimation(bool on);
    // The slide-in of a swipe: the next or previous cover, reported at once and
    // inspected when it has slid in.
    void swipeStep(bool forward);
    // Chooses and inspects the cover of the file, by any path to it; false when
    // the strip has none.
    bool inspectFile(const QString &fileName);

    // Point size of the caption and counter texts for a widget of the given height.
    static qreal textPointSize(int widgetHeight, qreal largest);

    int selectedIndex = -1;
    int posDiffBetweenCovers = 95;
    int sizeDiffBetweenSelAndUnSelected = 64;
    int sideCoverAngle = 60;
    int coverRowRaise = 30;
    bool scaleToWidgetHeight = true;
    int scaleMargin = 100;
    bool showFileNameForSelectedItem = true;
    bool drawCoverFrames = true;
    QHash<qint64, QImage> reflectionCache;
    static constexpr int maxCachedReflections = 128;
    bool showInstruction = true;
    QImage instructionImage;
    int selectedCoverPos = 50;

    bool animating = false;
    bool animationIncreasing = true;
    int animationStep = 3;
    QTimer *repaintTimer = nullptr;
    QTimeLine *flickTimeLine = nullptr;
    QElapsedTimer dragTime;
    bool dragTimingStarted = false;
    int lastDragDelta = 0;
    int dragThreshold = 10;
    QPoint pressPos;
    bool dragged = false;
    bool doubleClicked = false;
    int inputKind = 0;
    int multiTouchActive = 0;

signals:
    void currentItemChanged(int, QString, int, int, int);
    void currentCXItemChanged(int, QString);
    void currentRawMRIItemChanged(int, QString);
    void imageForInspectionChanged(int, QString);
    void CXFileForInspectionChanged(int, QString);
    void rawMRIFileForInspectionChanged(int, QString);
    // The full-screen icon was clicked.
    void fullScreenRequested();
    // Sent with every touch event: the kind of device touched.
    void inputKindChanged(int kind);
    // A pinch: the strip's pane should grow by delta pixels (shrink when negative).
    void stripResizeRequested(int delta);
    // A swipe up: the strip's pane should give all its room to the views.
    void stripCollapseRequested();

public slots:
    void clearCoverStore();
    bool addEmptyCover(QString fileName);
    void setPosDiffBetweenCovers(int diff_x);
    void setSizeDiffBetweenSelAndUnSelected(int diff_size);
    void setShowFileNameForSelectedItemState(bool onoff);
    void hideInstruction();
    void setCurrentCoverIndex(int index);
    void emitCurrentItemChanged();
    void emitCurrentItemChangedForInspection();
    void animateCoverTranslation(int frame);

protected:
    void paintGL() override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

    void drawItemAt(QPainter &painter, QPoint anchor, const QImage &image, int width, int height,
                    int angle);
    void drawItemsBeforeSelected(QPainter &painter);
    void drawItemsAfterSelected(QPainter &painter);
    void drawSelectedItem(QPainter &painter);

public:
    // The cover of a file without a thumbnail: its extension on a dark square.
    static QImage drawPlaceholderCover(const QString &extension);

private:
    QImage placeholderCover(const QString &extension);
    float stripScale() const;
    int hitTestCoverIndex(int x) const;
    bool hasValidSelection() const;
    int firstCoverShown() const;
    int lastCoverShown() const;
    void stepSelection(bool forward);
    void advanceSlideIn();
    void finishSlideIn();
    void drawCaption(QPainter &painter);
    void drawCounter(QPainter &painter);
    bool gestureEvent(QGestureEvent *event);

    CoverStore *store;
    BrowsingMode browsingMode = BrowsingMode::CXData;
    bool fullScreen = false;
    // One placeholder per extension, shared by every cover that shows it.
    QHash<QString, QImage> placeholders;
    QImage fullScreenIcon;
    // Set when a slide-in ended during painting; its signal goes out after the frame.
    bool slideInEnded = false;
    bool fullScreenIconPressed = false;
};

#endif
