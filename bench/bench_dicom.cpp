// A JPEG-lossless 512 × 512 slice from file to its values, and to the raw MRI
// view's finished frame, beside GDCM's own reading and decoding of the same
// file; a 176-slice series folder read into the viewer's grid and chosen to
// the volume view's first frame, beside reading its files' bytes and beside
// dcm2niix's NIfTI file of it through the NIfTI path; and grouping a folder of
// 2,000 small DICOM files (ten series of 200 slices) into series. Needs a
// display (run under xvfb-run -a).

#include "DicomFixture.h"
#include "DicomPixels.h"
#include "DicomSeries.h"
#include "FileTypes.h"
#include "RawMRIDataOGLViewer.h"
#include "ShowWidget.h"
#include "VolumeOGLViewer.h"

#include <QApplication>

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gdcmImage.h>
#include <gdcmImageReader.h>
#include <gdcmTrace.h>

#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

namespace {

QTemporaryDir *files;
std::unique_ptr<RawMRIDataOGLViewer> rawView;
std::unique_ptr<VolumeOGLViewer> volumeView;

// The frame on screen: painted by the event loop, as a widget of this kind
// always is, and finished by the renderer.
void finish(QOpenGLWidget *view)
{
    view->update();
    QCoreApplication::processEvents();
    view->makeCurrent();
    glFinish();
    view->doneCurrent();
}

void write(const QString &path, const QByteArray &data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray slice(int size, int series, int k, const QList<qint16> &pixels, double spacing = 0.9)
{
    const QByteArray step = QByteArray::number(spacing);
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
        .text(0x0028, 0x0030, "DS", step + "\\" + step)
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

// An MPRAGE's 176 slices of 256 × 256 (1 mm pixels, slices 1.2 mm apart): a
// head of rings with noise.
QString mprageFolder()
{
    const QString folder = files->filePath("mprage");
    if (QFile::exists(folder))
        return folder;
    QDir().mkpath(folder);
    QRandomGenerator noise(176);
    for (int k = 0; k < 176; ++k) {
        QList<qint16> pixels;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const double r = std::hypot(x - 128.0, (y - 128.0) * 1.2, (k - 88.0) * 1.3);
                const double v = r < 110 ? 600 + 300 * std::sin(r / 7.0) : 0;
                pixels << qint16(v + noise.bounded(40));
            }
        QByteArray file = slice(256, 5, k, pixels, 1.0);
        write(QString("%1/IM%2").arg(folder).arg(k, 4, 10, QChar('0')), file);
    }
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

// From the file to the picture the view shows: read, decoded, mapped to grey.
void jpegToPicture(benchmark::State &state)
{
    const QString name = jpegLosslessSlice();
    for (auto _ : state) {
        const auto dicom = readAs<DicomDocument>(name);
        if (!dicom)
            state.SkipWithError("the slice was not read");
        benchmark::DoNotOptimize(dicom->image().constBits());
    }
}

// From the file to the raw MRI view's finished frame: read, decoded, mapped to
// grey, uploaded and painted.
void jpegToFrame(benchmark::State &state)
{
    const QString name = jpegLosslessSlice();
    for (auto _ : state) {
        const auto dicom = readAs<DicomDocument>(name);
        if (!dicom)
            state.SkipWithError("the slice was not read");
        rawView->showDicom(dicom, 0);
        finish(rawView.get());
    }
}

// The series' cover chosen: its folder grouped, its slices decoded, resampled
// into the viewer's grid, composed, uploaded and painted.
void seriesToFrame(benchmark::State &state)
{
    const QString folder = mprageFolder();
    const std::vector<DicomSeries> series = DicomSeriesGrouping::scanFolder(folder);
    if (series.size() != 1 || !series[0].isVolume())
        state.SkipWithError("the folder is not one volume");
    const QString cover =
        FileTypes::seriesCoverName(series[0].slices.front().fileName, series[0].displayName());
    for (auto _ : state) {
        const auto volume = readAs<VolumeDocument>(cover);
        if (!volume)
            state.SkipWithError("the series was not read");
        volumeView->showVolume(volume, 0);
        finish(volumeView.get());
    }
}

// The series' cover read into the viewer's grid, without drawing it.
void seriesToDocument(benchmark::State &state)
{
    const QString folder = mprageFolder();
    const std::vector<DicomSeries> series = DicomSeriesGrouping::scanFolder(folder);
    if (series.size() != 1 || !series[0].isVolume())
        state.SkipWithError("the folder is not one volume");
    const QString cover =
        FileTypes::seriesCoverName(series[0].slices.front().fileName, series[0].displayName());
    for (auto _ : state) {
        const auto volume = readAs<VolumeDocument>(cover);
        if (!volume)
            state.SkipWithError("the series was not read");
        benchmark::DoNotOptimize(volume.get());
    }
}

// The same volume as dcm2niix writes it, through the NIfTI path to the same grid.
void niftiOfSeriesToFrame(benchmark::State &state)
{
    const QString folder = mprageFolder();
    const QString nifti = files->filePath("mprage.nii");
    if (!QFile::exists(nifti) &&
        QProcess::execute("dcm2niix",
                          {"-f", "mprage", "-z", "n", "-b", "n", "-o", files->path(), folder}) != 0)
        state.SkipWithError("dcm2niix failed");
    for (auto _ : state) {
        const auto volume = readAs<VolumeDocument>(nifti);
        if (!volume)
            state.SkipWithError("the NIfTI file was not read");
        volumeView->showVolume(volume, 0);
        finish(volumeView.get());
    }
}

void seriesBytes(benchmark::State &state)
{
    const QString folder = mprageFolder();
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files);
    for (auto _ : state) {
        qint64 total = 0;
        for (const QFileInfo &entry : entries) {
            QFile file(entry.filePath());
            if (!file.open(QIODevice::ReadOnly))
                state.SkipWithError("a slice cannot be read");
            total += file.readAll().size();
        }
        benchmark::DoNotOptimize(total);
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
BENCHMARK(jpegToPicture)->Unit(benchmark::kMillisecond);
BENCHMARK(jpegToFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(seriesBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(seriesToDocument)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(seriesToFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(niftiOfSeriesToFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(groupSeries)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    files = &dir;
    rawView = std::make_unique<RawMRIDataOGLViewer>();
    volumeView = std::make_unique<VolumeOGLViewer>();
    showAndWaitForExposure(rawView.get(), QSize(1000, 700));
    showAndWaitForExposure(volumeView.get(), QSize(1000, 700));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rawView.reset();
    volumeView.reset();
    return 0;
}
