// Reading a 150,000-vertex lh.pial beside reading its bytes, and the same mesh
// as a compressed-base64 .surf.gii beside zlib's inflating of its two arrays.
#include "FreeSurferFiles.h"
#include "GiftiFile.h"

#include <QFile>
#include <QRegularExpression>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <vector>

namespace {

const QString pial = QStringLiteral(CXV_SURFACE_BENCH_DIR "/lh.pial");
const QString giftiPial = QStringLiteral(CXV_SURFACE_BENCH_DIR "/lh.pial.surf.gii");

void BM_ReadPialBytes(benchmark::State &state)
{
    for (auto _ : state) {
        QFile file(pial);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        benchmark::DoNotOptimize(bytes.constData());
    }
}

void BM_ReadPialSurface(benchmark::State &state)
{
    for (auto _ : state) {
        FreeSurferReader reader;
        const auto surface = reader.readSurface(pial);
        if (!surface)
            state.SkipWithError(qPrintable(reader.failureReason()));
        benchmark::DoNotOptimize(surface->xyz.data());
    }
}

// The compressed arrays of the file and their sizes once inflated.
struct Packed
{
    QByteArray data;
    qsizetype inflated;
};

std::vector<Packed> packedArrays()
{
    QFile file(giftiPial);
    file.open(QIODevice::ReadOnly);
    const QString text = QString::fromLatin1(file.readAll());
    std::vector<Packed> arrays;
    const QRegularExpression array("Dim0=\"(\\d+)\" Dim1=\"3\">.*?<Data>([^<]*)</Data>",
                                   QRegularExpression::DotMatchesEverythingOption);
    for (auto match = array.globalMatch(text); match.hasNext();) {
        const auto m = match.next();
        arrays.push_back(
            {QByteArray::fromBase64(m.captured(2).toLatin1()), m.captured(1).toLongLong() * 3 * 4});
    }
    return arrays;
}

void BM_InflateGiftiArrays(benchmark::State &state)
{
    const std::vector<Packed> arrays = packedArrays();
    if (arrays.size() != 2)
        state.SkipWithError("the benchmark file has not two arrays");
    for (auto _ : state) {
        for (const Packed &packed : arrays) {
            QByteArray out(packed.inflated, Qt::Uninitialized);
            uLongf length = uLongf(out.size());
            uncompress(reinterpret_cast<Bytef *>(out.data()), &length,
                       reinterpret_cast<const Bytef *>(packed.data.constData()),
                       uLong(packed.data.size()));
            benchmark::DoNotOptimize(out.constData());
        }
    }
}

void readGifti(benchmark::State &state, bool direct)
{
    for (auto _ : state) {
        GiftiFile file;
        file.setDataTakenDirectly(direct);
        if (!file.read(giftiPial))
            state.SkipWithError(qPrintable(file.failureReason()));
        const auto surface = file.surface();
        benchmark::DoNotOptimize(surface->xyz.data());
    }
}

void BM_ReadGiftiSurface(benchmark::State &state)
{
    readGifti(state, true);
}

// The same with the data texts through the XML reader.
void BM_ReadGiftiSurfaceThroughXml(benchmark::State &state)
{
    readGifti(state, false);
}

BENCHMARK(BM_ReadPialBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadPialSurface)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InflateGiftiArrays)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadGiftiSurface)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadGiftiSurfaceThroughXml)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
