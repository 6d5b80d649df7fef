#include "CoverFlowBrowser.h"

#include "CoverStore.h"
#include "FileHelpers.h"
#include "InstructionBand.h"
#include "TouchInput.h"

#include <QApplication>
#include <QFileInfo>
#include <QGestureEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QSurfaceFormat>
#include <QTimeLine>
#include <QTimer>
#include <QTouchEvent>

#include <cmath>

namespace {

const char *const mouseInstructions =
    "Click and drag with the left mouse button to browse folder contents\n"
    "Click on image to select it for the main view below\n"
    "Press \"I\" key to re-show instructions in active view";
const char *const touchScreenInstructions =
    "Touch and move one finger to browse folder contents\n"
    "Make a one-finger \"flick\" gesture to browse fast\n"
    "Press \"I\" key to re-show instructions in active view";
const char *const touchPadInstructions =
    "Use three-finger swipe gesture to the left or right to browse documents\n"
    "Press \"I\" key to re-show instructions in active view";

// The full-screen icon sits in this square at the top-right corner.
const int fullScreenIconArea = 33;

// A release this soon after a drag began throws the strip into a flick.
const int flickMaxDragMs = 300;

QFont textFont(qreal pointSize)
{
    QFont font = QApplication::font();
    font.setPointSizeF(pointSize);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferQuality | QFont::PreferAntialias));
    return font;
}

} // namespace

CoverFlowBrowser::CoverFlowBrowser(CoverStore *store, QWidget *parent)
    : QOpenGLWidget(parent), store(store)
{
    QSurfaceFormat format;
    format.setSamples(4);
    setFormat(format);

    setMinimumHeight(50);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_AcceptTouchEvents);
    grabGesture(Qt::PanGesture);
    grabGesture(Qt::PinchGesture);
    grabGesture(Qt::SwipeGesture);

    repaintTimer = new QTimer(this);
    connect(repaintTimer, &QTimer::timeout, this, [this] { repaint(); });

    flickTimeLine = new QTimeLine(700, this);
    flickTimeLine->setFrameRange(0, 100);
    flickTimeLine->setUpdateInterval(50);
    flickTimeLine->setEasingCurve(QEasingCurve::OutCurve);
    connect(flickTimeLine, &QTimeLine::frameChanged, this,
            &CoverFlowBrowser::animateCoverTranslation);

    dragTime.start();
    fullScreenIcon = QImage(":/resources/Fullscreen3_32.png");
    // A folder filling with thumbnails changes mostly covers off the strip, and
    // each repaint of the strip is one of the window.
    connect(store, &CoverStore::coverChanged, this, [this](int index) {
        if (height() > 0 && hasValidSelection() &&
            (index < firstCoverShown() || index > lastCoverShown()))
            return;
        update();
    });
}

void CoverFlowBrowser::setBrowsingMode(BrowsingMode mode)
{
    browsingMode = mode;
}

void CoverFlowBrowser::setFullScreen(bool on)
{
    fullScreen = on;
    update();
}

void CoverFlowBrowser::setInputKind(int kind)
{
    if (kind == inputKind)
        return;
    inputKind = kind;
    formatInstructions(width(), height());
    reShowInstructions();
}

// Cover store

void CoverFlowBrowser::clearCoverStore()
{
    store->clear();
    reflectionCache.clear();
    selectedIndex = -1;
    // Animations of the old folder must not run on into the new one.
    flickTimeLine->stop();
    setAnimation(false);
    selectedCoverPos = 50;
    slideInEnded = false;
}

bool CoverFlowBrowser::addEmptyCover(QString fileName)
{
    store->append(fileName, placeholderCover(getExtension(fileName).toUpper()),
                  browsingMode == BrowsingMode::Images);
    return true;
}

bool CoverFlowBrowser::inspectFile(const QString &fileName)
{
    const QString wanted = QFileInfo(fileName).canonicalFilePath();
    for (int i = 0; i < store->count(); ++i) {
        if (QFileInfo(store->fileName(i)).canonicalFilePath() != wanted)
            continue;
        // The folder's first cover was inspected when it was listed.
        if (i != selectedIndex) {
            setCurrentCoverIndex(i);
            repaint();
            emitCurrentItemChangedForInspection();
        }
        return true;
    }
    return false;
}

QImage CoverFlowBrowser::placeholderCover(const QString &extension)
{
    const auto found = placeholders.constFind(extension);
    if (found != placeholders.constEnd())
        return found.value();
    const QImage image = drawPlaceholderCover(extension);
    placeholders.insert(extension, image);
    return image;
}

QImage CoverFlowBrowser::drawPlaceholderCover(const QString &extension)
{
    QImage image(256, 256, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&image);
        painter.fillRect(image.rect(), QColor(32, 32, 32));
        QLinearGradient gradient(0, 0, 0, 256);
        gradient.setColorAt(0, QColor(0, 0, 0, 255));
        gradient.setColorAt(1, QColor(0, 0, 0, 0));
        painter.fillRect(image.rect(), gradient);

        QFont font = QApplication::font();
        font.setFamily("Verdana");
        font.setWeight(QFont::Bold);
        font.setPointSizeF(38.0);
        painter.setFont(font);
        painter.setPen(QColor(230, 230, 100));
        painter.setRenderHint(QPainter::TextAntialiasing);
        const QRect bounds = painter.fontMetrics().boundingRect(extension);
        painter.drawText(QPoint(128 - bounds.width() / 2, int(bounds.height() * 0.5 + 128)),
                         extension);
    }
    {
        QPainter painter(&image);
        painter.setPen(QColor(128, 128, 128));
        for (int inset = 0; inset < 4; ++inset)
            painter.drawRect(inset, inset, 255 - 2 * inset, 255 - 2 * inset);
    }
    return image;
}

void CoverFlowBrowser::setPosDiffBetweenCovers(int diff_x)
{
    posDiffBetweenCovers = diff_x;
}

void CoverFlowBrowser::setSizeDiffBetweenSelAndUnSelected(int diff_size)
{
    sizeDiffBetweenSelAndUnSelected = diff_size;
}

void CoverFlowBrowser::setShowFileNameForSelectedItemState(bool onoff)
{
    showFileNameForSelectedItem = onoff;
}

// Instruction overlay

void CoverFlowBrowser::hideInstruction()
{
    showInstruction = false;
    repaint();
}

void CoverFlowBrowser::reShowInstructions()
{
    showInstruction = true;
    QTimer::singleShot(10000, this, &CoverFlowBrowser::hideInstruction);
    update();
}

void CoverFlowBrowser::formatInstructions(int width, int height)
{
    const char *text = inputKind == 1   ? touchScreenInstructions
                       : inputKind == 2 ? touchPadInstructions
                                        : mouseInstructions;
    instructionImage = renderInstructionBand(QString::fromUtf8(text), font(), width, height);
}

// Painting

qreal CoverFlowBrowser::textPointSize(int widgetHeight, qreal largest)
{
    return qMin(largest, qMax(7.0, widgetHeight * 13.5 / 256));
}

float CoverFlowBrowser::stripScale() const
{
    if (!scaleToWidgetHeight)
        return 1.0f;
    return float(height()) / float(scaleMargin + 256);
}

bool CoverFlowBrowser::hasValidSelection() const
{
    return selectedIndex >= 0 && selectedIndex < store->count();
}

void CoverFlowBrowser::paintGL()
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.fillRect(rect(), Qt::black);
    // A collapsed strip has no scale to draw or hit-test with.
    if (store->isEmpty() || height() <= 0)
        return;

    // Covers may have been removed behind our back; the side covers need a valid selection.
    if (selectedIndex >= store->count())
        selectedIndex = 0;

    painter.save();
    if (scaleToWidgetHeight) {
        const float s = stripScale();
        painter.translate(width() / 2, height() / 2);
        painter.scale(s, s);
        painter.translate(-(width() / 2), -(height() / 2));
    }
    drawItemsBeforeSelected(painter);
    drawItemsAfterSelected(painter);
    drawSelectedItem(painter);
    painter.restore();

    drawCaption(painter);
    drawCounter(painter);
    if (showInstruction)
        painter.drawImage((width() - instructionImage.width()) / 2, 0, instructionImage);
    if (fullScreen)
        painter.drawImage(width() - fullScreenIconArea, 1, fullScreenIcon);

    if (slideInEnded)
        QMetaObject::invokeMethod(this, &CoverFlowBrowser::finishSlideIn, Qt::QueuedConnection);
}

void CoverFlowBrowser::drawCaption(QPainter &painter)
{
    if (!showFileNameForSelectedItem || height() <= 80 || selectedCoverPos <= 39 ||
        selectedCoverPos >= 61 || !hasValidSelection())
        return;
    painter.setPen(Qt::white);
    painter.setFont(textFont(textPointSize(height(), 16)));
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QString text = getFileNameFromFullFileName(store->fileName(selectedIndex));
    const QRect bounds = painter.fontMetrics().boundingRect(text);
    const float h = float(height());
    const int baseline = qRound(0.5f * h + 0.5f * float(bounds.height()) + 21.0f * h / 60.0f);
    painter.drawText(width() / 2 - bounds.width() / 2, baseline, text);
}

void CoverFlowBrowser::drawCounter(QPainter &painter)
{
    if (fullScreen)
        return;
    painter.setPen(Qt::white);
    painter.setFont(textFont(textPointSize(height(), 12)));
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QString text = QString("%1/%2").arg(selectedIndex + 1).arg(store->count());
    const QRect bounds = painter.fontMetrics().boundingRect(text);
    painter.drawText(width() - 5 - bounds.width(), bounds.height() + 2, text);
}

// The first and last of the covers that fit on the strip around the selected one.
int CoverFlowBrowser::firstCoverShown() const
{
    const int xL = width() / 2 - store->image(selectedIndex).width() / 2;
    return qMax(0, selectedIndex - qRound(float(xL) / posDiffBetweenCovers / stripScale()));
}

int CoverFlowBrowser::lastCoverShown() const
{
    const int xR = store->image(selectedIndex).width() / 2 + width() / 2;
    const int fitting = qRound(float(width() - xR) / posDiffBetweenCovers / stripScale());
    return qMin(selectedIndex + fitting, store->count() - 1);
}

void CoverFlowBrowser::drawItemsAfterSelected(QPainter &painter)
{
    if (selectedIndex < 0)
        return;
    const int selectedWidth = store->image(selectedIndex).width();
    const int y = height() / 2 - coverRowRaise;
    const int xR = selectedWidth / 2 + width() / 2;
    for (int i = lastCoverShown(); i > selectedIndex; --i) {
        const QImage image = store->image(i);
        drawItemAt(painter, QPoint(xR + (i - selectedIndex) * posDiffBetweenCovers, y), image,
                   image.width() - sizeDiffBetweenSelAndUnSelected,
                   image.height() - sizeDiffBetweenSelAndUnSelected, sideCoverAngle);
    }
}

void CoverFlowBrowser::drawItemsBeforeSelected(QPainter &painter)
{
    if (selectedIndex < 0)
        return;
    const int selectedWidth = store->image(selectedIndex).width();
    const int y = height() / 2 - coverRowRaise;
    const int xL = width() / 2 - selectedWidth / 2;
    for (int i = firstCoverShown(); i < selectedIndex; ++i) {
        const QImage image = store->image(i);
        drawItemAt(painter, QPoint(xL - (selectedIndex - i) * posDiffBetweenCovers, y), image,
                   image.width() - sizeDiffBetweenSelAndUnSelected,
                   image.height() - sizeDiffBetweenSelAndUnSelected, -sideCoverAngle);
    }
}

void CoverFlowBrowser::drawSelectedItem(QPainter &painter)
{
    if (!hasValidSelection())
        return;
    const double t = (selectedCoverPos - 50) / 50.0;
    const int shrink = int(std::fabs(t) * sizeDiffBetweenSelAndUnSelected);
    const QPoint anchor(width() / 2 + int(posDiffBetweenCovers * t), height() / 2 - coverRowRaise);
    const QImage image = store->image(selectedIndex);
    drawItemAt(painter, anchor, image, image.width() - shrink, image.height() - shrink,
               int(t * sideCoverAngle));
    advanceSlideIn();
}

void CoverFlowBrowser::drawItemAt(QPainter &painter, QPoint anchor, const QImage &image, int width,
                                  int height, int angle)
{
    // An unreadable file leaves an empty cover, which has no size to scale from.
    if (selectedIndex < 0 || image.isNull())
        return;

    auto reflection = reflectionCache.constFind(image.cacheKey());
    if (reflection == reflectionCache.constEnd()) {
        // Only the covers on screen need their reflections; kept for every
        // thumbnail ever shown, they would take as much memory as the thumbnails.
        if (reflectionCache.size() >= maxCachedReflections)
            reflectionCache.clear();
        QImage mirrored =
            image.mirrored(false, true).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter fade(&mirrored);
        fade.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        QLinearGradient gradient(0, 0, 0, mirrored.height());
        gradient.setColorAt(0, QColor(0, 0, 0, 175));
        gradient.setColorAt(1, QColor(0, 0, 0, 0));
        fade.fillRect(mirrored.rect(), gradient);
        fade.end();
        reflection = reflectionCache.insert(image.cacheKey(), mirrored);
    }

    QTransform transform;
    transform.scale(qreal(width) / image.width(), qreal(height) / image.height());
    transform.rotate(angle, Qt::YAxis);
    transform *= QTransform::fromTranslate(anchor.x(), anchor.y());

    const int h = image.height();
    painter.save();
    painter.setTransform(transform, true);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(-h / 2, h / 2, reflection.value());
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(-h / 2, -h / 2, image);
    painter.restore();
}

// Animation

void CoverFlowBrowser::setAnimation(bool on)
{
    animating = on;
    if (on && !repaintTimer->isActive())
        repaintTimer->start(25);
    else if (!on && repaintTimer->isActive())
        repaintTimer->stop();
}

void CoverFlowBrowser::advanceSlideIn()
{
    if (!animating)
        return;
    if (animationIncreasing) {
        selectedCoverPos += animationStep;
        if (selectedCoverPos < 50)
            return;
    } else {
        selectedCoverPos -= animationStep;
        if (selectedCoverPos > 50)
            return;
    }
    selectedCoverPos = 50;
    setAnimation(false);
    slideInEnded = true;
}

void CoverFlowBrowser::finishSlideIn()
{
    // Sent from here rather than from the frame itself: the receivers load files and
    // repaint other views, which must not happen in the middle of our painting.
    if (!slideInEnded)
        return;
    slideInEnded = false;
    hideInstruction();
    emitCurrentItemChangedForInspection();
}

void CoverFlowBrowser::animateCoverTranslation(int frame)
{
    const int r = qRound(double(float(lastDragDelta)) * (100 - frame) / 100.0);
    if (r >= 1)
        setCurrentCoverIndex(selectedIndex + 1);
    else if (r <= -2 && selectedIndex - 1 >= 0)
        setCurrentCoverIndex(selectedIndex - 1);
    repaint();
}

// Selection and signals

void CoverFlowBrowser::setCurrentCoverIndex(int index)
{
    if (index == selectedIndex || index < 0 || index >= store->count())
        return;
    selectedIndex = index;
    emitCurrentItemChanged();
}

void CoverFlowBrowser::emitCurrentItemChanged()
{
    if (!hasValidSelection())
        return;
    const QString name = store->fileName(selectedIndex);
    if (browsingMode == BrowsingMode::Images)
        emit currentItemChanged(selectedIndex, name, store->imageWidth(selectedIndex),
                                store->imageHeight(selectedIndex),
                                store->imageOrientation(selectedIndex));
    else if (browsingMode == BrowsingMode::RawMRI)
        emit currentRawMRIItemChanged(selectedIndex, name);
    else
        emit currentCXItemChanged(selectedIndex, name);
}

void CoverFlowBrowser::emitCurrentItemChangedForInspection()
{
    if (!hasValidSelection())
        return;
    const QString name = store->fileName(selectedIndex);
    if (browsingMode == BrowsingMode::Images)
        emit imageForInspectionChanged(selectedIndex, name);
    else if (browsingMode == BrowsingMode::RawMRI)
        emit rawMRIFileForInspectionChanged(selectedIndex, name);
    else
        emit CXFileForInspectionChanged(selectedIndex, name);
}

void CoverFlowBrowser::swipeStep(bool forward)
{
    if (store->isEmpty())
        return;
    stepSelection(forward);
}

void CoverFlowBrowser::stepSelection(bool forward)
{
    const int count = store->count();
    selectedIndex = forward ? (selectedIndex + 1 >= count ? 0 : selectedIndex + 1)
                            : (selectedIndex - 1 < 0 ? count - 1 : selectedIndex - 1);
    // Every change of the selection shows in the file properties, keys included.
    emitCurrentItemChanged();
    if (!animating)
        repaint();
    // The new cover slides in from the side it came from.
    selectedCoverPos = forward ? 100 : 0;
    animationIncreasing = !forward;
    setAnimation(true);
    hideInstruction();
}

// Input

void CoverFlowBrowser::keyPressEvent(QKeyEvent *event)
{
    if (store->isEmpty()) {
        QOpenGLWidget::keyPressEvent(event);
        return;
    }
    const int key = event->key();
    bool handled = false;
    if (key == Qt::Key_Right || key == Qt::Key_PageDown || key == Qt::Key_Plus) {
        stepSelection(true);
        emitCurrentItemChangedForInspection();
        handled = true;
    }
    if (key == Qt::Key_Left || key == Qt::Key_PageUp || key == Qt::Key_Minus) {
        stepSelection(false);
        emitCurrentItemChangedForInspection();
        handled = true;
    }
    if (key == Qt::Key_I) {
        reShowInstructions();
        handled = true;
    }
    if (key == Qt::Key_N) {
        showFileNameForSelectedItem = !showFileNameForSelectedItem;
        repaint();
        handled = true;
    }
    if (key == Qt::Key_F) {
        drawCoverFrames = !drawCoverFrames;
        update();
        handled = true;
    }
    if (key == Qt::Key_Return) {
        emitCurrentItemChangedForInspection();
        handled = true;
    }
    if (!handled)
        QOpenGLWidget::keyPressEvent(event);
}

int CoverFlowBrowser::hitTestCoverIndex(int x) const
{
    if (!hasValidSelection())
        return -1;
    const int dx = x - width() / 2;
    const float s = stripScale();
    const float off = float(store->image(selectedIndex).width() / 2) * -0.65f;
    if (dx < 1)
        return selectedIndex - int((-dx / s + off) / posDiffBetweenCovers);
    return selectedIndex + int((dx / s + off) / posDiffBetweenCovers);
}

void CoverFlowBrowser::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (fullScreen && pos.x() > width() - fullScreenIconArea && pos.y() < fullScreenIconArea) {
        fullScreenIconPressed = true;
        emit fullScreenRequested();
        return;
    }
    pressPos = pos;
    if (!hasValidSelection())
        return;
    if (event->button() == Qt::LeftButton) {
        doubleClicked = false;
        dragged = false;
    } else if (event->button() == Qt::RightButton) {
        const int index = hitTestCoverIndex(pos.x());
        if (index >= 0) {
            setCurrentCoverIndex(index);
            repaint();
        }
    }
}

void CoverFlowBrowser::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton) {
        const QPoint pos = event->position().toPoint();
        const int dx = pos.x() - pressPos.x();
        bool stepped = false;
        if (dx >= dragThreshold) {
            setCurrentCoverIndex(selectedIndex + 1);
            pressPos = pos;
            stepped = true;
        } else if (dx < -dragThreshold) {
            if (selectedIndex - 1 >= 0) {
                setCurrentCoverIndex(selectedIndex - 1);
                pressPos = pos;
            }
            stepped = true;
        }
        if (stepped) {
            dragged = true;
            lastDragDelta = dx;
            if (!dragTimingStarted) {
                dragTime.restart();
                dragTimingStarted = true;
            }
        }
    }
    repaint();
}

void CoverFlowBrowser::mouseReleaseEvent(QMouseEvent *event)
{
    dragTimingStarted = false;
    // The release of a click on the full-screen icon is no click on a cover.
    if (fullScreenIconPressed) {
        fullScreenIconPressed = false;
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    if (dragTime.elapsed() < flickMaxDragMs) {
        if (flickTimeLine->state() != QTimeLine::Running)
            flickTimeLine->start();
        return;
    }
    if (doubleClicked)
        return;
    if (!dragged) {
        const int index = hitTestCoverIndex(event->position().toPoint().x());
        // Clicks beside the row, past either end, choose nothing.
        if (index < 0 || index >= store->count())
            return;
        if (index == selectedIndex) {
            emitCurrentItemChangedForInspection();
            return;
        }
        setCurrentCoverIndex(index);
        repaint();
    }
    hideInstruction();
    emitCurrentItemChangedForInspection();
}

void CoverFlowBrowser::mouseDoubleClickEvent(QMouseEvent *)
{
    emitCurrentItemChangedForInspection();
    doubleClicked = true;
}

void CoverFlowBrowser::resizeEvent(QResizeEvent *event)
{
    formatInstructions(width(), height());
    dragThreshold = height() / 30 + 10;
    QOpenGLWidget::resizeEvent(event);
}

bool CoverFlowBrowser::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd: {
        const auto &touch = *static_cast<QTouchEvent *>(event);
        const int kind = touchInputKind(touch);
        emit inputKindChanged(kind);
        setInputKind(kind);
        multiTouchActive = multiTouchAfter(touch, multiTouchActive);
        break;
    }
    case QEvent::Gesture:
        return gestureEvent(static_cast<QGestureEvent *>(event));
    default:
        break;
    }
    return QOpenGLWidget::event(event);
}

bool CoverFlowBrowser::gestureEvent(QGestureEvent *event)
{
    if (multiTouchActive != 1)
        return true;
    if (auto *pinch = static_cast<QPinchGesture *>(event->gesture(Qt::PinchGesture))) {
        if (pinch->changeFlags() & QPinchGesture::ScaleFactorChanged) {
            emit stripResizeRequested(
                qRound((pinch->scaleFactor() - pinch->lastScaleFactor()) * 150));
        }
        update();
    } else if (auto *swipe = static_cast<QSwipeGesture *>(event->gesture(Qt::SwipeGesture))) {
        if (!store->isEmpty() && swipe->state() == Qt::GestureFinished) {
            if (swipe->horizontalDirection() == QSwipeGesture::Right ||
                swipe->horizontalDirection() == QSwipeGesture::Left)
                swipeStep(swipe->horizontalDirection() == QSwipeGesture::Right);
            else if (swipe->verticalDirection() == QSwipeGesture::Up)
                emit stripCollapseRequested();
        }
        update();
    } else if (QGesture *pan = event->gesture(Qt::PanGesture)) {
        const bool panning =
            pan->state() == Qt::GestureStarted || pan->state() == Qt::GestureUpdated;
        setCursor(panning ? Qt::SizeAllCursor : Qt::ArrowCursor);
        update();
    }
    return true;
}
