// A JPEG-lossless 512 × 512 slice from file to its values, beside GDCM's own
// reading and decoding of the same file; and grouping a folder of 2,000 small
// DICOM files (ten series of 200 slices) into series.

#include "DicomFixture.h"
#include "DicomPixels.h"
#include "DicomSeries.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gdcmImage.h>
#include <gdcmImageReader.h>
#include <gdcmTrace.h>

#include <cmath>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir *files;

void write(const QString &path, const QByteArray &data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray slice(int size, int series, int k, const QList<qint16> &pixels)
{
    DicomFixture f;
    f.sopInstanceUid = QByteArray("1.2.826.0.1.3680043.2.1143.25.") + QByteArray::number(k);
    f.text(0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.4")
        .text(0x0008, 0x0060, "CS", "MR")
        .text(0x0008, 0x103E, "LO", "T1_MPRAGE")
        .text(0x0020, 0x000E, "UI", "1.2.826.0.1.3680043.2.1143.9." + QByteArray::number(series))
        .text(0x0020, 0x0011, "IS", QByteArray::number(series))
        .text(0x0020, 0x0013, "IS", QByteArray::number(k + 1))
        .text(0x0020, 0x0032, "DS", "-100\\-120\\" + QByteArray::number(k * 1.2 - 80))
        .text(0x0020, 0x0037, "DS", "1\\0\\0\\0\\1\\0")
        .unsignedShort(0x0028, 0x0002, 1)
        .text(0x0028, 0x0004, "CS", "MONOCHROME2")
        .unsignedShort(0x0028, 0x0010, quint16(size))
        .unsignedShort(0x0028, 0x0011, quint16(size))
        .text(0x0028, 0x0030, "DS", "0.9\\0.9")
        .unsignedShort(0x0028, 0x0100, 16)
        .unsignedShort(0x0028, 0x0101, 16)
        .unsignedShort(0x0028, 0x0102, 15)
        .unsignedShort(0x0028, 0x0103, 1)
        .pixels(pixels);
    return f.file();
}

// A head-like slice: smooth rings with noise, compressed by gdcmconv.
QString jpegLosslessSlice()
{
    const QString raw = files->filePath("slice.dcm");
    const QString jpeg = files->filePath("slice_jpeg.dcm");
    if (QFile::exists(jpeg))
        return jpeg;
    QList<qint16> pixels;
    QRandomGenerator noise(25);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            const double r = std::hypot(x - 256.0, (y - 256.0) * 1.2);
            const double v = r < 220 ? 600 + 300 * std::sin(r / 9.0) : 0;
            pixels << qint16(v + noise.bounded(40));
        }
    write(raw, slice(512, 1, 0, pixels));
    if (QProcess::execute("gdcmconv", {"--jpeg", raw, jpeg}) != 0)
        qFatal("gdcmconv --jpeg failed");
    return jpeg;
}

QString seriesFolder()
{
    const QString folder = files->filePath("series");
    if (QFile::exists(folder))
        return folder;
    QDir().mkpath(folder);
    QList<qint16> pixels;
    for (int i = 0; i < 64 * 64; ++i)
        pixels << qint16(i % 1000);
    QRandomGenerator names(5);
    for (int s = 0; s < 10; ++s)
        for (int k = 0; k < 200; ++k)
            write(QString("%1/IM%2_%3").arg(folder).arg(names.generate() % 100000).arg(k),
                  slice(64, s + 1, k, pixels));
    return folder;
}

void decodeOurs(benchmark::State &state)
{
    const QString name = jpegLosslessSlice();
    for (auto _ : state) {
        DicomPixels pixels;
        std::vector<float> values;
        if (!pixels.open(name) || !pixels.greyFrame(0, values))
            state.SkipWithError(qPrintable(pixels.failureReason()));
        benchmark::DoNotOptimize(values.data());
    }
}

void decodeGdcm(benchmark::State &state)
{
    const QString name = jpegLosslessSlice();
    gdcm::Trace::SetWarning(false);
    for (auto _ : state) {
        gdcm::ImageReader reader;
        reader.SetFileName(QFile::encodeName(name).constData());
        if (!reader.Read())
            state.SkipWithError("GDCM cannot read the slice");
        std::vector<char> buffer(reader.GetImage().GetBufferLength());
        if (!reader.GetImage().GetBuffer(buffer.data()))
            state.SkipWithError("GDCM cannot decode the slice");
        benchmark::DoNotOptimize(buffer.data());
    }
}

void groupSeries(benchmark::State &state)
{
    const QString folder = seriesFolder();
    for (auto _ : state) {
        const std::vector<DicomSeries> series = DicomSeriesGrouping::scanFolder(folder);
        if (series.size() != 10 || series[0].slices.size() != 200)
            state.SkipWithError("the folder was not grouped into ten series of 200");
        benchmark::DoNotOptimize(series.data());
    }
}

BENCHMARK(decodeOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(decodeGdcm)->Unit(benchmark::kMillisecond);
BENCHMARK(groupSeries)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    files = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
