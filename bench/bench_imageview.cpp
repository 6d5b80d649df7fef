// Opening a picture in the image view, from the file name to the first finished
// frame, beside a bare decode of the same file. Needs a display (run under xvfb-run -a).
#include "ImageOGLViewer.h"
#include "ShowWidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QWindow>

#include <GL/gl.h>
#include <benchmark/benchmark.h>

namespace {

ImageOGLViewer *view = nullptr;
QString jpegFile;
QString portraitJpegFile;
QString pngFile;

// A photograph-like picture: gradients, shapes and fine noise, so that neither
// codec has it easy.
QImage picture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, width, height);
    sky.setColorAt(0, QColor(30, 80, 160));
    sky.setColorAt(1, QColor(230, 180, 90));
    painter.fillRect(image.rect(), sky);
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(QColor::fromHsv(i * 37 % 360, 120 + i % 100, 90 + i * 3 % 160));
        painter.drawEllipse(QPoint(i * 997 % width, i * 613 % height), width / 12, height / 10);
    }
    painter.end();
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] ^= (unsigned(x * 2654435761u ^ y * 40503u) >> 29) * 0x010101u;
    }
    return image;
}

// Pictures of one size reuse their texture; files alternates sizes when it holds two.
void openAndPaint(benchmark::State &state, const QStringList &files)
{
    int i = 0;
    for (auto _ : state) {
        view->showPicture(readAs<PictureDocument>(files[i++ % files.size()]), 0);
        // Painted by the event loop, as a widget of this kind always is.
        view->update();
        QCoreApplication::processEvents();
        view->makeCurrent();
        glFinish();
        view->doneCurrent();
    }
}

void decodeOnly(benchmark::State &state, const QString &file)
{
    for (auto _ : state) {
        QImageReader reader(file);
        benchmark::DoNotOptimize(reader.read());
    }
}

void BM_OpenJpeg12MP(benchmark::State &state)
{
    openAndPaint(state, {jpegFile});
}
void BM_OpenJpeg12MPTurned(benchmark::State &state)
{
    openAndPaint(state, {jpegFile, portraitJpegFile});
}
void BM_DecodeJpeg12MP(benchmark::State &state)
{
    decodeOnly(state, jpegFile);
}
void BM_OpenPng2MP(benchmark::State &state)
{
    openAndPaint(state, {pngFile});
}
void BM_DecodePng2MP(benchmark::State &state)
{
    decodeOnly(state, pngFile);
}
BENCHMARK(BM_DecodeJpeg12MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenJpeg12MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenJpeg12MPTurned)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodePng2MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenPng2MP)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    jpegFile = dir.filePath("photo.jpg");
    portraitJpegFile = dir.filePath("portrait.jpg");
    pngFile = dir.filePath("picture.png");
    if (!picture(4000, 3000).save(jpegFile, "JPG", 90) ||
        !picture(3000, 4000).save(portraitJpegFile, "JPG", 90) ||
        !picture(1600, 1250).save(pngFile, "PNG"))
        return 1;

    view = new ImageOGLViewer;
    showAndWaitForExposure(view, QSize(1000, 700));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete view;
    return 0;
}
