// Three-component vector and texture coordinate: the smallest value records of
// a scene. Single precision throughout, because every stored position, pose
// and normal is a 32-bit float in the native file.
#pragma once

#include <compare>

namespace kinovela {

struct Matrix4;

struct CVector {
    float m_x = 0.0f;
    float m_y = 0.0f;
    float m_z = 0.0f;

    constexpr CVector() = default;
    constexpr CVector(float x, float y, float z) : m_x(x), m_y(y), m_z(z) {}

    CVector& operator+=(const CVector& o)
    {
        m_x += o.m_x;
        m_y += o.m_y;
        m_z += o.m_z;
        return *this;
    }
    friend CVector operator+(CVector a, const CVector& b) { return a += b; }
    friend CVector operator-(const CVector& a, const CVector& b)
    {
        return {a.m_x - b.m_x, a.m_y - b.m_y, a.m_z - b.m_z};
    }
    friend CVector operator-(const CVector& a) { return {-a.m_x, -a.m_y, -a.m_z}; }

    // Ordered by x, then y, then z. Equality compares the float values, so
    // -0 equals +0; byte comparisons belong to the file tests.
    friend auto operator<=>(const CVector&, const CVector&) = default;

    CVector Cross(const CVector& b) const
    {
        return {m_y * b.m_z - m_z * b.m_y, m_z * b.m_x - m_x * b.m_z, m_x * b.m_y - m_y * b.m_x};
    }

    // Divides by the length; a zero-length vector becomes (0, 0, 1) so that a
    // degenerate face still gets a usable normal.
    CVector Normalized() const;
    void Normalize() { *this = Normalized(); }

    // Row-vector matrices built from this vector (point p maps to p * M). The
    // rotations read the components as Euler angles in degrees.
    Matrix4 Translation(float k = 1.0f) const;
    Matrix4 MirroredTranslation(float k = 1.0f) const;  // z negated
    Matrix4 Scaling() const;
    Matrix4 RotationXYZ() const;          // Rx(x) * Ry(y) * Rz(z)
    Matrix4 RotationXYZMirrored() const;  // Rx(-x) * Ry(-y) * Rz(z)
    Matrix4 RotationZYX() const;          // Rz(z) * Ry(y) * Rx(x)
};

struct CUV {
    float m_u = 0.0f;
    float m_v = 0.0f;
    friend bool operator==(const CUV&, const CUV&) = default;
};

}  // namespace kinovela
