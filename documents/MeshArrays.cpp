#include "MeshArrays.h"

#include "SurfaceMesh.h"

#include <climits>
#include <new>

namespace {

const int directColour = 0x3F000000;
const int firstPassingCode = 1000;
const float highlight[3] = {0.8f, 0.1f, 0.1f};

// Colours are handled as keys: a code that sets a colour, reduced so that codes
// of one colour share a key. The white before the first colour has a key no
// code reduces to.
const int whiteKey = firstPassingCode;
const int noKey = INT_MIN;

bool passesColour(int code)
{
    return code >= firstPassingCode && code < directColour;
}

int keyOf(int code)
{
    if (code < 0)
        return -1;
    if (code >= directColour)
        return directColour | (code & 0xFFFFFF);
    return code == 0 ? 0 : 1;
}

void writeColour(const SurfaceMesh &mesh, int key, float *rgba)
{
    rgba[3] = MeshArrays::vertexAlpha;
    if (key == whiteKey) {
        rgba[0] = rgba[1] = rgba[2] = rgba[3] = 1.0f;
    } else if (key >= directColour) {
        rgba[0] = float((key >> 16) & 0xFF) / 255.0f;
        rgba[1] = float((key >> 8) & 0xFF) / 255.0f;
        rgba[2] = float(key & 0xFF) / 255.0f;
    } else {
        const float *rgb = key < 0 ? highlight : key == 0 ? mesh.meshColor0 : mesh.meshColor1;
        std::copy(rgb, rgb + 3, rgba);
    }
}

// The key a slot of vertex v shows when no sending decided it.
int ownKey(const SurfaceMesh &mesh, int v)
{
    const int code = mesh.vertexColors[v];
    return passesColour(code) ? whiteKey : keyOf(code);
}

bool isDrawable(const SurfaceMesh &mesh)
{
    return mesh.reservedValue >= 0 && mesh.nrOfVertices > 0 && mesh.vertexX && mesh.vertexY &&
           mesh.vertexZ && mesh.normalX && mesh.normalY && mesh.normalZ && mesh.vertexColors;
}

} // namespace

bool MeshArrays::usesStrips(const SurfaceMesh &mesh)
{
    return mesh.hasTriangleStrips && mesh.triangleStrips && mesh.nrOfTriangleStrips > 0;
}

void MeshArrays::clear()
{
    primitiveType = Triangles;
    for (std::vector<float> *array : {&positionArray, &normalArray, &colourArray})
        std::vector<float>().swap(*array);
    std::vector<quint32>().swap(indexArray);
    for (std::vector<int> *array : {&firsts, &counts, &slotKeys, &copySources})
        std::vector<int>().swap(*array);
    copies.clear();
    meshVertexCount = 0;
}

bool MeshArrays::build(const SurfaceMesh &mesh, const MeshRenderMode &mode)
{
    clear();
    if (!isDrawable(mesh))
        return false;
    try {
        if (!sendVertices(mesh, mode)) {
            clear();
            return false;
        }
        fillGeometry(mesh);
        fillColours(mesh);
    } catch (const std::bad_alloc &) {
        clear();
        return false;
    }
    return true;
}

bool MeshArrays::updateColours(const SurfaceMesh &mesh, const MeshRenderMode &mode)
{
    if (isEmpty() || mesh.nrOfVertices != meshVertexCount ||
        (primitiveType == TriangleStrips) != usesStrips(mesh)) {
        build(mesh, mode);
        return false;
    }
    // Without passing codes every sending shows its own vertex's colour, and
    // the indices are the vertex numbers as before.
    bool passing = false;
    for (int v = 0; v < meshVertexCount && !passing; ++v)
        passing = passesColour(mesh.vertexColors[v]);
    try {
        if (!passing && copySources.empty()) {
            for (int v = 0; v < meshVertexCount; ++v)
                slotKeys[v] = keyOf(mesh.vertexColors[v]);
            fillColours(mesh);
            return true;
        }
        const std::vector<quint32> previousIndices = indexArray;
        const std::vector<int> previousSources = copySources;
        if (!sendVertices(mesh, mode)) {
            clear();
            return false;
        }
        fillColours(mesh);
        if (indexArray == previousIndices && copySources == previousSources)
            return true;
        fillGeometry(mesh);
    } catch (const std::bad_alloc &) {
        clear();
    }
    return false;
}

bool MeshArrays::sendVertices(const SurfaceMesh &mesh, const MeshRenderMode &mode)
{
    const int vertexCount = mesh.nrOfVertices;
    meshVertexCount = vertexCount;
    indexArray.clear();
    firsts.clear();
    counts.clear();
    copySources.clear();
    copies.clear();
    slotKeys.assign(size_t(vertexCount), noKey);

    int current = whiteKey;
    // The slot of vertex v sent now; setsColour: whether its code may set the
    // current colour; shows: whether its colour can reach a pixel.
    const auto send = [&](int v, bool setsColour, bool shows) {
        const int code = mesh.vertexColors[v];
        if (setsColour && !passesColour(code))
            current = keyOf(code);
        int slot = v;
        if (shows) {
            if (slotKeys[v] == noKey)
                slotKeys[v] = current;
            if (slotKeys[v] != current) {
                const quint64 key = quint64(v) << 32 | quint32(current);
                const auto found = copies.constFind(key);
                if (found != copies.constEnd()) {
                    slot = found.value();
                } else {
                    slot = int(slotKeys.size());
                    slotKeys.push_back(current);
                    copySources.push_back(v);
                    copies.insert(key, slot);
                }
            }
        }
        indexArray.push_back(quint32(slot));
    };
    const bool flat = mode.flatShading();

    if (!usesStrips(mesh)) {
        primitiveType = Triangles;
        const qint64 cornerCount = qint64(mesh.nrOfTriangles) * 3;
        if (cornerCount > 0 && !mesh.triangles)
            return false;
        for (qint64 c = 0; c < cornerCount; ++c) {
            if (mesh.triangles[c] < 0 || mesh.triangles[c] >= vertexCount)
                return false;
        }
        indexArray.reserve(size_t(cornerCount));
        const bool onlyLast = mode.lastVertexColoursTriangle();
        for (qint64 c = 0; c < cornerCount; c += 3) {
            const int *corner = mesh.triangles.get() + c;
            send(corner[0], !onlyLast, !flat);
            send(corner[2], !onlyLast, !flat);
            send(corner[1], true, true);
        }
    } else {
        primitiveType = TriangleStrips;
        const int *list = mesh.triangleStrips.get();
        const int length = mesh.nrOfTriangleStrips;
        for (int i = 0; i < length; ++i) {
            if (list[i] >= vertexCount)
                return false;
        }
        // A strip vertex sets the colour only when its code differs from the
        // code sent before; an equal code would set the colour already
        // current, so every vertex may as well set its own.
        for (int start = 0; start < length;) {
            int end = start;
            while (end < length && list[end] >= 0)
                ++end;
            const int *s = list + start;
            const int n = end - start;
            if (n >= 3) {
                firsts.push_back(int(indexArray.size()));
                counts.push_back(3);
                send(s[0], true, !flat);
                send(s[2], true, !flat);
                send(s[1], true, true);
                firsts.push_back(int(indexArray.size()));
                counts.push_back(n - 1);
                for (int k = 1; k < n; ++k)
                    send(s[k], true, !flat || k >= 3);
            }
            start = end + 1;
        }
    }
    return true;
}

void MeshArrays::fillGeometry(const SurfaceMesh &mesh)
{
    const size_t nrOfSlots = slotKeys.size();
    positionArray.resize(3 * nrOfSlots);
    normalArray.resize(3 * nrOfSlots);
    const float *centre = mesh.meshCenter;
    for (size_t slot = 0; slot < nrOfSlots; ++slot) {
        const int v =
            slot < size_t(meshVertexCount) ? int(slot) : copySources[slot - meshVertexCount];
        float *p = &positionArray[3 * slot];
        p[0] = mesh.vertexX[v] - centre[0];
        p[1] = mesh.vertexY[v] - centre[1];
        p[2] = centre[2] - mesh.vertexZ[v];
        float *n = &normalArray[3 * slot];
        n[0] = -mesh.normalX[v];
        n[1] = -mesh.normalY[v];
        n[2] = mesh.normalZ[v];
    }
}

void MeshArrays::fillColours(const SurfaceMesh &mesh)
{
    const size_t nrOfSlots = slotKeys.size();
    colourArray.resize(4 * nrOfSlots);
    for (size_t slot = 0; slot < nrOfSlots; ++slot) {
        const int key = slotKeys[slot] != noKey ? slotKeys[slot] : ownKey(mesh, int(slot));
        writeColour(mesh, key, &colourArray[4 * slot]);
    }
}
