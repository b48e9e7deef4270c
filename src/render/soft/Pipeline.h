// Inside the software device: what a scene records, what each recorded state
// means to the vertex and pixel stages, and the records that carry set-up
// primitives from the geometry step (transform, light, clip, set up, bin
// into bands of rows) to the fill step (one band per task).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/soft/SoftDevice.h"

namespace kinovela::soft::detail {

// Everything a draw depends on, as set on the device.
struct DrawState {
    Matrix4 world = Matrix4::Identity();
    Matrix4 view = Matrix4::Identity();
    Matrix4 projection = Matrix4::Identity();
    std::uint32_t zEnable = 1, zWriteEnable = 1, lighting = 1, ambient = 0;
    std::uint32_t alphaBlendEnable = 0, srcBlend = kBlendOne, destBlend = kBlendZero;
    std::uint32_t cullMode = kCullCounterClockwise, shadeMode = kShadeGouraud;
    std::uint32_t specularEnable = 0, localViewer = 1, normalizeNormals = 0;
    std::uint32_t specularSource = kSourceColor2;
    std::uint32_t colorOp = kOpModulate, colorArg1 = kArgTexture, colorArg2 = kArgCurrent;
    std::uint32_t alphaOp = kOpSelectArg1, alphaArg1 = kArgTexture, alphaArg2 = kArgCurrent;
    std::uint32_t minFilter = kFilterPoint, magFilter = kFilterPoint;
    Light light;
    bool lightEnabled = false;
    Material material;
    std::shared_ptr<const Texture> texture;
    std::shared_ptr<const VertexBuffer> stream;
    std::uint32_t streamOffset = 0, streamStride = 0;
    std::uint32_t fvf = 0;
};

// One recorded draw or clear. Runs of draws of the same state are merged:
// a list grows its primitive count, a fan of the same size right after the
// previous one becomes one more repeat.
struct Command {
    enum Kind : std::uint8_t { kDraw, kClear } kind = kDraw;
    PrimitiveType type = PrimitiveType::TriangleList;
    std::uint32_t state = 0;
    std::uint32_t start = 0;   // first vertex
    std::uint32_t count = 0;   // primitives of the list, or of each fan
    std::uint32_t repeat = 1;  // fans one after another
    std::uint32_t clearFlags = 0, clearColor = 0;
    float clearZ = 1.0f;

    // Units the geometry step divides among its tasks: primitives of a
    // list, whole fans, one clear.
    std::uint64_t Items() const
    {
        if (kind == kClear) return 1;
        return type == PrimitiveType::TriangleFan ? repeat : count;
    }
};

// What a recorded state means, worked out once per scene.
struct StageConstants {
    // vertex stage
    Matrix4 worldViewProjection;
    Matrix4 worldView;
    float normalMatrix[3][3] = {};  // inverse transpose of the world-view rotation part
    const std::uint8_t* vertices = nullptr;  // the stream at its offset
    std::uint32_t stride = 0;
    bool hasDiffuse = false, hasSpecular = false, hasTexCoord = false;
    bool lighting = false, lightOn = false, normalize = false, localViewer = false;
    bool computeSpecular = false;  // lighting with specular on and a specular colour
    MaterialSource specularSource = kSourceMaterial;
    CVector toLight;   // unit direction to the light, camera space
    CVector halfway;   // for the distant viewer
    ColorValue constantColor;  // ambient and emissive, the same at every vertex
    ColorValue lightDiffuse, lightSpecular, materialDiffuse, materialSpecular;
    float power = 0.0f;
    std::uint32_t cullMode = kCullCounterClockwise;
    bool flat = false;
    // pixel stage
    bool zTest = true, zWrite = true;
    bool addSpecular = false;
    const Texture* texture = nullptr;
    bool linearMin = false, linearMag = false;
    std::uint32_t colorOp = kOpModulate, colorArg1 = kArgTexture, colorArg2 = kArgCurrent;
    std::uint32_t alphaOp = kOpSelectArg1, alphaArg1 = kArgTexture, alphaArg2 = kArgCurrent;
    bool blend = false;
    std::uint32_t srcBlend = kBlendOne, destBlend = kBlendZero;
    bool needsTexCoord = false;  // a texture is sampled
    // Texture times diffuse for colour and alpha, source-alpha blending or
    // none: the preview's own set-up, which the fill step draws directly.
    bool standardStage = false;
};

StageConstants MakeConstants(const DrawState& s);

// --- records -----------------------------------------------------------------

inline constexpr int kBandHeight = 16;
// Sub-pixel precision of triangle corners: 1/256 of a pixel.
inline constexpr int kSubPixelBits = 8;
inline constexpr std::int64_t kSubPixel = 1 << kSubPixelBits;

enum RecordKind : std::uint32_t { kRecordTriangle = 1, kRecordLine = 2, kRecordClear = 3 };
enum RecordFlags : std::uint32_t { kGouraud = 1, kSpecular = 2, kTextured = 4, kLinearFilter = 8 };

// Attributes carried to the pixels, in this order: depth, 1/w, diffuse red,
// green, blue, alpha, then specular red, green, blue (with kSpecular), then
// u, v (with kTextured). Gouraud attributes are divided by w, so that the
// fill step interpolates them with perspective.
inline constexpr int kMaxAttributes = 11;
inline int AttributeCount(std::uint32_t flags)
{
    return 6 + ((flags & kSpecular) ? 3 : 0) + ((flags & kTextured) ? 2 : 0);
}

// A triangle ready to fill: three edge functions in 1/256-pixel units, with
// their values at the first sample (minX, minY) and their steps, biased so
// that a sample is inside when all three are >= 0; one plane per attribute:
// its value at the first sample and its change per pixel right and per row
// down.
struct TriangleRecord {
    std::uint32_t kind, state, flags, attributes;
    std::int32_t minX, maxX, minY, maxY;
    std::int64_t edge[3], stepX[3], stepY[3];
    float value[kMaxAttributes], dx[kMaxAttributes], dy[kMaxAttributes];
};

struct LineRecord {
    std::uint32_t kind, state, flags, attributes;
    float x0, y0, x1, y1;
    float a0[kMaxAttributes], a1[kMaxAttributes];
};

struct ClearRecord {
    std::uint32_t kind, state, flags, color;
    float z, pad;
};

// The output of one geometry task: records, and per band the records that
// touch it, in drawing order.
struct Bins {
    // Grown but never shrunk or cleared, so that a frame does not pay for
    // zeroing memory it overwrites anyway; `used` 8-byte units are in use.
    std::vector<std::uint64_t> arena;
    std::size_t used = 0;
    std::vector<std::vector<std::uint32_t>> bands;

    void Reset(int bandCount);
    // Room for `bytes` (at most sizeof the record type); returns the offset
    // in 8-byte units. Earlier pointers into the arena may move.
    std::uint32_t Allocate(std::size_t bytes);
    template <class T> T* At(std::uint32_t offset) { return reinterpret_cast<T*>(arena.data() + offset); }
    template <class T> const T* At(std::uint32_t offset) const
    {
        return reinterpret_cast<const T*>(arena.data() + offset);
    }
};

struct Targets {
    std::uint32_t* color = nullptr;
    float* depth = nullptr;
    int width = 0, height = 0;
};

// One scene's work, shared read-only by the tasks.
struct FrameJob {
    const std::vector<Command>* commands = nullptr;
    const std::vector<StageConstants>* constants = nullptr;
    std::vector<std::uint64_t> itemStart;  // per command: items before it
    std::uint64_t totalItems = 0;
    int tasks = 1;
    int width = 0, height = 0;
    int bandCount = 0;
    std::vector<Bins>* bins = nullptr;  // one per geometry task
};

// Transforms, lights, clips, sets up and bins the task's share of the items.
void RunGeometry(const FrameJob& job, int task, Bins& out);
// Fills one band from every task's records, in drawing order.
void FillBand(const FrameJob& job, int band, const Targets& targets);

}  // namespace kinovela::soft::detail
