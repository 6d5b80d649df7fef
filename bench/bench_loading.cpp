// The window while a large file loads: the longest stall of its event loop
// (a probe timer firing every millisecond) from the file chosen to its first
// frame and cover, for a 256³ VMR, a 182 × 218 × 182 .nii.gz and a
// 177,012-vertex SRF; beside it the same file read on the window's thread, as
// the views did before loading moved to workers. Needs a display (run under
// xvfb-run -a).
#include "ClustersPanel.h"
#include "Icosphere.h"
#include "ImageOGLViewer.h"
#include "DocumentRouter.h"
#include "MapDisplaySettings.h"
#include "MapsPanel.h"
#include "MeshOGLViewer.h"
#include "MeshRasterizer.h"
#include "PropertyPanels.h"
#include "RawMRIDataOGLViewer.h"
#include "ShowWidget.h"
#include "SrfFixture.h"
#include "VmrFixture.h"
#include "VolumeOGLViewer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

struct Window
{
    QStackedWidget stack;
    ImageOGLViewer *image = new ImageOGLViewer;
    MeshOGLViewer *mesh = new MeshOGLViewer;
    VolumeOGLViewer *volume = new VolumeOGLViewer;
    RawMRIDataOGLViewer *rawMRI = new RawMRIDataOGLViewer;
    PropertyPanels panels;
    MapsPanel maps;
    MapDisplaySettings settings;
    ClustersPanel clusters;
    DocumentRouter router{{image, mesh, volume, rawMRI}, &panels, &maps, &settings, &clusters};

    Window()
    {
        for (QWidget *view : {static_cast<QWidget *>(image), static_cast<QWidget *>(mesh),
                              static_cast<QWidget *>(volume), static_cast<QWidget *>(rawMRI)})
            stack.addWidget(view);
        QObject::connect(&router, &DocumentRouter::viewChosen, &stack,
                         [this](OGLViewer *view) { stack.setCurrentWidget(view); });
    }
};

Window *window = nullptr;
QString volumeFile, meshFile;

bool save(const QString &name, const QByteArray &data)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// A folded sphere of 163,842 vertices, and as many more unconnected ones as a
// cortex mesh of 177,012 vertices has.
QByteArray cortexSizedMesh()
{
    const Icosphere sphere(7);
    SrfFixture srf;
    QList<QVector3D> points;
    for (const QVector3D &v : sphere.vertices)
        points << QVector3D(128, 128, 128) +
                      (70 + 4 * std::sin(9 * v.x()) * std::sin(7 * v.y())) * v;
    const QList<QVector3D> normals = MeshRasterizer::vertexNormals(points, sphere.triangles);
    const QList<QList<int>> rings = sphere.neighbourRings();
    for (qsizetype v = 0; v < points.size(); ++v) {
        const QVector3D &p = points[v], n = -normals[v];
        srf.vertices << SrfFixture::Vertex{p.x(), p.y(), p.z(),           n.x(),
                                           n.y(), n.z(), int(v % 7 == 0), rings[v]};
    }
    for (qsizetype v = points.size(); v < 177012; ++v)
        srf.vertices << SrfFixture::Vertex{128, 128, 128, 0, 0, 1, 0, {}};
    srf.triangles = sphere.triangles;
    srf.strips = sphere.strips();
    std::fill(std::begin(srf.meshCenter), std::end(srf.meshCenter), 128.0f);
    return srf.bytes();
}

// The longest time the event loop was kept from a probe ticking every
// millisecond while start() runs and the file goes on loading, up to its first
// frame and the cover taken from it.
void measureStall(benchmark::State &state, const std::function<void()> &start)
{
    qint64 longestNs = 0;
    double loadMs = 0;
    // Once unmeasured: a view's first frame also makes its OpenGL context.
    start();
    while (window->router.isLoading())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    for (auto _ : state) {
        window->router.clearViews();
        QCoreApplication::processEvents();
        QElapsedTimer sinceTick, total;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longestNs = qMax(longestNs, sinceTick.nsecsElapsed());
            sinceTick.restart();
        });
        probe.start(1);
        sinceTick.start();
        total.start();
        start();
        while (window->router.isLoading())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        loadMs = double(total.nsecsElapsed()) / 1e6;
        // The first frame, and the mesh view's cover 150 ms later.
        QElapsedTimer after;
        after.start();
        while (after.elapsed() < 400)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        longestNs = qMax(longestNs, sinceTick.nsecsElapsed());
    }
    state.counters["longest_stall_ms"] = double(longestNs) / 1e6;
    state.counters["loaded_ms"] = loadMs;
}

void onWorkers(benchmark::State &state, const QString &file)
{
    measureStall(state, [&] { window->router.inspect(0, file); });
}

// As before: read on the window's thread, then shown.
void onTheWindowsThread(benchmark::State &state, const QString &file)
{
    measureStall(state, [&] {
        const auto document = readAs<Document>(file);
        if (document->kind() == Document::Mesh)
            window->mesh->showMesh(std::static_pointer_cast<MeshDocument>(document), 0);
        else
            window->volume->showVolume(std::static_pointer_cast<VolumeDocument>(document), 0);
    });
}

void BM_Vmr256OnWorkers(benchmark::State &state)
{
    onWorkers(state, volumeFile);
}
void BM_Vmr256OnTheWindowsThread(benchmark::State &state)
{
    onTheWindowsThread(state, volumeFile);
}
void BM_NiftiTemplateOnWorkers(benchmark::State &state)
{
    onWorkers(state, CXV_NIFTI_BENCH_DIR "/mni_t1.nii.gz");
}
void BM_NiftiTemplateOnTheWindowsThread(benchmark::State &state)
{
    onTheWindowsThread(state, CXV_NIFTI_BENCH_DIR "/mni_t1.nii.gz");
}
void BM_Srf177kOnWorkers(benchmark::State &state)
{
    onWorkers(state, meshFile);
}
void BM_Srf177kOnTheWindowsThread(benchmark::State &state)
{
    onTheWindowsThread(state, meshFile);
}

// Another file chosen while a large one is still read: the newer one is shown,
// and the older one's document is freed when its read ends.
void BM_SupersededLoad(benchmark::State &state)
{
    int shownNewer = 0;
    for (auto _ : state) {
        window->router.clearViews();
        window->router.inspect(0, volumeFile);
        window->router.inspect(1, meshFile);
        while (window->router.isLoading())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        shownNewer += window->mesh->mesh() && !window->volume->volume();
    }
    state.counters["newer_shown"] = double(shownNewer) / double(state.iterations());
    state.counters["documents_alive"] = Document::instances();
}

BENCHMARK(BM_Vmr256OnWorkers)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Vmr256OnTheWindowsThread)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_NiftiTemplateOnWorkers)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_NiftiTemplateOnTheWindowsThread)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Srf177kOnWorkers)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Srf177kOnTheWindowsThread)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SupersededLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

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
    volumeFile = dir.filePath("head.vmr");
    meshFile = dir.filePath("cortex.srf");
    if (!dir.isValid() || !save(volumeFile, volume.bytes()) || !save(meshFile, cortexSizedMesh()))
        return 1;

    window = new Window;
    showAndWaitForExposure(&window->stack, QSize(1000, 700));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete window;
    return 0;
}
