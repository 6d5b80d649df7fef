#include "DicomPixels.h"

#include "LocalFiles.h"

#include <QFile>
#include <QtEndian>

#include <gdcmFragment.h>
#include <gdcmJPEG2000Codec.h>
#include <gdcmJPEGCodec.h>
#include <gdcmJPEGLSCodec.h>
#include <gdcmSequenceOfFragments.h>
#include <gdcmTrace.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>

namespace {

enum class Coding { Native, Jpeg, JpegLs, Jpeg2000, Rle, Unsupported };

Coding codingOf(const QByteArray &uid)
{
    static const char *const jpeg[] = {"1.2.840.10008.1.2.4.50", "1.2.840.10008.1.2.4.51",
                                       "1.2.840.10008.1.2.4.57", "1.2.840.10008.1.2.4.70"};
    if (uid == "1.2.840.10008.1.2" || uid == "1.2.840.10008.1.2.1" ||
        uid == "1.2.840.10008.1.2.2" || uid == "1.2.840.10008.1.2.1.99")
        return Coding::Native;
    for (const char *j : jpeg)
        if (uid == j)
            return Coding::Jpeg;
    if (uid == "1.2.840.10008.1.2.4.80" || uid == "1.2.840.10008.1.2.4.81")
        return Coding::JpegLs;
    if (uid == "1.2.840.10008.1.2.4.90" || uid == "1.2.840.10008.1.2.4.91")
        return Coding::Jpeg2000;
    if (uid == "1.2.840.10008.1.2.5")
        return Coding::Rle;
    return Coding::Unsupported;
}

QString syntaxName(const QByteArray &uid)
{
    static const struct
    {
        const char *uid;
        const char *name;
    } names[] = {
        {"1.2.840.10008.1.2", "implicit VR little-endian"},
        {"1.2.840.10008.1.2.1", "explicit VR little-endian"},
        {"1.2.840.10008.1.2.2", "explicit VR big-endian"},
        {"1.2.840.10008.1.2.1.99", "deflated explicit VR little-endian"},
        {"1.2.840.10008.1.2.4.50", "JPEG baseline"},
        {"1.2.840.10008.1.2.4.51", "JPEG extended"},
        {"1.2.840.10008.1.2.4.57", "JPEG lossless"},
        {"1.2.840.10008.1.2.4.70", "JPEG lossless"},
        {"1.2.840.10008.1.2.4.80", "JPEG-LS lossless"},
        {"1.2.840.10008.1.2.4.81", "JPEG-LS near-lossless"},
        {"1.2.840.10008.1.2.4.90", "JPEG 2000 lossless"},
        {"1.2.840.10008.1.2.4.91", "JPEG 2000"},
        {"1.2.840.10008.1.2.4.92", "JPEG 2000 multi-component lossless"},
        {"1.2.840.10008.1.2.4.93", "JPEG 2000 multi-component"},
        {"1.2.840.10008.1.2.4.94", "JPIP"},
        {"1.2.840.10008.1.2.4.95", "JPIP"},
        {"1.2.840.10008.1.2.4.100", "MPEG-2"},
        {"1.2.840.10008.1.2.4.101", "MPEG-2"},
        {"1.2.840.10008.1.2.4.102", "MPEG-4"},
        {"1.2.840.10008.1.2.4.103", "MPEG-4"},
        {"1.2.840.10008.1.2.4.104", "MPEG-4"},
        {"1.2.840.10008.1.2.4.105", "MPEG-4"},
        {"1.2.840.10008.1.2.4.106", "MPEG-4"},
        {"1.2.840.10008.1.2.4.107", "HEVC"},
        {"1.2.840.10008.1.2.4.108", "HEVC"},
        {"1.2.840.10008.1.2.4.201", "HTJ2K"},
        {"1.2.840.10008.1.2.4.202", "HTJ2K"},
        {"1.2.840.10008.1.2.4.203", "HTJ2K"},
        {"1.2.840.10008.1.2.5", "RLE lossless"},
    };
    for (const auto &n : names)
        if (uid == n.uid)
            return QString::fromLatin1(n.name);
    return QString("transfer syntax %1").arg(QString::fromLatin1(uid.left(64)));
}

// GDCM writes warnings about every odd file to the standard error.
void silenceGdcm()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gdcm::Trace::SetDebug(false);
        gdcm::Trace::SetWarning(false);
        gdcm::Trace::SetError(false);
    });
}

quint16 be16(const uchar *p)
{
    return qFromBigEndian<quint16>(p);
}
quint32 be32(const uchar *p)
{
    return qFromBigEndian<quint32>(p);
}

// What a compressed frame's own header says about its image.
struct StreamImage
{
    qint64 width = -1;
    qint64 height = -1;
    int components = -1;
    int precision = -1;
    // JPEG: whether the decoder leaves the components as YCbCr.
    bool ycbcr = false;
    qint64 tiles = 1;
    bool subsampled = false;
    QString problem;
};

StreamImage jpegHeader(const uchar *p, qint64 n, bool lossless)
{
    // Read as libjpeg reads a header, up to the first scan: GDCM's JPEG
    // codecs abort the process on any warning libjpeg gives there (bytes
    // between markers, a header cut short, an unknown JFIF version or Adobe
    // colour transform), so such streams never reach them.
    StreamImage s;
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8) {
        s.problem = "does not start as a JPEG stream";
        return s;
    }
    bool frame = false, jfif = false, adobe = false;
    int adobeTransform = 0;
    const uchar *ids = nullptr;
    qint64 at = 2;
    for (;;) {
        if (at < n && p[at] != 0xFF) {
            s.problem = "has bytes between its markers";
            return s;
        }
        while (at < n && p[at] == 0xFF)
            ++at;
        if (at + 1 > n) {
            s.problem = "ends inside its header";
            return s;
        }
        const uchar marker = p[at++];
        if (marker == 0x00 || marker == 0xD8) {
            s.problem = "has bytes between its markers";
            return s;
        }
        if (marker == 0xD9) {
            s.problem = frame ? "has no scan" : "has no frame header";
            return s;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (at + 2 > n || be16(p + at) < 2 || at + be16(p + at) > n) {
            s.problem = "ends inside its header";
            return s;
        }
        const qint64 segLength = be16(p + at) - 2;
        const uchar *seg = p + at + 2;
        at += segLength + 2;
        const bool sof = lossless ? marker == 0xF7
                                  : (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 &&
                                     marker != 0xC8 && marker != 0xCC);
        // libjpeg looks at JFIF and Adobe markers only this long.
        if (marker == 0xE0 && segLength >= 14 && memcmp(seg, "JFIF", 5) == 0) {
            jfif = true;
            if (!lossless && seg[5] != 1) {
                s.problem = QString("has a JFIF marker of version %1").arg(seg[5]);
                return s;
            }
        }
        if (marker == 0xEE && segLength >= 12 && memcmp(seg, "Adobe", 5) == 0) {
            adobe = true;
            adobeTransform = seg[11];
        }
        if (sof) {
            if (frame) {
                s.problem = "has two frame headers";
                return s;
            }
            if (segLength < 6) {
                s.problem = "has a damaged frame header";
                return s;
            }
            s.precision = seg[0];
            s.height = be16(seg + 1);
            s.width = be16(seg + 3);
            s.components = seg[5];
            if (segLength < 6 + 3 * s.components) {
                s.problem = "has a damaged frame header";
                return s;
            }
            ids = seg + 6;
            for (int c = 0; c < s.components; ++c)
                if (ids[3 * c + 1] != 0x11)
                    s.subsampled = true;
            frame = true;
        }
        if (marker == 0xDA)
            break;
    }
    if (!frame) {
        s.problem = "has no frame header";
        return s;
    }
    if (s.components == 3 && !lossless) {
        // How libjpeg decides the colour space of three components, which
        // GDCM leaves unconverted.
        if (jfif)
            s.ycbcr = true;
        else if (adobe && adobeTransform > 1) {
            s.problem = QString("has an Adobe marker of colour transform %1").arg(adobeTransform);
            return s;
        } else if (adobe)
            s.ycbcr = adobeTransform == 1;
        else
            s.ycbcr = !(ids[0] == 'R' && ids[3] == 'G' && ids[6] == 'B');
    }
    return s;
}

StreamImage jpeg2000Header(const uchar *p, qint64 n)
{
    StreamImage s;
    static const uchar jp2Signature[12] = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 13, 10, 0x87, 10};
    if (n >= 12 && memcmp(p, jp2Signature, 12) == 0) {
        // A JP2 file: the code stream is in its jp2c box.
        qint64 at = 0;
        bool found = false;
        while (at + 8 <= n) {
            qint64 length = be32(p + at);
            qint64 header = 8;
            if (length == 1) {
                if (at + 16 > n)
                    break;
                length = qint64(qFromBigEndian<quint64>(p + at + 8) & 0x7FFFFFFFFFFFFFFF);
                header = 16;
            } else if (length == 0) {
                length = n - at;
            }
            if (memcmp(p + at + 4, "jp2h", 4) == 0) {
                // A palette turns one component into several, which GDCM
                // meets with an assertion.
                const qint64 end = length < header ? n : qMin(n, at + length);
                for (qint64 in = at + header; in + 8 <= end;) {
                    if (memcmp(p + in + 4, "pclr", 4) == 0) {
                        s.problem = "has a colour palette";
                        return s;
                    }
                    if (be32(p + in) < 8)
                        break;
                    in += be32(p + in);
                }
            }
            if (memcmp(p + at + 4, "jp2c", 4) == 0) {
                // GDCM takes the box's length as it stands.
                if (length < header || length > n - at) {
                    s.problem = "has a code stream box longer than the stream";
                    return s;
                }
                p += at + header;
                n = length - header;
                found = true;
                break;
            }
            if (length < header)
                break;
            at += length;
        }
        if (!found) {
            s.problem = "has no code stream";
            return s;
        }
    }
    if (n < 42 || be16(p) != 0xFF4F || be16(p + 2) != 0xFF51) {
        s.problem = "does not start as a JPEG 2000 code stream";
        return s;
    }
    const qint64 xsiz = be32(p + 8), ysiz = be32(p + 12);
    const qint64 xo = be32(p + 16), yo = be32(p + 20);
    const qint64 xt = be32(p + 24), yt = be32(p + 28);
    const qint64 xto = be32(p + 32), yto = be32(p + 36);
    s.components = be16(p + 40);
    if (xo >= xsiz || yo >= ysiz || xt == 0 || yt == 0 || xto > xo || yto > yo) {
        s.problem = "has a damaged image size";
        return s;
    }
    s.width = xsiz - xo;
    s.height = ysiz - yo;
    s.tiles = ((xsiz - xto + xt - 1) / xt) * ((ysiz - yto + yt - 1) / yt);
    if (n < 42 + 3 * qint64(s.components)) {
        s.problem = "ends inside its header";
        return s;
    }
    for (int c = 0; c < s.components; ++c) {
        const uchar *comp = p + 42 + 3 * c;
        s.precision = qMax(s.precision, (comp[0] & 0x7F) + 1);
        if (comp[1] != 1 || comp[2] != 1)
            s.subsampled = true;
    }
    // GDCM walks the markers up to the first tile's data, to learn whether
    // the stream is reversible, trusting each segment's length: walk them
    // here first, as it does.
    for (qint64 at = 0; n - at > 1;) {
        const int marker = be16(p + at);
        at += 2;
        if (marker == 0xFF93) // start of data
            break;
        if (marker == 0xFF4F || marker == 0xFFD9 || marker == 0xFF92 ||
            (marker >= 0xFF30 && marker <= 0xFF3F)) // no length
            continue;
        const qint64 length = n - at >= 2 ? be16(p + at) : 0;
        if (length < 2 || length > n - at || (marker == 0xFF52 && length < 12)) {
            s.problem = QString("has a damaged marker segment (0x%1)").arg(marker, 4, 16);
            return s;
        }
        at += length;
    }
    return s;
}

inline quint32 rgbOf(int r, int g, int b)
{
    return 0xFF000000u | quint32(r & 0xFF) << 16 | quint32(g & 0xFF) << 8 | quint32(b & 0xFF);
}

// Decodes an RLE frame (PS3.5 G.3): each segment is one byte of one sample
// of every pixel, most significant byte first, packed as PackBits. The output
// is bounded by the image; a segment that ends early or runs over fails.
bool decodeRle(const uchar *p, qint64 n, qint64 pixels, int samples, int bytes, char *out)
{
    const quint32 count = qFromLittleEndian<quint32>(p);
    for (quint32 s = 0; s < count; ++s) {
        const qint64 start = qFromLittleEndian<quint32>(p + 4 + 4 * s);
        const qint64 end = s + 1 < count ? qint64(qFromLittleEndian<quint32>(p + 8 + 4 * s)) : n;
        const int sample = int(s) / bytes;
        // Samples are interleaved and little-endian in the output.
        const int byte = bytes - 1 - int(s) % bytes;
        const qint64 stride = qint64(samples) * bytes;
        char *dst = out + qint64(sample) * bytes + byte;
        qint64 done = 0;
        qint64 at = start;
        while (done < pixels) {
            if (at >= end)
                return false;
            const int code = qint8(p[at++]);
            if (code >= 0) {
                const qint64 run = code + 1;
                if (at + run > end || done + run > pixels)
                    return false;
                for (qint64 i = 0; i < run; ++i)
                    dst[(done + i) * stride] = char(p[at + i]);
                at += run;
                done += run;
            } else if (code != -128) {
                const qint64 run = 1 - code;
                if (at >= end || done + run > pixels)
                    return false;
                const char v = char(p[at++]);
                for (qint64 i = 0; i < run; ++i)
                    dst[(done + i) * stride] = v;
                done += run;
            }
        }
    }
    return true;
}

// Full-range YCbCr to RGB (PS3.3 C.7.6.3.1.2).
inline quint32 ybrToRgb(int y, int cb, int cr)
{
    const float fy = float(y), fb = float(cb - 128), fr = float(cr - 128);
    auto clamp = [](float v) { return int(std::min(255.0f, std::max(0.0f, std::round(v)))); };
    return rgbOf(clamp(fy + 1.402f * fr), clamp(fy - 0.344136f * fb - 0.714136f * fr),
                 clamp(fy + 1.772f * fb));
}

// Reads stored sample i of a buffer as a signed 64-bit value: in the byte
// order given, shifted and masked to its stored bits, sign-extended.
struct SampleReader
{
    const uchar *data;
    int bytes;
    bool swap;
    int shift;
    quint32 mask;
    bool isSigned;
    quint32 signBit;

    qint64 operator()(qint64 i) const
    {
        quint32 raw;
        const uchar *p = data + i * bytes;
        if (bytes == 1) {
            raw = p[0];
        } else if (bytes == 2) {
            quint16 v;
            memcpy(&v, p, 2);
            raw = swap ? qbswap(v) : v;
        } else {
            quint32 v;
            memcpy(&v, p, 4);
            raw = swap ? qbswap(v) : v;
        }
        raw = (raw >> shift) & mask;
        if (isSigned && (raw & signBit))
            return qint64(raw) - (qint64(mask) + 1);
        return raw;
    }
};

} // namespace

DicomPixels::DicomPixels(const DicomLimits &limits) : limits(limits) {}

bool DicomPixels::fail(const QString &why)
{
    reason = why;
    return false;
}

QString DicomPixels::encodingName() const
{
    return syntaxName(syntax);
}

bool DicomPixels::open(const QString &fileName)
{
    QFile file;
    QString why;
    if (!LocalFiles::openRegular(file, fileName, QIODevice::ReadOnly, &why))
        return fail(why);
    const qint64 size = file.size();
    if (size > limits.maxFileBytes)
        return fail(QString("the file is larger than the %1 MB the viewer reads")
                        .arg(limits.maxFileBytes >> 20));
    QByteArray data;
    data.resize(size);
    qint64 got = 0;
    while (got < size) {
        const qint64 n = file.read(data.data() + got, size - got);
        if (n <= 0)
            return fail(file.errorString().toLower());
        got += n;
    }
    return open(data);
}

bool DicomPixels::open(const QByteArray &data)
{
    bytes = data;
    reason.clear();
    frameFragments.clear();
    cols = nRows = nFrames = 0;
    // The header first, with a deflated data set inflated only as far as a
    // header reaches; the image's size then bounds the rest.
    const qint64 headerLimit = qint64(16) << 20;
    if (head.parse(bytes, true, headerLimit) != DicomHeader::Complete)
        return fail(head.failureReason().isEmpty() ? QString("the file ends inside its header")
                                                   : head.failureReason());
    if (!head.hasPixelData())
        return fail("the file holds no image");
    if (!checkImage())
        return false;
    if (head.isDeflated() && !head.isWholeDataSet()) {
        const qint64 needed = head.pixelRange().offset + frameBytes * nFrames;
        if (needed > head.dataSize()) {
            if (head.parse(bytes, true, needed + 1) != DicomHeader::Complete)
                return fail(head.failureReason());
        }
    }
    if (head.isEncapsulated())
        return mapFragments();

    const DicomHeader::Range range = head.pixelRange();
    const qint64 available = qMin(range.length, head.dataSize() - range.offset);
    const qint64 needed = frameBytes * nFrames;
    if (available < needed) {
        const qint64 whole = available / frameBytes;
        if (whole >= 1 && nFrames > 1)
            return fail(QString("the pixel data holds %1 of the %2 frames the header names")
                            .arg(whole)
                            .arg(nFrames));
        return fail(QString("the pixel data holds %1 of the %2 bytes of the image")
                        .arg(qMax<qint64>(available, 0))
                        .arg(needed));
    }
    return true;
}

bool DicomPixels::checkImage()
{
    const DicomDataSet &set = head.dataSet();
    syntax = head.transferSyntax();
    const Coding coding = codingOf(syntax);
    if (coding == Coding::Unsupported)
        return fail(QString("compressed DICOM (%1) is not supported").arg(syntaxName(syntax)));
    if (coding == Coding::Native && head.isEncapsulated())
        return fail("the pixel data is compressed, the transfer syntax says it is not");
    if (coding != Coding::Native && !head.isEncapsulated())
        return fail(QString("the %1 pixel data is not encapsulated").arg(syntaxName(syntax)));

    nRows = set.unsignedShort(Dicom::Rows, 0);
    cols = set.unsignedShort(Dicom::Columns, 0);
    if (nRows <= 0 || cols <= 0)
        return fail("the image has no rows or columns");
    if (nRows > limits.maxDimension || cols > limits.maxDimension)
        return fail(QString("the image of %1 × %2 pixels is larger than the %3 × %3 the viewer "
                            "shows")
                        .arg(cols)
                        .arg(nRows)
                        .arg(limits.maxDimension));
    const QByteArray framesText = set.text(Dicom::NumberOfFrames);
    nFrames = 1;
    if (!framesText.isEmpty()) {
        bool ok = false;
        const qint64 n = framesText.toLongLong(&ok);
        if (!ok || n < 1 || n > limits.maxPixels)
            return fail(QString("the number of frames \"%1\" is not a count")
                            .arg(QString::fromLatin1(framesText.left(20))));
        nFrames = int(n);
    }
    if (qint64(nRows) * cols * nFrames > limits.maxPixels)
        return fail(QString("the %1 frames of %2 × %3 pixels are more than the viewer holds")
                        .arg(nFrames)
                        .arg(cols)
                        .arg(nRows));

    samples = set.unsignedShort(Dicom::SamplesPerPixel, 1);
    photometricName = set.text(Dicom::Photometric).toUpper();
    if (photometricName.isEmpty())
        photometricName = samples == 3 ? "RGB" : "MONOCHROME2";
    if (samples == 1) {
        if (photometricName == "PALETTE COLOR")
            return fail("palette colour images are not supported");
        if (photometricName != "MONOCHROME1" && photometricName != "MONOCHROME2")
            return fail(QString("a grey image in %1 is not supported")
                            .arg(QString::fromLatin1(photometricName.left(20))));
        inverted = photometricName == "MONOCHROME1";
    } else if (samples == 3) {
        static const char *const colours[] = {"RGB", "YBR_FULL", "YBR_FULL_422", "YBR_RCT",
                                              "YBR_ICT"};
        if (std::none_of(std::begin(colours), std::end(colours),
                         [&](const char *c) { return photometricName == c; }))
            return fail(QString("colour images in %1 are not supported")
                            .arg(QString::fromLatin1(photometricName.left(20))));
        inverted = false;
    } else {
        return fail(QString("images of %1 samples per pixel are not supported").arg(samples));
    }
    planar = samples == 3 ? set.unsignedShort(Dicom::PlanarConfiguration, 0) : 0;
    if (planar != 0 && planar != 1)
        return fail("the planar configuration is neither 0 nor 1");

    allocated = set.unsignedShort(Dicom::BitsAllocated, 0);
    if (allocated != 8 && allocated != 16 && allocated != 32)
        return fail(QString("images of %1 bits allocated are not supported").arg(allocated));
    stored = set.unsignedShort(Dicom::BitsStored, allocated);
    highBit = set.unsignedShort(Dicom::HighBit, stored - 1);
    if (stored < 1 || stored > allocated || highBit < stored - 1 || highBit >= allocated)
        return fail(QString("%1 bits stored with the high bit %2 do not fit in %3 bits")
                        .arg(stored)
                        .arg(highBit)
                        .arg(allocated));
    signedValues = set.unsignedShort(Dicom::PixelRepresentation, 0) == 1;

    const bool subsampled = photometricName == "YBR_FULL_422" && coding == Coding::Native;
    if (subsampled && (cols % 2 != 0 || allocated != 8))
        return fail("YBR_FULL_422 pixels need an even number of columns of 8 bits");
    frameBytes =
        subsampled ? qint64(nRows) * cols * 2 : qint64(nRows) * cols * samples * (allocated / 8);
    return true;
}

bool DicomPixels::mapFragments()
{
    const std::vector<DicomHeader::Range> &pieces = head.fragments();
    const int count = int(pieces.size()) - 1; // the first is the offset table
    if (count < 1)
        return fail("the compressed pixel data holds no frames");
    if (nFrames == 1) {
        frameFragments.emplace_back(1, count);
        return true;
    }
    if (count < nFrames)
        return fail(QString("the compressed pixel data holds %1 of the %2 frames the header "
                            "names")
                        .arg(count)
                        .arg(nFrames));
    if (count == nFrames) {
        for (int f = 0; f < nFrames; ++f)
            frameFragments.emplace_back(1 + f, 1);
        return true;
    }
    // More fragments than frames: the offset table, else the fragments that
    // start a code stream, say where each frame begins.
    std::vector<int> starts;
    const DicomHeader::Range table = pieces[0];
    if (table.length == 4 * qint64(nFrames)) {
        const auto *t = reinterpret_cast<const uchar *>(head.data() + table.offset);
        const qint64 first = pieces[1].offset - 8;
        size_t next = 1;
        for (int f = 0; f < nFrames; ++f) {
            const qint64 at = first + qFromLittleEndian<quint32>(t + 4 * f);
            while (next < pieces.size() && pieces[next].offset - 8 < at)
                ++next;
            if (next == pieces.size() || pieces[next].offset - 8 != at)
                break;
            starts.push_back(int(next));
        }
    }
    if (int(starts.size()) != nFrames || starts[0] != 1) {
        starts.clear();
        for (int i = 1; i <= count; ++i) {
            const auto *p = reinterpret_cast<const uchar *>(head.data() + pieces[size_t(i)].offset);
            const qint64 n = pieces[size_t(i)].length;
            const bool jpeg = n >= 2 && p[0] == 0xFF && p[1] == 0xD8;
            const bool j2k = n >= 4 && p[0] == 0xFF && p[1] == 0x4F && p[2] == 0xFF && p[3] == 0x51;
            const bool jp2 = n >= 8 && memcmp(p + 4, "jP  ", 4) == 0;
            if (jpeg || j2k || jp2)
                starts.push_back(i);
        }
        if (int(starts.size()) != nFrames || starts[0] != 1)
            return fail(QString("the compressed pixel data holds %1 fragments that cannot be "
                                "parted into the %2 frames the header names")
                            .arg(count)
                            .arg(nFrames));
    }
    for (int f = 0; f < nFrames; ++f) {
        const int end = f + 1 < nFrames ? starts[size_t(f) + 1] : count + 1;
        if (end <= starts[size_t(f)])
            return fail("the compressed pixel data's offset table is damaged");
        frameFragments.emplace_back(starts[size_t(f)], end - starts[size_t(f)]);
    }
    return true;
}

bool DicomPixels::checkStream(int frame, const QByteArray &stream, bool &ycbcr)
{
    ycbcr = false;
    const auto *p = reinterpret_cast<const uchar *>(stream.constData());
    const qint64 n = stream.size();
    const Coding coding = codingOf(syntax);
    const QString name = syntaxName(syntax);
    const QString where = nFrames > 1 ? QString(" of frame %1").arg(frame + 1) : QString();
    if (coding == Coding::Rle) {
        // The RLE header: the number of segments and where each starts (PS3.5 G.3).
        const qint64 segments = samples * (allocated / 8);
        if (n < 64)
            return fail(QString("the RLE stream%1 ends inside its header").arg(where));
        const quint32 count = qFromLittleEndian<quint32>(p);
        if (count != quint32(segments))
            return fail(QString("the RLE stream%1 has %2 segments, the image needs %3")
                            .arg(where)
                            .arg(count)
                            .arg(segments));
        qint64 previous = 63;
        for (quint32 s = 0; s < count; ++s) {
            const qint64 at = qFromLittleEndian<quint32>(p + 4 + 4 * s);
            if (at <= previous || at >= n || (s == 0 && at != 64))
                return fail(QString("the RLE stream%1 has a damaged segment table").arg(where));
            previous = at;
        }
        return true;
    }
    if (coding == Coding::JpegLs) {
        // CharLS spins for seconds over a stream cut short of its end marker,
        // reading past the end as if it went on; a stream must end with it
        // (and perhaps one byte of padding).
        const qint64 end = n >= 1 && p[n - 1] == 0 ? n - 1 : n;
        if (end < 2 || p[end - 2] != 0xFF || p[end - 1] != 0xD9)
            return fail(
                QString("the %1 stream%2 ends early (it has no end marker)").arg(name, where));
    }
    StreamImage s = coding == Coding::Jpeg2000 ? jpeg2000Header(p, n)
                                               : jpegHeader(p, n, coding == Coding::JpegLs);
    if (!s.problem.isEmpty())
        return fail(QString("the %1 stream%2 %3").arg(name, where, s.problem));
    ycbcr = s.ycbcr;
    if (s.width != cols || s.height != nRows)
        return fail(QString("the %1 stream%2 holds %3 × %4 pixels, the header says %5 × %6")
                        .arg(name, where)
                        .arg(s.width)
                        .arg(s.height)
                        .arg(cols)
                        .arg(nRows));
    if (s.components != samples)
        return fail(QString("the %1 stream%2 holds %3 components, the header says %4")
                        .arg(name, where)
                        .arg(s.components)
                        .arg(samples));
    if (s.precision > allocated)
        return fail(QString("the %1 stream%2 holds %3-bit samples in %4 bits allocated")
                        .arg(name, where)
                        .arg(s.precision)
                        .arg(allocated));
    // GDCM decodes JPEG and JPEG-LS samples, 16 bits at most, only into 8 or
    // 16 bits (its JPEG codec aborts on more).
    if (coding != Coding::Jpeg2000 && allocated > 16)
        return fail(QString("the %1 stream%2 holds %3-bit samples in %4 bits allocated, which "
                            "the viewer does not read")
                        .arg(name, where)
                        .arg(s.precision)
                        .arg(allocated));
    if (coding == Coding::Jpeg2000 && s.subsampled)
        return fail(QString("the %1 stream%2 has subsampled components").arg(name, where));
    // Beyond the standard's 65,535 tiles each tile's bookkeeping alone would
    // cost more than the image.
    if (s.tiles > 65535)
        return fail(QString("the %1 stream%2 claims %3 tiles").arg(name, where).arg(s.tiles));
    return true;
}

bool DicomPixels::decodeFrame(int frame, std::vector<char> &buffer, Layout &layout)
{
    silenceGdcm();
    const std::pair<int, int> parts = frameFragments[size_t(frame)];
    // The frame's stream whole: some writers split a header over fragments.
    QByteArray stream;
    if (parts.second == 1) {
        const DicomHeader::Range r = head.fragments()[size_t(parts.first)];
        stream = QByteArray::fromRawData(head.data() + r.offset, qsizetype(r.length));
    } else {
        for (int i = 0; i < parts.second; ++i) {
            const DicomHeader::Range r = head.fragments()[size_t(parts.first + i)];
            stream.append(head.data() + r.offset, r.length);
        }
    }
    bool ycbcr = false;
    if (!checkStream(frame, stream, ycbcr))
        return false;

    const Coding coding = codingOf(syntax);
    if (coding == Coding::Rle) {
        // RLE is decoded here: GDCM 3.0 puts the bytes of samples of more than
        // 8 bits of colour images in the wrong places.
        buffer.resize(size_t(frameBytes));
        if (!decodeRle(reinterpret_cast<const uchar *>(stream.constData()), stream.size(),
                       qint64(nRows) * cols, samples, allocated / 8, buffer.data()))
            return fail(QString("the RLE stream%1 cannot be decoded: it ends early or runs over")
                            .arg(nFrames > 1 ? QString(" of frame %1").arg(frame + 1) : QString()));
        layout.allocated = allocated;
        layout.stored = stored;
        layout.highBit = highBit;
        layout.isSigned = signedValues;
        layout.planar = 0;
        layout.bigEndian = false;
        layout.photometric =
            photometricName.startsWith("YBR_FULL") ? QByteArray("YBR_FULL") : QByteArray("RGB");
        return true;
    }
    try {
        // The codec itself, not gdcm::Image::GetBuffer: when its decoders fail,
        // GetBuffer goes on to codecs that write the stream to a temporary file
        // and run external programs on it (PVRG, Kakadu).
        std::unique_ptr<gdcm::ImageCodec> codec;
        if (coding == Coding::Jpeg)
            codec = std::make_unique<gdcm::JPEGCodec>();
        else if (coding == Coding::JpegLs)
            codec = std::make_unique<gdcm::JPEGLSCodec>();
        else
            codec = std::make_unique<gdcm::JPEG2000Codec>();
        const unsigned dimensions[3] = {unsigned(cols), unsigned(nRows), 1};
        codec->SetNumberOfDimensions(2);
        codec->SetDimensions(dimensions);
        codec->SetPlanarConfiguration(unsigned(planar));
        // GDCM knows the names padded to even length, as files hold them;
        // its codecs assert on one it does not know.
        QByteArray padded = photometricName;
        if (padded.size() % 2)
            padded += ' ';
        const gdcm::PhotometricInterpretation pi =
            gdcm::PhotometricInterpretation::GetPIType(padded.constData());
        if (pi == gdcm::PhotometricInterpretation::UNKNOWN)
            return fail(QString("the %1 image's photometric interpretation is not known")
                            .arg(syntaxName(syntax)));
        codec->SetPhotometricInterpretation(pi);
        // Last: the JPEG codec hands the settings to its 8, 12 or 16-bit
        // decoder when it gets the pixel format. GDCM asserts on bytes of
        // fewer stored bits; it decodes all eight and the file's bits are
        // taken from them below.
        const bool fewerBitsInBytes = allocated == 8 && stored != 8;
        codec->SetPixelFormat(gdcm::PixelFormat(
            ushort(samples), ushort(allocated), ushort(fewerBitsInBytes ? 8 : stored),
            ushort(fewerBitsInBytes ? 7 : highBit), ushort(signedValues ? 1 : 0)));
        gdcm::SmartPointer<gdcm::SequenceOfFragments> sequence = new gdcm::SequenceOfFragments;
        for (int i = 0; i < parts.second; ++i) {
            const DicomHeader::Range r = head.fragments()[size_t(parts.first + i)];
            gdcm::Fragment fragment;
            fragment.SetByteValue(head.data() + r.offset, gdcm::VL(quint32(r.length)));
            sequence->AddFragment(fragment);
        }
        gdcm::DataElement pixelData(gdcm::Tag(0x7FE0, 0x0010));
        pixelData.SetValue(*sequence);
        gdcm::DataElement decoded;
        const size_t length = size_t(qint64(nRows) * cols * samples * (allocated / 8));
        const QString where = nFrames > 1 ? QString(" of frame %1").arg(frame + 1) : QString();
        if (!codec->Decode(pixelData, decoded))
            return fail(
                QString("the %1 stream%2 cannot be decoded").arg(syntaxName(syntax), where));
        const gdcm::ByteValue *bytesOut = decoded.GetByteValue();
        if (!bytesOut || bytesOut->GetLength() < length)
            return fail(QString("the %1 stream%2 decodes to fewer pixels than the image has")
                            .arg(syntaxName(syntax), where));
        buffer.assign(bytesOut->GetPointer(), bytesOut->GetPointer() + length);
        // The codec may correct the bits the stream holds, and gives its
        // samples in the machine's byte order.
        const gdcm::PixelFormat &out = codec->GetPixelFormat();
        layout.allocated = out.GetBitsAllocated();
        layout.stored = out.GetBitsStored();
        layout.highBit = out.GetHighBit();
        layout.isSigned = out.GetPixelRepresentation() == 1;
        if (fewerBitsInBytes && layout.stored == 8) {
            layout.stored = stored;
            layout.highBit = highBit;
        }
        layout.planar = int(codec->GetPlanarConfiguration());
        layout.bigEndian = false;
        if (layout.allocated != allocated || layout.stored < 1 || layout.stored > allocated ||
            layout.highBit >= allocated || layout.highBit < layout.stored - 1)
            return fail(
                QString("the %1 stream's samples do not fit the image").arg(syntaxName(syntax)));
        layout.photometric = photometricName;
        if (samples == 3) {
            // The JPEG 2000 decoder undoes the stream's colour transform; GDCM
            // leaves JPEG's YCbCr as it finds it, and decodes subsampled
            // components to full size.
            if (coding == Coding::Jpeg)
                layout.photometric = ycbcr ? "YBR_FULL" : "RGB";
            else if (photometricName.startsWith("YBR_FULL") && coding != Coding::Jpeg2000)
                layout.photometric = "YBR_FULL";
            else if (photometricName != "YBR_FULL")
                layout.photometric = "RGB";
        }
    } catch (const std::exception &e) {
        return fail(QString("the %1 stream cannot be decoded (%2)")
                        .arg(syntaxName(syntax), QString::fromLocal8Bit(e.what()).left(80)));
    } catch (...) {
        return fail(QString("the %1 stream cannot be decoded").arg(syntaxName(syntax)));
    }
    return true;
}

bool DicomPixels::framePixels(int frame, const uchar *&pixels, std::vector<char> &buffer,
                              Layout &layout)
{
    if (frame < 0 || frame >= nFrames)
        return fail(QString("the image has no frame %1").arg(frame + 1));
    if (head.isEncapsulated()) {
        if (!decodeFrame(frame, buffer, layout))
            return false;
        pixels = reinterpret_cast<const uchar *>(buffer.data());
        return true;
    }
    pixels = reinterpret_cast<const uchar *>(head.data()) + head.pixelRange().offset +
             frameBytes * frame;
    layout.allocated = allocated;
    layout.stored = stored;
    layout.highBit = highBit;
    layout.isSigned = signedValues;
    layout.planar = planar;
    layout.bigEndian = head.isBigEndian();
    layout.photometric = photometricName;
    return true;
}

double DicomPixels::rescaleSlope(int frame) const
{
    const DicomDataSet *set = Dicom::frameGroup(
        head.dataSet(), frame, Dicom::ValueTransformationSequence, Dicom::RescaleSlope);
    const double slope = set ? set->decimal(Dicom::RescaleSlope, 1.0) : 1.0;
    return slope == 0.0 ? 1.0 : slope;
}

double DicomPixels::rescaleIntercept(int frame) const
{
    const DicomDataSet *set = Dicom::frameGroup(
        head.dataSet(), frame, Dicom::ValueTransformationSequence, Dicom::RescaleIntercept);
    return set ? set->decimal(Dicom::RescaleIntercept, 0.0) : 0.0;
}

bool DicomPixels::greyFrame(int frame, std::vector<float> &values)
{
    if (samples != 1)
        return fail("the image is in colour");
    const uchar *pixels = nullptr;
    std::vector<char> buffer;
    Layout layout;
    if (!framePixels(frame, pixels, buffer, layout))
        return false;
    const qint64 n = qint64(nRows) * cols;
    values.resize(size_t(n));
    const float slope = float(rescaleSlope(frame));
    const float intercept = float(rescaleIntercept(frame));
    const bool swap = layout.bigEndian != (Q_BYTE_ORDER == Q_BIG_ENDIAN);
    float *out = values.data();
    if (layout.allocated == 16 && layout.stored == 16 && !swap) {
        // The common case, kept simple enough to vectorise.
        if (layout.isSigned) {
            for (qint64 i = 0; i < n; ++i) {
                qint16 v;
                memcpy(&v, pixels + 2 * i, 2);
                out[i] = float(v) * slope + intercept;
            }
        } else {
            for (qint64 i = 0; i < n; ++i) {
                quint16 v;
                memcpy(&v, pixels + 2 * i, 2);
                out[i] = float(v) * slope + intercept;
            }
        }
        return true;
    }
    const int bytes = layout.allocated / 8;
    const quint32 mask = layout.stored == 32 ? 0xFFFFFFFFu : (quint32(1) << layout.stored) - 1;
    const SampleReader read{pixels,
                            bytes,
                            swap && bytes > 1,
                            layout.highBit + 1 - layout.stored,
                            mask,
                            layout.isSigned,
                            quint32(1) << (layout.stored - 1)};
    for (qint64 i = 0; i < n; ++i)
        out[i] = float(double(read(i)) * slope + intercept);
    return true;
}

bool DicomPixels::allGreyFrames(std::vector<float> &values)
{
    const qint64 n = qint64(nRows) * cols;
    values.clear();
    values.reserve(size_t(n * nFrames));
    std::vector<float> frameValues;
    for (int f = 0; f < nFrames; ++f) {
        if (!greyFrame(f, frameValues))
            return false;
        values.insert(values.end(), frameValues.begin(), frameValues.end());
    }
    return true;
}

bool DicomPixels::colourFrame(int frame, std::vector<quint32> &rgb)
{
    if (samples != 3)
        return fail("the image is grey");
    const uchar *pixels = nullptr;
    std::vector<char> buffer;
    Layout layout;
    if (!framePixels(frame, pixels, buffer, layout))
        return false;
    rgb.resize(size_t(qint64(nRows) * cols));
    const bool swap = layout.bigEndian != (Q_BYTE_ORDER == Q_BIG_ENDIAN);
    const int bytes = layout.allocated / 8;
    // Samples become 8 bits from their highest stored bits.
    const int down = qMax(0, layout.stored - 8);
    const quint32 mask = layout.stored == 32 ? 0xFFFFFFFFu : (quint32(1) << layout.stored) - 1;
    const SampleReader read{
        pixels, bytes, swap && bytes > 1, layout.highBit + 1 - layout.stored, mask, false, 0};
    const qint64 plane = qint64(nRows) * cols;
    const bool ybr = layout.photometric == "YBR_FULL" || layout.photometric == "YBR_FULL_422";
    const bool subsampled = layout.photometric == "YBR_FULL_422" && !head.isEncapsulated();
    for (int y = 0; y < nRows; ++y) {
        quint32 *out = rgb.data() + qint64(y) * cols;
        for (int x = 0; x < cols; ++x) {
            const qint64 i = qint64(y) * cols + x;
            int c[3];
            if (subsampled) {
                // Two pixels in four bytes: Y1 Y2 Cb Cr (PS3.3 C.7.6.3.1.2).
                const qint64 pair = (qint64(y) * cols + (x & ~1)) * 2;
                c[0] = int(read(pair + (x & 1)));
                c[1] = int(read(pair + 2));
                c[2] = int(read(pair + 3));
            } else {
                for (int s = 0; s < 3; ++s)
                    c[s] = int(read(layout.planar == 1 ? s * plane + i : 3 * i + s) >> down);
            }
            out[x] = ybr ? ybrToRgb(c[0], c[1], c[2]) : rgbOf(c[0], c[1], c[2]);
        }
    }
    return true;
}
