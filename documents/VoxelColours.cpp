#include "VoxelColours.h"

#include "StatisticalMap.h"

#include <algorithm>
#include <cmath>

VoxelColours::VoxelColours()
{
    // A ramp through the identity at 45 degrees, in single precision as the
    // tables have always been made.
    const float slope = std::tan(45.0f * float(M_PI) / 180.0f);
    for (int i = 0; i < greyEntries; ++i) {
        const float g = slope * (float(i) / 215.0f * 255.0f - 128.0f) + 128.0f;
        const auto value = (unsigned char)std::clamp(g, 0.0f, 255.0f);
        std::fill_n(greyTable[i], 3, value);
    }
    for (int i = 0; i < colourEntries; ++i) {
        const StatisticalMap::Color &c = StatisticalMap::scaleColor(i);
        std::copy(c.begin(), c.end(), colourTable[i]);
    }
    for (int v = 0; v < 256; ++v) {
        const unsigned char *c = v <= 9     ? nullptr
                                 : v <= 225 ? greyTable[v - 10]
                                 : v <= 245 ? colourTable[v - 226]
                                            : nullptr;
        voxelTable[v] = c ? qRgb(c[0], c[1], c[2]) : v <= 9 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    }
}
