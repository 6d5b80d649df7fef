// The volume and raw MRI views at the speed of the hand: a cross moved by the
// mouse to the finished frame, the slices composed and uploaded at a new cross,
// and a 512 × 512 DICOM image loaded, mapped to grey and painted beside a bare
// read of its bytes. Needs a display (run under xvfb-run -a).
#include "DicomFixture.h"
#include "MapDisplaySettings.h"
#include "RawMRIDataOGLViewer.h"
#include "ShowWidget.h"
#include "VmpFixture.h"
#include "VmrFixture.h"
#include "VolumeOGLViewer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWindow>

#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

VolumeOGLViewer *volumeView = nullptr;
RawMRIDataOGLViewer *rawView = nullptr;
QString volumeFile, dicomFile, mapFile;

bool save(const QString &name, const QByteArray &data)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

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

// Left-button moves across the upper-left slice, each one composing, uploading
// and painting the slices at the new cross.
void BM_CrossMoveToFrame(benchmark::State &state)
{
    volumeView->showVolume(readAs<VolumeDocument>(volumeFile), 0);
    int step = 0;
    for (auto _ : state) {
        const QPointF pos(200 + step++ % 200, 200);
        QMouseEvent move(QEvent::MouseMove, pos, volumeView->mapToGlobal(pos), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(volumeView, &move);
        finish(volumeView);
    }
}

// The slices at a new cross and their upload, without painting the frame.
void BM_ComposeAndUpload(benchmark::State &state)
{
    volumeView->showVolume(readAs<VolumeDocument>(volumeFile), 0);
    int step = 0;
    for (auto _ : state) {
        QKeyEvent key(QEvent::KeyPress, step++ % 2 ? Qt::Key_Left : Qt::Key_Right, Qt::NoModifier);
        QApplication::sendEvent(volumeView, &key);
        finish(volumeView);
    }
}

// Choosing a map at resolution 3 over the whole brain: converted to the
// volume's grid and coloured into the slices, to the finished frame.
void BM_MapChosenToFrame(benchmark::State &state)
{
    const auto volume = readAs<VolumeDocument>(volumeFile);
    volumeView->showVolume(volume, 0);
    MapDisplaySettings settings;
    settings.setTarget(volume);
    QObject::connect(&settings, &MapDisplaySettings::changed, volumeView,
                     &VolumeOGLViewer::mapDisplayChanged);
    settings.chooseMapFile(mapFile);
    for (auto _ : state) {
        settings.chooseMap(0);
        finish(volumeView);
    }
}

void BM_DicomToFrame(benchmark::State &state)
{
    for (auto _ : state) {
        rawView->showDicom(readAs<DicomDocument>(dicomFile), 0);
        finish(rawView);
    }
}

void BM_DicomBytes(benchmark::State &state)
{
    for (auto _ : state) {
        QFile file(dicomFile);
        file.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(file.readAll());
    }
}

BENCHMARK(BM_CrossMoveToFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ComposeAndUpload)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MapChosenToFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DicomBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DicomToFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    VmrFixture volume;
    volume.dimX = volume.dimY = volume.dimZ = 256;
    QByteArray voxels(256 * 256 * 256, 0);
    for (int i = 0; i < voxels.size(); ++i)
        voxels[i] = char(10 + (i * 7 + i / 256 * 3 + i / 65536 * 5) % 216);
    volume.voxels = voxels;
    QList<qint16> pixels;
    for (int i = 0; i < 512 * 512; ++i)
        pixels << qint16(100 + (i * 13 + i / 512 * 7) % 1500);
    DicomFixture image;
    image.unsignedShort(0x0028, 0x0010, 512)
        .unsignedShort(0x0028, 0x0011, 512)
        .unsignedShort(0x0028, 0x0100, 16)
        .pixels(pixels);
    // A t map over the brain's box at resolution 3: smooth blobs of both signs.
    VmpFixture vmp;
    vmp.resolution = 3;
    const int box[6] = {38, 218, 38, 218, 38, 218};
    std::copy(box, box + 6, vmp.box);
    VmpFixture::Map map;
    map.useMapColors = 0;
    map.clusterCheckEnabled = 0;
    map.showPosNeg = 3;
    for (qint64 i = 0; i < vmp.nrOfCells(false); ++i)
        map.data << float(9 * std::sin(i * 0.37) * std::cos(i * 0.011));
    vmp.maps = {map};
    volume.offsetX = volume.offsetY = volume.offsetZ = 0;
    mapFile = dir.filePath("maps.vmp");
    volumeFile = dir.filePath("head.vmr");
    dicomFile = dir.filePath("slice.dcm");
    if (!dir.isValid() || !save(volumeFile, volume.bytes()) || !save(dicomFile, image.file()) ||
        !save(mapFile, vmp.current()))
        return 1;

    volumeView = new VolumeOGLViewer;
    rawView = new RawMRIDataOGLViewer;
    showAndWaitForExposure(volumeView, QSize(1000, 700));
    showAndWaitForExposure(rawView, QSize(1000, 700));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete volumeView;
    delete rawView;
    return 0;
}
