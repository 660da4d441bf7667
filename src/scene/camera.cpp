// The camera and the matrix operations of the scene. Arithmetic is single precision except
// the trigonometry, which is taken in double and stored as float so that every build
// produces the same matrices.
// Depends on camera.h only.
#include "scene/camera.h"

#include <cmath>

namespace nb {

namespace {

float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

float Length(const Vector3& v) { return std::sqrt(Dot(v, v)); }

Vector3 Minus(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vector3 Scaled(const Vector3& v, float k) { return {v.x * k, v.y * k, v.z * k}; }

Vector3 Cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

constexpr float degenerate = 1e-6f;

}  // namespace

D3DMATRIX& IdentityMatrix(D3DMATRIX& m) {
    m = D3DMATRIX{};
    m._11 = 1.0f;
    m._22 = 1.0f;
    m._33 = 1.0f;
    m._44 = 1.0f;
    return m;
}

D3DMATRIX& RotationZMatrix(D3DMATRIX& m, float angle) {
    const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    IdentityMatrix(m);
    m._11 = c;
    m._12 = s;
    m._21 = -s;
    m._22 = c;
    return m;
}

int32_t LookAtMatrix(D3DMATRIX& m, const Vector3& eye, const Vector3& target, const Vector3& up) {
    Vector3 d = Minus(target, eye);
    const float distance = Length(d);
    if (!(distance >= degenerate)) {
        return E_INVALIDARG;
    }
    d = Scaled(d, 1.0f / distance);

    // The part of up across the viewing direction; when up runs along it, the world's
    // y axis and then its z axis are tried instead.
    Vector3 u = Minus(up, Scaled(d, Dot(up, d)));
    float length = Length(u);
    if (!(length >= degenerate)) {
        u = Minus(Vector3{0.0f, 1.0f, 0.0f}, Scaled(d, d.y));
        length = Length(u);
        if (!(length >= degenerate)) {
            u = Minus(Vector3{0.0f, 0.0f, 1.0f}, Scaled(d, d.z));
            length = Length(u);
            if (!(length >= degenerate)) {
                return E_INVALIDARG;
            }
        }
    }
    u = Scaled(u, 1.0f / length);
    const Vector3 r = Cross(u, d);

    IdentityMatrix(m);
    m._11 = r.x;
    m._21 = r.y;
    m._31 = r.z;
    m._12 = u.x;
    m._22 = u.y;
    m._32 = u.z;
    m._13 = d.x;
    m._23 = d.y;
    m._33 = d.z;
    m._41 = -Dot(eye, r);
    m._42 = -Dot(eye, u);
    m._43 = -Dot(eye, d);
    return S_OK;
}

int32_t PerspectiveMatrix(D3DMATRIX& m, float fov, float aspect, float nearPlane, float farPlane) {
    const float half = fov / 2.0f;
    const float sine = static_cast<float>(std::sin(static_cast<double>(half)));
    const float cosine = static_cast<float>(std::cos(static_cast<double>(half)));
    // Written so that NaN arguments fail as well; an aspect that is not positive would
    // divide by zero or mirror the picture.
    if (!(std::fabs(farPlane - nearPlane) >= 0.01f) || !(std::fabs(sine) >= 0.01f) || !(aspect > 0.0f)) {
        return E_INVALIDARG;
    }
    const float c = cosine / sine;
    float a;
    float b;
    if (aspect > 1.0f) {
        a = c;
        b = aspect * c;
    } else {
        a = c / aspect;
        b = 4.0f * cosine / (3.0f * sine);
    }
    const float q = farPlane / (farPlane - nearPlane);

    m = D3DMATRIX{};
    m._11 = cameraZoom * a;
    m._22 = cameraZoom * b;
    m._33 = q;
    m._34 = 1.0f;
    m._43 = -q * nearPlane;
    return S_OK;
}

void UpdateCamera(Device3D* device) {
    if (device == nullptr) {
        return;
    }
    D3DMATRIX view;
    IdentityMatrix(view);
    LookAtMatrix(view, cameraEye, cameraTarget, cameraUp);
    device->SetTransform(D3DTRANSFORMSTATE_VIEW, view);
}

}  // namespace nb
