// A small software device with the part of the Direct3D 9 fixed-function
// pipeline the preview draws with: vertex buffers in two vertex formats,
// A8R8G8B8 textures, world/view/projection in the row-vector convention,
// one directional light with per-vertex lighting, materials, depth test,
// alpha blending, culling, flat and Gouraud shading, a modulating texture
// stage, line lists, triangle lists and triangle fans.
//
// Drawing is deferred: DrawPrimitive records what to draw, and EndScene
// draws the whole scene, transforming and binning the primitives into bands
// of rows on every thread of the device's pool and then filling the bands in
// parallel. A vertex buffer or texture must therefore not be changed between
// the draw that uses it and the end of the scene (the device keeps it alive
// by its shared pointer). Pixel centres lie on integer coordinates, as in
// Direct3D 9, and triangles follow the top-left fill rule.
//
// No Qt, no OpenGL: the editor shows the front buffer, kinovela-cli writes it
// to PNG files.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "scene/Matrix.h"

namespace kinovela::soft {

enum class Result { Ok, InvalidCall, OutOfMemory };
inline bool Succeeded(Result r) { return r == Result::Ok; }

// Red, green, blue, alpha; 0..1 is the displayable range.
struct ColorValue {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
    friend bool operator==(const ColorValue&, const ColorValue&) = default;
};

enum class Format { Unknown, A8R8G8B8, X8R8G8B8, D16, D24X8 };

// Flexible-vertex-format bits this device reads.
inline constexpr std::uint32_t kFvfXyz = 0x002;
inline constexpr std::uint32_t kFvfNormal = 0x010;
inline constexpr std::uint32_t kFvfDiffuse = 0x040;
inline constexpr std::uint32_t kFvfSpecular = 0x080;
inline constexpr std::uint32_t kFvfTex1 = 0x100;
// The two formats the device accepts: model corners (0x1D2) and lines (0x52).
inline constexpr std::uint32_t kFvfModelVertex = kFvfXyz | kFvfNormal | kFvfDiffuse | kFvfSpecular | kFvfTex1;
inline constexpr std::uint32_t kFvfLineVertex = kFvfXyz | kFvfNormal | kFvfDiffuse;

struct ModelVertex {
    float x, y, z;
    float nx, ny, nz;
    std::uint32_t diffuse;   // 0xAARRGGBB
    std::uint32_t specular;  // 0xAARRGGBB
    float u, v;
};
static_assert(sizeof(ModelVertex) == 40);

struct LineVertex {
    float x, y, z;
    float nx, ny, nz;
    std::uint32_t diffuse;
};
static_assert(sizeof(LineVertex) == 28);

// Bytes per vertex of a format, 0 for a format the device does not read.
std::uint32_t FvfStride(std::uint32_t fvf);

enum class PrimitiveType { LineList = 2, TriangleList = 4, TriangleFan = 6 };
enum class TransformState { World, View, Projection };

enum class RenderState {
    ZEnable,              // 0 off, 1 on (default 1)
    ZWriteEnable,         // default 1
    Lighting,             // default 1
    Ambient,              // global ambient colour 0xAARRGGBB (default 0)
    AlphaBlendEnable,     // default 0
    SrcBlend,             // Blend value (default One)
    DestBlend,            // Blend value (default Zero)
    CullMode,             // Cull value (default CounterClockwise)
    ShadeMode,            // Shade value (default Gouraud)
    SpecularEnable,       // default 0
    LocalViewer,          // default 1
    NormalizeNormals,     // default 0
    SpecularMaterialSource,  // MaterialSource value (default Color2)
};
enum Blend : std::uint32_t { kBlendZero = 1, kBlendOne = 2, kBlendSrcAlpha = 5, kBlendInvSrcAlpha = 6 };
enum Cull : std::uint32_t { kCullNone = 1, kCullClockwise = 2, kCullCounterClockwise = 3 };
enum Shade : std::uint32_t { kShadeFlat = 1, kShadeGouraud = 2 };
enum MaterialSource : std::uint32_t { kSourceMaterial = 0, kSourceColor1 = 1, kSourceColor2 = 2 };

enum class TextureStageState { ColorOp, ColorArg1, ColorArg2, AlphaOp, AlphaArg1, AlphaArg2 };
enum TextureOp : std::uint32_t { kOpSelectArg1 = 2, kOpSelectArg2 = 3, kOpModulate = 4 };
enum TextureArg : std::uint32_t { kArgDiffuse = 0, kArgCurrent = 1, kArgTexture = 2 };

enum class SamplerState { MinFilter, MagFilter };
enum Filter : std::uint32_t { kFilterPoint = 1, kFilterLinear = 2 };

inline constexpr std::uint32_t kClearTarget = 1;
inline constexpr std::uint32_t kClearZBuffer = 2;

enum class LightType { Point = 1, Spot = 2, Directional = 3 };

struct Light {
    LightType type = LightType::Directional;
    ColorValue diffuse, specular, ambient;
    CVector position;
    CVector direction{0.0f, 0.0f, 1.0f};  // world coordinates, need not be unit length
    float range = 0.0f, falloff = 0.0f;
    float attenuation0 = 0.0f, attenuation1 = 0.0f, attenuation2 = 0.0f;
    float theta = 0.0f, phi = 0.0f;
};

struct Material {
    ColorValue diffuse, ambient, specular, emissive;
    float power = 0.0f;
};

struct PresentParameters {
    int backBufferWidth = 0;
    int backBufferHeight = 0;
    Format backBufferFormat = Format::X8R8G8B8;
    bool enableAutoDepthStencil = true;
    // D16 and D24X8 are both kept as 32-bit floats: the preview's near plane
    // of 10 and far plane of 10000 would make 16 bits fight.
    Format autoDepthStencilFormat = Format::D16;
};

// A picture in 0xAARRGGBB pixels, top row first.
struct Surface {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const
    {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

class VertexBuffer {
public:
    VertexBuffer(std::uint32_t length, std::uint32_t fvf) : m_bytes(length), m_fvf(fvf) {}
    // The whole buffer when `size` is 0. Nothing (a null pointer) when the
    // range lies outside the buffer.
    void* Lock(std::uint32_t offset, std::uint32_t size);
    void Unlock() {}
    std::uint32_t Length() const { return static_cast<std::uint32_t>(m_bytes.size()); }
    std::uint32_t Fvf() const { return m_fvf; }
    const std::uint8_t* Data() const { return m_bytes.data(); }

private:
    std::vector<std::uint8_t> m_bytes;
    std::uint32_t m_fvf;
};

// One-level A8R8G8B8 texture; rows follow each other without padding.
class Texture {
public:
    Texture(int width, int height)
        : m_width(width), m_height(height), m_texels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    {
    }
    struct LockedRect {
        int pitch = 0;  // bytes from one row to the next
        void* bits = nullptr;
    };
    Result LockRect(int level, LockedRect& out);
    Result UnlockRect(int level) { return level == 0 ? Result::Ok : Result::InvalidCall; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    const std::uint32_t* Texels() const { return m_texels.data(); }

private:
    int m_width, m_height;
    std::vector<std::uint32_t> m_texels;
};

class Device;

struct DisplayMode {
    int width = 0, height = 0;
    Format format = Format::X8R8G8B8;
};

// The object devices are made from (the Direct3D object of the preview).
class Direct3D {
public:
    // Null when the device cannot be offered on this machine.
    static std::unique_ptr<Direct3D> Create();
    // Adapter 0 is the only adapter.
    Result GetAdapterDisplayMode(std::uint32_t adapter, DisplayMode& mode) const;
    Result CreateDevice(std::uint32_t adapter, const PresentParameters& parameters, std::unique_ptr<Device>& device);
};

class Device {
public:
    // `threads` workers share each frame (0: one per processor).
    explicit Device(int threads = 0);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Back buffer and depth buffer of the new size. On failure the device
    // keeps its old buffers.
    Result Reset(const PresentParameters& parameters);
    const PresentParameters& Parameters() const { return m_parameters; }

    Result CreateVertexBuffer(std::uint32_t length, std::uint32_t fvf, std::shared_ptr<VertexBuffer>& out);
    Result CreateTexture(int width, int height, int levels, Format format, std::shared_ptr<Texture>& out);

    Result Clear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t stencil);
    Result BeginScene();
    // Draws everything recorded since BeginScene.
    Result EndScene();
    // The back buffer becomes the front buffer.
    Result Present();

    Result SetTransform(TransformState state, const Matrix4& matrix);
    Result SetRenderState(RenderState state, std::uint32_t value);
    Result SetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t value);
    Result SetSamplerState(std::uint32_t sampler, SamplerState state, std::uint32_t value);
    // Light 0 only, and only a directional light with a direction.
    Result SetLight(std::uint32_t index, const Light& light);
    Result LightEnable(std::uint32_t index, bool enable);
    Result SetMaterial(const Material& material);
    Result SetTexture(std::uint32_t stage, std::shared_ptr<const Texture> texture);
    Result SetFVF(std::uint32_t fvf);
    Result SetStreamSource(std::uint32_t stream, std::shared_ptr<const VertexBuffer> buffer, std::uint32_t offset,
                           std::uint32_t stride);
    Result DrawPrimitive(PrimitiveType type, std::uint32_t startVertex, std::uint32_t primitiveCount);

    // The picture shown by the last Present.
    const Surface& FrontBuffer() const;
    const Surface& BackBuffer() const;

    int ThreadCount() const;
    // Changes how many threads draw (at least 1); for measurements.
    void SetThreadCount(int threads);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
    PresentParameters m_parameters;
};

}  // namespace kinovela::soft
