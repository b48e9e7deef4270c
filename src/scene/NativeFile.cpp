#include "scene/NativeFile.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>

#include "common/Memory.h"
#include "common/TextCodec.h"
#include "scene/SceneMessages.h"

namespace kinovela {

namespace {

// --- reading -----------------------------------------------------------------

enum class Failure { Truncated, Corrupt };

struct ReadError {
    Failure kind;
    std::uint64_t offset;
    std::string detail;
};

// Smallest encoded size of each record, used to hold counts against the
// bytes left before anything is allocated.
constexpr std::size_t kMinVertex = 12 + 4;
constexpr std::size_t kMinFace = 12 + 4 + 4 + 4;
constexpr std::size_t kAnimationSize = 40;
constexpr std::size_t kMinModel = 4 + 1 + 4 + 1 + 4 * 4 + 4 + 12;
constexpr std::size_t kMinMaterial = 4 + 1 + 16 + 20 + 3;

// Little-endian loads and stores; on a little-endian host they are plain
// copies, which keeps reading and writing at memory speed.
template <class T> T LoadLE(const unsigned char* p)
{
    static_assert(sizeof(T) == 4 || sizeof(T) == 2);
    T v;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&v, p, sizeof(T));
    } else {
        unsigned char b[sizeof(T)];
        for (std::size_t i = 0; i < sizeof(T); ++i) b[i] = p[sizeof(T) - 1 - i];
        std::memcpy(&v, b, sizeof(T));
    }
    return v;
}

template <class T> void StoreLE(char* p, T v)
{
    static_assert(sizeof(T) == 4);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, sizeof(T));
    } else {
        char b[sizeof(T)];
        std::memcpy(b, &v, sizeof(T));
        for (std::size_t i = 0; i < sizeof(T); ++i) p[i] = b[sizeof(T) - 1 - i];
    }
}

class Reader {
public:
    Reader(std::string_view data, const ProgressFn& progress)
        : m_p(reinterpret_cast<const unsigned char*>(data.data())), m_size(data.size()), m_progress(progress, data.size())
    {
    }

    std::size_t Pos() const { return m_pos; }
    std::size_t Remaining() const { return m_size - m_pos; }
    void Report() { m_progress.Report(m_pos); }

    [[noreturn]] void Fail(Failure kind, std::string detail) const { throw ReadError{kind, m_pos, std::move(detail)}; }

    void Need(std::size_t n, const char* what) const
    {
        if (n > Remaining()) Fail(Failure::Truncated, std::string("file ends inside ") + what);
    }

    std::uint8_t U8(const char* what)
    {
        Need(1, what);
        return m_p[m_pos++];
    }
    std::uint16_t U16(const char* what)
    {
        Need(2, what);
        const auto v = LoadLE<std::uint16_t>(m_p + m_pos);
        m_pos += 2;
        return v;
    }
    std::uint32_t U32(const char* what)
    {
        Need(4, what);
        const auto v = LoadLE<std::uint32_t>(m_p + m_pos);
        m_pos += 4;
        return v;
    }
    std::int32_t I32(const char* what) { return static_cast<std::int32_t>(U32(what)); }
    float F32(const char* what)
    {
        Need(4, what);
        const auto v = LoadLE<float>(m_p + m_pos);
        m_pos += 4;
        return v;
    }
    // Unchecked reads for records whose whole size was checked with Need.
    std::int32_t RawI32()
    {
        const auto v = LoadLE<std::int32_t>(m_p + m_pos);
        m_pos += 4;
        return v;
    }
    float RawF32()
    {
        const auto v = LoadLE<float>(m_p + m_pos);
        m_pos += 4;
        return v;
    }
    CVector RawVector()
    {
        CVector v;
        v.m_x = RawF32();
        v.m_y = RawF32();
        v.m_z = RawF32();
        return v;
    }
    CVector Vector(const char* what)
    {
        Need(12, what);
        return RawVector();
    }

    // A count that must be non-negative and fit `minEach` bytes per element
    // into what is left of the file.
    std::size_t Count(const char* what, std::size_t minEach)
    {
        const std::int32_t n = I32(what);
        if (n < 0) Fail(Failure::Corrupt, std::string("negative ") + what + " " + std::to_string(n));
        const auto count = static_cast<std::size_t>(n);
        if (minEach != 0 && count > Remaining() / minEach)
            Fail(Failure::Truncated, std::string(what) + " " + std::to_string(n) + " runs past the end of the file");
        return count;
    }

    std::string String(const char* what)
    {
        std::uint64_t len = U8(what);
        bool wide = false;
        if (len == 0xFF) {
            len = U16(what);
            if (len == 0xFFFE) {
                // The wide form: a second length prefix counted in UTF-16
                // units, then little-endian UTF-16 text.
                wide = true;
                len = U8(what);
                if (len == 0xFF) {
                    len = U16(what);
                    if (len == 0xFFFF) len = Length32(what);
                }
            } else if (len == 0xFFFF) {
                len = Length32(what);
            }
        }
        const std::uint64_t bytes = wide ? len * 2 : len;
        if (bytes > Remaining()) Fail(Failure::Truncated, std::string("file ends inside ") + what);
        const std::string_view raw(reinterpret_cast<const char*>(m_p + m_pos), static_cast<std::size_t>(bytes));
        m_pos += static_cast<std::size_t>(bytes);
        return wide ? Utf16LeToCp932(raw) : std::string(raw);
    }

private:
    std::uint64_t Length32(const char* what)
    {
        const std::uint32_t n = U32(what);
        if (n == 0xFFFFFFFFu) Fail(Failure::Corrupt, std::string("64-bit length of ") + what);
        return n;
    }

    const unsigned char* m_p;
    std::size_t m_size;
    std::size_t m_pos = 0;
    ProgressThrottle m_progress;
};

CAnimation ReadAnimation(Reader& r)
{
    r.Need(kAnimationSize, "a pose");
    CAnimation a;
    a.m_position = r.RawVector();
    a.m_rotation = r.RawVector();
    a.m_scale = r.RawVector();
    a.m_key = r.RawI32();
    return a;
}

void ReadModel(Reader& r, CModel& m, int last)
{
    m.m_listId = r.I32("a model");
    m.m_name = r.String("a model name");
    m.m_parent = r.I32("a model");
    m.m_parentName = r.String("a parent name");
    const std::size_t nv = r.Count("vertex count", 0);
    const std::size_t nf = r.Count("face count", 0);
    const std::size_t na = r.Count("frame count", 0);
    m.m_visible = r.I32("a model");
    m.m_facet = r.F32("a model");
    m.m_pivot = r.Vector("a model");

    // The three lists follow one another, so together they must fit.
    if (nv > r.Remaining() / kMinVertex || nf > r.Remaining() / kMinFace || na > r.Remaining() / kAnimationSize ||
        nv * kMinVertex + nf * kMinFace + na * kAnimationSize > r.Remaining())
        r.Fail(Failure::Truncated, "the mesh of model \"" + m.m_name + "\" runs past the end of the file");
    if (na < static_cast<std::size_t>(last) + 1)
        r.Fail(Failure::Corrupt, "model \"" + m.m_name + "\" has " + std::to_string(na) + " frames; the scene has " +
                                     std::to_string(last + 1));

    // Lists grow by appending: resizing first would write every element twice.
    m.m_vertices.clear();
    ReserveLarge(m.m_vertices, nv);
    m.m_vertexFaceStart.clear();
    ReserveLarge(m.m_vertexFaceStart, nv + 1);
    m.m_vertexFaceStart.push_back(0);
    m.m_vertexFaces.clear();
    // Usually every face corner is one reference; the guess is capped by the
    // bytes that could hold references.
    ReserveLarge(m.m_vertexFaces, std::min(nf * CFace::kMaxCorners, r.Remaining() / 4));
    for (std::size_t v = 0; v < nv; ++v) {
        r.Need(16, "a vertex");
        CVertex vertex;
        vertex.m_pos = r.RawVector();
        m.m_vertices.push_back(vertex);
        const std::size_t k = r.Count("face-reference count", 4);
        if (m.m_vertexFaces.size() + k > std::numeric_limits<std::uint32_t>::max())
            r.Fail(Failure::Corrupt, "more face references than this program can hold");
        for (std::size_t i = 0; i < k; ++i) m.m_vertexFaces.push_back(r.RawI32());
        m.m_vertexFaceStart.push_back(static_cast<std::uint32_t>(m.m_vertexFaces.size()));
        if ((v & 0xFFFF) == 0) r.Report();
    }
    m.m_faces.clear();
    ReserveLarge(m.m_faces, nf);
    for (std::size_t i = 0; i < nf; ++i) {
        r.Need(kMinFace, "a face");
        CFace f;
        f.m_normal = r.RawVector();
        f.m_material = r.RawI32();
        const std::int32_t ni = r.RawI32();
        if (ni < 0 || ni > CFace::kMaxCorners)
            r.Fail(Failure::Corrupt, "face corner count " + std::to_string(ni) + " (at most 4)");
        r.Need(static_cast<std::size_t>(ni) * 4 + 4, "a face");
        for (int c = 0; c < ni; ++c) f.m_indices[static_cast<std::size_t>(c)] = r.RawI32();
        f.m_indexCount = static_cast<std::uint8_t>(ni);
        const std::int32_t nu = r.RawI32();
        if (nu < 0 || nu > CFace::kMaxCorners)
            r.Fail(Failure::Corrupt, "face texture-coordinate count " + std::to_string(nu) + " (at most 4)");
        r.Need(static_cast<std::size_t>(nu) * 8, "a face");
        for (int c = 0; c < nu; ++c) {
            f.m_uvs[static_cast<std::size_t>(c)].m_u = r.RawF32();
            f.m_uvs[static_cast<std::size_t>(c)].m_v = r.RawF32();
        }
        f.m_uvCount = static_cast<std::uint8_t>(nu);
        m.m_faces.push_back(f);
        if ((i & 0xFFFF) == 0) r.Report();
    }
    m.m_frames.clear();
    m.m_frames.reserve(na);
    // The poses are most of an animated scene's bytes.
    for (std::size_t i = 0; i < na; ++i) {
        m.m_frames.push_back(ReadAnimation(r));
        if ((i & 0xFFF) == 0xFFF) r.Report();
    }
    r.Report();
}

void ReadMaterial(Reader& r, CMaterial& m)
{
    m.m_id = r.I32("a material");
    m.m_name = r.String("a material name");
    for (float& c : m.m_col) c = r.F32("a material");
    m.m_dif = r.F32("a material");
    m.m_amb = r.F32("a material");
    m.m_emi = r.F32("a material");
    m.m_spc = r.F32("a material");
    m.m_power = r.F32("a material");
    m.m_texture = r.String("a texture name");
    m.m_alphaPlane = r.String("an alpha-plane name");
    m.m_bump = r.String("a bump name");
}

std::string FillName(const char* pattern, const std::string& name)
{
    std::string s(pattern);
    const auto at = s.find("%1");
    if (at != std::string::npos) s.replace(at, 2, name);
    return s;
}

// --- writing -----------------------------------------------------------------

// Serialises into a fixed buffer that is handed to the sink whenever it
// fills, so a large scene never needs a second copy of itself in memory.
class Writer {
public:
    explicit Writer(ByteSink& sink) : m_sink(sink), m_buf(new char[kBufferSize]) {}
    // The last piece goes out here. A Cancel that arrives with it comes too
    // late to stop anything, and a destructor must not throw.
    ~Writer()
    {
        try {
            Flush();
        } catch (const WorkCancelled&) {
        }
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void I32(std::int32_t v)
    {
        Room(4);
        StoreLE(m_buf.get() + m_n, v);
        m_n += 4;
    }
    void F32(float f)
    {
        Room(4);
        StoreLE(m_buf.get() + m_n, f);
        m_n += 4;
    }
    void Vector(const CVector& v)
    {
        Room(12);
        StoreLE(m_buf.get() + m_n, v.m_x);
        StoreLE(m_buf.get() + m_n + 4, v.m_y);
        StoreLE(m_buf.get() + m_n + 8, v.m_z);
        m_n += 12;
    }
    void Bytes(const char* p, std::size_t n)
    {
        if (n > kBufferSize - m_n) Flush();
        if (n > kBufferSize) {
            m_sink.Write(p, n);
            return;
        }
        std::memcpy(m_buf.get() + m_n, p, n);
        m_n += n;
    }
    void String(const std::string& s)
    {
        const std::size_t n = s.size();
        if (n < 0xFF) {
            const char b = static_cast<char>(n);
            Bytes(&b, 1);
        } else if (n < 0xFFFE) {
            const char b[3] = {static_cast<char>(0xFF), static_cast<char>(n & 0xFF), static_cast<char>(n >> 8)};
            Bytes(b, 3);
        } else {
            Bytes("\xFF\xFF\xFF", 3);
            I32(static_cast<std::int32_t>(static_cast<std::uint32_t>(n)));
        }
        Bytes(s.data(), n);
    }
    void Animation(const CAnimation& a)
    {
        Vector(a.m_position);
        Vector(a.m_rotation);
        Vector(a.m_scale);
        I32(a.m_key);
    }
    void Flush()
    {
        if (m_n > 0) m_sink.Write(m_buf.get(), m_n);
        m_n = 0;
    }

private:
    static constexpr std::size_t kBufferSize = 256u << 10;
    void Room(std::size_t n)
    {
        if (n > kBufferSize - m_n) Flush();
    }

    ByteSink& m_sink;
    std::unique_ptr<char[]> m_buf;  // not zero-filled: every byte is written before it is used
    std::size_t m_n = 0;
};

class StringSink final : public ByteSink {
public:
    explicit StringSink(std::string& out) : m_out(out) {}
    void Write(const char* data, std::size_t size) override { m_out.append(data, size); }

private:
    std::string& m_out;
};

std::size_t StringSize(std::string_view s) { return (s.size() < 0xFF ? 1 : s.size() < 0xFFFE ? 3 : 7) + s.size(); }

}  // namespace

std::size_t NativeFileSize(const CKinovela& scene)
{
    std::size_t n = StringSize(kNativeVersionText) + 4 + 7 * 4;
    for (const CModel& m : scene.m_models) {
        n += 4 + StringSize(m.m_name) + 4 + StringSize(m.m_parentName) + 5 * 4 + 12;
        n += m.m_vertices.size() * kMinVertex;
        for (std::size_t v = 0; v < m.m_vertices.size(); ++v) n += m.VertexFaces(v).size() * 4;
        n += m.m_faces.size() * kMinFace;
        for (const CFace& f : m.m_faces) n += static_cast<std::size_t>(f.IndexCount()) * 4 + static_cast<std::size_t>(f.UVCount()) * 8;
        n += m.m_frames.size() * kAnimationSize;
    }
    n += scene.m_camera.size() * kAnimationSize;
    for (const CMaterial& m : scene.m_materials)
        n += 4 + 9 * 4 + StringSize(m.m_name) + StringSize(m.m_texture) + StringSize(m.m_alphaPlane) +
             StringSize(m.m_bump);
    return n;
}

namespace {

NativeReadResult Read(std::string_view data, const std::string& fileName, CKinovela& scene, CTimeline& t,
                      const ProgressFn& progress)
{
    NativeReadResult result;
    Reader r(data, progress);
    CKinovela fresh;
    int last = 0;
    float fps = 30.0f;
    try {
        result.versionText = r.String("the version text");
        last = r.I32("the header");
        if (last < 0 || last > kMaxLastFrame)
            r.Fail(Failure::Corrupt, "last frame " + std::to_string(last) + " is outside 0.." + std::to_string(kMaxLastFrame));
        // Each model holds at least the frame range's poses, each camera pose
        // and material at least their fixed fields: together they must fit.
        const std::size_t models = r.Count("model count", kMinModel + (static_cast<std::size_t>(last) + 1) * kAnimationSize);
        const std::size_t cameras = r.Count("camera count", kAnimationSize);
        const std::size_t materials = r.Count("material count", kMinMaterial);
        if (cameras == 0) r.Fail(Failure::Corrupt, "the scene has no camera pose");
        fresh.m_lastListId = r.I32("the scene header");
        fresh.m_nextMaterialId = r.I32("the scene header");
        fps = r.F32("the scene header");
        fresh.m_smooth = r.I32("the scene header");

        // Records are appended as they are read, so memory grows only with
        // the data actually present.
        fresh.m_models.clear();
        for (std::size_t i = 0; i < models; ++i) ReadModel(r, fresh.m_models.emplace_back(), last);
        fresh.m_camera.clear();
        for (std::size_t i = 0; i < cameras; ++i) fresh.m_camera.push_back(ReadAnimation(r));
        fresh.m_materials.clear();
        for (std::size_t i = 0; i < materials; ++i) ReadMaterial(r, fresh.m_materials.emplace_back());
    } catch (const ReadError& e) {
        result.offset = e.offset;
        result.detail = e.detail;
        result.message = FillName(UserText(e.kind == Failure::Truncated ? msg::kReadPastEnd : msg::kCorruptFile).c_str(), fileName);
        return result;
    }
    result.offset = r.Pos();

    // Commit: only now does the open scene change.
    scene.m_models = std::move(fresh.m_models);
    scene.m_camera = std::move(fresh.m_camera);
    scene.m_materials = std::move(fresh.m_materials);
    scene.m_lastListId = fresh.m_lastListId;
    scene.m_nextMaterialId = fresh.m_nextMaterialId;
    scene.m_smooth = fresh.m_smooth;
    scene.m_selected = kNoModel;
    t.m_last = last;
    t.m_prevLast = last;
    t.m_fps = SaneFrameRate(fps);
    scene.ClearHistory(t, true);
    scene.UpdateDerived();
    result.ok = true;
    return result;
}

}  // namespace

NativeReadResult ReadNativeData(std::string_view data, const std::string& fileName, CKinovela& scene, CTimeline& t)
{
    return Read(data, fileName, scene, t, {});
}

NativeReadResult ReadNativeFile(const std::string& path, CKinovela& scene, CTimeline& t, const ProgressFn& progress)
{
    FileContents file;
    std::string error;
    if (!file.Open(path, error)) {
        NativeReadResult result;
        result.message = FillName(UserText(msg::kCannotOpen).c_str(), path);
        result.detail = error;
        result.ioError = true;
        return result;
    }
    return Read(file.Data(), path, scene, t, progress);
}

namespace {

void Serialize(const CKinovela& scene, const CTimeline& t, ByteSink& sink)
{
    Writer w(sink);
    w.String(kNativeVersionText);
    w.I32(t.m_last);
    w.I32(static_cast<std::int32_t>(scene.m_models.size()));
    w.I32(static_cast<std::int32_t>(scene.m_camera.size()));
    w.I32(static_cast<std::int32_t>(scene.m_materials.size()));
    w.I32(scene.m_lastListId);
    w.I32(scene.m_nextMaterialId);
    w.F32(t.m_fps);
    w.I32(scene.m_smooth);
    for (const CModel& m : scene.m_models) {
        w.I32(m.m_listId);
        w.String(m.m_name);
        w.I32(m.m_parent);
        w.String(m.m_parentName);
        w.I32(static_cast<std::int32_t>(m.m_vertices.size()));
        w.I32(static_cast<std::int32_t>(m.m_faces.size()));
        w.I32(static_cast<std::int32_t>(m.m_frames.size()));
        w.I32(m.m_visible);
        w.F32(m.m_facet);
        w.Vector(m.m_pivot);
        for (std::size_t v = 0; v < m.m_vertices.size(); ++v) {
            w.Vector(m.m_vertices[v].m_pos);
            const auto refs = m.VertexFaces(v);
            w.I32(static_cast<std::int32_t>(refs.size()));
            for (int f : refs) w.I32(f);
        }
        for (const CFace& f : m.m_faces) {
            w.Vector(f.m_normal);
            w.I32(f.m_material);
            w.I32(f.IndexCount());
            for (int i : f.Indices()) w.I32(i);
            w.I32(f.UVCount());
            for (const CUV& uv : f.UVs()) {
                w.F32(uv.m_u);
                w.F32(uv.m_v);
            }
        }
        for (const CAnimation& a : m.m_frames) w.Animation(a);
    }
    for (const CAnimation& a : scene.m_camera) w.Animation(a);
    for (const CMaterial& m : scene.m_materials) {
        w.I32(m.m_id);
        w.String(m.m_name);
        for (float c : m.m_col) w.F32(c);
        w.F32(m.m_dif);
        w.F32(m.m_amb);
        w.F32(m.m_emi);
        w.F32(m.m_spc);
        w.F32(m.m_power);
        w.String(m.m_texture);
        w.String(m.m_alphaPlane);
        w.String(m.m_bump);
    }
}

}  // namespace

std::string SerializeNativeFile(const CKinovela& scene, const CTimeline& t)
{
    std::string out;
    out.reserve(NativeFileSize(scene));
    StringSink sink(out);
    Serialize(scene, t, sink);
    return out;
}

WriteResult WriteNativeFile(const std::string& path, const CKinovela& scene, const CTimeline& t,
                            const ProgressFn& progress)
{
    return WriteFileAtomically(
        path, [&](ByteSink& sink) { Serialize(scene, t, sink); }, NativeFileSize(scene), progress);
}

}  // namespace kinovela
