#ifndef TOUCHINPUT_H
#define TOUCHINPUT_H

class QTouchEvent;

// What a touch event says of the input, the same for the strip and the views.

// The input kind of the device touched: 2 for a touch pad, 1 for a touch screen.
int touchInputKind(const QTouchEvent &event);

// Whether gestures may act (1) or not (0) after the event, given the value
// before it: on a touch screen while exactly two fingers touch; on a touch pad
// from the first time several fingers touch on.
int multiTouchAfter(const QTouchEvent &event, int multiTouchActive);

#endif
