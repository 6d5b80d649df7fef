#ifndef BROWSINGMODE_H
#define BROWSINGMODE_H

// What the strip lists: pictures, DICOM files, or the suite's volumes and meshes
// (whose maps are offered beside them). The numbers are those of the favorites
// file and of the thumbnail file names.
enum class BrowsingMode { Images = 1, RawMRI = 2, CXData = 3 };

// The number a mode is stored as.
constexpr int browsingModeNumber(BrowsingMode mode)
{
    return static_cast<int>(mode);
}

// The mode of a stored number; a number that is no mode stands for CX data.
constexpr BrowsingMode browsingModeOfNumber(int number)
{
    return number == 1   ? BrowsingMode::Images
           : number == 2 ? BrowsingMode::RawMRI
                         : BrowsingMode::CXData;
}

#endif
