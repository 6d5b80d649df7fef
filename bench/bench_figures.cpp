// `cxviewer --render` of a 256³ volume with a map to a PNG, the whole process,
// with no display. Beside it, when CXV_BASELINE_VIEWER names another build of
// cxviewer (an earlier one, which started an X server of its own for every
// figure), the same figure drawn by that program in the same run. Then a
// 24-slice lightbox of a 1-mm MNI-sized .nii.gz with a 2-mm z map and the
// legend (goal: under 300 ms), beside the plain figure of the same files.
#include "SampleSet.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir *samples = nullptr;

void renderWith(benchmark::State &state, const QString &program, const QStringList &file)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    const QString out = samples->filePath("figure.png");
    for (auto _ : state) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, QStringList{"--render", out} + file);
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            state.SkipWithError(qPrintable(program + " failed: " + process.readAllStandardError()));
            return;
        }
    }
}

QString viewer()
{
    return QCoreApplication::applicationDirPath() + "/cxviewer";
}

QStringList volumeAndMap()
{
    return {samples->filePath("Phantom_Head.vmr"), "--map",
            samples->filePath("Phantom_Head_Maps.vmp")};
}

void BM_VolumeFigure(benchmark::State &state)
{
    renderWith(state, viewer(), volumeAndMap());
}

void BM_VolumeFigureBaseline(benchmark::State &state)
{
    const QString baseline = qEnvironmentVariable("CXV_BASELINE_VIEWER");
    if (baseline.isEmpty()) {
        state.SkipWithError("CXV_BASELINE_VIEWER names no earlier cxviewer to compare with");
        return;
    }
    renderWith(state, baseline, volumeAndMap());
}

void BM_MeshFigure(benchmark::State &state)
{
    renderWith(state, viewer(), {samples->filePath("Phantom_Cortex.srf")});
}

QStringList mniAndZMap()
{
    const QString dir = QStringLiteral(CXV_NIFTI_BENCH_DIR);
    return {dir + "/mni_t1.nii.gz", "--map", dir + "/zstat.nii.gz", "--threshold", "3"};
}

void BM_MniLightbox(benchmark::State &state)
{
    renderWith(state, viewer(),
               QStringList{"--size", "1200x900", "--layout", "lightbox", "--legend"} +
                   mniAndZMap());
}

void BM_MniFigure(benchmark::State &state)
{
    renderWith(state, viewer(), QStringList{"--size", "1200x900", "--legend"} + mniAndZMap());
}

BENCHMARK(BM_VolumeFigure)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_VolumeFigureBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_MeshFigure)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_MniLightbox)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_MniFigure)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    samples = &dir;
    if (!dir.isValid() || !SampleSet(dir.path()).write())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
