// Thumbnails: a folder of twelve 12-megapixel JPEGs from opening to the last
// thumbnail installed (beside vipsthumbnail -s 256 on the same files, when
// libvips-tools is installed), the time per thumbnail beside a full decode, the
// longest stall of the window while a folder of 200 such images fills, and the
// resident memory with 10,000 thumbnails made. Needs a display (xvfb-run -a).

#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "FolderDataFiles.h"
#include "SamplePictures.h"
#include "ShowWidget.h"
#include "ThumbnailFile.h"
#include "ThumbnailRule.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>

namespace {

CortivexViewer *viewer = nullptr;
QTemporaryDir *work = nullptr;

QString folder(const QString &name)
{
    return work->filePath(name);
}

bool writeFile(const QString &name, const QByteArray &data)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray encoded(const QImage &image, const char *format, int quality)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    return writer.write(image) ? buffer.data() : QByteArray();
}

// Twelve different photographs' worth of detail: two drawn scenes, mirrored and tinted.
bool makeJpegFolders()
{
    const QSize size(4000, 3000);
    const QImage scenes[] = {SamplePictures::landscape(size), SamplePictures::plasma(size, 7)};
    QDir(work->path()).mkpath("twelve");
    QDir(work->path()).mkpath("two-hundred");
    for (int i = 0; i < 12; ++i) {
        QImage picture = scenes[i % 2].mirrored(i & 2, i & 4);
        QPainter(&picture).fillRect(picture.rect(), QColor::fromHsv(i * 30, 255, 255, 40));
        const QString name = folder(QString("twelve/photo%1.jpg").arg(i, 2, 10, QChar('0')));
        if (!writeFile(name, encoded(picture, "jpeg", 85)))
            return false;
    }
    // The same files again under 200 names, sharing their data on disk.
    for (int i = 0; i < 200; ++i) {
        const QString from = folder(QString("twelve/photo%1.jpg").arg(i % 12, 2, 10, QChar('0')));
        const QString to = folder(QString("two-hundred/photo%1.jpg").arg(i, 3, 10, QChar('0')));
        if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
            return false;
    }
    return writeFile(folder("plasma-2mp.png"),
                     encoded(SamplePictures::plasma(QSize(1600, 1250), 3), "png", -1));
}

void runUntil(const std::function<bool()> &done, int timeoutMs = 120000)
{
    QEventLoop loop;
    QTimer check;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || waited.elapsed() > timeoutMs)
            loop.quit();
    });
    check.start(1);
    loop.exec();
}

bool allThumbnailsMade()
{
    const CoverStore *store = viewer->coverFlow()->coverStore();
    for (int i = 0; i < store->count(); ++i)
        if (!store->thumbnailLoaded(i))
            return false;
    return !store->isEmpty();
}

// A new folder of hard links to the files of the named one, which the viewer has
// no thumbnails stored for. The folder shown is left for an empty one, so that
// storing its thumbnails is not part of what is measured next.
QString freshCopy(const QString &name)
{
    static int copies = 0;
    const QString copy = folder(QString("%1-%2").arg(name).arg(++copies));
    QDir().mkpath(copy);
    for (const QString &file : QDir(folder(name)).entryList(QDir::Files))
        ::link(QFile::encodeName(folder(name + "/" + file)).constData(),
               QFile::encodeName(copy + "/" + file).constData());
    viewer->openPaths({folder("empty")});
    return copy;
}

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

qint64 residentBytes()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

void BM_TwelveJpegFolder(benchmark::State &state)
{
    const QString vips = QStandardPaths::findExecutable("vipsthumbnail");
    QStringList files;
    for (const QString &name : QDir(folder("twelve")).entryList({"*.jpg"}, QDir::Files))
        files << folder("twelve/" + name);
    QDir(work->path()).mkpath("vips");
    double vipsSeconds = 0;
    double ourSeconds = 0;
    for (auto _ : state) {
        const QString fresh = freshCopy("twelve");
        QElapsedTimer timer;
        timer.start();
        viewer->openPaths({fresh});
        runUntil(allThumbnailsMade);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        ourSeconds += seconds;
        if (!vips.isEmpty()) {
            timer.restart();
            QProcess::execute(vips,
                              QStringList({"-s", "256", "-o", folder("vips/%s.jpg")}) + files);
            vipsSeconds += double(timer.nsecsElapsed()) / 1e9;
        }
    }
    if (!allThumbnailsMade())
        state.SkipWithError("not every thumbnail was made");
    if (vips.isEmpty()) {
        std::fprintf(stderr, "vipsthumbnail is not installed (Debian's libvips-tools): no ratio\n");
        return;
    }
    state.counters["vipsthumbnail_s"] =
        benchmark::Counter(vipsSeconds, benchmark::Counter::kAvgIterations);
    state.counters["ratio_to_vipsthumbnail"] = ourSeconds / vipsSeconds;
}

// The work of one worker for one file, PNG stream included, beside a plain decode.
void BM_Thumbnail(benchmark::State &state, const QString &name)
{
    const QString file = folder(name);
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeThumbnail(fileThumbnail(file, false)));
}

void BM_FullDecode(benchmark::State &state, const QString &name)
{
    const QString file = folder(name);
    for (auto _ : state)
        benchmark::DoNotOptimize(QImage(file));
}

// A probe timer firing every millisecond measures the longest time the event
// loop was kept from it while the folder filled.
void BM_StallWhileFilling200(benchmark::State &state)
{
    qint64 longestStallNs = 0;
    // Of the window's own thread: the CPU time it spent between two ticks, which
    // leaves out the time the machine's other work took from it.
    qint64 longestBusyNs = 0;
    qint64 lastCpuNs = threadCpuNs();
    int stallsOver20ms = 0;
    int paints = 0;
    double fillSeconds = 0;
    struct PaintCounter : QObject
    {
        int *paints;
        explicit PaintCounter(int *paints) : paints(paints) {}
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                ++*paints;
            return false;
        }
    } counter(&paints);
    viewer->coverFlow()->installEventFilter(&counter);
    for (auto _ : state) {
        const QString fresh = freshCopy("two-hundred");
        QElapsedTimer timer;
        timer.start();
        QElapsedTimer sinceTick;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 gapNs = sinceTick.nsecsElapsed();
            sinceTick.restart();
            const qint64 cpuNs = threadCpuNs();
            longestStallNs = qMax(longestStallNs, gapNs);
            longestBusyNs = qMax(longestBusyNs, cpuNs - lastCpuNs);
            lastCpuNs = cpuNs;
            stallsOver20ms += gapNs > 20000000;
        });
        viewer->openPaths({fresh});
        // The first frame of the opened folder is the opening's, not the filling's.
        QCoreApplication::processEvents();
        lastCpuNs = threadCpuNs();
        sinceTick.start();
        probe.start(1);
        runUntil(allThumbnailsMade);
        fillSeconds = double(timer.nsecsElapsed()) / 1e9;
    }
    viewer->coverFlow()->removeEventFilter(&counter);
    state.counters["fill_s"] = fillSeconds;
    state.counters["longest_stall_ms"] = double(longestStallNs) / 1e6;
    state.counters["stalls_over_20ms"] = stallsOver20ms;
    state.counters["longest_busy_ms"] = double(longestBusyNs) / 1e6;
    state.counters["strip_paints_per_s"] = paints / fillSeconds;
}

// 10,000 image files whose thumbnails are stored: opening the folder reads them
// all; a walk along the whole strip then decodes every one of them once.
void BM_ResidentMemory10000(benchmark::State &state)
{
    const int fileCount = 10000;
    QDir(work->path()).mkpath("ten-thousand");
    const QImage scenes[] = {SamplePictures::landscape(QSize(1024, 768)),
                             SamplePictures::plasma(QSize(1024, 768), 5)};
    // Five hundred different thumbnails of the scenes' details, each used twenty times.
    QList<QByteArray> pngs;
    qint64 pngBytes = 0;
    for (int i = 0; i < 500; ++i) {
        const QImage &scene = scenes[i % 2];
        const QRect crop((i * 37) % 640, (i * 23) % 384, 384, 384 * 3 / 4);
        pngs << encodeThumbnail(imageThumbnail(scene.copy(crop), false));
        pngBytes += pngs.last().size();
    }
    QList<ThumbnailEntry> entries;
    for (int i = 0; i < fileCount; ++i) {
        const QString name = QString("image%1.jpg").arg(i, 5, 10, QChar('0'));
        writeFile(folder("ten-thousand/" + name), QByteArray());
        entries.append({name, pngs[i % pngs.size()]});
    }
    // The index names the file as the viewer would; then the viewer reads it again.
    const QString dataFolder = folder("app/CXViewerFolderData");
    const QString cxi = "ten-thousand_1_2020-01-01T00-00-00.cxi";
    QFile file(QDir(dataFolder).filePath(cxi));
    if (!file.open(QIODevice::WriteOnly))
        return state.SkipWithError("cannot write the thumbnail file");
    writeThumbnailFile(file, entries);
    file.close();
    entries.clear();
    pngs.clear();
    const QMap<QString, QString> index = {{folder("ten-thousand"), cxi}};
    if (!saveFileAtomically(QDir(dataFolder).filePath("VisitedFolders.cxv"),
                            [&](QIODevice &device) { writeVisitedFolders(device, index, {}, {}); }))
        return state.SkipWithError("cannot write the index of visited folders");
    viewer->openDataFolders(folder("app"));

    CoverFlowBrowser *strip = viewer->coverFlow();
    const auto walkTheStrip = [&] {
        for (int i = 0; i < strip->coverStore()->count(); i += 10) {
            strip->setCurrentCoverIndex(i);
            benchmark::DoNotOptimize(strip->grabFramebuffer());
        }
    };
    for (auto _ : state) {
        viewer->openPaths({folder("empty")});
        benchmark::DoNotOptimize(strip->grabFramebuffer());
        state.counters["rss_empty_MB"] = double(residentBytes()) / 1e6;

        viewer->openPaths({folder("ten-thousand")});
        state.counters["rss_opened_MB"] = double(residentBytes()) / 1e6;
        walkTheStrip();
        state.counters["rss_10000_thumbnails_MB"] = double(residentBytes()) / 1e6;
        state.counters["covers_with_thumbnail"] = allThumbnailsMade() ? fileCount : 0;
    }
    state.counters["extra_MB"] =
        state.counters["rss_10000_thumbnails_MB"] - state.counters["rss_empty_MB"];
    state.counters["png_bytes_per_thumbnail"] = double(pngBytes) / 500;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    work = &dir;
    if (!dir.isValid() || !QDir(dir.path()).mkpath("app") || !QDir(dir.path()).mkpath("empty") ||
        !makeJpegFolders())
        return 1;
    // The window lists its working directory when it starts; keep that empty.
    QDir(dir.path()).mkpath("start");
    QDir::setCurrent(folder("start"));
    viewer = new CortivexViewer;
    viewer->openDataFolders(folder("app"));
    showAndWaitForExposure(viewer, QSize(1200, 750));

    benchmark::RegisterBenchmark("BM_TwelveJpegFolder", BM_TwelveJpegFolder)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("BM_Thumbnail/jpeg_12MP", BM_Thumbnail, "twelve/photo00.jpg")
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_FullDecode/jpeg_12MP", BM_FullDecode, "twelve/photo00.jpg")
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Thumbnail/png_2MP", BM_Thumbnail, "plasma-2mp.png")
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_FullDecode/png_2MP", BM_FullDecode, "plasma-2mp.png")
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_StallWhileFilling200", BM_StallWhileFilling200)
        ->Unit(benchmark::kSecond)
        ->UseRealTime()
        ->Iterations(1);
    benchmark::RegisterBenchmark("BM_ResidentMemory10000", BM_ResidentMemory10000)
        ->Unit(benchmark::kSecond)
        ->UseRealTime()
        ->Iterations(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete viewer;
    return 0;
}
