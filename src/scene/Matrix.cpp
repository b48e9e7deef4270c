#include "scene/Matrix.h"

#include <cmath>

namespace kinovela {

Matrix4 Matrix4::Identity()
{
    Matrix4 r;
    for (int i = 0; i < 4; ++i) r.m[i][i] = 1.0f;
    return r;
}

Matrix4 Matrix4::Translation(float x, float y, float z)
{
    Matrix4 r = Identity();
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}

Matrix4 Matrix4::Scaling(float x, float y, float z)
{
    Matrix4 r;
    r.m[0][0] = x;
    r.m[1][1] = y;
    r.m[2][2] = z;
    r.m[3][3] = 1.0f;
    return r;
}

Matrix4 Matrix4::RotationX(float a)
{
    const float c = std::cos(a), s = std::sin(a);
    Matrix4 r = Identity();
    r.m[1][1] = c;
    r.m[1][2] = s;
    r.m[2][1] = -s;
    r.m[2][2] = c;
    return r;
}

Matrix4 Matrix4::RotationY(float a)
{
    const float c = std::cos(a), s = std::sin(a);
    Matrix4 r = Identity();
    r.m[0][0] = c;
    r.m[0][2] = -s;
    r.m[2][0] = s;
    r.m[2][2] = c;
    return r;
}

Matrix4 Matrix4::RotationZ(float a)
{
    const float c = std::cos(a), s = std::sin(a);
    Matrix4 r = Identity();
    r.m[0][0] = c;
    r.m[0][1] = s;
    r.m[1][0] = -s;
    r.m[1][1] = c;
    return r;
}

Matrix4 Matrix4::PerspectiveFovRH(float fovY, float aspect, float zNear, float zFar)
{
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    Matrix4 r;
    r.m[0][0] = yScale / aspect;
    r.m[1][1] = yScale;
    r.m[2][2] = zFar / (zNear - zFar);
    r.m[2][3] = -1.0f;
    r.m[3][2] = zNear * zFar / (zNear - zFar);
    return r;
}

Matrix4 operator*(const Matrix4& a, const Matrix4& b)
{
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return r;
}

std::optional<Matrix4> Matrix4::Inverse() const
{
    // Gauss-Jordan elimination with partial pivoting, in double so that the
    // inverse of a well-conditioned float matrix is correct to float precision.
    double a[4][8];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            a[i][j] = m[i][j];
            a[i][j + 4] = (i == j) ? 1.0 : 0.0;
        }
    }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        if (std::fabs(a[pivot][col]) < 1e-30) return std::nullopt;
        if (pivot != col)
            for (int j = 0; j < 8; ++j) std::swap(a[pivot][j], a[col][j]);
        const double inv = 1.0 / a[col][col];
        for (int j = 0; j < 8; ++j) a[col][j] *= inv;
        for (int r = 0; r < 4; ++r) {
            if (r == col) continue;
            const double f = a[r][col];
            if (f == 0.0) continue;
            for (int j = 0; j < 8; ++j) a[r][j] -= f * a[col][j];
        }
    }
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = static_cast<float>(a[i][j + 4]);
    return r;
}

CVector Matrix4::TransformPoint(const CVector& p) const
{
    const float x = p.m_x * m[0][0] + p.m_y * m[1][0] + p.m_z * m[2][0] + m[3][0];
    const float y = p.m_x * m[0][1] + p.m_y * m[1][1] + p.m_z * m[2][1] + m[3][1];
    const float z = p.m_x * m[0][2] + p.m_y * m[1][2] + p.m_z * m[2][2] + m[3][2];
    const float w = p.m_x * m[0][3] + p.m_y * m[1][3] + p.m_z * m[2][3] + m[3][3];
    if (w == 1.0f || w == 0.0f) return {x, y, z};
    return {x / w, y / w, z / w};
}

CVector Matrix4::TransformDirection(const CVector& d) const
{
    return {d.m_x * m[0][0] + d.m_y * m[1][0] + d.m_z * m[2][0],
            d.m_x * m[0][1] + d.m_y * m[1][1] + d.m_z * m[2][1],
            d.m_x * m[0][2] + d.m_y * m[1][2] + d.m_z * m[2][2]};
}

Quaternion QuaternionFromRotationMatrix(const Matrix4& mat)
{
    const auto& m = mat.m;
    Quaternion q;
    const float trace = m[0][0] + m[1][1] + m[2][2] + 1.0f;
    if (trace > 1.0f) {
        const float s = 2.0f * std::sqrt(trace);
        q.x = (m[1][2] - m[2][1]) / s;
        q.y = (m[2][0] - m[0][2]) / s;
        q.z = (m[0][1] - m[1][0]) / s;
        q.w = 0.25f * s;
        return q;
    }
    int big = 0;
    for (int i = 1; i < 3; ++i)
        if (m[i][i] > m[big][big]) big = i;
    if (big == 0) {
        const float s = 2.0f * std::sqrt(1.0f + m[0][0] - m[1][1] - m[2][2]);
        q.x = 0.25f * s;
        q.y = (m[0][1] + m[1][0]) / s;
        q.z = (m[0][2] + m[2][0]) / s;
        q.w = (m[1][2] - m[2][1]) / s;
    } else if (big == 1) {
        const float s = 2.0f * std::sqrt(1.0f + m[1][1] - m[0][0] - m[2][2]);
        q.x = (m[0][1] + m[1][0]) / s;
        q.y = 0.25f * s;
        q.z = (m[1][2] + m[2][1]) / s;
        q.w = (m[2][0] - m[0][2]) / s;
    } else {
        const float s = 2.0f * std::sqrt(1.0f + m[2][2] - m[0][0] - m[1][1]);
        q.x = (m[0][2] + m[2][0]) / s;
        q.y = (m[1][2] + m[2][1]) / s;
        q.z = 0.25f * s;
        q.w = (m[0][1] - m[1][0]) / s;
    }
    return q;
}

float DegreesToRadians(float degrees)
{
    return static_cast<float>(static_cast<double>(degrees) / 360.0 * 6.28318530718);
}

// --- CVector's matrix builders ---------------------------------------------

CVector CVector::Normalized() const
{
    const float len = std::sqrt(m_x * m_x + m_y * m_y + m_z * m_z);
    if (len == 0.0f) return {0.0f, 0.0f, 1.0f};
    return {m_x / len, m_y / len, m_z / len};
}

Matrix4 CVector::Translation(float k) const { return Matrix4::Translation(k * m_x, k * m_y, k * m_z); }

Matrix4 CVector::MirroredTranslation(float k) const
{
    return Matrix4::Translation(k * m_x, k * m_y, -k * m_z);
}

Matrix4 CVector::Scaling() const { return Matrix4::Scaling(m_x, m_y, m_z); }

Matrix4 CVector::RotationXYZ() const
{
    return Matrix4::RotationX(DegreesToRadians(m_x)) * Matrix4::RotationY(DegreesToRadians(m_y)) *
           Matrix4::RotationZ(DegreesToRadians(m_z));
}

Matrix4 CVector::RotationXYZMirrored() const
{
    return Matrix4::RotationX(DegreesToRadians(-m_x)) * Matrix4::RotationY(DegreesToRadians(-m_y)) *
           Matrix4::RotationZ(DegreesToRadians(m_z));
}

Matrix4 CVector::RotationZYX() const
{
    return Matrix4::RotationZ(DegreesToRadians(m_z)) * Matrix4::RotationY(DegreesToRadians(m_y)) *
           Matrix4::RotationX(DegreesToRadians(m_x));
}

}  // namespace kinovela
