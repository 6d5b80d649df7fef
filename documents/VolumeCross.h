#ifndef VOLUMECROSS_H
#define VOLUMECROSS_H

#include <QObject>

#include <array>

class VolumeDocument;

// Where the red cross stands in the volume shown, in voxels of its grid: the
// one place the volume view moves it and the panels and figures read it.
class VolumeCross : public QObject
{
    Q_OBJECT

public:
    using Voxel = std::array<int, 3>;

    explicit VolumeCross(QObject *parent = nullptr);

    // A new volume: the cross where the volume says it starts. None: no volume.
    void reset(const VolumeDocument *volume);
    bool hasVolume() const { return dims[0] > 0; }
    Voxel position() const { return at; }
    Voxel dimensions() const { return dims; }
    bool contains(const Voxel &voxel) const;

    // Moves to a voxel of the volume; false, unmoved, for one outside it.
    bool moveTo(const Voxel &voxel);
    // One step along an axis; false, unmoved, at the volume's edge.
    bool step(int axis, int step);
    // Steps along each axis, wrapping from one face of the volume to the other.
    void travel(const Voxel &steps);

signals:
    void moved(int x, int y, int z);

private:
    void set(const Voxel &voxel);

    Voxel dims = {0, 0, 0};
    Voxel at = {0, 0, 0};
};

#endif
