#ifndef CONTACTSHEET_H
#define CONTACTSHEET_H

#include "FolderCovers.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>

// A folder's covers in a grid, in the strip's order from left to right and
// top to bottom, each at its own 256 x 256 pixels on black with its file's
// name under it; a file without a cover shows the strip's placeholder.
class ContactSheet
{
public:
    static constexpr int coverSide = 256;
    static constexpr int gap = 8;
    static constexpr int labelHeight = 24;

    // A sheet is at most this many pixels on a side, a few hundred covers:
    // the covers and the sheet are held in memory while it is drawn.
    static constexpr int maxSide = 8192;

    // The columns asked for, at most one per cover; as many columns as rows,
    // or one row more, when asked is 0.
    static int columnsFor(int count, int asked);
    static QSize sheetSize(int count, int columns);
    static QImage draw(const QList<FolderCovers::Cover> &covers, int columns);
    // Where cover i lies, and its name.
    static QRect coverRect(int i, int columns);
    static QRect labelRect(int i, int columns);
};

#endif
