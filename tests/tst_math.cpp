#include "C3dMatrix.h"
#include "C3dVector.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(C3dVector)
Q_DECLARE_METATYPE(C3dMatrix)

namespace {

const float NaN = std::numeric_limits<float>::quiet_NaN();

bool isNear(const C3dVector &a, const C3dVector &b, float tolerance = 1e-5f)
{
    return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance &&
           std::abs(a.z - b.z) <= tolerance;
}

bool isNear(const C3dMatrix &a, const C3dMatrix &b, float tolerance = 1e-5f)
{
    for (int i = 0; i < 16; ++i) {
        if (!(std::abs(a.m[i] - b.m[i]) <= tolerance))
            return false;
    }
    return true;
}

C3dMatrix rotated(const C3dVector &a, const QString &order)
{
    C3dMatrix r;
    if (order == "XYZ") {
        r.Rotate(a.x, a.y, a.z);
    } else {
        r.Rotate(0, 0, a.z);
        r.Rotate(0, a.y, 0);
        r.Rotate(a.x, 0, 0);
    }
    return r;
}

} // namespace

class TestMath : public QObject
{
    Q_OBJECT

private slots:
    void vectors();
    void exactRotations();
    void composition();
    void inversionsAndDecompositions();
    void decomposeRotation_data();
    void decomposeRotation();
};

void TestMath::vectors()
{
    QVERIFY(isNear(C3dVector(), C3dVector(1, 1, 1), 0));
    C3dVector v(0, 1, 0);
    v *= C3dVector(1, 0, 0);
    QVERIFY(isNear(v, C3dVector(0, 0, -1), 0));

    v = C3dVector(2, 4, 6);
    v /= 0;
    QVERIFY(isNear(v, C3dVector(2, 4, 6), 0));
    C3dVector zero(0, 0, 0);
    QVERIFY(!zero.Normalize());
    QVERIFY(zero.IsNull());
    QVERIFY(!C3dVector(NaN, 0, 0).IsNull());
    QVERIFY(C3dVector(2, 0, 0).Coincident(C3dVector(5, 0, 0)));
    QVERIFY(!C3dVector(2, 0, 0).Coincident(C3dVector(-5, 0, 0)));

    // The last one is not normalised: its length is sin 45.
    const C3dVector cases[][2] = {{{0, 5, 0}, {1, 0, 0}},
                                  {{0, -2, 0}, {1, 0, 0}},
                                  {{1, 0, 0}, {0, 1, 0}},
                                  {{0, 0, 2}, {0, 1, 0}},
                                  {{1, 1, 0}, {-0.5f, 0.5f, 0}}};
    for (const auto &c : cases) {
        C3dVector d = c[0];
        QVERIFY(isNear(d.GenerateUp(), c[1]));
        QVERIFY(isNear(d, c[0] * (1 / c[0].Mag())));
    }
}

// Right angles give exact matrices.
void TestMath::exactRotations()
{
    const struct
    {
        C3dVector angles;
        C3dMatrix expected;
    } cases[] = {{{90, 0, 0}, {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1}},
                 {{-90, 0, 0}, {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1}},
                 {{270, 0, 0}, {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1}},
                 {{180, 0, 0}, {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1}},
                 {{0, 90, 0}, {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1}},
                 {{90, 0, 90}, {0, -1, 0, 0, 0, 0, -1, 0, 1, 0, 0, 0, 0, 0, 0, 1}}};
    for (const auto &c : cases)
        QVERIFY(isNear(rotated(c.angles, "XYZ"), c.expected, 0));
}

void TestMath::composition()
{
    // Turned about z first, then y, then x; the previous contents act last.
    QVERIFY(isNear(rotated({90, 90, 90}, "XYZ") * C3dVector(1, 0, 0), C3dVector(0, 0, 1), 0));
    C3dMatrix m;
    m.Translate(1, 2, 3);
    m.Rotate(0, 0, 90);
    QVERIFY(isNear(m * C3dVector(1, 0, 0), C3dVector(1, 3, 3)));

    m.makeIdentity();
    m.Scale(2, 2, 2);
    m.Translate(1, 0, 0);
    QVERIFY(isNear(m * C3dVector(0, 0, 0), C3dVector(2, 0, 0)));
    m.makeIdentity();
    m.Translate(1, 0, 0);
    m.Scale(2, 2, 2);
    m.m[12] = m.m[13] = m.m[14] = m.m[15] = 7; // not used on vectors
    QVERIFY(isNear(m * C3dVector(1, 1, 1), C3dVector(3, 2, 2)));

    m.makeIdentity();
    for (float &e : m.m)
        e += 1e-7f;
    QVERIFY(m == C3dMatrix());
    QVERIFY(!m.isIdentity());
    m.m[6] = 2e-6f;
    QVERIFY(!(m == C3dMatrix()));
    m.m[6] = NaN;
    QVERIFY(!(m == C3dMatrix()));

    m = rotated({30, 40, 50}, "XYZ");
    QVERIFY(!m.checkCoordinateSystemFlip());
    for (int r = 0; r < 3; ++r)
        m.m[4 * r + 1] = -m.m[4 * r + 1];
    QVERIFY(m.checkCoordinateSystemFlip());
}

void TestMath::inversionsAndDecompositions()
{
    QRandomGenerator random(7);
    auto uniform = [&](double low, double high) {
        return float(low + random.generateDouble() * (high - low));
    };
    for (int i = 0; i < 50; ++i) {
        const C3dVector a(uniform(-179, 179), uniform(-89, 89), uniform(-179, 179));
        const C3dVector t(uniform(-10, 10), uniform(-10, 10), uniform(-10, 10));
        const C3dVector s(uniform(0.2, 5), uniform(0.2, 5), uniform(0.2, 5));
        C3dMatrix m;
        m.Translate(t.x, t.y, t.z);
        m *= rotated(a, "ZYX");

        C3dMatrix inverse = m;
        inverse.invertRotationTranslationMatrix();
        QVERIFY(isNear(m * inverse, C3dMatrix()));
        C3dVector r, u, scale;
        m.decomposeRotationTranslation(r.x, r.y, r.z, u.x, u.y, u.z);
        QVERIFY(isNear(r, a, 1e-2f));
        QVERIFY(isNear(u, t, 0));

        m.Scale(s.x, s.y, s.z);
        inverse = m;
        QVERIFY(inverse.invertRotationTranslationScaleMatrix());
        QVERIFY(isNear(m * inverse, C3dMatrix()));
        QVERIFY(isNear(inverse * m, C3dMatrix()));
        m.decomposeScaleRotationTranslation(scale.x, scale.y, scale.z, r.x, r.y, r.z, u.x, u.y,
                                            u.z);
        QVERIFY(isNear(scale, s));
        QVERIFY(isNear(r, a, 1e-2f));
        QVERIFY(isNear(u, t, 0));

        rotated(a, "ZYX").decomposeRotationZYX(r.x, r.y, r.z);
        QVERIFY(isNear(r, a, 1e-2f));
        rotated(a, "XYZ").decomposeRotationXYZ(r.x, r.y, r.z);
        QVERIFY(isNear(r, a, 1e-2f));
    }

    // A flattened axis has no inverse; the matrix stays as it was.
    C3dMatrix flat;
    flat.Scale(1, 0, 1);
    C3dMatrix unchanged = flat;
    QVERIFY(!unchanged.invertRotationTranslationScaleMatrix());
    QVERIFY(isNear(unchanged, flat, 0));

    // Rounding may push the sine of the middle angle just past 1.
    const C3dMatrix past(0, 0, 1.0000001f, 0, 0, 1, 0, 0, -1.0000001f, 0, 0, 0, 0, 0, 0, 1);
    C3dVector r, u;
    past.decomposeRotationXYZ(r.x, r.y, r.z);
    QVERIFY(isNear(r, C3dVector(0, 90, 0)));
    past.decomposeRotationTranslation(r.x, r.y, r.z, u.x, u.y, u.z);
    QVERIFY(isNear(r, C3dVector(0, 90, 0)));
}

void TestMath::decomposeRotation_data()
{
    QTest::addColumn<QString>("order");
    QTest::addColumn<C3dVector>("angles");
    QTest::addColumn<C3dVector>("expected");

    // (0, 180, 180) matches later with a larger total turn.
    QTest::newRow("half turn") << "XYZ" << C3dVector(180, 0, 0) << C3dVector(180, 0, 0);
    // (0, 180, 90) matches later with the same total turn.
    QTest::newRow("tie") << "XYZ" << C3dVector(180, 0, -90) << C3dVector(180, 0, -90);
    // Read back as (180, 0, 180) at first.
    QTest::newRow("smaller later") << "XYZ" << C3dVector(0, 180, 0) << C3dVector(0, 180, 0);
    QTest::newRow("smaller later ZYX") << "ZYX" << C3dVector(0, 180, 0) << C3dVector(0, 180, 0);
    QTest::newRow("no right angle") << "XYZ" << C3dVector(30, 0, 0) << C3dVector(30, 0, 0);

    // At a right middle angle only the sum or difference of the outer two is defined.
    QTest::newRow("XYZ +90") << "XYZ" << C3dVector(30, 90, 20) << C3dVector(0, 90, 50);
    QTest::newRow("XYZ -90") << "XYZ" << C3dVector(30, -90, 20) << C3dVector(0, -90, -10);
    QTest::newRow("ZYX +90") << "ZYX" << C3dVector(30, 90, 20) << C3dVector(0, 90, -10);
    QTest::newRow("ZYX -90") << "ZYX" << C3dVector(30, -90, 20) << C3dVector(0, -90, 50);
    QTest::newRow("translation +90") << "" << C3dVector(30, 90, 20) << C3dVector(10, 90, 0);
    QTest::newRow("translation -90") << "" << C3dVector(30, -90, 20) << C3dVector(50, -90, 0);
}

void TestMath::decomposeRotation()
{
    QFETCH(QString, order);
    QFETCH(C3dVector, angles);
    QFETCH(C3dVector, expected);

    const C3dMatrix m = rotated(angles, order);
    C3dVector r, t;
    if (order.isEmpty())
        m.decomposeRotationTranslation(r.x, r.y, r.z, t.x, t.y, t.z);
    else
        m.iterateDecomposeRotation(r.x, r.y, r.z, order);
    QVERIFY2(isNear(r, expected, 1e-4f),
             qPrintable(QString("%1 %2 %3").arg(r.x).arg(r.y).arg(r.z)));
    QVERIFY(isNear(rotated(r, order), m));
}

QTEST_GUILESS_MAIN(TestMath)
#include "tst_math.moc"
