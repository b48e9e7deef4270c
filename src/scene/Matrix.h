// Row-vector 4x4 matrices in the Direct3D convention: a point p maps to
// p * M, translation sits in the fourth row, and A * B applies A first. The
// exporters, the software renderer and the scene transforms all use these, so
// that one set of products produces every file's numbers.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "scene/Vector.h"

namespace kinovela {

struct Matrix4 {
    // m[row][column]; m[3][0..2] is the translation.
    std::array<std::array<float, 4>, 4> m{};

    static Matrix4 Identity();
    static Matrix4 Translation(float x, float y, float z);
    static Matrix4 Scaling(float x, float y, float z);
    // Angles in radians, counter-clockwise about the axis in a right-handed frame.
    static Matrix4 RotationX(float radians);
    static Matrix4 RotationY(float radians);
    static Matrix4 RotationZ(float radians);
    // Right-handed perspective: the camera looks down -z; depth runs from 0
    // at the near plane to 1 at the far plane. `fovY` in radians.
    static Matrix4 PerspectiveFovRH(float fovY, float aspect, float zNear, float zFar);

    friend Matrix4 operator*(const Matrix4& a, const Matrix4& b);
    friend bool operator==(const Matrix4&, const Matrix4&) = default;

    // General inverse; nothing when the matrix is singular.
    std::optional<Matrix4> Inverse() const;

    // p * M with w = 1, divided by the resulting w (1 for affine matrices).
    CVector TransformPoint(const CVector& p) const;
    // p * M ignoring the translation row (directions, normals).
    CVector TransformDirection(const CVector& d) const;
};

struct Quaternion {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;
};

// The quaternion of the rotation part of a row-vector matrix; for RotationX(t)
// it gives x = sin(t/2), w = cos(t/2).
Quaternion QuaternionFromRotationMatrix(const Matrix4& m);

// Degrees to radians the way every stored angle is converted:
// degrees / 360 * 6.28318530718, evaluated in double and narrowed.
float DegreesToRadians(float degrees);

// A stack of matrices whose top starts as the identity. Pushing duplicates
// the top; multiply-local makes the top A * top, so a child's local matrix is
// applied before the transforms of its ancestors.
class MatrixStack {
public:
    MatrixStack() : m_stack{Matrix4::Identity()} {}

    void Push() { m_stack.push_back(m_stack.back()); }
    // Popping the last entry is refused so that an unbalanced walk read from a
    // file can never leave the stack empty.
    void Pop()
    {
        if (m_stack.size() > 1) m_stack.pop_back();
    }
    void LoadIdentity() { m_stack.back() = Matrix4::Identity(); }
    void MultiplyLocal(const Matrix4& a) { m_stack.back() = a * m_stack.back(); }
    const Matrix4& Top() const { return m_stack.back(); }
    std::size_t Depth() const { return m_stack.size(); }

private:
    std::vector<Matrix4> m_stack;
};

}  // namespace kinovela
