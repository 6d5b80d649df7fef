#ifndef FIGURERENDERER_H
#define FIGURERENDERER_H

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>

class CommandLine;
class MapDisplaySettings;
class MeshDocument;
class VolumeCross;
class VolumeDocument;

// Draws a file into a figure as the window's view shows it at the figure's
// size, with the cross and map settings asked for, and writes it as a PNG
// that either appears whole or not at all. Pictures, DICOM images and volumes
// are composed without OpenGL; meshes are drawn without a window.
class FigureRenderer
{
public:
    // False, with failure(), when a file cannot be read or the figure written.
    bool render(const CommandLine &line);
    QString failure() const { return reason; }

private:
    QImage draw(const CommandLine &line);
    QImage drawVolume(const std::shared_ptr<VolumeDocument> &volume, const CommandLine &line);
    QImage drawMesh(const std::shared_ptr<MeshDocument> &mesh, const CommandLine &line);
    // Chooses the map asked for through the settings, as the maps panel does.
    bool showMap(MapDisplaySettings &settings, const CommandLine &line);
    // --cross-mm: the voxel nearest the world point.
    bool placeCrossInWorld(VolumeCross &cross, const VolumeDocument &volume,
                           const CommandLine &line);
    bool write(const QImage &figure, const QString &fileName);
    bool fail(const QString &why);

    QString reason;
    // Files read that the command line could not know of.
    QStringList alsoRead;
    // Why the figure written shows less than was asked for.
    QString shownFailure;
};

#endif
