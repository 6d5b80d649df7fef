// Reading a 512 x 512 16-bit DICOM image, from memory and from a file.

#include "CXSCore.h"
#include "DICOMDoc.h"
#include "DicomFixture.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QByteArray image512(DicomFixture::Syntax syntax)
{
    QList<qint16> pixels(512 * 512);
    for (int i = 0; i < pixels.size(); ++i)
        pixels[i] = qint16((i * 7919) % 4096 - 100);
    DicomFixture f(syntax);
    f.text(0x0008, 0x0060, "CS", "MR")
        .text(0x0010, 0x0010, "PN", "Doe^Jane")
        .text(0x0020, 0x0013, "IS", "1")
        .unsignedShort(0x0028, 0x0010, 512)
        .unsignedShort(0x0028, 0x0011, 512)
        .text(0x0028, 0x0030, "DS", "0.5\\0.5")
        .unsignedShort(0x0028, 0x0100, 16)
        .pixels(pixels);
    return f.file();
}

void readFromMemory(benchmark::State &state)
{
    CXSCore core;
    const QByteArray data = image512(DicomFixture::Syntax(state.range(0)));
    for (auto _ : state) {
        QBuffer buffer;
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        DICOMDoc doc(&core);
        if (!doc.readDICOM(buffer))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(doc.meanIntensity);
    }
    state.SetBytesProcessed(state.iterations() * data.size());
}
// 0 explicit little-endian, 2 explicit big-endian (pixels swapped).
BENCHMARK(readFromMemory)->Arg(0)->Arg(2)->Unit(benchmark::kMicrosecond);

void readFromFile(benchmark::State &state)
{
    CXSCore core;
    QTemporaryDir dir;
    const QString name = dir.filePath("image.dcm");
    QFile file(name);
    const QByteArray data = image512(DicomFixture::ExplicitLittleEndian);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        state.SkipWithError("cannot write the file");
    file.close();
    for (auto _ : state)
        benchmark::DoNotOptimize(core.loadDICOM(name));
    state.SetBytesProcessed(state.iterations() * data.size());
}
BENCHMARK(readFromFile)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
