// Writes the sample folder that the viewer opens at its first start: pictures,
// a DICOM series, VMR volumes, SRF meshes and statistical maps of a synthetic head.
// Usage: cxv-make-samples OUTDIR

#include "SampleSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // An option such as --help is no folder: a folder of that name is ./-name.
    if (argc != 2 || argv[1][0] == '-') {
        QTextStream(stderr) << "usage: cxv-make-samples OUTDIR\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        QTextStream(stderr) << "cxv-make-samples: cannot create " << folder << '\n';
        return 1;
    }
    return SampleSet(folder).write() ? 0 : 1;
}
