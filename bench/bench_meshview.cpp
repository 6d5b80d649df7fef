// Drawing a 200,000-vertex mesh in the mesh view while it spins, from strips and
// from separate triangles, the time from a change of its colours to the next
// frame, and from choosing a thickness file for a 150,000-vertex FreeSurfer
// surface to the frame that shows it. Needs a display (run under xvfb-run -a).
#include "Icosphere.h"
#include "MapDisplaySettings.h"
#include "MeshOGLViewer.h"
#include "MeshRasterizer.h"
#include "ShowWidget.h"
#include "SrfFixture.h"
#include "SurfaceMesh.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWindow>

#include <GL/gl.h>
#include <benchmark/benchmark.h>

namespace {

MeshOGLViewer *view = nullptr;
QString withStrips, withoutStrips;

// A folded sphere of about 164,000 vertices and 328,000 triangles.
QByteArray foldedSphere(const Icosphere &sphere, bool strips)
{
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
    srf.triangles = sphere.triangles;
    if (strips)
        srf.strips = sphere.strips();
    std::fill(std::begin(srf.meshCenter), std::end(srf.meshCenter), 128.0f);
    return srf.bytes();
}

// The frame on screen: painted by the event loop, as a widget of this kind
// always is, and finished by the renderer.
void finishFrame()
{
    view->update();
    QCoreApplication::processEvents();
    view->makeCurrent();
    glFinish();
    view->doneCurrent();
}

void spin(benchmark::State &state, const QString &file)
{
    const auto mesh = readAs<MeshDocument>(file);
    view->showMesh(mesh, 0);
    QCoreApplication::processEvents();
    finishFrame();
    for (auto _ : state) {
        view->animateLongRotation(0);
        finishFrame();
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["vertices"] = mesh->mesh().nrOfVertices;
}

void BM_SpinWithStrips(benchmark::State &state)
{
    spin(state, withStrips);
}

void BM_SpinWithoutStrips(benchmark::State &state)
{
    spin(state, withoutStrips);
}

// A map overlay writes new colour codes; the next frame shows them.
void BM_ColourChangeToFrame(benchmark::State &state)
{
    const auto document = readAs<MeshDocument>(withStrips);
    view->showMesh(document, 0);
    QCoreApplication::processEvents();
    finishFrame();
    SurfaceMesh *mesh = &document->mesh();
    int round = 0;
    for (auto _ : state) {
        ++round;
        for (int v = 0; v < mesh->nrOfVertices; ++v)
            mesh->vertexColors[v] = (v / 97 + round) % 2 ? 0x3F000000 + (v & 0xFFFF) : 1;
        view->meshColoursChanged();
        finishFrame();
    }
}

// As the maps panel does when lh.thickness is clicked: the file read onto the
// surface and its map listed, the first map chosen and overlaid, the frame.
void BM_ChooseThicknessToFrame(benchmark::State &state)
{
    const QString folder = CXV_SURFACE_BENCH_DIR "/";
    const auto document = readAs<MeshDocument>(folder + "lh.pial");
    if (!document || document->curvatureFile().isEmpty()) {
        state.SkipWithError("lh.pial is not read with its curvature");
        return;
    }
    view->showMesh(document, 0);
    QCoreApplication::processEvents();
    finishFrame();
    MapDisplaySettings settings;
    settings.setTarget(document);
    QObject::connect(&settings, &MapDisplaySettings::mapNamesListed, &settings,
                     [&] { settings.chooseMap(0); });
    QObject::connect(&settings, &MapDisplaySettings::changed, view,
                     &MeshOGLViewer::meshColoursChanged);
    for (auto _ : state) {
        settings.chooseMapFile(folder + "lh.thickness");
        finishFrame();
    }
    state.counters["vertices"] = document->mesh().nrOfVertices;
}

BENCHMARK(BM_SpinWithStrips)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SpinWithoutStrips)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ColourChangeToFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChooseThicknessToFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

bool save(const QString &name, const QByteArray &data)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const Icosphere sphere(7);
    withStrips = dir.filePath("strips.srf");
    withoutStrips = dir.filePath("triangles.srf");
    if (!dir.isValid() || !save(withStrips, foldedSphere(sphere, true)) ||
        !save(withoutStrips, foldedSphere(sphere, false)))
        return 1;

    view = new MeshOGLViewer;
    showAndWaitForExposure(view, QSize(1000, 700));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete view;
    return 0;
}
