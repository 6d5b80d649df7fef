#ifndef VOLUMEMAP_H
#define VOLUMEMAP_H

#include "StatisticalMap.h"

#include <QList>

#include <memory>

// One map of a current-format VMP file, at the set's grid resolution.
class VolumeMap : public StatisticalMap
{
public:
    VolumeMap();

    // Cell (i, j, k) of the set's grid at i + j·dx + k·dx·dy.
    std::unique_ptr<float[]> mapData;
    int mapTrailerValue = -1;
    QList<float> pointTriples;
    QList<float> timeCourse;
    QList<float> componentValues;

private:
    Q_DISABLE_COPY(VolumeMap)
};

#endif
