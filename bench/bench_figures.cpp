// `cxviewer --render` of a 256³ volume with a map to a PNG, the whole process,
// with no display. Beside it, when CXV_BASELINE_VIEWER names another build of
// cxviewer (an earlier one, which started an X server of its own for every
// figure), the same figure drawn by that program in the same run. A 24-slice
// lightbox of a 1-mm MNI-sized .nii.gz with a 2-mm z map and the legend (goal:
// under 300 ms), beside the plain figure of the same files. Figure sets:
// `--render-each` of 100 figures in one process beside the sum of the 100
// single figures drawn in this process (the same run, goal: at most 1.2 times)
// and beside 100 separate `--render` processes; `--contact-sheet` of a folder
// of 60 scans whose covers are stored (goal: under 1 s), and of the same
// folder with none stored.
#include "BrowsingMode.h"
#include "CommandLine.h"
#include "FigureRenderer.h"
#include "FolderDataFiles.h"
#include "SampleSet.h"
#include "ThumbnailFile.h"
#include "ThumbnailRule.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

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

bool hardLink(const QString &file, const QString &link)
{
    return ::link(QFile::encodeName(file).constData(), QFile::encodeName(link).constData()) == 0;
}

// The 100 volumes are names of one file (the strip lists no symbolic links),
// so that all are read from memory.
QStringList hundredVolumes()
{
    QDir folder(samples->filePath("hundred"));
    if (!folder.exists()) {
        folder.mkpath(".");
        for (int i = 0; i < 100; ++i)
            hardLink(samples->filePath("Phantom_Head.vmr"),
                     folder.filePath(QString("head%1.vmr").arg(i, 3, 10, QChar('0'))));
    }
    QStringList files;
    for (const QString &name : folder.entryList({"*.vmr"}, QDir::Files, QDir::Name))
        files << folder.filePath(name);
    return files;
}

bool runViewer(const QStringList &arguments, const QString &program = viewer())
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    const bool done = process.waitForFinished(600000) &&
                      process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!done)
        qWarning("%s", process.readAllStandardError().constData());
    return done;
}

QStringList mapOptions()
{
    return {"--map", samples->filePath("Phantom_Head_Maps.vmp")};
}

// Counters: "each" the --render-each process, "sum" the single figures drawn
// here one after the other, "ratio" each / sum (ms).
void BM_RenderEach100(benchmark::State &state)
{
    const QStringList files = hundredVolumes();
    const QString folder = samples->filePath("each");
    QDir().mkpath(folder);
    double each = 0, sum = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        for (const QString &file : files) {
            const CommandLine line(QStringList{"--render", folder + "/alone.png"} + mapOptions() +
                                   QStringList{file});
            FigureRenderer renderer;
            if (line.action() != CommandLine::Render || !renderer.render(line)) {
                state.SkipWithError(qPrintable("a single figure failed: " + renderer.failure()));
                return;
            }
        }
        sum += clock.nsecsElapsed() / 1e6;
        clock.restart();
        if (!runViewer(QStringList{"--render-each", folder} + mapOptions() + files)) {
            state.SkipWithError("--render-each failed");
            return;
        }
        each += clock.nsecsElapsed() / 1e6;
    }
    state.counters["each_ms"] = each / state.iterations();
    state.counters["sum_ms"] = sum / state.iterations();
    state.counters["ratio"] = each / sum;
}

void BM_Render100Processes(benchmark::State &state)
{
    const QStringList files = hundredVolumes();
    for (auto _ : state)
        for (const QString &file : files)
            if (!runViewer(QStringList{"--render", samples->filePath("alone.png")} + mapOptions() +
                           QStringList{file})) {
                state.SkipWithError("--render failed");
                return;
            }
}

// A program of its own beside its data folder, which holds the folder's covers
// when stored is set.
QString sheetViewer(bool stored)
{
    const QString base = samples->filePath(stored ? "stored" : "unstored");
    const QString program = base + "/bin/cxviewer";
    if (QFile::exists(program))
        return program;
    QDir().mkpath(base + "/bin/CXViewerFolderData");
    if (!hardLink(viewer(), program))
        QFile::copy(viewer(), program);
    const QString scans = samples->filePath("sixty");
    QDir().mkpath(scans);
    QList<ThumbnailEntry> entries;
    QString reason;
    const QByteArray cover =
        encodeThumbnail(scanThumbnail(samples->filePath("Phantom_Head.vmr"), {}, true, reason));
    for (int i = 0; i < 60; ++i) {
        const QString name = QString("scan%1.vmr").arg(i, 2, 10, QChar('0'));
        hardLink(samples->filePath("Phantom_Head.vmr"), scans + "/" + name);
        entries << ThumbnailEntry{name, cover};
    }
    if (stored) {
        const QString data = base + "/bin/CXViewerFolderData/";
        const QString name = "sixty_3_2026-01-01T00-00-00.cxi";
        QFile file(data + name);
        if (file.open(QIODevice::WriteOnly))
            writeThumbnailFile(file, entries);
        QMap<QString, QString> images, raw, cx{{scans, name}};
        saveFileAtomically(data + "VisitedFolders.cxv",
                           [&](QIODevice &index) { writeVisitedFolders(index, images, raw, cx); });
    }
    return program;
}

void sheetOfSixty(benchmark::State &state, bool stored)
{
    const QString program = sheetViewer(stored);
    for (auto _ : state)
        if (!runViewer(
                {"--contact-sheet", samples->filePath("sheet.png"), samples->filePath("sixty")},
                program)) {
            state.SkipWithError("--contact-sheet failed");
            return;
        }
}

void BM_ContactSheet60Stored(benchmark::State &state)
{
    sheetOfSixty(state, true);
}

void BM_ContactSheet60Made(benchmark::State &state)
{
    sheetOfSixty(state, false);
}

BENCHMARK(BM_RenderEach100)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_Render100Processes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ContactSheet60Stored)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ContactSheet60Made)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_VolumeFigure)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_VolumeFigureBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_MeshFigure)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_MniLightbox)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_MniFigure)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    // The single figures drawn here write their labels in fonts, as the program does.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    samples = &dir;
    if (!dir.isValid() || !SampleSet(dir.path()).write())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
