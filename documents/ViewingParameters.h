#ifndef VIEWINGPARAMETERS_H
#define VIEWINGPARAMETERS_H

#include <QByteArray>
#include <QString>

#include <optional>

// The values of a viewing-parameter file (".vwp" beside a mesh): camera,
// lights, culling and projection, as whitespace-separated numbers in this
// order: [label version] rotation x, y, z; translation x, y, z; an unused int;
// light 0 on, position x y z, diffuse r g b; the same for light 1; polygon
// mode and shade model (both unused); cull back faces; perspective; field of
// view; orthographic half width; near and far plane. A first word beginning
// with "F" is a version label followed by a version number, both skipped.
// Numbers are read as a text stream reads them: one that is missing or
// malformed reads as 0, and so does every one after it.
class ViewingParameters
{
public:
    // Files larger than this are read only this far.
    static const int maxFileSize = 64 * 1024;

    static ViewingParameters fromText(const QByteArray &text);
    // Nothing when the file cannot be opened or is not a regular file.
    static std::optional<ViewingParameters> fromFile(const QString &fileName);

    double rotationX = 0; // stored as read: a float
    double rotationY = 0;
    double rotationZ = 0;
    double translationX = 0;
    double translationY = 0;
    double translationZ = 0;
    bool light0On = false;
    float light0Position[3] = {};
    float light0Diffuse[3] = {};
    bool light1On = false;
    float light1Position[3] = {};
    float light1Diffuse[3] = {};
    bool cullBackFaces = false;
    bool perspectiveProjection = false;
    float fieldOfView = 0;
    double orthoHalfWidth = 0;
    double nearPlane = 0;
    double farPlane = 0;
};

#endif
