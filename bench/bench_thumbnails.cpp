// Thumbnails: a folder of twelve 12-megapixel JPEGs from opening to the last
// thumbnail installed (beside vipsthumbnail -s 256 on the same files, when
// libvips-tools is installed), the time per thumbnail beside a full decode, the
// longest stall of the window while a folder of 200 such images fills, and a
// folder of 10,000: opened from its stored thumbnails (memory, first frame,
// stalls while stepping along the strip) and with every thumbnail made (memory).
// Needs a display (xvfb-run -a).

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
#include <QKeyEvent>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>
#include <utility>

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

// Ten thousand photographs' thumbnails: five hundred different ones, of the
// scenes' details, each used twenty times.
QList<QByteArray> photoThumbnails()
{
    const QImage scenes[] = {SamplePictures::landscape(QSize(1024, 768)),
                             SamplePictures::plasma(QSize(1024, 768), 5)};
    QList<QByteArray> pngs;
    for (int i = 0; i < 500; ++i) {
        const QRect crop((i * 37) % 640, (i * 23) % 384, 384, 384 * 3 / 4);
        pngs << encodeThumbnail(imageThumbnail(scenes[i % 2].copy(crop), false));
    }
    return pngs;
}

QString photoName(int i)
{
    return QString("image%1.jpg").arg(i, 5, 10, QChar('0'));
}

// A probe timer firing every millisecond: the longest time the event loop was
// kept from it, and the most CPU time the window's thread spent between two
// ticks, which leaves out the time the machine's other work took from it.
struct StallProbe
{
    QTimer timer;
    QElapsedTimer sinceTick;
    qint64 longestNs = 0;
    qint64 longestBusyNs = 0;
    qint64 lastCpuNs = threadCpuNs();
    int over20ms = 0;

    StallProbe()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 gapNs = sinceTick.nsecsElapsed();
            sinceTick.restart();
            const qint64 cpuNs = threadCpuNs();
            longestNs = qMax(longestNs, gapNs);
            longestBusyNs = qMax(longestBusyNs, cpuNs - lastCpuNs);
            lastCpuNs = cpuNs;
            over20ms += gapNs > 20000000;
        });
        sinceTick.start();
        timer.start(1);
    }
};

// Notes when the strip's first frame painted once what it waits for was there
// reaches the window.
struct FirstFrame : QObject
{
    std::function<bool()> ready;
    bool painted = false;
    bool shown = false;
    QElapsedTimer sinceStart;
    qint64 cpuAtStart = 0;
    double ms = 0;
    double cpuMs = 0;

    FirstFrame(QOpenGLWidget *strip, std::function<bool()> ready) : ready(std::move(ready))
    {
        strip->installEventFilter(this);
        connect(strip, &QOpenGLWidget::frameSwapped, this, [this] {
            if (!painted || shown)
                return;
            shown = true;
            ms = double(sinceStart.nsecsElapsed()) / 1e6;
            cpuMs = double(threadCpuNs() - cpuAtStart) / 1e6;
        });
    }
    void start()
    {
        painted = shown = false;
        cpuAtStart = threadCpuNs();
        sinceStart.start();
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !painted)
            painted = ready();
        return false;
    }
};

// 10,000 image files whose thumbnails are stored (the files themselves are
// empty): the folder opened from its stored file, its first frame, then a walk
// along the strip by the right-arrow key, thirty steps a second, over covers
// read from the file as they come into view. Each memory figure is of this
// process and stands beside the same viewer on an empty folder; run the
// benchmark alone (--benchmark_filter) for figures no other benchmark left
// memory in.
void BM_Reopened10000(benchmark::State &state)
{
    const int fileCount = 10000;
    QDir(work->path()).mkpath("ten-thousand");
    QList<QByteArray> pngs = photoThumbnails();
    qint64 pngBytes = 0;
    for (const QByteArray &png : std::as_const(pngs))
        pngBytes += png.size();
    QList<ThumbnailEntry> entries;
    for (int i = 0; i < fileCount; ++i) {
        writeFile(folder("ten-thousand/" + photoName(i)), QByteArray());
        entries.append({photoName(i), pngs[i % pngs.size()]});
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
    CoverStore *store = strip->coverStore();
    // The first frame that shows the first cover's thumbnail.
    FirstFrame frame(strip,
                     [store] { return store->thumbnailLoaded(0) && !store->image(0).isNull(); });
    // The longest stall and the longest busy stretch of the window's thread.
    const auto step = [strip](Qt::Key key, int count) {
        StallProbe probe;
        for (int i = 0; i < count; ++i) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(strip, &press);
            QTest::qWait(33);
        }
        return std::make_pair(double(probe.longestNs) / 1e6, double(probe.longestBusyNs) / 1e6);
    };
    for (auto _ : state) {
        viewer->openPaths({folder("empty")});
        benchmark::DoNotOptimize(strip->grabFramebuffer());
        const double emptyMB = double(residentBytes()) / 1e6;

        frame.start();
        viewer->openPaths({folder("ten-thousand")});
        runUntil([&] { return frame.shown; });
        state.counters["first_frame_ms"] = frame.ms;
        state.counters["first_frame_cpu_ms"] = frame.cpuMs;
        QTest::qWait(200);
        state.counters["reopened_extra_MB"] = double(residentBytes()) / 1e6 - emptyMB;
        state.counters["bytes_held_MB"] = double(store->bytesInMemory()) / 1e6;

        // Out over covers read from the file, then back over the same covers,
        // decoded already: the difference is the reading.
        const auto fromDisk = step(Qt::Key_Right, 150);
        state.counters["step_from_disk_longest_stall_ms"] = fromDisk.first;
        state.counters["step_from_disk_longest_busy_ms"] = fromDisk.second;
        const auto decoded = step(Qt::Key_Left, 150);
        state.counters["step_decoded_longest_stall_ms"] = decoded.first;
        state.counters["step_decoded_longest_busy_ms"] = decoded.second;
        state.counters["stepped_extra_MB"] = double(residentBytes()) / 1e6 - emptyMB;
        state.counters["covers_with_thumbnail"] = allThumbnailsMade() ? fileCount : 0;
    }
    state.counters["png_bytes_per_thumbnail"] = double(pngBytes) / 500;
}

// One cover the strip has not shown yet: its bytes read from the stored file
// and decoded. Each step along the strip brings one or two.
void BM_CoverFromDisk(benchmark::State &state)
{
    CoverStore *store = viewer->coverFlow()->coverStore();
    if (store->count() < 10000)
        return state.SkipWithError("needs the folder of BM_Reopened10000");
    int index = 0;
    for (auto _ : state) {
        // Far from what is cached.
        index = (index + 997) % store->count();
        benchmark::DoNotOptimize(store->image(index));
    }
}

// 10,000 photographs (640 x 480 JPEGs, a hundred different ones under ten
// thousand names) opened in images mode with no thumbnails stored: every
// thumbnail made, then the folder left, which writes its thumbnail file.
void BM_Made10000(benchmark::State &state)
{
    const int fileCount = 10000;
    QDir(work->path()).mkpath("photos");
    const QImage scenes[] = {SamplePictures::landscape(QSize(1024, 768)),
                             SamplePictures::plasma(QSize(1024, 768), 5)};
    for (int i = 0; i < 100; ++i) {
        const QRect crop((i * 37) % 384, (i * 23) % 288, 640, 480);
        if (!writeFile(folder(QString("photos/%1.jpg").arg(i)),
                       encoded(scenes[i % 2].copy(crop), "jpeg", 85)))
            return state.SkipWithError("cannot write the photographs");
    }
    for (int i = 0; i < fileCount; ++i)
        ::link(QFile::encodeName(folder(QString("photos/%1.jpg").arg(i % 100))).constData(),
               QFile::encodeName(folder("photos/" + photoName(i))).constData());
    for (int i = 0; i < 100; ++i)
        QFile::remove(folder(QString("photos/%1.jpg").arg(i)));
    CoverFlowBrowser *strip = viewer->coverFlow();
    for (auto _ : state) {
        viewer->openPaths({folder("empty")});
        benchmark::DoNotOptimize(strip->grabFramebuffer());
        const double emptyMB = double(residentBytes()) / 1e6;
        QElapsedTimer timer;
        timer.start();
        viewer->openPaths({folder("photos")});
        runUntil(allThumbnailsMade, 900000);
        state.counters["made_s"] = double(timer.nsecsElapsed()) / 1e9;
        QTest::qWait(500);
        state.counters["made_extra_MB"] = double(residentBytes()) / 1e6 - emptyMB;
        state.counters["bytes_held_MB"] = double(strip->coverStore()->bytesInMemory()) / 1e6;
        state.counters["covers_with_thumbnail"] = allThumbnailsMade() ? fileCount : 0;
        timer.restart();
        viewer->openPaths({folder("empty")});
        state.counters["stored_s"] = double(timer.nsecsElapsed()) / 1e9;
    }
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
    benchmark::RegisterBenchmark("BM_Reopened10000", BM_Reopened10000)
        ->Unit(benchmark::kSecond)
        ->UseRealTime()
        ->Iterations(1);
    benchmark::RegisterBenchmark("BM_CoverFromDisk", BM_CoverFromDisk)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Made10000", BM_Made10000)
        ->Unit(benchmark::kSecond)
        ->UseRealTime()
        ->Iterations(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete viewer;
    return 0;
}
