#ifndef INSTRUCTIONBAND_H
#define INSTRUCTIONBAND_H

#include <QImage>

class QFont;
class QString;

// The instruction overlay of the strip and the views: the text in white,
// centred and word-wrapped, on a band of grey 30 at alpha 200 as wide as the
// widget and as high as the text (laid out in an eighth of the widget's height)
// plus a margin above and below.
QImage renderInstructionBand(const QString &text, const QFont &font, int width, int height);

#endif
