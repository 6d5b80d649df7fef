#ifndef CLUSTERTABLE_H
#define CLUSTERTABLE_H

#include "AffineTransform.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QString>

#include <array>
#include <atomic>
#include <functional>
#include <limits>
#include <vector>

// A map's values on its own grid, dims[0] · dims[1] · dims[2] of them: i
// fastest, then j, then k.
struct ClusterGrid
{
    const float *values = nullptr;
    std::array<int, 3> dims = {0, 0, 0};
    AffineTransform voxelToWorld;
    // Whether the world of voxelToWorld is Talairach space; only named in the output.
    bool talairach = false;
};

// Which voxels a map shows, as the volume view colours them and its cluster
// filter counts them, and which clusters are listed.
struct ClusterCriteria
{
    float threshold = 0.0f;
    // 1 positive values, 2 negative values, 3 both; 0 lists nothing.
    int signSelection = 3;
    // A lag map holds the lag in the whole part of each value: while positive
    // values are shown only the fraction is compared and reported.
    bool lagMap = false;
    // A cluster is listed when it has at least minVoxels voxels and at least
    // minVolumeMm3 cubic millimetres.
    qint64 minVoxels = 0;
    double minVolumeMm3 = 0.0;
    // Magnitudes above this are not shown (a map with an upper threshold).
    float upperThreshold = std::numeric_limits<float>::infinity();
    // Lag maps, while positive values are shown: the lags shown.
    float lowestLag = -std::numeric_limits<float>::infinity();
    float highestLag = std::numeric_limits<float>::infinity();
    // A lag map coloured by its lags shows no negative values.
    bool colouredByLag = false;

    // The value compared with the threshold.
    float compared(float value) const;
    // +1 when the value joins positive clusters, -1 negative ones, 0 none:
    // positive values at or above the threshold, negative ones strictly
    // beyond minus the threshold (so at threshold 0 a 0 is positive and every
    // value below it negative), in magnitude at most the upper threshold.
    int signOf(float value) const;
};

// A map's values on its own grid, held, so that a table can be computed from
// them on any thread while the map shown changes.
struct MapGrid
{
    std::vector<float> values;
    std::array<int, 3> dims = {0, 0, 0};
    AffineTransform voxelToWorld;
    bool talairach = false;
    // Whether voxelToWorld leads into a world an atlas can name: not for maps
    // of a volume with no world but its framing cube's millimetres.
    bool inWorld = true;

    ClusterGrid grid() const { return {values.data(), dims, voxelToWorld, talairach}; }
    // The value of the voxel nearest to a world position; false outside the grid.
    bool valueAt(const AffineTransform::Point &world, float &value) const;
    // The voxel nearest to a world position; false outside the grid.
    bool voxelAt(const AffineTransform::Point &world, std::array<int, 3> &voxel) const;
};

// One cluster of voxels beyond the threshold, connected through faces, of one sign.
struct Cluster
{
    int sign = 1; // +1 or -1
    qint64 voxels = 0;
    double volumeMm3 = 0.0;
    // The value of largest magnitude (the compared fraction for a lag map),
    // the first in storage order among equals.
    float peakValue = 0.0f;
    std::array<int, 3> peakVoxel = {0, 0, 0};
    AffineTransform::Point peakWorld = {0, 0, 0};
    // Centre of the voxels weighted by the magnitude of their values
    // (unweighted when all are 0), in world coordinates.
    AffineTransform::Point centreOfGravity = {0, 0, 0};
    // The atlas region of the peak; empty without an atlas or outside its regions.
    QString peakLabel;
};

// The clusters of a map at a threshold, sign choice and minimum size: the
// largest first, then by peak magnitude. Computing needs no shared state, so
// tables can be computed on any thread, each in its own object.
class ClusterTable
{
public:
    // Finds the clusters in time and memory proportional to the grid (a byte
    // per voxel, and at most four more per voxel of the largest cluster).
    // False with a reason when the grid cannot be read or when cancel became
    // true; the table is then empty.
    bool compute(const ClusterGrid &grid, const ClusterCriteria &criteria,
                 const std::atomic<bool> *cancel = nullptr);
    QString failureReason() const { return reason; }

    const std::vector<Cluster> &clusters() const { return rows; }
    bool isTalairach() const { return talairach; }
    ClusterCriteria criteria() const { return used; }

    // Names each peak by its world position, as an atlas does.
    void labelPeaks(const std::function<QString(const AffineTransform::Point &)> &nameAt);

    // A header row and one row per cluster, tab-separated, with "." as decimal
    // point: values with the digits that give the same float back, millimetres
    // to the micrometre.
    QByteArray toTsv() const;
    // The criteria, the space and the clusters.
    QJsonDocument toJson() const;
    // Reads what toTsv() wrote: at most maxTsvBytes; false with a reason otherwise.
    bool readTsv(const QByteArray &tsv);
    static const qsizetype maxTsvBytes = 16 * 1024 * 1024;

private:
    bool fail(const QString &why);

    std::vector<Cluster> rows;
    ClusterCriteria used;
    bool talairach = false;
    QString reason;
};

#endif
