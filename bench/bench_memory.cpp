// The peak resident memory of `cxviewer --render` on small files that claim
// gigabytes: a sparse VMR, a .nii.gz of zeros, and the largest volumes the
// viewer still shows. Each file takes a few kilobytes on disk; the figure run
// on it must stay under 600 MB (counter peak_MB; the run is marked as an error
// above that). Needs a display (run under xvfb-run -a), so that cxviewer
// starts no X server of its own.

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstring>
#include <vector>

extern char **environ;

namespace {

const double limitMB = 600;
QTemporaryDir *files;

// A VMR of version 4 whose voxels are a hole in the file: nothing on disk.
QString sparseVmr(const QString &name, qint16 x, qint16 y, qint16 z)
{
    const QString path = files->filePath(name);
    QFile file(path);
    const qint16 header[4] = {qToLittleEndian<qint16>(4), qToLittleEndian(x), qToLittleEndian(y),
                              qToLittleEndian(z)};
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char *>(header), sizeof header) != sizeof header ||
        !file.resize(8 + qint64(x) * y * z + 8))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A NIfTI-1 image of one value everywhere, gzip-compressed: about a
// thousandth of its size on disk.
QString filledNifti(const QString &name, qint16 x, qint16 y, qint16 z, qint16 datatype, int bytes,
                    char fill)
{
    QByteArray header(352, '\0');
    auto put = [&](int at, auto value) { std::memcpy(header.data() + at, &value, sizeof value); };
    put(0, qint32(348));
    const qint16 dims[8] = {3, x, y, z, 1, 1, 1, 1};
    for (int i = 0; i < 8; ++i) {
        put(40 + 2 * i, dims[i]);
        put(76 + 4 * i, 1.0f);
    }
    put(70, datatype);
    put(72, qint16(8 * bytes));
    put(108, 352.0f);
    std::memcpy(header.data() + 344, "n+1\0", 4);
    const QString path = files->filePath(name);
    gzFile file = gzopen(QFile::encodeName(path).constData(), "wb9");
    std::vector<char> block(1 << 20, fill);
    qint64 left = qint64(x) * y * z * bytes;
    bool written = file && gzwrite(file, header.constData(), unsigned(header.size())) > 0;
    while (written && left > 0) {
        const unsigned n = unsigned(qMin<qint64>(left, qint64(block.size())));
        written = gzwrite(file, block.data(), n) == int(n);
        left -= n;
    }
    if (!file || gzclose(file) != Z_OK || !written)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Runs the figure of one file; the peak resident memory of the run in MB, or
// -1 when it could not be run.
double peakMegabytes(const QString &input)
{
    const QByteArray program =
        QFile::encodeName(QCoreApplication::applicationDirPath() + "/cxviewer");
    const QByteArray output = QFile::encodeName(files->filePath("figure.png"));
    const QByteArray file = QFile::encodeName(input);
    std::vector<char *> argv = {
        const_cast<char *>(program.constData()), const_cast<char *>("--render"),
        const_cast<char *>(output.constData()), const_cast<char *>(file.constData()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    const int spawned =
        posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status;
    rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status))
        return -1;
    return usage.ru_maxrss / 1024.0;
}

void BM_RenderPeakMemory(benchmark::State &state, const QString &input)
{
    double peak = 0;
    for (auto _ : state)
        peak = peakMegabytes(input);
    state.counters["peak_MB"] = peak;
    if (peak < 0)
        state.SkipWithError("cxviewer did not run");
    else if (peak > limitMB)
        state.SkipWithError("more than 600 MB resident");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    files = &dir;
    const struct
    {
        const char *name;
        QString file;
    } inputs[] = {
        {"SparseVmr2047x1024x1024", sparseVmr("sparse.vmr", 2047, 1024, 1024)},
        {"SparseVmr512Cubed", sparseVmr("cap.vmr", 512, 512, 512)},
        {"Vmr4096x2x2", sparseVmr("long.vmr", 4096, 2, 2)},
        {"NiftiGzZeros1024x1024x256", filledNifti("zeros.nii.gz", 1024, 1024, 256, 2, 1, 0)},
        {"NiftiGzFloat512x512x256", filledNifti("cap.nii.gz", 512, 512, 256, 16, 4, 0x3f)},
    };
    for (const auto &input : inputs)
        benchmark::RegisterBenchmark((std::string("BM_RenderPeakMemory/") + input.name).c_str(),
                                     BM_RenderPeakMemory, input.file)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
