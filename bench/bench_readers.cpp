// Reading a 256³ VMR, a 200,000-vertex SRF with strips and a 512 × 512 DICOM
// image, each beside the time to read the same file's bytes into memory.

#include "CXSCore.h"
#include "DicomFixture.h"
#include "SrfFixture.h"
#include "VmrFixture.h"

#include <QElapsedTimer>
#include <QFile>

#include <QTemporaryDir>
#include <functional>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir *files;

QString writeOnce(const QString &name, const std::function<QByteArray()> &make)
{
    const QString path = files->filePath(name);
    if (!QFile::exists(path)) {
        QFile file(path);
        const QByteArray data = make();
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

QString volumeFile()
{
    return writeOnce("volume.vmr", [] {
        VmrFixture f;
        f.version = 3;
        f.dimX = f.dimY = f.dimZ = 256;
        f.voxels = QByteArray(256 * 256 * 256, 0);
        for (int i = 0; i < f.voxels.size(); ++i)
            f.voxels[i] = char(i * 31);
        return f.bytes();
    });
}

// A 400 × 500 grid of vertices cut into triangles along one diagonal, so that
// an inner vertex has six neighbours in ring order; one strip per row.
QString meshFile()
{
    return writeOnce("mesh.srf", [] {
        const int w = 400, h = 500;
        const auto index = [w](int i, int j) { return j * w + i; };
        SrfFixture f;
        f.version = 3.0f;
        f.vertices.reserve(w * h);
        for (int j = 0; j < h; ++j) {
            for (int i = 0; i < w; ++i) {
                SrfFixture::Vertex v{float(i),    float(j), float((i * j) % 7) * 0.1f, 0, 0, 1,
                                     (i + j) % 2, {}};
                const int ring[6][2] = {{1, 0}, {0, 1}, {-1, 1}, {-1, 0}, {0, -1}, {1, -1}};
                for (const auto &d : ring) {
                    const int ni = i + d[0], nj = j + d[1];
                    if (ni >= 0 && ni < w && nj >= 0 && nj < h)
                        v.neighbors.append(index(ni, nj));
                }
                f.vertices.append(v);
            }
        }
        for (int j = 0; j + 1 < h; ++j) {
            for (int i = 0; i + 1 < w; ++i) {
                f.triangles << index(i, j) << index(i + 1, j) << index(i, j + 1);
                f.triangles << index(i + 1, j) << index(i + 1, j + 1) << index(i, j + 1);
            }
            for (int i = 0; i < w; ++i)
                f.strips << index(i, j) << index(i, j + 1);
            f.strips << -1;
        }
        return f.bytes();
    });
}

QString imageFile()
{
    return writeOnce("image.dcm", [] {
        QList<qint16> pixels(512 * 512);
        for (int i = 0; i < pixels.size(); ++i)
            pixels[i] = qint16((i * 7919) % 4096);
        DicomFixture f;
        f.text(0x0008, 0x0060, "CS", "MR")
            .unsignedShort(0x0028, 0x0010, 512)
            .unsignedShort(0x0028, 0x0011, 512)
            .text(0x0028, 0x0030, "DS", "0.5\\0.5")
            .unsignedShort(0x0028, 0x0100, 16)
            .pixels(pixels);
        return f.file();
    });
}

// The floor: the file's bytes read into memory, nothing more.
void readBytes(benchmark::State &state, const QString &name)
{
    for (auto _ : state) {
        QFile file(name);
        file.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(file.readAll().size());
    }
}

// The mean time of a floor read, in seconds.
double floorSeconds(const QString &name)
{
    const int reads = 50;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < reads; ++i) {
        QFile file(name);
        file.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(file.readAll().size());
    }
    return timer.nsecsElapsed() * 1e-9 / reads;
}

// Runs load on the file and reports its time per read as a multiple of the floor.
void loadBeside(benchmark::State &state, const QString &name, bool (CXSCore::*load)(QString))
{
    CXSCore core;
    const double floor = floorSeconds(name);
    QElapsedTimer timer;
    timer.start();
    for (auto _ : state)
        if (!(core.*load)(name))
            state.SkipWithError("read failed");
    const double perRead = timer.nsecsElapsed() * 1e-9 / double(state.iterations());
    state.counters["xFloor"] = perRead / floor;
}

void floorVolume(benchmark::State &state)
{
    readBytes(state, volumeFile());
}
void floorMesh(benchmark::State &state)
{
    readBytes(state, meshFile());
}
void floorImage(benchmark::State &state)
{
    readBytes(state, imageFile());
}
void loadVolume(benchmark::State &state)
{
    loadBeside(state, volumeFile(), &CXSCore::loadVMR);
}
void loadMesh(benchmark::State &state)
{
    loadBeside(state, meshFile(), &CXSCore::loadMesh);
}
void loadImage(benchmark::State &state)
{
    loadBeside(state, imageFile(), &CXSCore::loadDICOM);
}

BENCHMARK(floorVolume)->Unit(benchmark::kMillisecond);
BENCHMARK(loadVolume)->Unit(benchmark::kMillisecond);
BENCHMARK(floorMesh)->Unit(benchmark::kMillisecond);
BENCHMARK(loadMesh)->Unit(benchmark::kMillisecond);
BENCHMARK(floorImage)->Unit(benchmark::kMicrosecond);
BENCHMARK(loadImage)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    files = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
