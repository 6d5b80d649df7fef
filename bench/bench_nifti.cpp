// A NIfTI template opened to the first frame, beside decompressing its file to
// memory alone in the same run, and a 2 mm z map chosen over it, from the click
// on the map file to the frame. Needs a display (run under xvfb-run -a).
#include "MapDisplaySettings.h"
#include "ShowWidget.h"
#include "VolumeOGLViewer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QWindow>

#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <vector>

namespace {

const QString templateFile = QStringLiteral(CXV_NIFTI_BENCH_DIR "/mni_t1.nii.gz");
const QString mapFile = QStringLiteral(CXV_NIFTI_BENCH_DIR "/zstat.nii.gz");
VolumeOGLViewer *view = nullptr;

// The frame on screen: painted by the event loop and finished by the renderer.
void finish(QOpenGLWidget *widget)
{
    widget->update();
    QCoreApplication::processEvents();
    widget->makeCurrent();
    glFinish();
    widget->doneCurrent();
}

void BM_GzipDecompressTemplate(benchmark::State &state)
{
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        gzFile file = gzopen(QFile::encodeName(templateFile).constData(), "rb");
        QByteArray all;
        int read;
        while ((read = gzread(file, buffer.data(), unsigned(buffer.size()))) > 0)
            all.append(buffer.data(), read);
        gzclose(file);
        benchmark::DoNotOptimize(all.data());
    }
}

void BM_NiftiTemplateToFrame(benchmark::State &state)
{
    for (auto _ : state) {
        view->showVolume(readAs<VolumeDocument>(templateFile), 0);
        finish(view);
    }
}

void BM_NiftiMapChosenToFrame(benchmark::State &state)
{
    const auto volume = readAs<VolumeDocument>(templateFile);
    view->showVolume(volume, 0);
    MapDisplaySettings settings;
    settings.setTarget(volume);
    QObject::connect(&settings, &MapDisplaySettings::changed, view,
                     &VolumeOGLViewer::mapDisplayChanged);
    for (auto _ : state) {
        settings.chooseMapFile(mapFile);
        settings.chooseMap(0);
        finish(view);
    }
}

BENCHMARK(BM_GzipDecompressTemplate)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NiftiTemplateToFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NiftiMapChosenToFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    view = new VolumeOGLViewer;
    showAndWaitForExposure(view, QSize(1000, 700));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete view;
    return 0;
}
