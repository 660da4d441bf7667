// The camera's matrices: the projection for landscape, square and portrait viewports and
// its refusals, the look-at basis with its fallbacks, rotation sense, and where the fixed
// camera puts the edges of the show's plane.
#include <gtest/gtest.h>

#include <cmath>

#include "scene/camera.h"

namespace nb {
namespace {

struct Point4 {
    float x, y, z, w;
};

Point4 Transform(const D3DMATRIX& m, float x, float y, float z) {
    return {x * m._11 + y * m._21 + z * m._31 + m._41, x * m._12 + y * m._22 + z * m._32 + m._42,
            x * m._13 + y * m._23 + z * m._33 + m._43, x * m._14 + y * m._24 + z * m._34 + m._44};
}

D3DMATRIX Filled(float value) {
    D3DMATRIX m;
    float* f = &m._11;
    for (int i = 0; i < 16; ++i) f[i] = value;
    return m;
}

void ExpectSame(const D3DMATRIX& a, const D3DMATRIX& b) {
    const float* fa = &a._11;
    const float* fb = &b._11;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(fa[i], fb[i]) << "element " << i;
}

TEST(PerspectiveMatrix, LandscapeViewportScalesByZoomAndAspect) {
    D3DMATRIX m = Filled(7.0f);
    ASSERT_EQ(PerspectiveMatrix(m, cameraFieldOfView, 640.0f / 480.0f, 1.0f, 10000.0f), S_OK);
    EXPECT_FLOAT_EQ(m._11, 1.05f);
    EXPECT_FLOAT_EQ(m._22, 1.4f);
    EXPECT_FLOAT_EQ(m._33, 10000.0f / 9999.0f);
    EXPECT_FLOAT_EQ(m._34, 1.0f);
    EXPECT_FLOAT_EQ(m._43, -10000.0f / 9999.0f);
    // Every other element is cleared.
    for (float v : {m._12, m._13, m._14, m._21, m._23, m._24, m._31, m._32, m._41, m._42, m._44}) {
        EXPECT_EQ(v, 0.0f);
    }
}

TEST(PerspectiveMatrix, SquareAndPortraitKeepFourThirdsVertically) {
    D3DMATRIX square;
    ASSERT_EQ(PerspectiveMatrix(square, cameraFieldOfView, 1.0f, 1.0f, 10000.0f), S_OK);
    EXPECT_FLOAT_EQ(square._11, 1.05f);
    EXPECT_FLOAT_EQ(square._22, 1.4f);

    D3DMATRIX portrait;
    ASSERT_EQ(PerspectiveMatrix(portrait, cameraFieldOfView, 0.5f, 1.0f, 10000.0f), S_OK);
    EXPECT_FLOAT_EQ(portrait._11, 2.1f);
    EXPECT_FLOAT_EQ(portrait._22, 1.4f);
}

TEST(PerspectiveMatrix, RefusesDegenerateInputAndLeavesMatrixUntouched) {
    const D3DMATRIX before = Filled(3.0f);
    D3DMATRIX m = before;
    EXPECT_EQ(PerspectiveMatrix(m, cameraFieldOfView, 1.5f, 5.0f, 5.0f), E_INVALIDARG);
    ExpectSame(m, before);
    EXPECT_EQ(PerspectiveMatrix(m, cameraFieldOfView, 1.5f, 5.0f, 5.005f), E_INVALIDARG);
    ExpectSame(m, before);
    EXPECT_EQ(PerspectiveMatrix(m, 0.0f, 1.5f, 1.0f, 100.0f), E_INVALIDARG);
    ExpectSame(m, before);
    EXPECT_EQ(PerspectiveMatrix(m, cameraFieldOfView, 0.0f, 1.0f, 100.0f), E_INVALIDARG);
    EXPECT_EQ(PerspectiveMatrix(m, cameraFieldOfView, std::nanf(""), 1.0f, 100.0f), E_INVALIDARG);
    ExpectSame(m, before);
    // Just outside the limits works.
    EXPECT_EQ(PerspectiveMatrix(m, cameraFieldOfView, 1.5f, 5.0f, 5.02f), S_OK);
}

TEST(LookAtMatrix, CameraViewIsIdentityMovedBackOneHundred) {
    D3DMATRIX view = Filled(9.0f);
    ASSERT_EQ(LookAtMatrix(view, cameraEye, cameraTarget, cameraUp), S_OK);
    D3DMATRIX expected;
    IdentityMatrix(expected);
    expected._43 = 100.0f;
    ExpectSame(view, expected);
}

TEST(LookAtMatrix, EyeOnTargetIsRefused) {
    const D3DMATRIX before = Filled(2.0f);
    D3DMATRIX m = before;
    EXPECT_EQ(LookAtMatrix(m, {1.0f, 2.0f, 3.0f}, {1.0f, 2.0f, 3.0f}, cameraUp), E_INVALIDARG);
    ExpectSame(m, before);
}

TEST(LookAtMatrix, UpAlongViewFallsBackToWorldYThenZ) {
    // Looking along +x with up +x: the world's y axis stands in.
    D3DMATRIX m;
    ASSERT_EQ(LookAtMatrix(m, {0.0f, 0.0f, 0.0f}, {10.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}), S_OK);
    EXPECT_FLOAT_EQ(m._12, 0.0f);  // u = (0, 1, 0)
    EXPECT_FLOAT_EQ(m._22, 1.0f);
    EXPECT_FLOAT_EQ(m._32, 0.0f);
    EXPECT_FLOAT_EQ(m._13, 1.0f);  // d = (1, 0, 0)
    // r = u x d = (0, 0, -1)
    EXPECT_FLOAT_EQ(m._11, 0.0f);
    EXPECT_FLOAT_EQ(m._21, 0.0f);
    EXPECT_FLOAT_EQ(m._31, -1.0f);

    // Looking straight down y with up +y: y is useless too, so z stands in.
    ASSERT_EQ(LookAtMatrix(m, {0.0f, 5.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}), S_OK);
    EXPECT_FLOAT_EQ(m._12, 0.0f);  // u = (0, 0, 1)
    EXPECT_FLOAT_EQ(m._22, 0.0f);
    EXPECT_FLOAT_EQ(m._32, 1.0f);
    EXPECT_FLOAT_EQ(m._23, -1.0f);  // d = (0, -1, 0)
    EXPECT_FLOAT_EQ(m._42, 0.0f);
    EXPECT_FLOAT_EQ(m._43, 5.0f);  // -(eye . d)
}

TEST(LookAtMatrix, ZeroUpAlongZFallsBackToY) {
    D3DMATRIX m;
    ASSERT_EQ(LookAtMatrix(m, {0.0f, 0.0f, -1.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f}), S_OK);
    EXPECT_FLOAT_EQ(m._22, 1.0f);
    EXPECT_FLOAT_EQ(m._11, 1.0f);
    EXPECT_FLOAT_EQ(m._43, 1.0f);
}

TEST(Camera, PlaneEdgesLandOnViewportEdges) {
    D3DMATRIX view;
    D3DMATRIX projection;
    ASSERT_EQ(LookAtMatrix(view, cameraEye, cameraTarget, cameraUp), S_OK);
    ASSERT_EQ(PerspectiveMatrix(projection, cameraFieldOfView, 640.0f / 480.0f, cameraNear, cameraFar), S_OK);

    const auto ndc = [&](float x, float y) {
        const Point4 v = Transform(view, x, y, 0.0f);
        const Point4 p = Transform(projection, v.x, v.y, v.z);
        return Point4{p.x / p.w, p.y / p.w, p.z / p.w, p.w};
    };
    const Point4 right = ndc(95.238f, 0.0f);
    EXPECT_NEAR(right.x, 1.0f, 1e-4f);
    EXPECT_NEAR(right.y, 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(right.w, 100.0f);
    EXPECT_GT(right.z, 0.0f);
    EXPECT_LT(right.z, 1.0f);
    EXPECT_NEAR(ndc(-95.238f, 0.0f).x, -1.0f, 1e-4f);
    EXPECT_NEAR(ndc(0.0f, 71.4285f).y, 1.0f, 1e-4f);
    // The ground line lies below the lower edge of a 4:3 view.
    EXPECT_LT(ndc(0.0f, -75.0f).y, -1.0f);
}

TEST(RotationZMatrix, PositiveAngleTurnsXTowardY) {
    D3DMATRIX m = Filled(5.0f);
    RotationZMatrix(m, 3.1415927f / 2.0f);
    const Point4 p = Transform(m, 1.0f, 0.0f, 0.0f);
    EXPECT_NEAR(p.x, 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(p.y, 1.0f);
    EXPECT_EQ(m._33, 1.0f);
    EXPECT_EQ(m._44, 1.0f);
    EXPECT_EQ(m._41, 0.0f);
    // Taken in double and stored as float.
    RotationZMatrix(m, 0.5f);
    EXPECT_EQ(m._11, static_cast<float>(std::cos(0.5)));
    EXPECT_EQ(m._12, static_cast<float>(std::sin(0.5)));
    EXPECT_EQ(m._21, -static_cast<float>(std::sin(0.5)));
}

}  // namespace
}  // namespace nb
