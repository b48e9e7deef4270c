#include "export/GltfScene.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <set>

#include "common/AtomicFile.h"
#include "common/Memory.h"
#include "common/TextCodec.h"
#include "export/NonFinite.h"
#include "image/DibStream.h"
#include "image/PngEncoder.h"

namespace kinovela::gltf {

namespace {

using Quat = std::array<double, 4>;  // x, y, z, w

constexpr double kPi = 3.14159265358979323846;
constexpr int kLinear = TINYGLTF_TEXTURE_FILTER_LINEAR;

// The shortest decimal that reads back as the same float, so that 0.8f is
// written 0.8 rather than 0.800000011920929.
double Tidy(float v)
{
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    double d = v;
    if (ec == std::errc()) std::from_chars(text, end, d);
    return d;
}

// Every number in the file must be finite; a value read from a damaged file
// or overflowed by the scale becomes 0, counted like the text writers'.
float Finite(float v) { return FiniteOrZero(v); }

Quat Multiply(const Quat& a, const Quat& b)
{
    return {a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1],
            a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
            a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3],
            a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

double Dot(const Quat& a, const Quat& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]; }

Quat Normalized(Quat q)
{
    const double n = std::sqrt(Dot(q, q));
    if (!(n > 0) || !std::isfinite(n)) return {0, 0, 0, 1};
    for (double& c : q) c /= n;
    return q;
}

Quat AxisAngle(int axis, double degrees)
{
    const double half = degrees / 360.0 * kPi;
    Quat q{0, 0, 0, std::cos(half)};
    q[static_cast<std::size_t>(axis)] = std::sin(half);
    return q;
}

// Shortest-path spherical interpolation, as glTF viewers interpolate
// rotation samples.
Quat Slerp(const Quat& a, Quat b, double u)
{
    double d = Dot(a, b);
    if (d < 0) {
        for (double& c : b) c = -c;
        d = -d;
    }
    double wa = 1 - u, wb = u;
    if (d < 0.9999995) {
        const double theta = std::acos(std::min(1.0, d));
        const double s = std::sin(theta);
        wa = std::sin((1 - u) * theta) / s;
        wb = std::sin(u * theta) / s;
    }
    return Normalized({wa * a[0] + wb * b[0], wa * a[1] + wb * b[1], wa * a[2] + wb * b[2], wa * a[3] + wb * b[3]});
}

double AngleBetween(const Quat& a, const Quat& b) { return 2 * std::acos(std::min(1.0, std::fabs(Dot(a, b)))); }

const CAnimation& PoseAt(const CModel& m, int f)
{
    static const CAnimation kDefault;
    return m.HasFrame(f) ? m.m_frames[static_cast<std::size_t>(f)] : kDefault;
}

// Names in UTF-8, unique within one kind of object.
class UniqueNames {
public:
    std::string Take(const std::string& wanted)
    {
        std::string name = wanted;
        for (int n = 2; !m_used.insert(name).second; ++n) name = wanted + "_" + std::to_string(n);
        return name;
    }

private:
    std::set<std::string> m_used;
};

class Buffer {
public:
    explicit Buffer(tinygltf::Model& model) : m_model(model) {}

    // A new view of `bytes` bytes at a 4-byte boundary; the pointer fills it
    // and stays valid until the next view is added.
    std::pair<int, unsigned char*> AddView(std::size_t bytes, int target)
    {
        std::vector<unsigned char>& data = Data();
        const std::size_t offset = (data.size() + 3) & ~std::size_t{3};
        data.resize(offset + bytes);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = offset;
        view.byteLength = bytes;
        view.target = target;
        m_model.bufferViews.push_back(std::move(view));
        return {static_cast<int>(m_model.bufferViews.size() - 1), data.data() + offset};
    }

    int AddAccessor(int view, int componentType, std::size_t count, int type, std::vector<double> min = {},
                    std::vector<double> max = {})
    {
        tinygltf::Accessor a;
        a.bufferView = view;
        a.componentType = componentType;
        a.count = count;
        a.type = type;
        a.minValues = std::move(min);
        a.maxValues = std::move(max);
        m_model.accessors.push_back(std::move(a));
        return static_cast<int>(m_model.accessors.size() - 1);
    }

    // An accessor over a fresh view holding `values` (float vectors).
    int AddFloats(const std::vector<float>& values, int type, int components, bool withBounds = false)
    {
        auto [view, out] = AddView(values.size() * sizeof(float), 0);
        std::memcpy(out, values.data(), values.size() * sizeof(float));
        std::vector<double> min, max;
        if (withBounds) {
            min.assign(static_cast<std::size_t>(components), std::numeric_limits<double>::infinity());
            max.assign(static_cast<std::size_t>(components), -std::numeric_limits<double>::infinity());
            for (std::size_t i = 0; i < values.size(); ++i) {
                const auto c = i % static_cast<std::size_t>(components);
                min[c] = std::min(min[c], static_cast<double>(values[i]));
                max[c] = std::max(max[c], static_cast<double>(values[i]));
            }
        }
        return AddAccessor(view, TINYGLTF_COMPONENT_TYPE_FLOAT, values.size() / static_cast<std::size_t>(components),
                           type, std::move(min), std::move(max));
    }

    // The last view added ends after `bytes` bytes (never more than it had).
    void ShrinkLastView(std::size_t bytes)
    {
        tinygltf::BufferView& view = m_model.bufferViews.back();
        view.byteLength = bytes;
        Data().resize(view.byteOffset + bytes);
    }
    void DropLastView()
    {
        Data().resize(m_model.bufferViews.back().byteOffset);
        m_model.bufferViews.pop_back();
    }

    std::vector<unsigned char>& Data()
    {
        if (m_model.buffers.empty()) m_model.buffers.emplace_back();
        return m_model.buffers[0].data;
    }

private:
    tinygltf::Model& m_model;
};

bool StartsWith(const std::string& bytes, const char* magic, std::size_t n)
{
    return bytes.size() >= n && std::memcmp(bytes.data(), magic, n) == 0;
}

// The last component of a texture name, in UTF-8, without its extension.
std::string PictureStem(const std::string& texture)
{
    std::string name = Cp932ToUtf8(texture);
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
    return name;
}

// Materials, textures and pictures, made when a primitive first needs them.
class Materials {
public:
    Materials(const CKinovela& scene, const GltfOptions& options, bool embed, tinygltf::Model& model, Buffer& buffer,
              Document& doc)
        : m_scene(scene), m_options(options), m_embed(embed), m_model(model), m_buffer(buffer), m_doc(doc)
    {
    }

    // The glTF material for a face's material id; an id no material has gets
    // the default material, as in the preview's other writers.
    int For(int id)
    {
        if (auto it = m_byId.find(id); it != m_byId.end()) return it->second;
        auto it = std::find_if(m_scene.m_materials.begin(), m_scene.m_materials.end(),
                               [id](const CMaterial& m) { return m.m_id == id; });
        static const CMaterial kDefault;
        const int index = Add(it != m_scene.m_materials.end() ? *it : kDefault);
        m_byId[id] = index;
        return index;
    }

    bool Textured(int material) const
    {
        return m_model.materials[static_cast<std::size_t>(material)].pbrMetallicRoughness.baseColorTexture.index >= 0;
    }

private:
    int Add(const CMaterial& mat)
    {
        tinygltf::Material m;
        m.name = m_names.Take(m_options.safeNames ? SafeName(mat.m_name) : Cp932ToUtf8(mat.m_name));
        // Products in double, then the float nearest: 0.9 x 0.8 is written 0.72.
        auto unit = [&](double a, double b) {
            return Tidy(std::clamp(Finite(static_cast<float>(a * b)), 0.0f, 1.0f));
        };
        const float alpha = Finite(mat.m_col[3]);
        m.pbrMetallicRoughness.baseColorFactor = {unit(mat.m_col[0], mat.m_dif), unit(mat.m_col[1], mat.m_dif),
                                                  unit(mat.m_col[2], mat.m_dif), unit(alpha, 1)};
        m.emissiveFactor = {unit(mat.m_col[0], mat.m_emi), unit(mat.m_col[1], mat.m_emi),
                            unit(mat.m_col[2], mat.m_emi)};
        m.pbrMetallicRoughness.metallicFactor = 0.0;
        // A Blinn-Phong exponent to the roughness of the same highlight width.
        const double power = std::max(0.0, static_cast<double>(Finite(mat.m_power)));
        m.pbrMetallicRoughness.roughnessFactor = Tidy(static_cast<float>(std::sqrt(2.0 / (power + 2.0))));
        m.doubleSided = false;
        bool blend = alpha < 1.0f;
        if (m_options.textureCoords && !mat.m_texture.empty()) {
            if (mat.m_image && !mat.m_image->Empty()) {
                const int texture = TextureFor(mat);
                m.pbrMetallicRoughness.baseColorTexture.index = texture;
                blend = blend || (texture >= 0 && HasTransparentPixel(*mat.m_image));
            } else {
                m_doc.warnings.push_back("texture " + Cp932ToUtf8(mat.m_texture) + " of material " +
                                         Cp932ToUtf8(mat.m_name) + " was not loaded; the material is written without it");
            }
        }
        if (blend) m.alphaMode = "BLEND";
        m_model.materials.push_back(std::move(m));
        return static_cast<int>(m_model.materials.size() - 1);
    }

    static std::string SafeName(const std::string& name)
    {
        CKinovela one;
        one.m_models.resize(1);
        one.m_models[0].m_name = name;
        return ExportNames(one, true)[0];
    }

    static bool HasTransparentPixel(const DibStream& image)
    {
        if (image.BitCount() != 32) return false;
        for (int y = 0; y < image.Height(); ++y) {
            const std::uint8_t* row = image.RowPointer(y);
            for (int x = 0; x < image.Width(); ++x)
                if (row[4 * x + 3] != 255) return true;
        }
        return false;
    }

    int TextureFor(const CMaterial& mat)
    {
        // One picture per file (or per decoded picture without a file).
        const std::string key = !mat.m_imagePath.empty()
                                    ? "f:" + mat.m_imagePath
                                    : "p:" + std::to_string(reinterpret_cast<std::uintptr_t>(mat.m_image.get()));
        if (auto it = m_textureByPicture.find(key); it != m_textureByPicture.end()) return it->second;

        Picture picture;
        if (!MakePicture(mat, picture)) {
            m_textureByPicture[key] = -1;
            return -1;
        }
        tinygltf::Image image;
        image.name = m_imageNames.Take(PictureStem(mat.m_texture));
        image.mimeType = picture.mimeType;
        if (m_embed) {
            auto [view, out] = m_buffer.AddView(picture.bytes.size(), 0);
            std::memcpy(out, picture.bytes.data(), picture.bytes.size());
            image.bufferView = view;
        }
        m_model.images.push_back(std::move(image));
        picture.image = static_cast<int>(m_model.images.size() - 1);
        if (!m_embed) m_doc.separatePictures.push_back(std::move(picture));

        if (m_model.samplers.empty()) {
            tinygltf::Sampler s;
            s.magFilter = kLinear;
            s.minFilter = kLinear;  // the preview has no mipmaps
            s.wrapS = TINYGLTF_TEXTURE_WRAP_REPEAT;
            s.wrapT = TINYGLTF_TEXTURE_WRAP_REPEAT;
            m_model.samplers.push_back(s);
        }
        tinygltf::Texture texture;
        texture.sampler = 0;
        texture.source = static_cast<int>(m_model.images.size() - 1);
        m_model.textures.push_back(texture);
        const int index = static_cast<int>(m_model.textures.size() - 1);
        m_textureByPicture[key] = index;
        return index;
    }

    // PNG and JPEG files go in as they are; any other picture (or a file
    // that can no longer be read) is encoded from the decoded picture as PNG.
    bool MakePicture(const CMaterial& mat, Picture& p)
    {
        const std::string stem = SafeFileName(PictureStem(mat.m_texture));
        std::string error;
        if (!mat.m_imagePath.empty() && ReadWholeFile(mat.m_imagePath, p.bytes, error)) {
            if (StartsWith(p.bytes, "\x89PNG\r\n\x1a\n", 8)) {
                p.mimeType = "image/png";
                p.fileName = stem + ".png";
                p.sourcePath = mat.m_imagePath;
                return true;
            }
            if (StartsWith(p.bytes, "\xff\xd8\xff", 3)) {
                p.mimeType = "image/jpeg";
                p.fileName = stem + ".jpg";
                p.sourcePath = mat.m_imagePath;
                return true;
            }
        }
        p.bytes.clear();
        if (!EncodePNG(*mat.m_image, p.bytes, error)) {
            m_doc.warnings.push_back("texture " + Cp932ToUtf8(mat.m_texture) + " left out: " + error);
            return false;
        }
        p.mimeType = "image/png";
        p.fileName = stem + ".png";
        return true;
    }

    const CKinovela& m_scene;
    const GltfOptions& m_options;
    bool m_embed;
    tinygltf::Model& m_model;
    Buffer& m_buffer;
    Document& m_doc;
    std::map<int, int> m_byId;
    std::map<std::string, int> m_textureByPicture;
    UniqueNames m_names, m_imageNames;
};

// Vertices of one primitive: a model vertex with one texture coordinate is
// written once however many faces share it.
struct CornerRef {
    int vertex;
    CUV uv;
    int face;  // the face whose normal a flat-shaded corner takes
};

class MeshBuilder {
public:
    MeshBuilder(const CModel& model, const GltfOptions& options, bool flat, Materials& materials, Buffer& buffer)
        : m_model(model), m_options(options), m_flat(flat), m_materials(materials), m_buffer(buffer)
    {
    }

    // The mesh of the model, or -1 when no face gives a triangle.
    int Build(tinygltf::Model& out, const std::string& name)
    {
        const std::size_t nv = m_model.m_vertices.size();
        // Faces grouped by material in order of first use, each group a
        // primitive.
        std::map<int, int> groups;
        std::vector<std::vector<int>> faces;
        for (std::size_t i = 0; i < m_model.m_faces.size(); ++i) {
            const CFace& f = m_model.m_faces[i];
            if (f.IndexCount() != 3 && f.IndexCount() != 4) continue;
            if (std::any_of(f.Indices().begin(), f.Indices().end(),
                            [nv](int v) { return v < 0 || static_cast<std::size_t>(v) >= nv; }))
                continue;
            auto [it, added] = groups.try_emplace(f.m_material, static_cast<int>(faces.size()));
            if (added) faces.emplace_back();
            faces[static_cast<std::size_t>(it->second)].push_back(static_cast<int>(i));
        }
        std::vector<int> order(groups.size());
        for (const auto& [id, g] : groups) order[static_cast<std::size_t>(g)] = id;

        m_stamp.assign(nv, 0);
        m_first.assign(nv, 0);
        ReserveLarge(m_refs, m_model.m_faces.size() * 4);
        ReserveLarge(m_next, m_model.m_faces.size() * 4);
        tinygltf::Mesh mesh;
        mesh.name = name;
        for (std::size_t g = 0; g < faces.size(); ++g) {
            const int material = m_materials.For(order[g]);
            tinygltf::Primitive p;
            if (BuildPrimitive(faces[g], m_materials.Textured(material), static_cast<std::uint32_t>(g + 1), p)) {
                p.material = material;
                mesh.primitives.push_back(std::move(p));
            }
        }
        if (mesh.primitives.empty()) return -1;
        out.meshes.push_back(std::move(mesh));
        return static_cast<int>(out.meshes.size() - 1);
    }

private:
    std::uint32_t VertexFor(const CornerRef& c)
    {
        const auto v = static_cast<std::size_t>(c.vertex);
        if (!m_flat) {
            if (m_stamp[v] != m_generation) {
                m_stamp[v] = m_generation;
                m_first[v] = static_cast<std::uint32_t>(m_refs.size());
            } else {
                std::uint32_t k = m_first[v];
                for (;;) {
                    if (m_refs[k].uv == c.uv) return k;
                    if (m_next[k] == kNone) break;
                    k = m_next[k];
                }
                m_next[k] = static_cast<std::uint32_t>(m_refs.size());
            }
        }
        m_refs.push_back(c);
        m_next.push_back(kNone);
        return static_cast<std::uint32_t>(m_refs.size() - 1);
    }

    // Writes straight into the buffer: the triangles first (as 32-bit
    // indices, narrowed in place once the vertex count is known), then the
    // attributes of the vertices they named.
    bool BuildPrimitive(const std::vector<int>& faceList, bool textured, std::uint32_t generation,
                        tinygltf::Primitive& p)
    {
        m_generation = generation;
        m_refs.clear();
        m_next.clear();
        auto [view, start] = m_buffer.AddView(faceList.size() * 6 * sizeof(std::uint32_t),
                                              TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        unsigned char* out = start;
        for (int fi : faceList) {
            const CFace& f = m_model.m_faces[static_cast<std::size_t>(fi)];
            std::uint32_t c[4];
            for (int k = 0; k < f.IndexCount(); ++k) {
                CUV uv{};
                if (textured && k < f.UVCount()) uv = f.m_uvs[static_cast<std::size_t>(k)];
                c[k] = VertexFor({f.m_indices[static_cast<std::size_t>(k)], uv, fi});
            }
            // The preview shows the faces whose corners turn clockwise, and
            // draws a quad as the fan 0-1-2, 0-2-3: both triangles are
            // written turned round, counter-clockwise as glTF's front faces.
            auto triangle = [&](std::uint32_t a, std::uint32_t b, std::uint32_t d) {
                if (a == b || b == d || a == d) return;
                const std::uint32_t t[3] = {a, d, b};
                std::memcpy(out, t, sizeof t);
                out += sizeof t;
            };
            triangle(c[0], c[1], c[2]);
            if (f.IndexCount() == 4) triangle(c[0], c[2], c[3]);
        }
        const std::size_t count = static_cast<std::size_t>(out - start) / sizeof(std::uint32_t);
        // 16-bit indices while they can name every vertex (65535 is kept
        // for primitive restart); narrowing front to back never overwrites
        // an index not yet read.
        const std::size_t n = m_refs.size();
        const bool small = n < 65535;
        if (small) {
            for (std::size_t i = 0; i < count; ++i) {
                std::uint32_t v;
                std::memcpy(&v, start + 4 * i, 4);
                const auto narrow = static_cast<std::uint16_t>(v);
                std::memcpy(start + 2 * i, &narrow, 2);
            }
        }
        m_buffer.ShrinkLastView(count * (small ? 2 : 4));
        if (count == 0) {
            m_buffer.DropLastView();
            return false;
        }
        p.indices = m_buffer.AddAccessor(
            view, small ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT : TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, count,
            TINYGLTF_TYPE_SCALAR);

        constexpr int kVertices = TINYGLTF_TARGET_ARRAY_BUFFER;
        const CVector& pivot = m_model.m_pivot;
        const float s = m_options.scale;
        auto [positionView, positionBytes] = m_buffer.AddView(n * 12, kVertices);
        std::vector<double> min(3, std::numeric_limits<double>::infinity());
        std::vector<double> max(3, -std::numeric_limits<double>::infinity());
        for (std::size_t i = 0; i < n; ++i) {
            const CVector d = m_model.m_vertices[static_cast<std::size_t>(m_refs[i].vertex)].m_pos - pivot;
            const float xyz[3] = {Finite(s * d.m_x), Finite(s * d.m_y), Finite(s * d.m_z)};
            std::memcpy(positionBytes + 12 * i, xyz, 12);
            for (int c = 0; c < 3; ++c) {
                min[static_cast<std::size_t>(c)] = std::min(min[static_cast<std::size_t>(c)], static_cast<double>(xyz[c]));
                max[static_cast<std::size_t>(c)] = std::max(max[static_cast<std::size_t>(c)], static_cast<double>(xyz[c]));
            }
        }
        p.attributes["POSITION"] =
            m_buffer.AddAccessor(positionView, TINYGLTF_COMPONENT_TYPE_FLOAT, n, TINYGLTF_TYPE_VEC3, min, max);

        auto [normalView, normalBytes] = m_buffer.AddView(n * 12, kVertices);
        for (std::size_t i = 0; i < n; ++i) {
            const CornerRef& r = m_refs[i];
            // The preview lights with the normals turned round (they point
            // into the clockwise faces).
            const CVector& nrm = m_flat ? m_model.m_faces[static_cast<std::size_t>(r.face)].m_normal
                                        : m_model.m_vertices[static_cast<std::size_t>(r.vertex)].m_normal;
            double nx = -nrm.m_x, ny = -nrm.m_y, nz = -nrm.m_z;
            const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
            if (!(len > 1e-20) || !std::isfinite(len)) {
                nx = 0, ny = 1, nz = 0;
            } else {
                nx /= len, ny /= len, nz /= len;
            }
            const float xyz[3] = {static_cast<float>(nx), static_cast<float>(ny), static_cast<float>(nz)};
            std::memcpy(normalBytes + 12 * i, xyz, 12);
        }
        p.attributes["NORMAL"] = m_buffer.AddAccessor(normalView, TINYGLTF_COMPONENT_TYPE_FLOAT, n, TINYGLTF_TYPE_VEC3);

        if (textured) {
            auto [uvView, uvBytes] = m_buffer.AddView(n * 8, kVertices);
            for (std::size_t i = 0; i < n; ++i) {
                const float uv[2] = {Finite(m_refs[i].uv.m_u), Finite(m_refs[i].uv.m_v)};
                std::memcpy(uvBytes + 8 * i, uv, 8);
            }
            p.attributes["TEXCOORD_0"] =
                m_buffer.AddAccessor(uvView, TINYGLTF_COMPONENT_TYPE_FLOAT, n, TINYGLTF_TYPE_VEC2);
        }
        p.mode = TINYGLTF_MODE_TRIANGLES;
        return true;
    }

    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    const CModel& m_model;
    const GltfOptions& m_options;
    bool m_flat;
    Materials& m_materials;
    Buffer& m_buffer;
    std::vector<std::uint32_t> m_stamp, m_first;  // per model vertex: primitive seen in, its first written vertex
    std::vector<CornerRef> m_refs;
    std::vector<std::uint32_t> m_next;  // the next written vertex of the same model vertex
    std::uint32_t m_generation = 0;
};

std::vector<double> Vec3(float x, float y, float z) { return {Tidy(x), Tidy(y), Tidy(z)}; }

// The camera node: the preview turns the world about X, Y, Z and then moves
// it by the camera position; the node is that motion undone.
void AddCamera(const CKinovela& scene, const GltfOptions& o, tinygltf::Model& model, tinygltf::Node& node)
{
    const CAnimation cam = scene.m_camera.empty() ? CAnimation{} : scene.m_camera[0];
    const Quat view = Multiply(Multiply(AxisAngle(0, cam.m_rotation.m_x), AxisAngle(1, cam.m_rotation.m_y)),
                               AxisAngle(2, cam.m_rotation.m_z));
    const Quat inverse = Normalized({-view[0], -view[1], -view[2], view[3]});
    const double s = o.scale;
    const Quat p{-s * cam.m_position.m_x, -s * cam.m_position.m_y, -s * cam.m_position.m_z, 0};
    const Quat moved = Multiply(Multiply(inverse, p), {-inverse[0], -inverse[1], -inverse[2], inverse[3]});
    node.translation = {Tidy(Finite(static_cast<float>(moved[0]))),
                        Tidy(Finite(static_cast<float>(moved[1]))),
                        Tidy(Finite(static_cast<float>(moved[2])))};
    node.rotation = {inverse[0], inverse[1], inverse[2], inverse[3]};

    tinygltf::Camera c;
    c.type = "perspective";
    c.name = node.name;
    const float fov = scene.m_fov > 0.0f && scene.m_fov < 180.0f ? scene.m_fov : 10.0f;
    c.perspective.yfov = fov / 180.0 * kPi;
    c.perspective.znear = Tidy(Finite(100.0f * o.scale));
    c.perspective.zfar = Tidy(Finite(10000.0f * o.scale));
    model.cameras.push_back(c);
    node.camera = static_cast<int>(model.cameras.size() - 1);
}

}  // namespace

std::array<double, 4> PoseRotation(const CVector& degrees)
{
    return Normalized(Multiply(Multiply(AxisAngle(2, degrees.m_z), AxisAngle(1, degrees.m_y)),
                               AxisAngle(0, degrees.m_x)));
}

std::vector<int> SampleFrames(const CModel& m, int last, bool everyFrame)
{
    last = std::max(last, 0);
    std::vector<int> frames;
    if (everyFrame) {
        frames.resize(static_cast<std::size_t>(last) + 1);
        for (int f = 0; f <= last; ++f) frames[static_cast<std::size_t>(f)] = f;
        return frames;
    }
    std::vector<char> chosen(static_cast<std::size_t>(last) + 1, 0);
    chosen.front() = chosen.back() = 1;
    for (int f = 1; f < last; ++f)
        if (PoseAt(m, f).m_key == 1) chosen[static_cast<std::size_t>(f)] = 1;

    std::vector<Quat> q(static_cast<std::size_t>(last) + 1);
    for (int f = 0; f <= last; ++f) q[static_cast<std::size_t>(f)] = PoseRotation(PoseAt(m, f).m_rotation);

    // How far frame g strays from the interpolation of frames a and b, in
    // tolerances (over 1 needs a sample).
    auto error = [&](int a, int b, int g) {
        const double u = static_cast<double>(g - a) / (b - a);
        const CAnimation &pa = PoseAt(m, a), &pb = PoseAt(m, b), &pg = PoseAt(m, g);
        double worst = AngleBetween(Slerp(q[static_cast<std::size_t>(a)], q[static_cast<std::size_t>(b)], u),
                                    q[static_cast<std::size_t>(g)]) /
                       1e-3;
        auto linear = [&](const CVector& va, const CVector& vb, const CVector& vg) {
            const float xa[3] = {va.m_x, va.m_y, va.m_z}, xb[3] = {vb.m_x, vb.m_y, vb.m_z},
                        xg[3] = {vg.m_x, vg.m_y, vg.m_z};
            for (int c = 0; c < 3; ++c) {
                const double expect = xa[c] + (static_cast<double>(xb[c]) - xa[c]) * u;
                const double tolerance =
                    1e-5 * (1 + std::max({std::fabs(xa[c]), std::fabs(xb[c]), std::fabs(xg[c])}));
                const double e = std::fabs(expect - xg[c]) / tolerance;
                worst = std::isnan(e) ? worst : std::max(worst, e);
            }
        };
        linear(pa.m_position, pb.m_position, pg.m_position);
        linear(pa.m_scale, pb.m_scale, pg.m_scale);
        return worst;
    };

    // Split each span at its worst frame until every frame is within the
    // tolerances. A motion that needs nearly every frame is cut short by
    // taking every frame.
    std::vector<std::pair<int, int>> spans;
    for (int a = 0, b = 1; b <= last; ++b)
        if (chosen[static_cast<std::size_t>(b)]) spans.emplace_back(a, b), a = b;
    std::uint64_t work = 0;
    const std::uint64_t budget = 64 * (static_cast<std::uint64_t>(last) + 1) + 100000;
    while (!spans.empty()) {
        const auto [a, b] = spans.back();
        spans.pop_back();
        if (b - a < 2) continue;
        work += static_cast<std::uint64_t>(b - a - 1);
        if (work > budget) return SampleFrames(m, last, true);
        int worstFrame = -1;
        double worst = 1.0;
        // Samples half a turn apart (or nearly) leave a viewer free to turn
        // either way: such a span always gets its middle frame.
        if (AngleBetween(q[static_cast<std::size_t>(a)], q[static_cast<std::size_t>(b)]) > kPi - 0.05) {
            worstFrame = (a + b) / 2;
            worst = 2.0;
        }
        for (int g = a + 1; g < b; ++g) {
            const double e = error(a, b, g);
            if (e > worst) worst = e, worstFrame = g;
        }
        if (worstFrame < 0) continue;
        chosen[static_cast<std::size_t>(worstFrame)] = 1;
        spans.emplace_back(a, worstFrame);
        spans.emplace_back(worstFrame, b);
    }
    for (int f = 0; f <= last; ++f)
        if (chosen[static_cast<std::size_t>(f)]) frames.push_back(f);
    return frames;
}

std::string SafeFileName(std::string_view name)
{
    std::string out;
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '.' || c == '_' || c == '~' || c >= 0x80;
        out.push_back(keep ? ch : '_');
    }
    if (out.empty()) return "texture";
    if (out[0] == '.') out[0] = '_';
    return out;
}

Document BuildDocument(const CKinovela& scene, const CTimeline& t, const GltfOptions& o, bool embedPictures,
                       ExportProgress& progress)
{
    Document doc;
    tinygltf::Model& model = doc.model;
    model.asset.version = "2.0";
    model.asset.generator =
        "Kinovela " + std::to_string(KINOVELA_VERSION_MAJOR) + "." + std::to_string(KINOVELA_VERSION_MINOR);
    Buffer buffer(model);
    {
        // Room for every corner once and two triangles a face: the buffer
        // then grows without copying itself.
        std::size_t estimate = 0;
        for (const CModel& m : scene.m_models) estimate += m.m_faces.size() * (4 * 32 + 6 * 4);
        ReserveLarge(buffer.Data(), estimate);
    }
    Materials materials(scene, o, embedPictures, model, buffer, doc);

    const std::size_t count = scene.m_models.size();
    const std::vector<std::string> stored = ExportNames(scene, o.safeNames);
    UniqueNames nodeNames;
    std::vector<std::string> names(count);
    for (std::size_t i = 0; i < count; ++i) names[i] = nodeNames.Take(o.safeNames ? stored[i] : Cp932ToUtf8(stored[i]));

    struct Nodes {
        int pivot = -1;
        int posed = -1;
    };
    std::vector<Nodes> nodes(count);
    tinygltf::Scene root;
    const int last = std::max(t.m_last, 0);

    // The pivot node moves to the model's pivot (from its parent's); the
    // posed node below it carries position, rotation and scale, so that
    // both turn and scale about the pivot, and the mesh, whose positions are
    // relative to the pivot. Children hang under the posed node.
    auto addModel = [&](std::size_t i, int parentModel) {
        const CModel& m = scene.m_models[i];
        CVector offset = m.m_pivot;
        if (parentModel >= 0) offset = offset - scene.m_models[static_cast<std::size_t>(parentModel)].m_pivot;
        const float s = o.scale;
        tinygltf::Node pivotNode;
        pivotNode.name = nodeNames.Take(names[i] + "_pivot");
        if (offset != CVector{})
            pivotNode.translation =
                Vec3(Finite(s * offset.m_x), Finite(s * offset.m_y), Finite(s * offset.m_z));

        tinygltf::Node posedNode;
        posedNode.name = names[i];
        const CAnimation& pose = PoseAt(m, 0);
        const CVector at{Finite(s * pose.m_position.m_x), Finite(s * pose.m_position.m_y),
                         Finite(s * pose.m_position.m_z)};
        if (at != CVector{}) posedNode.translation = Vec3(at.m_x, at.m_y, at.m_z);
        const CVector r{Finite(pose.m_rotation.m_x), Finite(pose.m_rotation.m_y),
                        Finite(pose.m_rotation.m_z)};
        if (r != CVector{}) {
            const Quat q = PoseRotation(r);
            posedNode.rotation = {q[0], q[1], q[2], q[3]};
        }
        const CVector sc{Finite(pose.m_scale.m_x), Finite(pose.m_scale.m_y),
                         Finite(pose.m_scale.m_z)};
        if (sc != CVector{1, 1, 1}) posedNode.scale = Vec3(sc.m_x, sc.m_y, sc.m_z);
        MeshBuilder builder(m, o, scene.m_smooth == 0, materials, buffer);
        posedNode.mesh = builder.Build(model, names[i]);
        progress.MeshDone(i);

        model.nodes.push_back(std::move(pivotNode));
        nodes[i].pivot = static_cast<int>(model.nodes.size() - 1);
        model.nodes.push_back(std::move(posedNode));
        nodes[i].posed = static_cast<int>(model.nodes.size() - 1);
        model.nodes[static_cast<std::size_t>(nodes[i].pivot)].children.push_back(nodes[i].posed);
        if (parentModel >= 0)
            model.nodes[static_cast<std::size_t>(nodes[static_cast<std::size_t>(parentModel)].posed)].children.push_back(
                nodes[i].pivot);
        else
            root.nodes.push_back(nodes[i].pivot);
    };

    // The hierarchy walk gives the nesting. Every enter pushes and every
    // leave pops, so a model the walk names twice is written once and the
    // nesting of the rest stays as the walk has it.
    std::vector<int> stack;
    for (const WalkEntry& e : scene.m_hierarchyWalk) {
        const bool valid = e.model >= 0 && static_cast<std::size_t>(e.model) < count;
        if (e.event == kWalkEnter) {
            int parent = -1;
            for (auto it = stack.rbegin(); it != stack.rend() && parent < 0; ++it) parent = *it;
            if (valid && nodes[static_cast<std::size_t>(e.model)].posed < 0) {
                addModel(static_cast<std::size_t>(e.model), parent);
                stack.push_back(e.model);
            } else {
                stack.push_back(-1);
            }
        } else if (e.event == kWalkLeave && !stack.empty()) {
            stack.pop_back();
        }
    }
    // Models the walk leaves out (a broken parent link read from a file)
    // are written as top-level models.
    for (std::size_t i = 0; i < count; ++i)
        if (nodes[i].posed < 0) addModel(i, -1);

    if (o.animation && count > 0) {
        tinygltf::Animation anim;
        anim.name = "Kinovela";
        const float fps = std::isfinite(t.m_fps) && t.m_fps > 0.0f ? t.m_fps : 30.0f;
        std::map<std::vector<int>, int> inputs;  // models sampled at the same frames share their times
        for (std::size_t i = 0; i < count; ++i) {
            const CModel& m = scene.m_models[i];
            const std::vector<int> frames = SampleFrames(m, last, o.everyFrame);
            auto [input, added] = inputs.try_emplace(frames, -1);
            if (added) {
                std::vector<float> times(frames.size());
                for (std::size_t k = 0; k < frames.size(); ++k) times[k] = static_cast<float>(frames[k]) / fps;
                input->second = buffer.AddFloats(times, TINYGLTF_TYPE_SCALAR, 1, true);
            }
            const int timeAccessor = input->second;
            std::vector<float> translation, rotation, scale;
            translation.reserve(frames.size() * 3);
            rotation.reserve(frames.size() * 4);
            scale.reserve(frames.size() * 3);
            Quat previous{0, 0, 0, 1};
            for (int f : frames) {
                const CAnimation& p = PoseAt(m, f);
                for (float v : {p.m_position.m_x, p.m_position.m_y, p.m_position.m_z})
                    translation.push_back(Finite(o.scale * v));
                for (float v : {p.m_scale.m_x, p.m_scale.m_y, p.m_scale.m_z}) scale.push_back(Finite(v));
                const CVector r{Finite(p.m_rotation.m_x), Finite(p.m_rotation.m_y),
                                Finite(p.m_rotation.m_z)};
                Quat q = PoseRotation(r);
                // Neighbouring samples on the same side of the sphere, so
                // that any interpolation takes the short way.
                if (Dot(q, previous) < 0)
                    for (double& c : q) c = -c;
                previous = q;
                for (double c : q) rotation.push_back(static_cast<float>(c));
            }
            auto channel = [&](const std::vector<float>& values, int type, int components, const char* path) {
                tinygltf::AnimationSampler sampler;
                sampler.input = timeAccessor;
                sampler.output = buffer.AddFloats(values, type, components);
                sampler.interpolation = "LINEAR";
                anim.samplers.push_back(sampler);
                tinygltf::AnimationChannel c;
                c.sampler = static_cast<int>(anim.samplers.size() - 1);
                c.target_node = nodes[i].posed;
                c.target_path = path;
                anim.channels.push_back(c);
            };
            channel(translation, TINYGLTF_TYPE_VEC3, 3, "translation");
            channel(rotation, TINYGLTF_TYPE_VEC4, 4, "rotation");
            channel(scale, TINYGLTF_TYPE_VEC3, 3, "scale");
            progress.AnimationDone(i);
        }
        model.animations.push_back(std::move(anim));
    }

    if (o.camera) {
        tinygltf::Node camera;
        camera.name = nodeNames.Take("Camera");
        AddCamera(scene, o, model, camera);
        model.nodes.push_back(std::move(camera));
        root.nodes.push_back(static_cast<int>(model.nodes.size() - 1));
    }

    model.scenes.push_back(std::move(root));
    model.defaultScene = 0;
    // A buffer must not be empty: a scene without geometry has none.
    if (!model.buffers.empty() && model.buffers[0].data.empty()) model.buffers.clear();
    return doc;
}

}  // namespace kinovela::gltf
