// The fixed camera of the scene and the few matrix operations that place its sprites and
// ribbons: identity, rotation about z, look-at and perspective, all in Direct3D's
// row-vector layout (translation in _41, _42, _43).
// Depends on the graphics port (D3DMATRIX, Device3D). Holds no state: the view is rebuilt
// from constants on every call of UpdateCamera. Must not reach any list of the show.
#pragma once

#include <cstdint>

#include "platform/graphics.h"

namespace nb {

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Where the camera stands and what the projection is built from.
inline constexpr Vector3 cameraEye{0.0f, 0.0f, -100.0f};
inline constexpr Vector3 cameraTarget{0.0f, 0.0f, 0.0f};
inline constexpr Vector3 cameraUp{0.0f, 1.0f, 0.0f};
inline constexpr float cameraFieldOfView = 3.1415927f / 2.0f;
inline constexpr float cameraNear = 1.0f;
inline constexpr float cameraFar = 10000.0f;
inline constexpr float cameraZoom = 1.05f;

// Ones on the diagonal, zeros elsewhere. Returns m.
D3DMATRIX& IdentityMatrix(D3DMATRIX& m);

// Identity turned by angle radians about z; a positive angle turns local +x toward +y.
// Sine and cosine are taken in double precision and stored as float. Returns m.
D3DMATRIX& RotationZMatrix(D3DMATRIX& m, float angle);

// The view matrix of a camera at eye looking at target with up roughly up. When up is
// parallel to the viewing direction, (0, 1, 0) and then (0, 0, 1) stand in for it.
// 0, or E_INVALIDARG when eye equals target or no up direction can be found (m is then
// left as it was).
int32_t LookAtMatrix(D3DMATRIX& m, const Vector3& eye, const Vector3& target, const Vector3& up);

// A left-handed perspective projection with the camera's zoom of 1.05 applied. fov in
// radians, aspect = width / height. Landscape aspects widen the horizontal scale; square
// and portrait ones keep a fixed 4:3 vertical scale. 0, or E_INVALIDARG (m untouched) when
// far and near are closer than 0.01, sin(fov / 2) is below 0.01 in size, or aspect is not
// a positive number.
int32_t PerspectiveMatrix(D3DMATRIX& m, float fov, float aspect, float nearPlane, float farPlane);

// Sets VIEW on the device to the fixed camera; the device's result is not checked.
// A null device does nothing.
void UpdateCamera(Device3D* device);

}  // namespace nb
