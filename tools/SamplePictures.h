#ifndef SAMPLEPICTURES_H
#define SAMPLEPICTURES_H

#include <QImage>

class MeshRasterizer;
class QMatrix4x4;

// The pictures of the sample folder, all drawn by code.
class SamplePictures
{
public:
    enum Plane { Sagittal, Coronal, Axial };

    // A slice of the phantom through the given height (axial), depth (coronal)
    // or side (sagittal) in mm, laid out as the volume view shows it: anterior
    // left in sagittal slices, the subject's right on the left otherwise.
    static QImage phantomSlice(Plane plane, float position, int size, float mmPerPixel);
    // The slice in a hot-metal palette, as an 8-bit indexed image.
    static QImage hotSlice(const QImage &slice);
    // Twelve axial slices from the base of the skull to the vertex.
    static QImage axialMontage();
    // A rendered mesh on a dark backdrop.
    static QImage meshView(const MeshRasterizer &mesh, const QMatrix4x4 &camera, double pixelsPerMm,
                           const QSize &size);
    // Mountains at sunset with a lake: details at every scale.
    static QImage landscape(const QSize &size);
    // A plasma cloud from the diamond-square algorithm in warm and cool colours.
    static QImage plasma(const QSize &size, quint32 seed);
    // The Mandelbrot set as an 8-bit indexed image.
    static QImage mandelbrot(const QSize &size);
    // A Julia set, coloured by escape time.
    static QImage julia(const QSize &size);
};

#endif
