#include "render/soft/SoftDevice.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <thread>

#include "render/soft/Pipeline.h"
#include "render/soft/ThreadPool.h"

namespace kinovela::soft {

namespace {

// Largest side of a back buffer; beyond it a reset fails.
constexpr int kMaxSide = 16384;

int DefaultThreads()
{
    const unsigned n = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(n == 0 ? 1u : n, 1u, 16u));
}

std::uint32_t VertexCount(PrimitiveType type, std::uint32_t primitives)
{
    switch (type) {
    case PrimitiveType::LineList: return primitives * 2;
    case PrimitiveType::TriangleList: return primitives * 3;
    case PrimitiveType::TriangleFan: return primitives + 2;
    }
    return 0;
}

}  // namespace

std::uint32_t FvfStride(std::uint32_t fvf)
{
    if (fvf == kFvfModelVertex) return sizeof(ModelVertex);
    if (fvf == kFvfLineVertex) return sizeof(LineVertex);
    return 0;
}

void* VertexBuffer::Lock(std::uint32_t offset, std::uint32_t size)
{
    if (size == 0) size = Length() - std::min(offset, Length());
    if (offset > Length() || size > Length() - offset) return nullptr;
    return m_bytes.data() + offset;
}

Result Texture::LockRect(int level, LockedRect& out)
{
    if (level != 0) return Result::InvalidCall;
    out.pitch = m_width * 4;
    out.bits = m_texels.data();
    return Result::Ok;
}

std::unique_ptr<Direct3D> Direct3D::Create() { return std::make_unique<Direct3D>(); }

Result Direct3D::GetAdapterDisplayMode(std::uint32_t adapter, DisplayMode& mode) const
{
    if (adapter != 0) return Result::InvalidCall;
    // The device draws into memory; its "display" is any size it is reset to.
    mode = DisplayMode{kMaxSide, kMaxSide, Format::X8R8G8B8};
    return Result::Ok;
}

Result Direct3D::CreateDevice(std::uint32_t adapter, const PresentParameters& parameters,
                              std::unique_ptr<Device>& device)
{
    if (adapter != 0) return Result::InvalidCall;
    auto made = std::make_unique<Device>();
    const Result r = made->Reset(parameters);
    if (!Succeeded(r)) return r;
    device = std::move(made);
    return Result::Ok;
}

// --- the device ------------------------------------------------------------

struct Device::Impl {
    explicit Impl(int threads) : pool(std::make_unique<ThreadPool>(threads)) {}

    std::unique_ptr<ThreadPool> pool;
    Surface back, front;
    std::vector<float> depth;
    bool inScene = false;

    detail::DrawState current;
    bool stateDirty = true;
    std::vector<detail::DrawState> states;  // recorded since the last flush
    std::vector<detail::Command> commands;

    // Reused from scene to scene.
    std::vector<detail::StageConstants> constants;
    std::vector<detail::Bins> bins;

    std::uint32_t RecordState()
    {
        if (stateDirty || states.empty()) {
            states.push_back(current);
            stateDirty = false;
        }
        return static_cast<std::uint32_t>(states.size() - 1);
    }
    void Flush();
};

Device::Device(int threads) : m_impl(std::make_unique<Impl>(threads > 0 ? threads : DefaultThreads())) {}

Device::~Device() = default;

int Device::ThreadCount() const { return m_impl->pool->Size(); }

void Device::SetThreadCount(int threads)
{
    m_impl->pool = std::make_unique<ThreadPool>(std::max(1, threads));
}

const Surface& Device::FrontBuffer() const { return m_impl->front; }
const Surface& Device::BackBuffer() const { return m_impl->back; }

Result Device::Reset(const PresentParameters& p)
{
    if (p.backBufferWidth <= 0 || p.backBufferHeight <= 0 || p.backBufferWidth > kMaxSide ||
        p.backBufferHeight > kMaxSide)
        return Result::InvalidCall;
    if (p.backBufferFormat != Format::X8R8G8B8 && p.backBufferFormat != Format::A8R8G8B8 &&
        p.backBufferFormat != Format::Unknown)
        return Result::InvalidCall;
    if (p.enableAutoDepthStencil && p.autoDepthStencilFormat != Format::D16 &&
        p.autoDepthStencilFormat != Format::D24X8)
        return Result::InvalidCall;
    const std::size_t n = static_cast<std::size_t>(p.backBufferWidth) * static_cast<std::size_t>(p.backBufferHeight);
    try {
        Surface back{p.backBufferWidth, p.backBufferHeight, std::vector<std::uint32_t>(n, 0xFF000000u)};
        Surface front = back;
        std::vector<float> depth(p.enableAutoDepthStencil ? n : 0, 1.0f);
        m_impl->back = std::move(back);
        m_impl->front = std::move(front);
        m_impl->depth = std::move(depth);
    } catch (const std::bad_alloc&) {
        return Result::OutOfMemory;
    }
    m_parameters = p;
    m_impl->commands.clear();
    m_impl->states.clear();
    m_impl->stateDirty = true;
    m_impl->inScene = false;
    return Result::Ok;
}

Result Device::CreateVertexBuffer(std::uint32_t length, std::uint32_t fvf, std::shared_ptr<VertexBuffer>& out)
{
    if (length == 0 || FvfStride(fvf) == 0) return Result::InvalidCall;
    try {
        out = std::make_shared<VertexBuffer>(length, fvf);
    } catch (const std::bad_alloc&) {
        return Result::OutOfMemory;
    }
    return Result::Ok;
}

Result Device::CreateTexture(int width, int height, int levels, Format format, std::shared_ptr<Texture>& out)
{
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || levels != 1 ||
        format != Format::A8R8G8B8)
        return Result::InvalidCall;
    try {
        out = std::make_shared<Texture>(width, height);
    } catch (const std::bad_alloc&) {
        return Result::OutOfMemory;
    }
    return Result::Ok;
}

Result Device::Clear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t /*stencil*/)
{
    if ((flags & ~(kClearTarget | kClearZBuffer)) != 0) return Result::InvalidCall;
    if ((flags & kClearZBuffer) && m_impl->depth.empty()) return Result::InvalidCall;
    detail::Command c;
    c.kind = detail::Command::kClear;
    c.clearFlags = flags;
    c.clearColor = color;
    c.clearZ = std::clamp(z, 0.0f, 1.0f);
    m_impl->commands.push_back(c);
    return Result::Ok;
}

Result Device::BeginScene()
{
    if (m_impl->inScene) return Result::InvalidCall;
    m_impl->inScene = true;
    return Result::Ok;
}

Result Device::EndScene()
{
    if (!m_impl->inScene) return Result::InvalidCall;
    m_impl->inScene = false;
    try {
        m_impl->Flush();
    } catch (const std::bad_alloc&) {
        m_impl->commands.clear();
        m_impl->states.clear();
        m_impl->stateDirty = true;
        return Result::OutOfMemory;
    }
    return Result::Ok;
}

Result Device::Present()
{
    if (m_impl->inScene) return Result::InvalidCall;
    // Clears made outside a scene are done by now.
    try {
        m_impl->Flush();
    } catch (const std::bad_alloc&) {
        m_impl->commands.clear();
        return Result::OutOfMemory;
    }
    std::swap(m_impl->front, m_impl->back);
    return Result::Ok;
}

Result Device::SetTransform(TransformState state, const Matrix4& matrix)
{
    detail::DrawState& s = m_impl->current;
    switch (state) {
    case TransformState::World: s.world = matrix; break;
    case TransformState::View: s.view = matrix; break;
    case TransformState::Projection: s.projection = matrix; break;
    }
    m_impl->stateDirty = true;
    return Result::Ok;
}

Result Device::SetRenderState(RenderState state, std::uint32_t v)
{
    detail::DrawState& s = m_impl->current;
    const auto isBlend = [](std::uint32_t b) {
        return b == kBlendZero || b == kBlendOne || b == kBlendSrcAlpha || b == kBlendInvSrcAlpha;
    };
    switch (state) {
    case RenderState::ZEnable: s.zEnable = v != 0; break;
    case RenderState::ZWriteEnable: s.zWriteEnable = v != 0; break;
    case RenderState::Lighting: s.lighting = v != 0; break;
    case RenderState::Ambient: s.ambient = v; break;
    case RenderState::AlphaBlendEnable: s.alphaBlendEnable = v != 0; break;
    case RenderState::SrcBlend:
        if (!isBlend(v)) return Result::InvalidCall;
        s.srcBlend = v;
        break;
    case RenderState::DestBlend:
        if (!isBlend(v)) return Result::InvalidCall;
        s.destBlend = v;
        break;
    case RenderState::CullMode:
        if (v < kCullNone || v > kCullCounterClockwise) return Result::InvalidCall;
        s.cullMode = v;
        break;
    case RenderState::ShadeMode:
        if (v != kShadeFlat && v != kShadeGouraud) return Result::InvalidCall;
        s.shadeMode = v;
        break;
    case RenderState::SpecularEnable: s.specularEnable = v != 0; break;
    case RenderState::LocalViewer: s.localViewer = v != 0; break;
    case RenderState::NormalizeNormals: s.normalizeNormals = v != 0; break;
    case RenderState::SpecularMaterialSource:
        if (v > kSourceColor2) return Result::InvalidCall;
        s.specularSource = v;
        break;
    }
    m_impl->stateDirty = true;
    return Result::Ok;
}

Result Device::SetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t v)
{
    if (stage != 0) return Result::InvalidCall;
    const bool isOp = v == kOpSelectArg1 || v == kOpSelectArg2 || v == kOpModulate;
    const bool isArg = v == kArgDiffuse || v == kArgCurrent || v == kArgTexture;
    detail::DrawState& s = m_impl->current;
    switch (state) {
    case TextureStageState::ColorOp:
        if (!isOp) return Result::InvalidCall;
        s.colorOp = v;
        break;
    case TextureStageState::ColorArg1:
        if (!isArg) return Result::InvalidCall;
        s.colorArg1 = v;
        break;
    case TextureStageState::ColorArg2:
        if (!isArg) return Result::InvalidCall;
        s.colorArg2 = v;
        break;
    case TextureStageState::AlphaOp:
        if (!isOp) return Result::InvalidCall;
        s.alphaOp = v;
        break;
    case TextureStageState::AlphaArg1:
        if (!isArg) return Result::InvalidCall;
        s.alphaArg1 = v;
        break;
    case TextureStageState::AlphaArg2:
        if (!isArg) return Result::InvalidCall;
        s.alphaArg2 = v;
        break;
    }
    m_impl->stateDirty = true;
    return Result::Ok;
}

Result Device::SetSamplerState(std::uint32_t sampler, SamplerState state, std::uint32_t v)
{
    if (sampler != 0 || (v != kFilterPoint && v != kFilterLinear)) return Result::InvalidCall;
    (state == SamplerState::MinFilter ? m_impl->current.minFilter : m_impl->current.magFilter) = v;
    m_impl->stateDirty = true;
    return Result::Ok;
}

Result Device::SetLight(std::uint32_t index, const Light& light)
{
    const CVector& d = light.direction;
    if (index != 0 || light.type != LightType::Directional || (d.m_x == 0.0f && d.m_y == 0.0f && d.m_z == 0.0f))
        return Result::InvalidCall;
    m_impl->current.light = light;
    m_impl->stateDirty = true;
    return Result::Ok;
}

Result Device::LightEnable(std::uint32_t index, bool enable)
{
    if (index != 0) return Result::InvalidCall;
    m_impl->current.lightEnabled = enable;
    m_impl->stateDirty = true;
    return Result::Ok;
}

Result Device::SetMaterial(const Material& material)
{
    m_impl->current.material = material;
    m_impl->stateDirty = true;
    return Result::Ok;
}

Result Device::SetTexture(std::uint32_t stage, std::shared_ptr<const Texture> texture)
{
    if (stage != 0) return Result::InvalidCall;
    m_impl->current.texture = std::move(texture);
    m_impl->stateDirty = true;
    return Result::Ok;
}

Result Device::SetFVF(std::uint32_t fvf)
{
    if (FvfStride(fvf) == 0) return Result::InvalidCall;
    m_impl->current.fvf = fvf;
    m_impl->stateDirty = true;
    return Result::Ok;
}

Result Device::SetStreamSource(std::uint32_t stream, std::shared_ptr<const VertexBuffer> buffer,
                               std::uint32_t offset, std::uint32_t stride)
{
    if (stream != 0) return Result::InvalidCall;
    detail::DrawState& s = m_impl->current;
    s.stream = std::move(buffer);
    s.streamOffset = offset;
    s.streamStride = stride;
    m_impl->stateDirty = true;
    return Result::Ok;
}

Result Device::DrawPrimitive(PrimitiveType type, std::uint32_t start, std::uint32_t primitives)
{
    Impl& d = *m_impl;
    const detail::DrawState& s = d.current;
    if (!d.inScene || !s.stream || s.streamStride == 0 || s.streamStride != FvfStride(s.fvf)) return Result::InvalidCall;
    if (primitives == 0) return Result::Ok;
    const std::uint64_t vertices = type == PrimitiveType::TriangleFan ? std::uint64_t{primitives} + 2
                                   : VertexCount(type, 1) * std::uint64_t{primitives};
    const std::uint64_t end = std::uint64_t{s.streamOffset} + (std::uint64_t{start} + vertices) * s.streamStride;
    if (end > s.stream->Length()) return Result::InvalidCall;

    const bool dirty = d.stateDirty;
    const std::uint32_t state = d.RecordState();
    if (!dirty && !d.commands.empty()) {
        detail::Command& last = d.commands.back();
        if (last.kind == detail::Command::kDraw && last.state == state && last.type == type) {
            if (type == PrimitiveType::TriangleFan) {
                if (last.count == primitives &&
                    std::uint64_t{last.start} + std::uint64_t{last.repeat} * (primitives + 2) == start) {
                    ++last.repeat;
                    return Result::Ok;
                }
            } else if (std::uint64_t{last.start} + VertexCount(type, last.count) == start &&
                       std::uint64_t{last.count} + primitives <= 0xFFFFFFFFu / 3) {
                last.count += primitives;
                return Result::Ok;
            }
        }
    }
    detail::Command c;
    c.type = type;
    c.state = state;
    c.start = start;
    c.count = primitives;
    d.commands.push_back(c);
    return Result::Ok;
}

void Device::Impl::Flush()
{
    if (commands.empty()) return;
    const int threads = pool->Size();
    detail::FrameJob job;
    job.commands = &commands;
    job.width = back.width;
    job.height = back.height;
    job.bandCount = (back.height + detail::kBandHeight - 1) / detail::kBandHeight;

    constants.clear();
    constants.reserve(states.size());
    for (const detail::DrawState& s : states) constants.push_back(detail::MakeConstants(s));
    job.constants = &constants;

    job.itemStart.resize(commands.size());
    for (std::size_t i = 0; i < commands.size(); ++i) {
        job.itemStart[i] = job.totalItems;
        job.totalItems += commands[i].Items();
    }
    // Several tasks per thread, taken in turn, even out the cost of a share
    // that happens to lie on screen against one that is culled.
    const std::uint64_t perTask = 2048;
    job.tasks = static_cast<int>(std::clamp<std::uint64_t>((job.totalItems + perTask - 1) / perTask, 1,
                                                            static_cast<std::uint64_t>(threads) * 4));
    if (bins.size() < static_cast<std::size_t>(job.tasks)) bins.resize(static_cast<std::size_t>(job.tasks));
    job.bins = &bins;

    pool->Run(job.tasks, [&](int task) {
        detail::Bins& out = bins[static_cast<std::size_t>(task)];
        out.Reset(job.bandCount);
        detail::RunGeometry(job, task, out);
    });

    detail::Targets targets{back.pixels.data(), depth.empty() ? nullptr : depth.data(), back.width, back.height};
    pool->Run(job.bandCount, [&](int band) { detail::FillBand(job, band, targets); });

    commands.clear();
    states.clear();
    stateDirty = true;
}

}  // namespace kinovela::soft
