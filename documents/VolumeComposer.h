#ifndef VOLUMECOMPOSER_H
#define VOLUMECOMPOSER_H

#include "SliceMosaic.h"
#include "VolumeMapColouring.h"

#include <QImage>

#include <array>

class VolumeDocument;

// The picture of the volume view: the slice mosaic at the cross with the map
// shown coloured in, and on top what the view asks for. One composer per
// thread: it keeps its buffers between compositions. It only reads the
// volume, so several threads may compose one volume at once.
class VolumeComposer
{
public:
    struct Overlays
    {
        bool borders = true;
        bool labels = true;
        bool cross = false;
    };
    // What the volume view offers as its cover: the slices with their borders,
    // without the labels and the cross it draws on screen.
    static Overlays coverOverlays() { return {true, false, false}; }

    // A null image when the volume cannot be composed (no voxels, too large).
    QImage compose(const VolumeDocument &volume, const std::array<int, 3> &cross,
                   const Overlays &overlays);

private:
    SliceMosaic mosaic;
    VolumeMapColouring mapColouring;
};

#endif
