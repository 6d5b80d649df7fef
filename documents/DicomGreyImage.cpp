#include "DicomGreyImage.h"

#include "DICOMDoc.h"
#include "VoxelColours.h"

#include <algorithm>

QImage dicomGreyImage(const DICOMDoc &doc)
{
    if (!doc.pixelData || doc.nrOfColumns <= 0 || doc.nrOfRows <= 0)
        return {};
    QImage image(doc.nrOfColumns, doc.nrOfRows, QImage::Format_RGB32);
    if (image.isNull())
        return {};

    static const VoxelColours colours;
    QRgb grey[VoxelColours::greyEntries];
    for (int i = 0; i < VoxelColours::greyEntries; ++i) {
        const unsigned char *c = colours.grey(i);
        grey[i] = qRgb(c[0], c[1], c[2]);
    }

    // In single precision, as the statistics are.
    const int mean = int(doc.meanIntensity);
    const int spread = int(2.5f * doc.stdDevIntensity);
    const int lo = mean - spread;
    int hi = mean + spread;
    if (hi - lo < 50)
        hi += 100;
    const float span = float(hi - lo);
    const float top = float(VoxelColours::greyEntries - 1);

    const auto *in = reinterpret_cast<const quint16 *>(doc.pixelData.get());
    for (int y = 0; y < doc.nrOfRows; ++y) {
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < doc.nrOfColumns; ++x) {
            const float v = std::max(std::min(float(int(*in++) - lo) / span * top, top), 0.0f);
            out[x] = grey[int(v)];
        }
    }
    return image;
}
