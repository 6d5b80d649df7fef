#include "Icosphere.h"

#include <QHash>

#include <cmath>

namespace {

quint64 edgeKey(int from, int to)
{
    return quint64(quint32(from)) << 32 | quint32(to);
}

} // namespace

Icosphere::Icosphere(int subdivisions)
{
    const float g = (1 + std::sqrt(5.0f)) / 2;
    for (const QVector3D &v :
         {QVector3D(-1, g, 0), QVector3D(1, g, 0), QVector3D(-1, -g, 0), QVector3D(1, -g, 0),
          QVector3D(0, -1, g), QVector3D(0, 1, g), QVector3D(0, -1, -g), QVector3D(0, 1, -g),
          QVector3D(g, 0, -1), QVector3D(g, 0, 1), QVector3D(-g, 0, -1), QVector3D(-g, 0, 1)})
        vertices << v.normalized();
    triangles = {0, 11, 5,  0, 5,  1, 0, 1, 7, 0, 7,  10, 0, 10, 11, 1, 5, 9, 5, 11,
                 4, 11, 10, 2, 10, 7, 6, 7, 1, 8, 3,  9,  4, 3,  4,  2, 3, 2, 6, 3,
                 6, 8,  3,  8, 9,  4, 9, 5, 2, 4, 11, 6,  2, 10, 8,  6, 7, 9, 8, 1};

    for (int level = 0; level < subdivisions; ++level) {
        QHash<quint64, int> midpoints;
        const auto midpoint = [&](int a, int b) {
            const quint64 key = edgeKey(qMin(a, b), qMax(a, b));
            auto found = midpoints.constFind(key);
            if (found != midpoints.constEnd())
                return found.value();
            vertices << (vertices[a] + vertices[b]).normalized();
            midpoints.insert(key, int(vertices.size() - 1));
            return int(vertices.size() - 1);
        };
        QList<int> finer;
        finer.reserve(triangles.size() * 4);
        for (qsizetype t = 0; t < triangles.size(); t += 3) {
            const int a = triangles[t], b = triangles[t + 1], c = triangles[t + 2];
            const int ab = midpoint(a, b), bc = midpoint(b, c), ca = midpoint(c, a);
            finer << a << ab << ca << b << bc << ab << c << ca << bc << ab << bc << ca;
        }
        triangles = finer;
    }
}

QList<QList<int>> Icosphere::neighbourRings() const
{
    // For each vertex, the pairs (c, b) of its triangles (v, b, c): b follows c.
    QList<QList<QPair<int, int>>> fans(vertices.size());
    for (qsizetype t = 0; t < triangles.size(); t += 3) {
        const int a = triangles[t], b = triangles[t + 1], c = triangles[t + 2];
        fans[a] << qMakePair(c, b);
        fans[b] << qMakePair(a, c);
        fans[c] << qMakePair(b, a);
    }
    QList<QList<int>> rings(vertices.size());
    for (qsizetype v = 0; v < vertices.size(); ++v) {
        const QList<QPair<int, int>> &fan = fans[v];
        int current = fan.first().first;
        while (rings[v].size() < fan.size()) {
            rings[v] << current;
            for (const QPair<int, int> &pair : fan) {
                if (pair.first == current) {
                    current = pair.second;
                    break;
                }
            }
        }
    }
    return rings;
}

QList<int> Icosphere::strips() const
{
    // The triangle on the left of each directed edge, and its third vertex.
    QHash<quint64, QPair<int, int>> leftOf;
    const qsizetype triangleCount = triangles.size() / 3;
    for (qsizetype t = 0; t < triangleCount; ++t) {
        for (int k = 0; k < 3; ++k) {
            leftOf.insert(edgeKey(triangles[3 * t + k], triangles[3 * t + (k + 1) % 3]),
                          qMakePair(int(t), triangles[3 * t + (k + 2) % 3]));
        }
    }
    QList<bool> used(triangleCount, false);
    // Grows a strip from its first triangle while unused triangles follow;
    // unless kept, the triangles it took are free again afterwards.
    const auto grow = [&](QList<int> strip, bool keep) {
        QList<int> taken;
        for (;;) {
            // The next triangle shares the strip's last edge; every second one
            // runs the edge the other way round.
            const int a = strip[strip.size() - 2], b = strip.last();
            const bool odd = strip.size() % 2 == 1;
            const auto next = leftOf.constFind(odd ? edgeKey(b, a) : edgeKey(a, b));
            if (next == leftOf.constEnd() || used[next->first])
                break;
            used[next->first] = true;
            taken << next->first;
            strip << next->second;
        }
        for (int t : taken)
            used[t] = keep;
        return strip;
    };
    QList<int> result;
    for (qsizetype t = 0; t < triangleCount; ++t) {
        if (used[t])
            continue;
        used[t] = true;
        // Of the three ways into the first triangle, the one that leads furthest.
        const int *corner = triangles.constData() + 3 * t;
        const auto start = [corner](int turn) {
            return QList<int>{corner[turn], corner[(turn + 1) % 3], corner[(turn + 2) % 3]};
        };
        int bestTurn = 0;
        qsizetype bestLength = 0;
        for (int turn = 0; turn < 3; ++turn) {
            const qsizetype length = grow(start(turn), false).size();
            if (length > bestLength) {
                bestTurn = turn;
                bestLength = length;
            }
        }
        if (!result.isEmpty())
            result << -1;
        result << grow(start(bestTurn), true);
    }
    return result;
}
