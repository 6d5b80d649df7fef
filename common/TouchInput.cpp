#include "TouchInput.h"

#include <QTouchEvent>

int touchInputKind(const QTouchEvent &event)
{
    const bool touchPad =
        event.device() && event.device()->type() == QInputDevice::DeviceType::TouchPad;
    return touchPad ? 2 : 1;
}

int multiTouchAfter(const QTouchEvent &event, int multiTouchActive)
{
    const qsizetype points = event.points().size();
    if (touchInputKind(event) == 1)
        return points == 2 ? 1 : 0;
    return points > 1 ? 1 : multiTouchActive;
}
