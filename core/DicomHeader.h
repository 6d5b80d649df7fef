#ifndef DICOMHEADER_H
#define DICOMHEADER_H

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

// The data elements of a DICOM data set that are short enough to be header
// fields, with the items of the few sequences that hold image geometry
// (functional groups, plane position and orientation, pixel measures and
// value transformations). Values are the raw bytes in the file's byte order.
class DicomDataSet
{
public:
    static constexpr quint32 tag(quint16 group, quint16 element)
    {
        return quint32(group) << 16 | element;
    }

    bool has(quint32 tag) const { return values.contains(tag); }
    QByteArray value(quint32 tag) const { return values.value(tag); }
    // A text value without its padding (spaces and zero bytes at both ends).
    QByteArray text(quint32 tag) const;
    // The numbers of a decimal or integer string (DS, IS), split at backslashes;
    // empty when one of them is not a number.
    std::vector<double> decimals(quint32 tag) const;
    // The first number of a DS or IS value, or fallback.
    double decimal(quint32 tag, double fallback) const;
    // A US value, or fallback when absent or not two bytes long.
    int unsignedShort(quint32 tag, int fallback) const;
    // The items of a kept sequence; null when the data set has none.
    const std::vector<DicomDataSet> *items(quint32 tag) const;
    // The data set of item index of the sequence, or null.
    const DicomDataSet *item(quint32 tag, qsizetype index = 0) const;

    bool bigEndian = false;

private:
    friend class DicomHeader;
    QHash<quint32, QByteArray> values;
    QHash<quint32, std::vector<DicomDataSet>> sequences;
};

// A light reader of a DICOM file's header: the preamble and meta group when
// there are, the data set in its transfer syntax (deflated ones inflated) up to
// the pixel data, and where the pixel data lies: one range of bytes, or the
// fragments of an encapsulated (compressed) stream. It reads no value it does
// not keep, refuses a length that runs past the bytes it was given, and
// inflates a deflated data set only as far as its header and image need.
class DicomHeader
{
public:
    enum Status {
        Complete,
        // The bytes given end inside the header: give more of the file.
        NeedMore,
        Failed
    };
    struct Range
    {
        qint64 offset = 0;
        qint64 length = 0;
    };

    DicomHeader();
    ~DicomHeader();
    DicomHeader(const DicomHeader &) = delete;
    DicomHeader &operator=(const DicomHeader &) = delete;

    // Parses the bytes, the whole file when complete, else its first part (the
    // header is then all that is wanted: NeedMore when it ends first). The bytes
    // must outlive the header. A deflated data set is inflated up to at most
    // inflateLimit bytes past the header's end.
    Status parse(const QByteArray &bytes, bool complete, qint64 inflateLimit = 0);
    // Why parse() failed, in a few words.
    QString failureReason() const { return reason; }

    const DicomDataSet &dataSet() const { return top; }
    QByteArray transferSyntax() const { return syntax; }
    bool isExplicitVR() const { return explicitVR; }
    bool isBigEndian() const { return bigEndian; }
    bool isDeflated() const { return deflated; }

    bool hasPixelData() const { return pixelFound; }
    // Encapsulated pixel data: fragments, the first one being the basic offset table.
    bool isEncapsulated() const { return encapsulated; }
    // Native pixel data: its bytes; length may run past the data (a truncated
    // file), which the caller weighs.
    Range pixelRange() const { return pixels; }
    const std::vector<Range> &fragments() const { return pieces; }
    // The bytes the ranges point into: those given, or the inflated data set.
    const char *data() const;
    qint64 dataSize() const;
    // False when a deflated data set was inflated only up to the limit.
    bool isWholeDataSet() const { return inflatedAll; }

private:
    struct Cursor;
    Status parseDataSet(Cursor &c, qint64 end, DicomDataSet &set, int depth, bool undefined);
    Status parseSequence(Cursor &c, qint64 end, std::vector<DicomDataSet> *items, int depth,
                         bool undefined);
    Status parseFragments(Cursor &c);
    Status fail(const QString &why);

    const QByteArray *given = nullptr;
    QByteArray inflated;
    bool inflatedAll = true;
    bool complete = false;
    DicomDataSet top;
    QByteArray syntax;
    bool explicitVR = true;
    bool bigEndian = false;
    bool deflated = false;
    bool pixelFound = false;
    bool encapsulated = false;
    Range pixels;
    std::vector<Range> pieces;
    QString reason;
};

namespace Dicom {

// Tags the viewer reads.
enum : quint32 {
    TransferSyntaxUid = DicomDataSet::tag(0x0002, 0x0010),
    SpecificCharacterSet = DicomDataSet::tag(0x0008, 0x0005),
    SeriesDescription = DicomDataSet::tag(0x0008, 0x103E),
    SliceThickness = DicomDataSet::tag(0x0018, 0x0050),
    GantryTilt = DicomDataSet::tag(0x0018, 0x1120),
    SeriesInstanceUid = DicomDataSet::tag(0x0020, 0x000E),
    SeriesNumber = DicomDataSet::tag(0x0020, 0x0011),
    InstanceNumber = DicomDataSet::tag(0x0020, 0x0013),
    ImagePosition = DicomDataSet::tag(0x0020, 0x0032),
    ImageOrientation = DicomDataSet::tag(0x0020, 0x0037),
    SamplesPerPixel = DicomDataSet::tag(0x0028, 0x0002),
    Photometric = DicomDataSet::tag(0x0028, 0x0004),
    PlanarConfiguration = DicomDataSet::tag(0x0028, 0x0006),
    NumberOfFrames = DicomDataSet::tag(0x0028, 0x0008),
    Rows = DicomDataSet::tag(0x0028, 0x0010),
    Columns = DicomDataSet::tag(0x0028, 0x0011),
    PixelSpacing = DicomDataSet::tag(0x0028, 0x0030),
    BitsAllocated = DicomDataSet::tag(0x0028, 0x0100),
    BitsStored = DicomDataSet::tag(0x0028, 0x0101),
    HighBit = DicomDataSet::tag(0x0028, 0x0102),
    PixelRepresentation = DicomDataSet::tag(0x0028, 0x0103),
    RescaleIntercept = DicomDataSet::tag(0x0028, 0x1052),
    RescaleSlope = DicomDataSet::tag(0x0028, 0x1053),
    PixelData = DicomDataSet::tag(0x7FE0, 0x0010),
    // Sequences of multi-frame images.
    SharedGroups = DicomDataSet::tag(0x5200, 0x9229),
    PerFrameGroups = DicomDataSet::tag(0x5200, 0x9230),
    PlanePositionSequence = DicomDataSet::tag(0x0020, 0x9113),
    PlaneOrientationSequence = DicomDataSet::tag(0x0020, 0x9116),
    PixelMeasuresSequence = DicomDataSet::tag(0x0028, 0x9110),
    ValueTransformationSequence = DicomDataSet::tag(0x0028, 0x9145),
};

// Whether the name leads to a regular file whose bytes 128 to 131 are "DICM",
// as a DICOM file without a name ending has. Reads those 132 bytes only.
bool isDicomByContent(const QString &fileName);

// The value of a multi-frame attribute for one frame: from the frame's item
// of the per-frame functional groups, else from the shared ones, else from
// the data set itself. sequence is the functional group's sequence (such as
// PlanePositionSequence), tag the attribute inside its item.
const DicomDataSet *frameGroup(const DicomDataSet &set, qsizetype frame, quint32 sequence,
                               quint32 tag);

} // namespace Dicom

#endif
