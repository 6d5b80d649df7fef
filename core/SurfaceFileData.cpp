#include "SurfaceFileData.h"

#include <cmath>

QString SurfaceFiles::geometryProblem(const float *xyz, qint64 vertices, const qint32 *faces,
                                      qint64 triangles)
{
    if (vertices < 3 || triangles == 0)
        return QString("an empty surface: %1 vertices and %2 triangles")
            .arg(vertices)
            .arg(triangles);
    const qint64 corners = 3 * triangles;
    // One unsigned comparison finds negative numbers too; the loop stays
    // simple enough to be vectorised.
    bool allVertices = true;
    for (qint64 i = 0; i < corners; ++i)
        allVertices &= quint32(faces[i]) < quint64(vertices);
    if (!allVertices) {
        for (qint64 i = 0; i < corners; ++i) {
            if (quint32(faces[i]) >= quint64(vertices))
                return QString("triangle %1 has a corner %2, which is no vertex of the %3")
                    .arg(i / 3)
                    .arg(faces[i])
                    .arg(vertices);
        }
    }
    float low[3] = {xyz[0], xyz[1], xyz[2]}, high[3] = {xyz[0], xyz[1], xyz[2]};
    bool finite = true;
    for (qint64 v = 0; v < vertices; ++v) {
        for (int a = 0; a < 3; ++a) {
            const float c = xyz[3 * v + a];
            finite &= std::isfinite(c);
            low[a] = std::min(low[a], c);
            high[a] = std::max(high[a], c);
        }
    }
    if (!finite) {
        for (qint64 v = 0; v < vertices; ++v) {
            const float *p = xyz + 3 * v;
            if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
                return QString("vertex %1 is at no position (%2, %3, %4)")
                    .arg(v)
                    .arg(p[0])
                    .arg(p[1])
                    .arg(p[2]);
        }
    }
    if (low[0] == high[0] && low[1] == high[1] && low[2] == high[2])
        return QString("every vertex is at one point");
    return QString();
}
