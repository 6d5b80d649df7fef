#include "ViewingParameters.h"

#include "LocalFiles.h"

#include <QFile>
#include <QTextStream>

namespace {

bool readFlag(QTextStream &in)
{
    int value = 0;
    in >> value;
    return value != 0;
}

void readTriple(QTextStream &in, float *values)
{
    in >> values[0] >> values[1] >> values[2];
}

} // namespace

ViewingParameters ViewingParameters::fromText(const QByteArray &text)
{
    ViewingParameters p;
    QTextStream in(text);
    QString word;
    in >> word;
    if (word.startsWith('F')) {
        float version;
        in >> version;
    } else {
        in.seek(0);
    }
    float rotationX = 0;
    in >> rotationX;
    p.rotationX = rotationX;
    in >> p.rotationY >> p.rotationZ >> p.translationX >> p.translationY >> p.translationZ;
    int unused;
    in >> unused;
    p.light0On = readFlag(in);
    readTriple(in, p.light0Position);
    readTriple(in, p.light0Diffuse);
    p.light1On = readFlag(in);
    readTriple(in, p.light1Position);
    readTriple(in, p.light1Diffuse);
    unsigned int polygonMode, shadeModel;
    in >> polygonMode >> shadeModel;
    p.cullBackFaces = readFlag(in);
    p.perspectiveProjection = readFlag(in);
    in >> p.fieldOfView >> p.orthoHalfWidth >> p.nearPlane >> p.farPlane;
    return p;
}

std::optional<ViewingParameters> ViewingParameters::fromFile(const QString &fileName)
{
    QFile file;
    if (!LocalFiles::openRegular(file, fileName))
        return std::nullopt;
    return fromText(file.read(maxFileSize));
}
