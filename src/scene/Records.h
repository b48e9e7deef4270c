// The value records a scene is built from: poses, vertices, faces, materials
// and models. They hold their contents by value and refer to each other only
// by index (vertices, faces, models) or id (materials).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "scene/Matrix.h"
#include "scene/Vector.h"

namespace kinovela {

class DibStream;

// Index that stands for "no model" in parent links and the selection.
inline constexpr int kNoModel = -99;
// Parent name that stands for "no parent".
inline constexpr const char* kNoParentName = "<NULL>";

// The pose of one model at one frame (also the camera pose).
struct CAnimation {
    CVector m_position;
    CVector m_rotation;  // Euler angles in degrees about X, Y, Z
    CVector m_scale{1.0f, 1.0f, 1.0f};
    int m_key = 0;  // 1 = key frame, 0 = filled by interpolation

    friend bool operator==(const CAnimation&, const CAnimation&) = default;

    // Position, rotation and scale only; the key flag stays as it is.
    void CopyPose(const CAnimation& o)
    {
        m_position = o.m_position;
        m_rotation = o.m_rotation;
        m_scale = o.m_scale;
    }
    void Reset() { *this = CAnimation{}; }

    // scaling * rotation XYZ * translation(k * position), row-vector form.
    Matrix4 PoseMatrix(float k = 1.0f) const;
    // The same motion in a frame whose Z axis is reversed.
    Matrix4 MirroredPoseMatrix(float k = 1.0f) const;
};

struct CVertex {
    CVector m_pos;
    CVector m_normal;  // derived (smooth shading), not stored in files
};

// A polygon of three or four corners; the corners and their texture
// coordinates live inline, never in per-face heap lists.
struct CFace {
    static constexpr int kMaxCorners = 4;

    int m_material = 0;  // material id (CMaterial::m_id), not a list position
    CVector m_normal;     // derived, but stored in the native file
    std::array<int, kMaxCorners> m_indices{};
    std::array<CUV, kMaxCorners> m_uvs{};
    std::uint8_t m_indexCount = 0;
    std::uint8_t m_uvCount = 0;

    int IndexCount() const { return m_indexCount; }
    int UVCount() const { return m_uvCount; }
    std::span<const int> Indices() const { return {m_indices.data(), m_indexCount}; }
    std::span<const CUV> UVs() const { return {m_uvs.data(), m_uvCount}; }

    // Both return false (and store nothing) once four are held.
    bool AddIndex(int index)
    {
        if (m_indexCount >= kMaxCorners) return false;
        m_indices[m_indexCount++] = index;
        return true;
    }
    bool AddUV(CUV uv)
    {
        if (m_uvCount >= kMaxCorners) return false;
        m_uvs[m_uvCount++] = uv;
        return true;
    }
};

struct CMaterial {
    int m_id = 0;
    std::string m_name = "NoMaterial";
    std::array<float, 4> m_col{0.8f, 0.8f, 0.8f, 1.0f};  // r, g, b, a in 0..1
    float m_dif = 1.0f;
    float m_amb = 1.0f;
    float m_emi = 0.0f;
    float m_spc = 0.0f;
    float m_power = 0.2f;
    std::string m_texture;  // file name inside the texture folder
    std::string m_alphaPlane;
    std::string m_bump;

    // Derived by UpdateColors: OpenGL diffuse, ambient, specular, emission.
    std::array<std::array<float, 4>, 4> m_glColors{};
    // Derived: Direct3D diffuse, ambient, specular, emissive (4 each), power.
    std::array<float, 17> m_d3dMaterial{};

    // The decoded texture, 24 or 32 bits; shared by copies of the material
    // (nobody changes it once loaded: exporters work on their own copies).
    std::shared_ptr<DibStream> m_image;
    // The file m_image was decoded from (empty while there is no image).
    // Runtime only: never stored, so a scene moved to another folder finds
    // its pictures again on the next open.
    std::string m_imagePath;
    // The texture's file name as a UTF-8 document spelled it, kept only when
    // Shift_JIS could not hold all of it ('?' stands in m_texture for what
    // it could not): the file on disk has the UTF-8 name. Runtime only, like
    // m_imagePath; it serves to find the picture, never to write a name.
    std::string m_textureUtf8;

    // Runtime state of the OpenGL renderer.
    unsigned m_glTexture = 0;
    int m_texComponents = 3;
    int m_texFormat = 0x80E0;  // BGR; 0x80E1 (BGRA) for four components

    void UpdateColors();
};

struct CModel {
    int m_listId = 0;  // display-list number; stored in the native file
    std::string m_name;
    int m_parent = kNoModel;  // cache of m_parentName, see CKinovela::ResolveParents
    std::string m_parentName = kNoParentName;
    CVector m_pivot;  // centre of rotation and scaling, model coordinates
    CVector m_bboxMax;
    CVector m_bboxMin;
    int m_mirror = 0;     // mirror-axis bits read from the imported object
    float m_facet = 0.0f;  // smoothing angle in degrees
    int m_visible = 1;
    std::vector<CVertex> m_vertices;
    std::vector<CFace> m_faces;
    std::vector<CAnimation> m_frames;  // element f is the pose at frame f

    // Which faces use each vertex, as one flat table: the faces of vertex v
    // are m_vertexFaces[m_vertexFaceStart[v] .. m_vertexFaceStart[v + 1]).
    // Kept as read from a native file (it may disagree with the faces there).
    std::vector<std::uint32_t> m_vertexFaceStart;
    std::vector<int> m_vertexFaces;

    std::span<const int> VertexFaces(std::size_t v) const;

    // Rebuilds the vertex-to-face table from the faces, corner by corner.
    void LinkVertexFaces();
    // Face normals from the first three corners, then vertex normals as the
    // normalised sum of the normals of the faces that use each vertex. Faces
    // with fewer than three corners or corners outside the vertex list keep
    // the normal they have.
    void ComputeNormals();
    void UpdateBoundingBox();

    // Sizes m_frames to last + 1, resets frames from..last to the default
    // pose and makes frame 0 a key.
    void ResizeFrames(int last, int from);
    // Fills every in-between frame up to `last` by linear interpolation.
    void RecomputeFrames(int last);

    bool HasFrame(int f) const { return f >= 0 && static_cast<std::size_t>(f) < m_frames.size(); }
};

}  // namespace kinovela
