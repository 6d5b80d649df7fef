#ifndef ATLAS_H
#define ATLAS_H

#include "AffineTransform.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// A label image that names brain regions: a NIfTI image of whole-number labels
// with, beside it, its names (name.nii.txt for name.nii or name.nii.gz, lines
// "index name") and optionally its colours (name.nii.lut: 256 reds, 256
// greens, 256 blues). Regions are looked up by world position, nearest voxel.
class Atlas
{
public:
    using Colour = std::array<unsigned char, 3>;

    // The name of the label text and of the colour table beside an image.
    static QString labelTextName(const QString &imageFileName);
    static QString colourTableName(const QString &imageFileName);

    // Reads the image, its names and, when there is one, its colour table;
    // false with the reason when any of them is broken, and the atlas is then empty.
    bool read(const QString &imageFileName);
    QString failureReason() const { return reason; }
    bool isEmpty() const { return labels.empty(); }
    QString fileName() const { return imageName; }

    std::array<int, 3> dims() const { return size; }
    const AffineTransform &voxelToWorld() const { return toWorld; }

    // The label of the voxel nearest to a world position: 0 for background,
    // -1 outside the image.
    int labelAt(const AffineTransform::Point &world) const;
    // The region's name; empty for a label the text does not name.
    QString labelName(int label) const { return names.value(label); }
    // The name of the region at a world position; empty outside the image.
    QString nameAt(const AffineTransform::Point &world) const;
    const QMap<int, QString> &labelNames() const { return names; }
    bool hasColours() const { return !colours.empty(); }
    // The colour of labels 0 to 255 from the colour table.
    std::optional<Colour> colour(int label) const;

    // Labels lie between 0 and this, so that a float holds each exactly.
    static const int maxLabel = 1 << 24;
    static const qint64 maxLabelTextBytes = 4 * 1024 * 1024;
    static const qint64 colourTableBytes = 768;
    // Lines "index name": blank lines and lines that begin with # are passed
    // over; the name is the rest of the line with its white space made single
    // spaces and control characters escaped, less a whole number after it
    // when every name has one and the names stay distinct without it (a code
    // of the region's). False with the reason otherwise.
    static bool parseLabelNames(const QByteArray &text, QMap<int, QString> &names, QString &why);
    static bool parseColourTable(const QByteArray &bytes, std::vector<Colour> &colours,
                                 QString &why);

private:
    bool fail(const QString &why);

    QString imageName;
    QString reason;
    std::array<int, 3> size = {0, 0, 0};
    AffineTransform toWorld;
    AffineTransform toVoxel;
    std::vector<qint32> labels;
    QMap<int, QString> names;
    std::vector<Colour> colours;
};

#endif
