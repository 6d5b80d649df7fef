#include "VoxelColours.h"

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
    for (int k = 0; k < 10; ++k) {
        colourTable[k][0] = 255;
        colourTable[k][1] = (unsigned char)(75 + 20 * k);
        colourTable[k][2] = 0;
        colourTable[10 + k][0] = 0;
        colourTable[10 + k][1] = (unsigned char)(75 + 20 * k);
        colourTable[10 + k][2] = (unsigned char)(255 - 20 * k);
    }
    for (int v = 0; v < 256; ++v) {
        const unsigned char *c = v <= 9     ? nullptr
                                 : v <= 225 ? greyTable[v - 10]
                                 : v <= 245 ? colourTable[v - 226]
                                            : nullptr;
        voxelTable[v] = c ? qRgb(c[0], c[1], c[2]) : v <= 9 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    }
}
