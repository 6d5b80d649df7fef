#include "Phantom.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace {

const float air = 10, fat = 195, muscle = 82, galea = 70, bone = 16, marrow = 85, csf = 28,
            grey = 112, white = 168, thalamus = 140, striatum = 128, brainstem = 150, vitreous = 24,
            lens = 150, nerve = 145, capsule = 222;

const QVector3D brainSemiAxes(68, 82, 64);
const QVector3D fossaCentre(0, -60, -34);
const QVector3D fossaSemiAxes(52, 30, 24);

float square(float x)
{
    return x * x;
}

float smoothstep(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// Signed distance in mm to the surface of an ellipsoid, negative inside; exact
// on the surface and close to it nearby, which is all the soft edges need.
// Points far outside get a cheaper lower bound, more than 20 mm: no layer of
// the head lies that far out. Written out in floats, as the generator spends
// most of its time here.
float ellipsoid(const QVector3D &p, const QVector3D &centre, const QVector3D &semiAxes)
{
    const float dx = p.x() - centre.x(), dy = p.y() - centre.y(), dz = p.z() - centre.z();
    const float outside = std::max(
        {std::abs(dx) - semiAxes.x(), std::abs(dy) - semiAxes.y(), std::abs(dz) - semiAxes.z()});
    if (outside > 20)
        return outside;
    const float qx = dx / semiAxes.x(), qy = dy / semiAxes.y(), qz = dz / semiAxes.z();
    const float r = std::sqrt(qx * qx + qy * qy + qz * qz);
    const float gradient = std::sqrt(square(qx / semiAxes.x()) + square(qy / semiAxes.y()) +
                                     square(qz / semiAxes.z()));
    if (gradient == 0)
        return -std::min({semiAxes.x(), semiAxes.y(), semiAxes.z()});
    return (r - 1) * r / gradient;
}

float sphere(const QVector3D &p, const QVector3D &centre, float radius)
{
    return (p - centre).length() - radius;
}

// Signed distance to a rod of the given radius around the segment a–b.
float rod(const QVector3D &p, const QVector3D &a, const QVector3D &b, float radius)
{
    const QVector3D ab = b - a;
    const float t = std::clamp(QVector3D::dotProduct(p - a, ab) / ab.lengthSquared(), 0.0f, 1.0f);
    return (p - (a + t * ab)).length() - radius;
}

// Lays a tissue over value where the distance d is negative, with a soft edge
// of 1 mm so that boundaries look like a scan's rather than like stairs.
void paint(float &value, float d, float tissue)
{
    if (d >= 0.5f)
        return;
    value += (tissue - value) * (d <= -0.5f ? 1.0f : 0.5f - d);
}

// A smooth random field on the sphere; the sulci run along its zero lines.
// Below the surface (rho < 1) the field is taken a little aside, so that the
// sulci bend as they run inwards instead of cutting straight to the centre.
// The directions need not be unit vectors: their length only scales the frequency.
float sulcusField(const QVector3D &u, float rho)
{
    struct Wave
    {
        QVector3D direction;
        float frequency, phase;
    };
    static const Wave waves[] = {
        {{0.80f, 0.36f, 0.48f}, 19.0f, 0.3f},   {{-0.27f, 0.90f, 0.34f}, 23.0f, 1.7f},
        {{0.12f, -0.45f, 0.88f}, 21.0f, 4.1f},  {{0.59f, -0.70f, -0.40f}, 25.0f, 2.6f},
        {{-0.66f, -0.23f, 0.71f}, 17.0f, 5.2f}, {{0.33f, 0.52f, -0.79f}, 24.0f, 0.9f},
    };
    const float bend = 0.4f * std::max(0.0f, 1 - rho);
    const QVector3D w = u + bend * QVector3D(std::sin(7 * u.y() + 1.3f), std::sin(8 * u.z() + 0.4f),
                                             std::sin(7.5f * u.x() + 2.1f));
    float s = 0;
    for (const Wave &wave : waves)
        s += std::sin(wave.frequency * QVector3D::dotProduct(w, wave.direction) + wave.phase);
    return s;
}

// How far the brain surface dips below the unit sphere in direction u: the
// sulci, some deeper than others, the fissure between the hemispheres, the
// lateral fissure, and a base that is higher in the middle and at the front
// than where the temporal lobes hang down. Wider valleys (widen > 1) give the
// surface of the white matter. Slits have steep walls and a flat floor, as
// the volume's sulci; otherwise the sulci are smooth grooves.
float valleyDepth(const QVector3D &u, float field, float widen, bool slits = true)
{
    const float depth =
        0.21f + 0.09f * std::sin(3 * (0.5f * u.x() - 0.6f * u.y() + 0.6f * u.z()) + 0.7f);
    const float across = square(field / (0.35f * widen));
    const float sulcus = depth * std::exp(-(slits ? square(across) : across));
    // Slightly off the midline, as in most brains: the middle sagittal slice
    // then shows the inner face of the right hemisphere.
    const float fissure = 0.62f * std::exp(-square((u.x() + 0.03f) / (0.018f * widen))) *
                          smoothstep(-0.6f, -0.2f, u.z());
    const float lateral = u.z() + 0.05f + 0.35f * u.y();
    const float sylvian = 0.22f * std::exp(-square(lateral / (0.05f * widen))) *
                          smoothstep(0.45f, 0.7f, std::abs(u.x())) *
                          smoothstep(-0.45f, -0.15f, u.y()) * smoothstep(0.7f, 0.5f, u.y());
    const float base =
        0.2f * smoothstep(-0.35f, -0.85f, u.z()) * smoothstep(0.55f, 0.15f, std::abs(u.x())) +
        0.12f * smoothstep(-0.1f, -0.6f, u.z()) * smoothstep(0.2f, 0.6f, u.y());
    return std::max({sulcus, fissure, sylvian}) + base;
}

const float greyThickness = 0.055f;
const float whiteWidening = 3.0f;

// Eyes with their lenses and optic nerves in the orbital fat.
void paintEyes(const QVector3D &p, float &v)
{
    for (float side : {-1.0f, 1.0f}) {
        const QVector3D centre(32 * side, 66, -20);
        paint(v, sphere(p, centre, 15), fat);
        paint(v, rod(p, centre, QVector3D(12 * side, 36, -14), 2.5f), nerve);
        paint(v, sphere(p, centre, 11), vitreous);
        paint(v, ellipsoid(p, centre + QVector3D(0, 9, 0), QVector3D(4, 1.8f, 4)), lens);
    }
}

// The cortical ribbon, white matter, deep grey nuclei and ventricles.
void paintCerebrum(const QVector3D &p, float &v)
{
    const QVector3D offset = p - Phantom::brainCentre;
    const QVector3D q = offset / brainSemiAxes;
    const float rho = q.length();
    if (rho > 1.05f)
        return;
    const QVector3D u = rho > 1e-6f ? q / rho : QVector3D(0, 0, 1);
    const float mmPerUnit = rho > 1e-6f ? offset.length() / rho : brainSemiAxes.x();
    const float field = sulcusField(u, rho);
    paint(v, (rho - 1 + valleyDepth(u, field, 1)) * mmPerUnit, grey);
    paint(v, (rho - 1 + greyThickness + valleyDepth(u, field, whiteWidening)) * mmPerUnit, white);
    // The nuclei and ventricles all lie inside this box.
    if (std::abs(p.x()) > 36 || p.y() < -55 || p.y() > 34 || p.z() < -8 || p.z() > 36)
        return;
    for (float side : {-1.0f, 1.0f}) {
        paint(v, ellipsoid(p, QVector3D(26 * side, 4, 6), QVector3D(6, 16, 11)), striatum);
        paint(v, ellipsoid(p, QVector3D(14 * side, 16, 18), QVector3D(6, 10, 10)), striatum + 4);
        paint(v, ellipsoid(p, QVector3D(11 * side, -14, 8), QVector3D(9, 15, 10)), thalamus);
    }
    for (float side : {-1.0f, 1.0f}) {
        paint(v, ellipsoid(p, QVector3D(7 * side, -5, 24), QVector3D(5, 26, 7)), csf);
        paint(v, ellipsoid(p, QVector3D(9 * side, 18, 18), QVector3D(5, 12, 9)), csf);
        paint(v, ellipsoid(p, QVector3D(18 * side, -36, 16), QVector3D(4, 14, 5)), csf);
    }
    paint(v, ellipsoid(p, QVector3D(0, -10, 4), QVector3D(2.5f, 10, 7)), csf);
}

// The cerebellum under its tent of CSF, with folia around a white core.
void paintCerebellum(const QVector3D &p, float &v)
{
    const float fossa = ellipsoid(p, fossaCentre, fossaSemiAxes);
    if (fossa >= 0.5f)
        return;
    paint(v, fossa + 1.5f, csf);
    const QVector3D semiAxes = fossaSemiAxes - QVector3D(3, 3, 3);
    // The white tree fans out backwards from a stem near the fourth ventricle.
    const QVector3D q = (p - fossaCentre) / semiAxes - QVector3D(0, 0.55f, 0.1f);
    const float rho = q.length();
    const float angle = std::atan2(q.z(), -q.y());
    const float branches = std::sin(11 * angle + 3 * rho);
    const float folia = std::sin(40 * angle + 6 * rho);
    const float core = std::max(smoothstep(0.35f, 0.25f, rho),
                                smoothstep(-0.75f, -0.95f, branches) * smoothstep(1.3f, 1.1f, rho));
    float tissue = grey + (white - 8 - grey) * core;
    tissue += (csf - tissue) * smoothstep(0.75f, 0.95f, folia) * smoothstep(0.6f, 0.8f, rho);
    paint(v, ellipsoid(p, fossaCentre, semiAxes), tissue);
}

// Pons, brainstem and the fourth ventricle behind them.
void paintBrainstem(const QVector3D &p, float &v)
{
    if (std::abs(p.x()) > 20 || p.z() > 9)
        return;
    paint(v, ellipsoid(p, QVector3D(0, -16, -28), QVector3D(15, 12, 14)), brainstem);
    paint(v, rod(p, QVector3D(0, -18, -2), QVector3D(0, -27, -62), 10), brainstem);
    paint(v, ellipsoid(p, QVector3D(0, -35, -30), QVector3D(3, 5, 7)), csf);
}

// Vertebrae below the skull base, the canal through it and the spinal cord.
void paintSpinalCanal(const QVector3D &p, float &v)
{
    const float axis = rod(p, QVector3D(0, -20, -8), QVector3D(0, -30, -140), 0);
    paint(v, std::max(axis - 17, p.z() + 72), bone);
    paint(v, std::max(axis - (p.z() < -72 ? 9.0f : 13.0f), p.z() + 8), csf);
    paint(v, rod(p, QVector3D(0, -27, -62), QVector3D(0, -30, -140), 6), brainstem);
}

quint32 hash(qint32 x, qint32 y, qint32 z)
{
    quint32 h = quint32(x) * 73856093u ^ quint32(y) * 19349663u ^ quint32(z) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

} // namespace

const QVector3D Phantom::brainCentre(0, -12, 14);

float Phantom::tissue(const QVector3D &p)
{
    // Most of a volume is air around the head.
    if (std::abs(p.x()) > 88 || p.y() > 104 || p.y() < -116 || p.z() > 100)
        return air;
    const float cranium = std::min(ellipsoid(p, brainCentre, brainSemiAxes),
                                   ellipsoid(p, fossaCentre, fossaSemiAxes));
    const float neck = p.z() > -29 ? p.z() + 30
                                   : ellipsoid(QVector3D(p.x(), p.y(), 0), QVector3D(0, -15, 0),
                                               QVector3D(52, 58, 1));
    const float head =
        std::min({cranium - 17, neck, ellipsoid(p, QVector3D(0, 45, -45), QVector3D(70, 50, 62)),
                  ellipsoid(p, QVector3D(0, 88, -42), QVector3D(10, 12, 20))});
    // A vitamin E capsule taped to the right of the head, as scanner staff do
    // to tell the sides apart: the phantom is otherwise nearly symmetric.
    const float marker = ellipsoid(p, QVector3D(80, 10, 40), QVector3D(3.5f, 5, 8));
    float v = air;
    if (head >= 0.5f && marker >= 0.5f)
        return v;
    paint(v, head, fat);
    paint(v, head + 4, muscle);
    paint(v, cranium - 12, galea);
    paint(v, cranium - 11, bone);
    paint(v, cranium - 9.5f, marrow);
    paint(v, cranium - 6.5f, bone);
    if (p.y() > 30 && p.z() < 5)
        paintEyes(p, v);
    paint(v, marker, capsule);
    if (p.z() < -5)
        paintSpinalCanal(p, v);
    if (cranium >= 3.5f)
        return v;
    paint(v, cranium - 3, csf);
    paintCerebrum(p, v);
    paintCerebellum(p, v);
    paintBrainstem(p, v);
    return v;
}

float Phantom::intensity(const QVector3D &p)
{
    const qint32 x = qRound(p.x() * 8), y = qRound(p.y() * 8), z = qRound(p.z() * 8);
    // Two uniform values give a bell-shaped noise in -1..1.
    const quint32 h = hash(x, y, z);
    const float noise = ((h & 0xFFFF) + (h >> 16)) / 65535.0f - 1;
    const float v = tissue(p);
    if (v <= air + 0.5f)
        return air + 2.5f * std::abs(noise);
    return std::clamp(v + 3.5f * noise, 10.0f, 225.0f);
}

QVector3D Phantom::cortexPoint(const QVector3D &direction, bool &inSulcus)
{
    const float valley = valleyDepth(direction, sulcusField(direction, 1), 1.7f, false);
    inSulcus = valley > 0.08f;
    return brainCentre + brainSemiAxes * direction * (1 - greyThickness / 2 - valley);
}

QVector3D Phantom::greyMatterPoint(const QVector3D &direction)
{
    bool inSulcus = false;
    const QVector3D start = cortexPoint(direction, inSulcus);
    const QVector3D outwards = (start - brainCentre).normalized();
    // Steps of half a millimetre, alternately out and in: within the ribbon's
    // width on either side, and past a slit's CSF where the point lies in one.
    for (int step = 0; step <= 24; ++step) {
        const float offset = (step % 2 ? 0.5f : -0.5f) * ((step + 1) / 2);
        const QVector3D p = start + offset * outwards;
        if (tissue(p) == grey)
            return p;
    }
    return start;
}
