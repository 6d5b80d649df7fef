#include "VolumeComposer.h"

#include "Documents.h"
#include "MosaicLayout.h"
#include "VolumeDoc.h"
#include "VolumeLegend.h"

QImage VolumeComposer::compose(const VolumeDocument &volume, const std::array<int, 3> &cross,
                               const Overlays &overlays)
{
    const VolumeDoc &doc = volume.volume();
    QImage image = mosaic.compose(
        doc, cross[0], cross[1], cross[2],
        mapColouring.mapColouring(doc, volume.display(), cross[0], cross[1], cross[2]));
    if (overlays.legend)
        VolumeLegend(volume, cross).drawInMosaic(image);
    if (overlays.borders)
        SliceMosaic::drawBorders(image);
    if (overlays.labels)
        SliceMosaic::drawLabels(image, doc.leftRightConvention);
    if (overlays.cross)
        SliceMosaic::drawCross(image, MosaicLayout(doc.dimX, doc.dimY, doc.dimZ), cross[0],
                               cross[1], cross[2]);
    return image;
}
