#include "NiftiImage.h"

#include "LocalFiles.h"

#include <nifti2_io.h>
#include <zlib.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <unistd.h>

namespace {

// Voxels of one volume, and values of all volumes read, at most: the values
// are kept as floats, 2^26 of them 256 MiB, which with the grid they are
// shown in keeps the viewer well under 600 MB whatever a header claims.
const qint64 maxVolumeVoxels = qint64(1) << 26;
const qint64 maxValuesRead = qint64(1) << 26;
// Values converted at a time, so that the stored values are never held whole.
const qint64 chunkValues = qint64(1) << 20;
// Deflate cannot shrink data by more than this, so a compressed file of n bytes
// holds at most this many times n.
const qint64 maxDeflateRatio = 1032;

struct RawHeader
{
    int version = 0; // 1 or 2
    int size = 0;    // 348 or 540
    bool swapped = false;
    qint64 dim[8] = {};
    int datatype = 0;
    int bitpix = 0;
    double pixdim[8] = {};
    double voxOffset = 0;
    double srow[3][4] = {};
    QByteArray magic;
};

template <typename T> T field(const QByteArray &bytes, int offset, bool swapped)
{
    char raw[sizeof(T)];
    std::memcpy(raw, bytes.constData() + offset, sizeof(T));
    if (swapped)
        std::reverse(raw, raw + sizeof(T));
    T value;
    std::memcpy(&value, raw, sizeof(T));
    return value;
}

// The first bytes of a file, through zlib, which reads uncompressed files as
// they are; empty, with why, when the file cannot be opened.
QByteArray headerBytes(const QString &fileName, QString &why)
{
    const int fd = LocalFiles::openRegular(fileName, &why);
    if (fd < 0)
        return {};
    gzFile file = gzdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return {};
    }
    QByteArray bytes(540, '\0');
    const int read = gzread(file, bytes.data(), unsigned(bytes.size()));
    gzclose(file);
    bytes.resize(qMax(read, 0));
    return bytes;
}

bool parseHeader(const QByteArray &bytes, RawHeader &h)
{
    if (bytes.size() < 348)
        return false;
    for (bool swapped : {false, true}) {
        const qint32 size = field<qint32>(bytes, 0, swapped);
        if (size == 348 || (size == 540 && bytes.size() >= 540)) {
            h.size = size;
            h.version = size == 348 ? 1 : 2;
            h.swapped = swapped;
            break;
        }
    }
    const bool s = h.swapped;
    if (h.version == 1) {
        for (int i = 0; i < 8; ++i) {
            h.dim[i] = field<qint16>(bytes, 40 + 2 * i, s);
            h.pixdim[i] = field<float>(bytes, 76 + 4 * i, s);
        }
        h.datatype = field<qint16>(bytes, 70, s);
        h.bitpix = field<qint16>(bytes, 72, s);
        h.voxOffset = field<float>(bytes, 108, s);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                h.srow[r][c] = field<float>(bytes, 280 + 16 * r + 4 * c, s);
        h.magic = bytes.mid(344, 4);
    } else if (h.version == 2) {
        for (int i = 0; i < 8; ++i) {
            h.dim[i] = field<qint64>(bytes, 16 + 8 * i, s);
            h.pixdim[i] = field<double>(bytes, 104 + 8 * i, s);
        }
        h.datatype = field<qint16>(bytes, 12, s);
        h.bitpix = field<qint16>(bytes, 14, s);
        h.voxOffset = double(field<qint64>(bytes, 168, s));
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                h.srow[r][c] = field<double>(bytes, 400 + 32 * r + 8 * c, s);
        h.magic = bytes.mid(4, 4);
    }
    return h.version != 0;
}

int bytesPerValue(int datatype)
{
    switch (datatype) {
    case DT_UINT8:
    case DT_INT8:
        return 1;
    case DT_INT16:
    case DT_UINT16:
        return 2;
    case DT_INT32:
    case DT_UINT32:
    case DT_FLOAT32:
        return 4;
    case DT_INT64:
    case DT_UINT64:
    case DT_FLOAT64:
        return 8;
    case DT_FLOAT128:
        return 16;
    default:
        return 0; // complex, colour and unknown types are no scalar images
    }
}

template <typename T>
void convert(const void *data, qint64 count, double slope, double inter, float *out)
{
    const T *in = static_cast<const T *>(data);
    for (qint64 n = 0; n < count; ++n)
        out[n] = float(double(in[n]) * slope + inter);
}

void convertValues(int datatype, const void *data, qint64 count, double slope, double inter,
                   float *out)
{
    switch (datatype) {
    case DT_UINT8:
        return convert<quint8>(data, count, slope, inter, out);
    case DT_INT8:
        return convert<qint8>(data, count, slope, inter, out);
    case DT_INT16:
        return convert<qint16>(data, count, slope, inter, out);
    case DT_UINT16:
        return convert<quint16>(data, count, slope, inter, out);
    case DT_INT32:
        return convert<qint32>(data, count, slope, inter, out);
    case DT_UINT32:
        return convert<quint32>(data, count, slope, inter, out);
    case DT_INT64:
        return convert<qint64>(data, count, slope, inter, out);
    case DT_UINT64:
        return convert<quint64>(data, count, slope, inter, out);
    case DT_FLOAT32:
        return convert<float>(data, count, slope, inter, out);
    case DT_FLOAT64:
        return convert<double>(data, count, slope, inter, out);
    case DT_FLOAT128:
        return convert<long double>(data, count, slope, inter, out);
    }
}

AffineTransform transformOf(const nifti_dmat44 &m)
{
    std::array<std::array<double, 4>, 3> rows;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            rows[r][c] = m.m[r][c];
    return AffineTransform::fromRows(rows);
}

template <typename T> QVariantList numbers(const T *values, int count)
{
    QVariantList list;
    for (int i = 0; i < count; ++i)
        list << values[i];
    return list;
}

QString text(const char *chars, int size)
{
    return QString::fromLatin1(chars, int(qstrnlen(chars, uint(size))));
}

struct ImageDeleter
{
    void operator()(nifti_image *image) const { nifti_image_free(image); }
};

// Texts the C library allocates, which it leaves to the caller to free.
struct TextDeleter
{
    void operator()(char *text) const { std::free(text); }
};

struct FileCloser
{
    void operator()(znzptr *file) const
    {
        znzFile f = file;
        znzclose(f);
    }
};

QString sizeOf(const qint64 *dims)
{
    return QString("%1 × %2 × %3").arg(dims[0]).arg(dims[1]).arg(dims[2]);
}

} // namespace

bool NiftiImage::isNiftiFileName(const QString &fileName)
{
    const QString name = fileName.toLower();
    return name.endsWith(".nii") || name.endsWith(".nii.gz") || name.endsWith(".hdr");
}

// The extension replaced, or one added to a name whose extension the library
// does not take.
QStringList NiftiImage::namesLookedFor(const QString &fileName)
{
    const char *const extensions[] = {".nii.gz", ".hdr.gz", ".img.gz", ".nii",
                                      ".hdr",    ".img",    ".nia"};
    QString stem = fileName;
    for (const char *extension : extensions)
        if (fileName.endsWith(extension, Qt::CaseInsensitive)) {
            stem.chop(qsizetype(strlen(extension)));
            break;
        }
    QStringList names;
    for (const QString &base : {stem, fileName})
        for (const char *extension : extensions)
            names << base + extension << base + QString(extension).toUpper();
    return names;
}

bool NiftiImage::fail(const QString &why)
{
    reason = why;
    values.clear();
    return false;
}

bool NiftiImage::read(const QString &fileName, bool allVolumes)
{
    return read(fileName, true, allVolumes);
}

bool NiftiImage::read(const QString &fileName, bool withValues, bool allVolumes)
{
    reason.clear();
    values.clear();
    fields.clear();
    RawHeader h;
    QString unopened;
    const QByteArray bytes = headerBytes(fileName, unopened);
    if (!unopened.isEmpty())
        return fail(unopened);
    if (!parseHeader(bytes, h))
        return fail("no NIfTI header (too short, or a header size other than 348 or 540)");

    if (h.dim[0] < 1 || h.dim[0] > 7)
        return fail(QString("dim[0] of %1 is not 1 to 7").arg(h.dim[0]));
    qint64 dimensions[8];
    qint64 volumeVoxels = 1;
    qint64 allVoxels = 1;
    for (int i = 1; i <= 7; ++i) {
        dimensions[i] = i <= h.dim[0] ? h.dim[i] : 1;
        if (dimensions[i] < 1)
            return fail(QString("dim[%1] of %2 is below 1").arg(i).arg(h.dim[i]));
        if (dimensions[i] > maxVolumeVoxels || allVoxels > maxVolumeVoxels * 64 / dimensions[i])
            return fail("the dimensions describe more voxels than can be read");
        allVoxels *= dimensions[i];
        if (i <= 3)
            volumeVoxels *= dimensions[i];
    }
    if (volumeVoxels > maxVolumeVoxels)
        return fail(QString("a volume of %1 voxels is larger than the viewer reads (%2 voxels, "
                            "512 × 512 × 256)")
                        .arg(sizeOf(dimensions + 1))
                        .arg(maxVolumeVoxels));
    const int nbyper = bytesPerValue(h.datatype);
    if (nbyper == 0)
        return fail(QString("datatype %1 is no supported scalar type").arg(h.datatype));
    for (int i = 1; i <= 3; ++i)
        if (i <= h.dim[0] && !(std::isfinite(h.pixdim[i]) && h.pixdim[i] > 0))
            return fail(QString("pixdim[%1] of %2 is no voxel size").arg(i).arg(h.pixdim[i]));

    // The image file, and whether the header says it follows in the same file.
    const bool singleFile = h.magic.startsWith("n+");
    const int niftiType = h.magic == QByteArray("n+1\0", 4)   ? NIFTI_FTYPE_NIFTI1_1
                          : h.magic == QByteArray("ni1\0", 4) ? NIFTI_FTYPE_NIFTI1_2
                          : h.magic == QByteArray("n+2\0", 4) ? NIFTI_FTYPE_NIFTI2_1
                          : h.magic == QByteArray("ni2\0", 4) ? NIFTI_FTYPE_NIFTI2_2
                                                              : NIFTI_FTYPE_ANALYZE;
    if (h.version == 2 && niftiType == NIFTI_FTYPE_ANALYZE)
        return fail("a 540-byte header without the NIfTI-2 magic");
    if (!std::isfinite(h.voxOffset) || h.voxOffset < (singleFile ? h.size : 0) ||
        h.voxOffset > double(INT_MAX))
        return fail(QString("vox_offset of %1 does not lie after the header").arg(h.voxOffset));

    // The library opens these by name, and a FIFO among them would hold it for good.
    for (const QString &beside : namesLookedFor(fileName))
        if (QFileInfo::exists(beside) && !LocalFiles::isRegular(beside))
            return fail(LocalFiles::displayName(beside) + " is not a regular file");

    nifti_set_debug_level(0);
    const QByteArray name = QFile::encodeName(fileName);
    const std::unique_ptr<char, TextDeleter> found(nifti_findimgname(name.constData(), niftiType));
    const QString imageName = found ? QFile::decodeName(found.get()) : QString();
    if (imageName.isEmpty())
        return fail("the image file of the header is missing");
    const qint64 stored = QFileInfo(imageName).size();
    const bool compressed = imageName.endsWith(".gz", Qt::CaseInsensitive);
    const qint64 room = compressed ? stored * maxDeflateRatio : stored;
    const qint64 needed = qint64(h.voxOffset) + allVoxels * nbyper;
    if (needed > room)
        return fail(
            QString("the file is too short for its dimensions (%1 bytes needed)").arg(needed));

    std::unique_ptr<nifti_image, ImageDeleter> image(nifti_image_read(name.constData(), 0));
    if (!image)
        return fail("the NIfTI library cannot read the header");
    for (int i = 1; i <= 7; ++i)
        if (image->dim[i] != dimensions[i] && !(i > image->dim[0] && image->dim[i] <= 1))
            return fail("the NIfTI library reads other dimensions");
    if (image->datatype != h.datatype || image->nbyper != nbyper)
        return fail("the NIfTI library reads another datatype");

    for (int axis = 0; axis < 3; ++axis) {
        dims[axis] = dimensions[axis + 1];
        pixdims[axis] = axis < h.dim[0] ? h.pixdim[axis + 1] : 1.0;
    }
    volumes = allVoxels / volumeVoxels;
    dataType = h.datatype;
    intent = image->intent_code;

    // The sform when its code says so, else the qform, else the voxel sizes
    // alone; a transform that cannot be inverted counts as none.
    AffineTransform inverse;
    const AffineTransform sform = transformOf(image->sto_xyz);
    const AffineTransform qform = transformOf(image->qto_xyz);
    if (image->sform_code > 0 && sform.inverted(inverse)) {
        toWorld = sform;
        orientationSource = SForm;
        xformCode = image->sform_code;
    } else if (image->qform_code > 0 && qform.inverted(inverse)) {
        toWorld = qform;
        orientationSource = QForm;
        xformCode = image->qform_code;
    } else {
        toWorld = AffineTransform::fromRows(
            {{{pixdims[0], 0, 0, 0}, {0, pixdims[1], 0, 0}, {0, 0, pixdims[2], 0}}});
        orientationSource = NoOrientation;
        xformCode = 0;
    }

    fields = {{"sizeof_hdr", h.size},
              {"magic", text(h.magic.constData(), h.magic.size())},
              {"dim", numbers(h.dim, 8)},
              {"pixdim", numbers(h.pixdim, 8)},
              {"datatype", h.datatype},
              {"bitpix", h.bitpix},
              {"vox_offset", h.voxOffset},
              {"intent_code", image->intent_code},
              {"intent_p1", image->intent_p1},
              {"intent_p2", image->intent_p2},
              {"intent_p3", image->intent_p3},
              {"intent_name", text(image->intent_name, sizeof image->intent_name)},
              {"scl_slope", image->scl_slope},
              {"scl_inter", image->scl_inter},
              {"cal_min", image->cal_min},
              {"cal_max", image->cal_max},
              {"xyzt_units", image->xyz_units | image->time_units},
              {"qform_code", image->qform_code},
              {"sform_code", image->sform_code},
              {"quatern_b", image->quatern_b},
              {"quatern_c", image->quatern_c},
              {"quatern_d", image->quatern_d},
              {"qoffset_x", image->qoffset_x},
              {"qoffset_y", image->qoffset_y},
              {"qoffset_z", image->qoffset_z},
              {"srow_x", numbers(h.srow[0], 4)},
              {"srow_y", numbers(h.srow[1], 4)},
              {"srow_z", numbers(h.srow[2], 4)},
              {"descrip", text(image->descrip, sizeof image->descrip)},
              {"aux_file", text(image->aux_file, sizeof image->aux_file)}};
    if (!withValues)
        return true;

    const qint64 count = allVolumes ? allVoxels : volumeVoxels;
    if (count > maxValuesRead)
        return fail(QString("%1 volumes of %2 voxels are more values than the viewer reads (%3)")
                        .arg(volumes)
                        .arg(sizeOf(dimensions + 1))
                        .arg(maxValuesRead));

    // The stored values pass through a buffer of chunkValues, converted as
    // they come; the library swaps their bytes and zeroes floats that are no
    // numbers, as its own loading does.
    std::unique_ptr<znzptr, FileCloser> file(
        znzopen(image->iname, "rb", nifti_is_gzfile(image->iname)));
    if (!file || znzseek(file.get(), image->iname_offset, SEEK_SET) < 0)
        return fail("the image data cannot be opened");
    // A slope of 0 means the values are stored unscaled.
    const bool scaled = std::isfinite(image->scl_slope) && image->scl_slope != 0;
    const double slope = scaled ? image->scl_slope : 1.0;
    const double inter = scaled && std::isfinite(image->scl_inter) ? image->scl_inter : 0.0;
    const int nrOfVolumesRead = int(count / volumeVoxels);
    try {
        std::vector<char> chunk(size_t(qMin(volumeVoxels, chunkValues) * nbyper));
        values.resize(size_t(nrOfVolumesRead));
        for (int v = 0; v < nrOfVolumesRead; ++v) {
            std::vector<float> &out = values[size_t(v)];
            out.resize(size_t(volumeVoxels));
            for (qint64 done = 0; done < volumeVoxels;) {
                const qint64 n = qMin(chunkValues, volumeVoxels - done);
                if (nifti_read_buffer(file.get(), chunk.data(), n * nbyper, image.get()) !=
                    n * nbyper)
                    return fail("the image data is cut short or unreadable");
                convertValues(dataType, chunk.data(), n, slope, inter, out.data() + done);
                done += n;
            }
        }
    } catch (const std::bad_alloc &) {
        return fail(QString("no memory for %1 values").arg(count));
    }
    return true;
}

QString NiftiImage::datatypeName() const
{
    switch (dataType) {
    case DT_UINT8:
        return "uint8";
    case DT_INT8:
        return "int8";
    case DT_INT16:
        return "int16";
    case DT_UINT16:
        return "uint16";
    case DT_INT32:
        return "int32";
    case DT_UINT32:
        return "uint32";
    case DT_INT64:
        return "int64";
    case DT_UINT64:
        return "uint64";
    case DT_FLOAT32:
        return "float32";
    case DT_FLOAT64:
        return "float64";
    case DT_FLOAT128:
        return "float128";
    }
    return QString::number(dataType);
}

bool NiftiImage::isFloatingPoint() const
{
    return dataType == DT_FLOAT32 || dataType == DT_FLOAT64 || dataType == DT_FLOAT128;
}

bool NiftiImage::hasStatisticIntent() const
{
    return intent >= NIFTI_FIRST_STATCODE && intent <= NIFTI_LAST_STATCODE;
}

QString NiftiImage::orientationName() const
{
    return orientationSource == SForm ? "sform" : orientationSource == QForm ? "qform" : "none";
}

const float *NiftiImage::volumeValues(int volume) const
{
    return volume >= 0 && volume < int(values.size()) ? values[size_t(volume)].data() : nullptr;
}

float NiftiImage::valueAt(qint64 i, qint64 j, qint64 k, int volume) const
{
    const float *v = volumeValues(volume);
    if (!v || i < 0 || j < 0 || k < 0 || i >= dims[0] || j >= dims[1] || k >= dims[2])
        return 0.0f;
    return v[i + j * dims[0] + k * dims[0] * dims[1]];
}

bool NiftiImage::hasNegativeValues() const
{
    for (const std::vector<float> &volume : values)
        if (std::any_of(volume.begin(), volume.end(), [](float v) { return v < 0; }))
            return true;
    return false;
}
