#ifndef COVERFLOWBROWSER_H
#define COVERFLOWBROWSER_H

#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QOpenGLWidget>
#include <QPoint>
#include <QStringList>
#include <QVector>

class CortivexViewer;
class QGestureEvent;
class QPainter;
class QTimeLine;
class QTimer;

// The strip of file covers above the inspection views.
class CoverFlowBrowser : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit CoverFlowBrowser(CortivexViewer *mainWindow);

    int getSelectedImageIndex() const { return selectedIndex; }
    QSize sizeHint() const override { return QSize(700, 350); }
    // Public so that the main window can hand on the step keys of its lists.
    void keyPressEvent(QKeyEvent *event) override;

    void reShowInstructions();
    void formatInstructions(int width, int height);
    void setAnimation(bool on);

    // Point size of the caption and counter texts for a widget of the given height.
    static qreal textPointSize(int widgetHeight, qreal largest);

    // Cover store; the thumbnail cache and the image view write into it directly.
    QList<QImage> coverImages;
    QStringList coverFileNames;
    QVector<int> thumbnailLoaded;
    QVector<int> imageWidths;
    QVector<int> imageHeights;
    QVector<unsigned char> imageOrientations;

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

private:
    QImage placeholderCover(const QString &extension);
    float stripScale() const;
    int hitTestCoverIndex(int x) const;
    bool hasValidSelection() const;
    void stepSelection(bool forward);
    void advanceSlideIn();
    void finishSlideIn();
    void drawCaption(QPainter &painter);
    void drawCounter(QPainter &painter);
    bool gestureEvent(QGestureEvent *event);

    CortivexViewer *mainWindow;
    // One placeholder per extension, shared by every cover that shows it.
    QHash<QString, QImage> placeholders;
    QImage fullScreenIcon;
    // Set when a slide-in ended during painting; its signal goes out after the frame.
    bool slideInEnded = false;
    bool fullScreenIconPressed = false;
};

#endif
