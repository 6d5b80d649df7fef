// Making the mesh view's arrays: once per mesh, with strips and without, and
// the colours again after the vertex colours changed (a map overlay).

#include "MeshArrays.h"
#include "SurfaceMesh.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

const int width = 400, height = 500; // 200,000 vertices
const int quadsPerStrip = 20;

// A wavy grid, two triangles per square, and strips of 40 triangles along
// its rows; colour codes in bands as curvature gives them.
std::unique_ptr<SurfaceMesh> grid()
{
    auto mesh = std::make_unique<SurfaceMesh>();
    SurfaceMesh &m = *mesh;
    m.reservedValue = 0;
    m.nrOfVertices = width * height;
    for (auto *block : {&m.vertexX, &m.vertexY, &m.vertexZ, &m.normalX, &m.normalY, &m.normalZ})
        *block = std::make_unique<float[]>(m.nrOfVertices);
    m.vertexColors = std::make_unique<int[]>(m.nrOfVertices);
    for (int v = 0; v < m.nrOfVertices; ++v) {
        const int x = v % width, y = v / width;
        m.vertexX[v] = float(x);
        m.vertexY[v] = float(y);
        m.vertexZ[v] = float((x * 7 + y * 3) % 11);
        m.normalX[v] = m.normalY[v] = 0.0f;
        m.normalZ[v] = 1.0f;
        m.vertexColors[v] = (x / 5 + y / 9) % 2;
    }
    m.nrOfTriangles = 2 * (width - 1) * (height - 1);
    m.triangles = std::make_unique<int[]>(size_t(m.nrOfTriangles) * 3);
    int *t = m.triangles.get();
    QList<int> strips;
    for (int y = 0; y + 1 < height; ++y) {
        for (int x = 0; x + 1 < width; ++x) {
            const int v = x + y * width;
            const int corners[6] = {v, v + 1, v + width, v + 1, v + width + 1, v + width};
            t = std::copy(corners, corners + 6, t);
            if (x % quadsPerStrip == 0) {
                if (!strips.isEmpty())
                    strips << -1;
                strips << v + width << v;
            }
            strips << v + width + 1 << v + 1;
        }
    }
    m.nrOfTriangleStrips = int(strips.size());
    m.triangleStrips = std::make_unique<int[]>(strips.size());
    std::copy(strips.begin(), strips.end(), m.triangleStrips.get());
    return mesh;
}

void report(benchmark::State &state, const MeshArrays &arrays)
{
    const double bytes = arrays.slotCount() * (3 + 3 + 4 + 1) * 4.0 +
                         double(arrays.indices().size()) * 4 +
                         double(arrays.stripFirsts().size()) * 8;
    state.counters["slots"] = arrays.slotCount();
    state.counters["indices"] = double(arrays.indices().size());
    state.counters["MB"] = bytes / 1e6;
}

void build(benchmark::State &state, bool strips)
{
    const auto mesh = grid();
    mesh->hasTriangleStrips = strips;
    MeshArrays arrays;
    for (auto _ : state) {
        arrays.build(*mesh, MeshRenderMode().next(1));
        benchmark::DoNotOptimize(arrays.colours().data());
    }
    report(state, arrays);
}

void buildTriangles(benchmark::State &state)
{
    build(state, false);
}
BENCHMARK(buildTriangles)->Unit(benchmark::kMillisecond);

void buildStrips(benchmark::State &state)
{
    build(state, true);
}
BENCHMARK(buildStrips)->Unit(benchmark::kMillisecond);

// A map overlay turning every third vertex into a direct colour and back;
// with passingCodes, every tenth vertex passes the colour before it on.
void recolour(benchmark::State &state, bool passingCodes)
{
    const auto mesh = grid();
    mesh->hasTriangleStrips = true;
    if (passingCodes) {
        for (int v = 0; v < mesh->nrOfVertices; v += 10)
            mesh->vertexColors[v] = 5000;
    }
    MeshArrays arrays;
    arrays.build(*mesh, MeshRenderMode().next(1));
    mesh->saveMeshColorsForUndo();
    bool overlaid = false;
    int coloursOnly = 0;
    for (auto _ : state) {
        overlaid = !overlaid;
        if (overlaid) {
            for (int v = 1; v < mesh->nrOfVertices; v += 3)
                mesh->vertexColors[v] = 0x3F000000 + v % 0xFFFFFF;
        } else {
            mesh->undoMeshColors();
        }
        coloursOnly += arrays.updateColours(*mesh, MeshRenderMode().next(1));
    }
    state.counters["colours only"] = double(coloursOnly) / double(state.iterations());
    report(state, arrays);
}

void recolourAfterMapChange(benchmark::State &state)
{
    recolour(state, false);
}
BENCHMARK(recolourAfterMapChange)->Unit(benchmark::kMillisecond);

void recolourWithPassingCodes(benchmark::State &state)
{
    recolour(state, true);
}
BENCHMARK(recolourWithPassingCodes)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
