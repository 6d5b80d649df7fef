// Covers of scans made in the background: a CX data folder of forty 182 × 218 ×
// 182 int16 .nii.gz heads (written by nibabel into the build folder), ten 256³
// VMRs and ten SRFs of 163,842 vertices, from showing the folder to its last
// cover, beside the floor measured in the same run (the sixty files read into
// documents, and read and inflated alone, on as many worker threads as the
// thumbnails have); the longest stall of the window's event loop meanwhile (a
// probe timer ticking every millisecond) and the slowest events that made it;
// the peak resident memory while they fill above that of the same window on an
// empty folder; the most documents alive at once. Then one worker's work for a
// cover of each kind beside reading the file, and a raw MRI folder of 200 DICOM
// images of 512 × 512. Needs a display (xvfb-run -a).

#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "DicomFixture.h"
#include "Documents.h"
#include "Icosphere.h"
#include "MeshRasterizer.h"
#include "ShowWidget.h"
#include "SrfFixture.h"
#include "ThumbnailRule.h"
#include "VmrFixture.h"

#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <ctime>
#include <functional>
#include <unistd.h>

namespace {

// Times every event the window's thread delivers, outermost only, and keeps the
// slowest while recording, to say what a stall was made of.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    struct Slow
    {
        qint64 ns;
        QByteArray what;
    };

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!recording || depth > 0)
            return QApplication::notify(receiver, event);
        ++depth;
        QElapsedTimer timer;
        timer.start();
        const int type = event->type();
        const QByteArray name = receiver->metaObject()->className();
        const bool result = QApplication::notify(receiver, event);
        const qint64 ns = timer.nsecsElapsed();
        --depth;
        if (ns > 15000000) {
            slowest.append({ns, name + " event " + QByteArray::number(type)});
            std::sort(slowest.begin(), slowest.end(),
                      [](const Slow &a, const Slow &b) { return a.ns > b.ns; });
            slowest.resize(qMin<qsizetype>(slowest.size(), 8));
        }
        return result;
    }

    void report(const char *benchmark)
    {
        std::fprintf(stderr, "%s: the window's slowest events\n", benchmark);
        for (const Slow &slow : std::as_const(slowest))
            std::fprintf(stderr, "  %6.1f ms  %s\n", double(slow.ns) / 1e6, slow.what.constData());
        slowest.clear();
    }

    bool recording = false;

private:
    int depth = 0;
    QList<Slow> slowest;
};

TimedApplication *application = nullptr;
CortivexViewer *viewer = nullptr;
QTemporaryDir *work = nullptr;

QString folder(const QString &name)
{
    return work->filePath(name);
}

bool save(const QString &name, const QByteArray &data)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// A head of 256³ voxels, its pattern shifted by n.
QByteArray volume(int n)
{
    VmrFixture vmr;
    vmr.dimX = vmr.dimY = vmr.dimZ = 256;
    QByteArray voxels(256 * 256 * 256, 0);
    for (int i = 0; i < voxels.size(); ++i)
        voxels[i] = char(10 + (i * 7 + i / 256 * (3 + n) + i / 65536 * 5) % 216);
    vmr.voxels = voxels;
    return vmr.bytes();
}

// A sphere of 163,842 vertices folded as a cortex is, in a fold of its own for each n.
QByteArray mesh(int n)
{
    static const Icosphere sphere(7);
    static const QList<QList<int>> rings = sphere.neighbourRings();
    static const QList<int> strips = sphere.strips();
    SrfFixture srf;
    QList<QVector3D> points;
    for (const QVector3D &v : sphere.vertices)
        points << QVector3D(128, 128, 128) +
                      (70 + 4 * std::sin((9 + n) * v.x()) * std::sin(7 * v.y())) * v;
    const QList<QVector3D> normals = MeshRasterizer::vertexNormals(points, sphere.triangles);
    for (qsizetype v = 0; v < points.size(); ++v) {
        const QVector3D &p = points[v], normal = -normals[v];
        srf.vertices << SrfFixture::Vertex{p.x(),      p.y(),      p.z(),           normal.x(),
                                           normal.y(), normal.z(), int(v % 7 == 0), rings[v]};
    }
    srf.triangles = sphere.triangles;
    srf.strips = strips;
    std::fill(std::begin(srf.meshCenter), std::end(srf.meshCenter), 128.0f);
    return srf.bytes();
}

// A 512 × 512 int16 image, its ramp started at n.
QByteArray dicomImage(int n)
{
    QList<qint16> pixels;
    pixels.reserve(512 * 512);
    for (int i = 0; i < 512 * 512; ++i)
        pixels << qint16((i % 512 + i / 512 * 3 + n * 11) % 4000 - 1000);
    DicomFixture dicom;
    dicom.unsignedShort(0x0028, 0x0010, 512)
        .unsignedShort(0x0028, 0x0011, 512)
        .unsignedShort(0x0028, 0x0100, 16)
        .pixels(pixels);
    return dicom.file();
}

bool makeFolders()
{
    QDir root(work->path());
    for (const char *name : {"app", "empty", "start", "scans", "dicom"})
        root.mkpath(name);
    QDirIterator heads(CXV_COVERS_BENCH_DIR, {"*.nii.gz"}, QDir::Files);
    int count = 0;
    while (heads.hasNext()) {
        const QString from = heads.next();
        if (!QFile::copy(from, folder("scans/" + QFileInfo(from).fileName())))
            return false;
        ++count;
    }
    if (count != 40)
        return false;
    for (int n = 0; n < 10; ++n)
        if (!save(folder(QString("scans/head%1.vmr").arg(n)), volume(n)) ||
            !save(folder(QString("scans/cortex%1.srf").arg(n)), mesh(n)))
            return false;
    for (int n = 0; n < 200; ++n)
        if (!save(folder(QString("dicom/slice%1.dcm").arg(n, 3, 10, QChar('0'))), dicomImage(n)))
            return false;
    return true;
}

// A new folder of hard links to the files of the named one, which the viewer has
// no thumbnails stored for. The folder shown is left for an empty one first.
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

bool allCoversMade()
{
    const CoverStore *store = viewer->coverFlow()->coverStore();
    for (int i = 0; i < store->count(); ++i)
        if (!store->thumbnailLoaded(i))
            return false;
    return !store->isEmpty();
}

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// VmRSS or VmHWM (the peak since the last resetPeakMemory()) in bytes.
qint64 memoryBytes(const QByteArray &field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field + ":"))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

bool resetPeakMemory()
{
    QFile refs("/proc/self/clear_refs");
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// The thumbnails' worker count: one core stays with the window.
int workerCount()
{
    return qMax(1, QThread::idealThreadCount() - 1);
}

// Runs work on every file on workerCount() threads; seconds to the last.
double onWorkers(const QStringList &files, const std::function<void(const QString &)> &work)
{
    QThreadPool pool;
    pool.setMaxThreadCount(workerCount());
    QElapsedTimer timer;
    timer.start();
    for (const QString &file : files)
        pool.start([&work, file] { work(file); });
    pool.waitForDone();
    return double(timer.nsecsElapsed()) / 1e9;
}

QByteArray readAll(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A .gz file's bytes inflated, as the NIfTI reader must, into a buffer of the
// size gzip stores at the end.
qint64 inflated(const QByteArray &gz)
{
    if (gz.size() < 18)
        return 0;
    quint32 size = 0;
    memcpy(&size, gz.constData() + gz.size() - 4, 4);
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return 0;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(gz.constData()));
    stream.avail_in = uInt(gz.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    inflate(&stream, Z_FINISH);
    const qint64 total = qint64(stream.total_out);
    inflateEnd(&stream);
    return total;
}

// Watches the window's thread while covers fill: the longest time its event
// loop was kept from a probe ticking every millisecond, the CPU time the thread
// itself spent between two ticks, and the most documents alive at once.
struct Probe
{
    QTimer timer;
    QElapsedTimer sinceTick;
    qint64 lastCpuNs = 0;
    qint64 longestStallNs = 0;
    qint64 longestBusyNs = 0;
    int stallsOver20ms = 0;
    int mostDocuments = 0;

    Probe()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        lastCpuNs = threadCpuNs();
        sinceTick.start();
        timer.start(1);
    }
    void tick()
    {
        const qint64 gapNs = sinceTick.nsecsElapsed();
        sinceTick.restart();
        const qint64 cpuNs = threadCpuNs();
        longestStallNs = qMax(longestStallNs, gapNs);
        longestBusyNs = qMax(longestBusyNs, cpuNs - lastCpuNs);
        lastCpuNs = cpuNs;
        stallsOver20ms += gapNs > 20000000;
        mostDocuments = qMax(mostDocuments, Document::instances());
    }
    void report(benchmark::State &state) const
    {
        state.counters["longest_stall_ms"] = double(longestStallNs) / 1e6;
        state.counters["stalls_over_20ms"] = stallsOver20ms;
        state.counters["longest_busy_ms"] = double(longestBusyNs) / 1e6;
        state.counters["documents_alive_max"] = mostDocuments;
    }
};

// Shows a fresh copy of the folder and returns the seconds to its last cover.
double fill(const QString &name, Probe &probe)
{
    const QString fresh = freshCopy(name);
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    viewer->openPaths({fresh});
    // The first frame of the opened folder is the opening's, not the filling's.
    QCoreApplication::processEvents();
    probe.start();
    application->recording = true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (allCoversMade() || timer.elapsed() > 600000)
            loop.quit();
    });
    check.start(1);
    loop.exec();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    probe.timer.stop();
    application->recording = false;
    return seconds;
}

QStringList filesOf(const QString &name)
{
    QStringList files;
    for (const QString &file : QDir(folder(name)).entryList(QDir::Files, QDir::Name))
        files << folder(name + "/" + file);
    return files;
}

void BM_SixtyScans(benchmark::State &state)
{
    const QStringList files = filesOf("scans");
    double fillSeconds = 0, documentsSeconds = 0, bytesSeconds = 0;
    qint64 emptyBytes = 0, peakBytes = 0;
    Probe probe;
    for (auto _ : state) {
        viewer->openPaths({folder("empty")});
        QCoreApplication::processEvents();
        emptyBytes = memoryBytes("VmRSS");
        if (!resetPeakMemory())
            state.SkipWithError("cannot reset the peak resident memory");
        fillSeconds = fill("scans", probe);
        peakBytes = memoryBytes("VmHWM");
        state.SetIterationTime(fillSeconds);
        if (!allCoversMade())
            state.SkipWithError("not every cover was made");

        // The floors, with the window idle.
        viewer->openPaths({folder("empty")});
        std::atomic<int> unread{0};
        documentsSeconds = onWorkers(files, [&](const QString &file) {
            QString reason;
            if (!readDocument(file, reason))
                ++unread;
        });
        bytesSeconds = onWorkers(files, [&](const QString &file) {
            const QByteArray bytes = readAll(file);
            if (file.endsWith(".gz") ? inflated(bytes) == 0 : bytes.isEmpty())
                ++unread;
        });
        if (unread != 0)
            state.SkipWithError("a file of the floor could not be read");
        // Each kind's share of the floors.
        for (const char *kind : {".nii.gz", ".vmr", ".srf"}) {
            const QStringList some = files.filter(QString(kind));
            state.counters[QString("floor_documents%1_s").arg(kind).toStdString()] =
                onWorkers(some, [](const QString &file) {
                    QString reason;
                    readDocument(file, reason);
                });
            state.counters[QString("floor_read_inflate%1_s").arg(kind).toStdString()] =
                onWorkers(some, [](const QString &file) {
                    const QByteArray bytes = readAll(file);
                    benchmark::DoNotOptimize(file.endsWith(".gz") ? inflated(bytes) : bytes.size());
                });
        }
    }
    probe.report(state);
    application->report("BM_SixtyScans");
    state.counters["workers"] = workerCount();
    state.counters["fill_s"] = fillSeconds;
    state.counters["floor_documents_s"] = documentsSeconds;
    state.counters["floor_read_inflate_s"] = bytesSeconds;
    state.counters["ratio_to_documents"] = fillSeconds / documentsSeconds;
    state.counters["ratio_to_read_inflate"] = fillSeconds / bytesSeconds;
    state.counters["rss_empty_MB"] = double(emptyBytes) / 1e6;
    state.counters["rss_peak_extra_MB"] = double(peakBytes - emptyBytes) / 1e6;
}

// One worker's work for one file, PNG stream included, beside reading it alone.
void BM_Cover(benchmark::State &state, const QString &name)
{
    const QString file = folder(name);
    const QSize meshSize(1000, 700);
    for (auto _ : state) {
        QString reason;
        benchmark::DoNotOptimize(encodeThumbnail(scanThumbnail(file, meshSize, true, reason)));
    }
}

void BM_Read(benchmark::State &state, const QString &name)
{
    const QString file = folder(name);
    for (auto _ : state) {
        QString reason;
        benchmark::DoNotOptimize(readDocument(file, reason));
    }
}

void BM_TwoHundredDicoms(benchmark::State &state)
{
    double fillSeconds = 0;
    Probe probe;
    for (auto _ : state) {
        fillSeconds = fill("dicom", probe);
        state.SetIterationTime(fillSeconds);
        if (!allCoversMade())
            state.SkipWithError("not every cover was made");
    }
    probe.report(state);
    application->report("BM_TwoHundredDicoms");
    state.counters["fill_s"] = fillSeconds;
}

} // namespace

int main(int argc, char **argv)
{
    TimedApplication app(argc, argv);
    application = &app;
    QTemporaryDir dir;
    work = &dir;
    if (!dir.isValid() || !makeFolders()) {
        std::fprintf(stderr, "cannot write the benchmark's folders\n");
        return 1;
    }
    // The window lists its working directory when it starts; keep that empty.
    QDir::setCurrent(folder("start"));
    viewer = new CortivexViewer;
    viewer->openDataFolders(folder("app"));
    showAndWaitForExposure(viewer, QSize(1200, 750));

    // The sixty-file folder first: the memory it peaks at is measured from a
    // window that has shown nothing else.
    benchmark::RegisterBenchmark("BM_SixtyScans", BM_SixtyScans)
        ->Unit(benchmark::kSecond)
        ->UseManualTime()
        ->Iterations(1);
    for (const char *name :
         {"scans/head00.nii.gz", "scans/head0.vmr", "scans/cortex0.srf", "dicom/slice000.dcm"}) {
        benchmark::RegisterBenchmark((std::string("BM_Cover/") + name).c_str(), BM_Cover, name)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BM_Read/") + name).c_str(), BM_Read, name)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("BM_TwoHundredDicoms", BM_TwoHundredDicoms)
        ->Unit(benchmark::kSecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete viewer;
    return 0;
}
