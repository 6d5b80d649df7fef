// Opening a folder of 10,000 image files in images mode: listing, one placeholder cover per
// file and the first painted frame. Needs a display (run under xvfb-run -a).

#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "ShowWidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QWindow>

#include <benchmark/benchmark.h>

namespace {

const int fileCount = 10000;

CortivexViewer *viewer = nullptr;
QString imageFolder;

bool makeImageFolder(const QTemporaryDir &dir)
{
    for (int i = 0; i < fileCount; ++i) {
        QFile file(dir.filePath(
            QString("image%1.%2").arg(i, 5, 10, QChar('0')).arg(i % 2 ? "png" : "jpg")));
        if (!file.open(QIODevice::WriteOnly))
            return false;
    }
    imageFolder = dir.path();
    return true;
}

// Bytes held by distinct pictures: covers sharing one placeholder count once.
qint64 distinctImageBytes(CoverStore &store)
{
    QSet<qint64> seen;
    qint64 bytes = 0;
    for (int i = 0; i < store.count(); ++i)
        if (const QImage image = store.image(i); !seen.contains(image.cacheKey())) {
            seen.insert(image.cacheKey());
            bytes += image.sizeInBytes();
        }
    return bytes;
}

void openImageFolder()
{
    viewer->openPaths({imageFolder});
}

void BM_OpenFolderAndPaintFirstFrame(benchmark::State &state)
{
    CoverFlowBrowser *cf = viewer->coverFlow();
    for (auto _ : state) {
        openImageFolder();
        benchmark::DoNotOptimize(cf->grabFramebuffer());
    }
    state.counters["covers"] = double(cf->coverStore()->count());
    state.counters["placeholderBytes"] = double(distinctImageBytes(*cf->coverStore()));
    qint64 reflectionBytes = 0;
    for (const QImage &reflection : std::as_const(cf->reflectionCache))
        reflectionBytes += reflection.sizeInBytes();
    state.counters["reflectionBytes"] = double(reflectionBytes);
}
BENCHMARK(BM_OpenFolderAndPaintFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// The cover flow's own share of opening the folder: one placeholder per file.
void BM_AddPlaceholderCovers(benchmark::State &state)
{
    openImageFolder();
    CoverFlowBrowser *cf = viewer->coverFlow();
    QStringList names;
    for (int i = 0; i < cf->coverStore()->count(); ++i)
        names << cf->coverStore()->fileName(i);
    for (auto _ : state) {
        cf->clearCoverStore();
        for (const QString &name : names)
            cf->addEmptyCover(name);
    }
}
BENCHMARK(BM_AddPlaceholderCovers)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaintFrame(benchmark::State &state)
{
    openImageFolder();
    CoverFlowBrowser *cf = viewer->coverFlow();
    cf->setCurrentCoverIndex(fileCount / 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(cf->grabFramebuffer());
}
BENCHMARK(BM_PaintFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir work;
    QTemporaryDir images;
    if (!work.isValid() || !images.isValid() || !makeImageFolder(images))
        return 1;
    // The window lists its working directory when it starts; keep that empty.
    QDir::setCurrent(work.path());
    viewer = new CortivexViewer;
    viewer->openDataFolders(work.path());
    showAndWaitForExposure(viewer, QSize(1200, 750));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete viewer;
    return 0;
}
