#include "SurfaceFileData.h"

#include <QSysInfo>
#include <QtEndian>

#include <cmath>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define CXV_AVX2 1
#endif
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

enum class Check { Nothing, Position, Below };

// Positions are millimetres: one a hundred metres out is damage, as the SRF
// reader has it, and its squares would overflow the float sums of normals.
constexpr float maxCoordinate = 100000.0f;
// A float's bits without its sign compare as integers as the magnitudes do;
// infinities and NaNs lie above every finite bound.
const qint32 maxCoordinateBits = [] {
    qint32 bits;
    memcpy(&bits, &maxCoordinate, 4);
    return bits;
}();

// Turns words to the host's order (when swap says) and checks them: as floats,
// that each is a position (finite, within maxCoordinate); as ints, that
// each is below limit taken unsigned (so no negative one either). Nonzero when
// one fails. Eight words at a time with AVX2, four with SSE2, the rest one by
// one.
#ifdef CXV_AVX2
// Eight words at a time, for processors that have AVX2.
template <Check check>
__attribute__((target("avx2"))) quint32 passAvx2(uchar *bytes, qint64 &i, qint64 count, bool swap,
                                                 quint32 limit)
{
    const __m256i order = _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 3,
                                           2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
    const __m256i magnitude = _mm256_set1_epi32(0x7fffffff);
    const __m256i largest = _mm256_set1_epi32(maxCoordinateBits);
    const __m256i bound = _mm256_set1_epi32(int(limit));
    __m256i bad = _mm256_setzero_si256();
    for (; i + 8 <= count; i += 8) {
        auto *at = reinterpret_cast<__m256i *>(bytes + 4 * i);
        __m256i v = _mm256_loadu_si256(at);
        if (swap) {
            v = _mm256_shuffle_epi8(v, order);
            _mm256_storeu_si256(at, v);
        }
        if (check == Check::Position)
            bad = _mm256_or_si256(bad, _mm256_cmpgt_epi32(_mm256_and_si256(v, magnitude), largest));
        else if (check == Check::Below)
            // v >= limit unsigned when the larger of the two is v.
            bad = _mm256_or_si256(bad, _mm256_cmpeq_epi32(_mm256_max_epu32(v, bound), v));
    }
    return quint32(_mm256_movemask_epi8(bad));
}

// Asked once, before main: the processor's features are read first.
const bool hasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

template <Check check> quint32 pass(void *words, qint64 count, bool swap, quint32 limit)
{
    auto *bytes = static_cast<uchar *>(words);
    qint64 i = 0;
    quint32 failed = 0;
#ifdef CXV_AVX2
    if (hasAvx2)
        failed = passAvx2<check>(bytes, i, count, swap, limit);
#endif
#ifdef __SSE2__
    const __m128i magnitude = _mm_set1_epi32(0x7fffffff);
    const __m128i largest = _mm_set1_epi32(maxCoordinateBits);
    const __m128i sign = _mm_set1_epi32(int(0x80000000u));
    const __m128i bound = _mm_xor_si128(_mm_set1_epi32(int(limit)), sign);
    __m128i bad = _mm_setzero_si128();
    for (; i + 4 <= count; i += 4) {
        auto *at = reinterpret_cast<__m128i *>(bytes + 4 * i);
        __m128i v = _mm_loadu_si128(at);
        if (swap) {
            // The bytes of each half swapped, then the halves.
            v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
            v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);
            _mm_storeu_si128(at, v);
        }
        if (check == Check::Position)
            bad = _mm_or_si128(bad, _mm_cmpgt_epi32(_mm_and_si128(v, magnitude), largest));
        else if (check == Check::Below)
            bad = _mm_or_si128(bad, _mm_cmpeq_epi32(_mm_cmpgt_epi32(bound, _mm_xor_si128(v, sign)),
                                                    _mm_setzero_si128()));
    }
    failed |= quint32(_mm_movemask_epi8(bad));
#endif
    for (; i < count; ++i) {
        quint32 word;
        memcpy(&word, bytes + 4 * i, 4);
        if (swap) {
            word = qbswap(word);
            memcpy(bytes + 4 * i, &word, 4);
        }
        if (check == Check::Position)
            failed |= quint32(qint32(word & 0x7fffffffu) > maxCoordinateBits);
        else if (check == Check::Below)
            failed |= quint32(word >= limit);
    }
    return failed;
}

constexpr bool hostIsLittleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;

quint32 limitOf(qint64 vertices)
{
    return quint32(qBound<qint64>(0, vertices, 0xFFFFFFFF));
}

} // namespace

void SurfaceFiles::bigEndianToHost(void *words, qint64 count)
{
    pass<Check::Nothing>(words, count, hostIsLittleEndian, 0);
}

void SurfaceFiles::littleEndianToHost(void *words, qint64 count)
{
    pass<Check::Nothing>(words, count, !hostIsLittleEndian, 0);
}

quint32 SurfaceFiles::coordinatesFromBigEndian(float *values, qint64 count)
{
    return pass<Check::Position>(values, count, hostIsLittleEndian, 0);
}

quint32 SurfaceFiles::cornersFromBigEndian(qint32 *corners, qint64 count, qint64 vertices)
{
    return pass<Check::Below>(corners, count, hostIsLittleEndian, limitOf(vertices));
}

quint32 SurfaceFiles::outsidePositions(const float *values, qint64 count)
{
    return pass<Check::Position>(const_cast<float *>(values), count, false, 0);
}

quint32 SurfaceFiles::outsideCorners(const qint32 *corners, qint64 count, qint64 vertices)
{
    return pass<Check::Below>(const_cast<qint32 *>(corners), count, false, limitOf(vertices));
}

// The value at fault is looked for once one is known to be there.
QString SurfaceFiles::geometryProblem(const float *xyz, qint64 vertices, const qint32 *faces,
                                      qint64 triangles, bool scanned)
{
    if (vertices < 3 || triangles == 0)
        return QString("an empty surface: %1 vertices and %2 triangles")
            .arg(vertices)
            .arg(triangles);
    const qint64 corners = 3 * triangles;
    const qint64 coordinates = 3 * vertices;
    if (!scanned && outsideCorners(faces, corners, vertices)) {
        for (qint64 i = 0; i < corners; ++i) {
            if (faces[i] < 0 || faces[i] >= vertices)
                return QString("triangle %1 has a corner %2, which is no vertex of the %3")
                    .arg(i / 3)
                    .arg(faces[i])
                    .arg(vertices);
        }
    }
    if (!scanned && outsidePositions(xyz, coordinates)) {
        for (qint64 v = 0; v < vertices; ++v) {
            const float *p = xyz + 3 * v;
            if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
                return QString("vertex %1 is at no position (%2, %3, %4)")
                    .arg(v)
                    .arg(p[0])
                    .arg(p[1])
                    .arg(p[2]);
            if (std::abs(p[0]) > maxCoordinate || std::abs(p[1]) > maxCoordinate ||
                std::abs(p[2]) > maxCoordinate)
                return QString("vertex %1 lies at (%2, %3, %4), beyond ±%5 mm")
                    .arg(v)
                    .arg(p[0])
                    .arg(p[1])
                    .arg(p[2])
                    .arg(maxCoordinate);
        }
    }
    // Every vertex where the one before it is, until one is not.
    for (qint64 i = 3; i < coordinates; ++i) {
        if (xyz[i] != xyz[i - 3])
            return QString();
    }
    return QString("every vertex is at one point");
}
