#ifndef HEADERTEXTS_H
#define HEADERTEXTS_H

#include <QStringList>

class DICOMDoc;
class SurfaceMesh;
class VolumeDoc;

// The figures the header panels and the command-line inspector show for a
// document, as labels and values in panel order.

// "Dims X/Y/Z": the panel's X, Y and Z are the volume's third, first and second axes.
QString vmrDimsText(const VolumeDoc &doc);

QStringList srfHeaderLabels();
QStringList srfHeaderValues(SurfaceMesh &mesh);

QStringList dicomHeaderLabels();
QStringList dicomHeaderValues(const DICOMDoc &doc);

#endif
