#include "render/soft/Direct3DRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>

#include "common/UserTexts.h"
#include "image/DibStream.h"
#include "image/Textures.h"

namespace kinovela {

const char* const kDirect3DCreateFailedMessage = KINOVELA_TEXT("Messages", "Direct3D の作成に失敗しました。");
const char* const kDirect3DResizeFailedMessage = KINOVELA_TEXT("Messages", "リサイズに失敗しました。");

namespace {

using soft::Result;
using soft::Succeeded;

constexpr int kGridLines = 45;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

std::uint32_t ChannelByte(float v)
{
    // Truncated, as the stored colours always were; out-of-range values
    // from a file are held to the byte instead of wrapping.
    const float scaled = v * 255.0f;
    if (!(scaled > 0.0f)) return 0;
    return scaled >= 255.0f ? 255u : static_cast<std::uint32_t>(scaled);
}

soft::ColorValue Color(const std::array<float, 17>& m, int block)
{
    return {m[static_cast<std::size_t>(block * 4)], m[static_cast<std::size_t>(block * 4 + 1)],
            m[static_cast<std::size_t>(block * 4 + 2)], m[static_cast<std::size_t>(block * 4 + 3)]};
}

soft::LineVertex Corner(float x, float y, float z, std::uint32_t colour)
{
    return soft::LineVertex{x, y, z, 0.0f, 0.0f, 1.0f, colour};
}

const CAnimation* PoseAt(const CModel& m, int frame)
{
    if (m.m_frames.empty()) return nullptr;
    return &m.m_frames[static_cast<std::size_t>(std::clamp(frame, 0, static_cast<int>(m.m_frames.size()) - 1))];
}

}  // namespace

Direct3DRenderer::Direct3DRenderer(CKinovela& scene, const CTimeline& timeline)
    : m_scene(scene), m_timeline(timeline), m_factory([] { return soft::Direct3D::Create(); })
{
}

int Direct3DRenderer::InitDirect3D()
{
    ReleaseDirect3D();
    m_matrixStack = MatrixStack{};
    m_direct3D = m_factory ? m_factory() : nullptr;
    if (!m_direct3D) {
        Show(UserText(kDirect3DCreateFailedMessage));
        return -1;
    }
    soft::DisplayMode mode;
    if (!Succeeded(m_direct3D->GetAdapterDisplayMode(0, mode))) {
        m_direct3D.reset();
        return -1;
    }
    m_presentParameters = soft::PresentParameters{};
    m_presentParameters.backBufferFormat = mode.format;
    m_presentParameters.backBufferWidth = 640;
    m_presentParameters.backBufferHeight = 480;
    m_presentParameters.enableAutoDepthStencil = true;
    m_presentParameters.autoDepthStencilFormat = soft::Format::D16;
    m_savedPresentParameters = m_presentParameters;
    if (!Succeeded(m_direct3D->CreateDevice(0, m_presentParameters, m_device))) {
        m_device.reset();
        m_direct3D.reset();
        return -1;
    }
    if (m_threads > 0) m_device->SetThreadCount(m_threads);
    m_viewWidth = 640.0f;
    m_viewHeight = 480.0f;

    m_light = soft::Light{};
    m_light.type = soft::LightType::Directional;
    m_light.diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    m_light.specular = {1.0f, 1.0f, 1.0f, 1.0f};
    m_light.ambient = {0.1f, 0.1f, 0.1f, 1.0f};
    m_light.range = 10000.0f;
    m_light.falloff = 1.0f;
    m_light.phi = 3.14159265f;
    if (!BuildGridBuffer()) {
        ReleaseDirect3D();
        return -1;
    }
    return 0;
}

void Direct3DRenderer::ReleaseDirect3D()
{
    m_matrixStack = MatrixStack{};
    m_buffers.clear();
    m_textures.clear();
    m_box.reset();
    m_boxModel = kNoModel;
    m_gridBuffer.reset();
    m_device.reset();
    m_direct3D.reset();
}

bool Direct3DRenderer::BuildGridBuffer()
{
    std::vector<soft::LineVertex> v;
    v.reserve(kGridLines * 2);
    v.push_back(Corner(0, 0, 0, 0xFFFF0000u));
    v.push_back(Corner(600, 0, 0, 0xFFFF0000u));
    v.push_back(Corner(0, 0, 0, 0xFF00FF00u));
    v.push_back(Corner(0, 600, 0, 0xFF00FF00u));
    v.push_back(Corner(0, 0, 0, 0xFF0000FFu));
    v.push_back(Corner(0, 0, 600, 0xFF0000FFu));
    constexpr std::uint32_t grey = 0xFF5B695Bu;
    v.push_back(Corner(-500, 0, 0, grey));
    v.push_back(Corner(0, 0, 0, grey));
    v.push_back(Corner(0, 0, -500, grey));
    v.push_back(Corner(0, 0, 0, grey));
    for (int k = -500; k <= 500; k += 50) {
        if (k == 0) continue;
        v.push_back(Corner(static_cast<float>(k), 0, -500, grey));
        v.push_back(Corner(static_cast<float>(k), 0, 500, grey));
    }
    for (int k = -500; k <= 500; k += 50) {
        if (k == 0) continue;
        v.push_back(Corner(-500, 0, static_cast<float>(k), grey));
        v.push_back(Corner(500, 0, static_cast<float>(k), grey));
    }
    const auto bytes = static_cast<std::uint32_t>(v.size() * sizeof(soft::LineVertex));
    if (!Succeeded(m_device->CreateVertexBuffer(bytes, soft::kFvfLineVertex, m_gridBuffer))) return false;
    std::memcpy(m_gridBuffer->Lock(0, 0), v.data(), bytes);
    m_gridBuffer->Unlock();
    return true;
}

void Direct3DRenderer::ResizeDirect3D(int width, int height)
{
    if (width <= 0 || height <= 0 || !m_device) return;
    m_viewWidth = static_cast<float>(width);
    m_viewHeight = static_cast<float>(height);
    m_presentParameters.backBufferWidth = width;
    m_presentParameters.backBufferHeight = height;
    if (!Succeeded(m_device->Reset(m_presentParameters))) {
        // The device keeps its old buffers and goes on drawing into them.
        m_presentParameters = m_device->Parameters();
        Show(UserText(kDirect3DResizeFailedMessage));
    }
}

const soft::Surface* Direct3DRenderer::Picture() const { return m_device ? &m_device->FrontBuffer() : nullptr; }

const CMaterial* Direct3DRenderer::FindMaterial(int id, std::size_t* position) const
{
    for (std::size_t i = 0; i < m_scene.m_materials.size(); ++i)
        if (m_scene.m_materials[i].m_id == id) {
            if (position) *position = i;
            return &m_scene.m_materials[i];
        }
    return nullptr;
}

Result Direct3DRenderer::CreateDirect3DTexture(const CMaterial& material, std::shared_ptr<soft::Texture>& out)
{
    out.reset();
    if (material.m_texture.empty() || !material.m_image || material.m_image->Empty()) return Result::Ok;
    const DibStream& image = *material.m_image;
    std::shared_ptr<soft::Texture> texture;
    const Result created = m_device->CreateTexture(image.Width(), image.Height(), 1, soft::Format::A8R8G8B8, texture);
    if (!Succeeded(created)) return created;
    soft::Texture::LockedRect rect;
    const Result locked = texture->LockRect(0, rect);
    if (!Succeeded(locked)) return locked;
    const std::size_t pitch = static_cast<std::size_t>(rect.pitch) / 4;
    const std::span<std::uint32_t> texels(static_cast<std::uint32_t*>(rect.bits),
                                          pitch * static_cast<std::size_t>(image.Height()));
    if (!FillA8R8G8B8(image, texels, pitch)) return Result::InvalidCall;
    const Result unlocked = texture->UnlockRect(0);
    if (Succeeded(unlocked)) out = std::move(texture);
    return unlocked;
}

void Direct3DRenderer::BuildDirect3DBuffer(std::size_t index)
{
    m_buffers[index].reset();
    const CModel& m = m_scene.m_models[index];
    std::uint64_t corners = 0;
    for (const CFace& f : m.m_faces) corners += static_cast<std::uint64_t>(f.IndexCount());
    const std::uint64_t bytes = corners * sizeof(soft::ModelVertex);
    if (corners == 0 || bytes > 0xFFFFFFFFu) return;
    std::shared_ptr<soft::VertexBuffer> buffer;
    if (!Succeeded(m_device->CreateVertexBuffer(static_cast<std::uint32_t>(bytes), soft::kFvfModelVertex, buffer)))
        return;
    auto* out = static_cast<soft::ModelVertex*>(buffer->Lock(0, 0));
    const std::size_t nv = m.m_vertices.size();
    std::size_t at = 0;
    for (const CFace& f : m.m_faces) {
        const int n = f.IndexCount();
        const CMaterial* mat = FindMaterial(f.m_material, nullptr);
        const bool valid = std::all_of(f.Indices().begin(), f.Indices().end(),
                                       [nv](int i) { return i >= 0 && static_cast<std::size_t>(i) < nv; });
        // Corners of a face that cannot be drawn stay zero: a triangle with
        // three equal corners covers nothing.
        if (mat && valid && (n == 3 || n == 4)) {
            const auto& c = mat->m_col;
            const std::uint32_t diffuse = ChannelByte(c[3]) << 24 | ChannelByte(c[0]) << 16 |
                                          ChannelByte(c[1]) << 8 | ChannelByte(c[2]);
            const std::uint32_t s = ChannelByte(mat->m_spc);
            const std::uint32_t specular = 0xFF000000u | s << 16 | s << 8 | s;
            for (int k = 0; k < n; ++k) {
                const CVertex& v = m.m_vertices[static_cast<std::size_t>(f.m_indices[static_cast<std::size_t>(k)])];
                const CUV uv = k < f.UVCount() ? f.m_uvs[static_cast<std::size_t>(k)] : CUV{};
                out[at + static_cast<std::size_t>(k)] =
                    soft::ModelVertex{v.m_pos.m_x - m.m_pivot.m_x, v.m_pos.m_y - m.m_pivot.m_y,
                                      v.m_pos.m_z - m.m_pivot.m_z, v.m_normal.m_x, v.m_normal.m_y,
                                      v.m_normal.m_z, diffuse, specular, uv.m_u, uv.m_v};
            }
        }
        at += static_cast<std::size_t>(n);
    }
    buffer->Unlock();
    m_buffers[index] = std::move(buffer);
}

void Direct3DRenderer::BuildDirect3DBox(std::size_t index)
{
    const CModel& m = m_scene.m_models[index];
    // Relative to the pivot, like the model's corners: the box is drawn with
    // the model's matrix.
    const CVector a = m.m_bboxMin - m.m_pivot, b = m.m_bboxMax - m.m_pivot;
    const float xs[2] = {a.m_x, b.m_x}, ys[2] = {a.m_y, b.m_y}, zs[2] = {a.m_z, b.m_z};
    std::vector<soft::LineVertex> v;
    v.reserve(24);
    for (int j = 0; j < 2; ++j)
        for (int k = 0; k < 2; ++k) {
            v.push_back(Corner(xs[0], ys[j], zs[k], kWhite));
            v.push_back(Corner(xs[1], ys[j], zs[k], kWhite));
        }
    for (int i = 0; i < 2; ++i)
        for (int k = 0; k < 2; ++k) {
            v.push_back(Corner(xs[i], ys[0], zs[k], kWhite));
            v.push_back(Corner(xs[i], ys[1], zs[k], kWhite));
        }
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
            v.push_back(Corner(xs[i], ys[j], zs[0], kWhite));
            v.push_back(Corner(xs[i], ys[j], zs[1], kWhite));
        }
    const auto bytes = static_cast<std::uint32_t>(v.size() * sizeof(soft::LineVertex));
    std::shared_ptr<soft::VertexBuffer> box;
    if (!Succeeded(m_device->CreateVertexBuffer(bytes, soft::kFvfLineVertex, box))) return;
    std::memcpy(box->Lock(0, 0), v.data(), bytes);
    box->Unlock();
    m_box = std::move(box);
    m_boxModel = static_cast<int>(index);
}

void Direct3DRenderer::BuildSelectionBox()
{
    m_box.reset();
    m_boxModel = kNoModel;
    if (m_device && m_scene.HasSelection()) BuildDirect3DBox(static_cast<std::size_t>(m_scene.m_selected));
}

void Direct3DRenderer::RebuildModelBuffers()
{
    if (!m_device) return;
    m_textures.assign(m_scene.m_materials.size(), nullptr);
    for (std::size_t i = 0; i < m_scene.m_materials.size(); ++i)
        CreateDirect3DTexture(m_scene.m_materials[i], m_textures[i]);
    m_buffers.assign(m_scene.m_models.size(), nullptr);
    for (std::size_t i = 0; i < m_scene.m_models.size(); ++i) BuildDirect3DBuffer(i);
    BuildSelectionBox();
}

void Direct3DRenderer::DrawModel(std::size_t index, const Matrix4& world)
{
    if (index >= m_buffers.size() || !m_buffers[index]) return;
    soft::Device& d = *m_device;
    const CModel& m = m_scene.m_models[index];
    d.SetTransform(soft::TransformState::World, world);
    d.SetTexture(0, nullptr);
    d.SetFVF(soft::kFvfModelVertex);
    d.SetStreamSource(0, m_buffers[index], 0, sizeof(soft::ModelVertex));
    bool haveMaterial = false;
    int last = -1;
    std::uint32_t start = 0;
    for (const CFace& f : m.m_faces) {
        if (!haveMaterial || f.m_material != last) {
            std::size_t position = 0;
            if (const CMaterial* mat = FindMaterial(f.m_material, &position)) {
                const auto& c = mat->m_d3dMaterial;
                soft::Material material;
                material.diffuse = Color(c, 0);
                material.ambient = Color(c, 1);
                material.specular = Color(c, 2);
                material.emissive = Color(c, 3);
                material.power = c[16];
                d.SetMaterial(material);
                d.SetTexture(0, position < m_textures.size() && !mat->m_texture.empty() ? m_textures[position]
                                                                                       : nullptr);
            }
            last = f.m_material;
            haveMaterial = true;
        }
        const int n = f.IndexCount();
        if (n == 3)
            d.DrawPrimitive(soft::PrimitiveType::TriangleList, start, 1);
        else if (n == 4)
            d.DrawPrimitive(soft::PrimitiveType::TriangleFan, start, 2);
        start += static_cast<std::uint32_t>(n);
    }
}

void Direct3DRenderer::DrawDirect3D()
{
    if (!m_device) return;
    soft::Device& d = *m_device;
    const std::uint32_t bg = m_scene.m_background;  // 0x00BBGGRR
    const std::uint32_t clear = 0xFF000000u | (bg & 0xFF) << 16 | (bg & 0xFF00) | (bg >> 16 & 0xFF);
    d.Clear(soft::kClearTarget | soft::kClearZBuffer, clear, 1.0f, 0);
    d.BeginScene();

    d.SetRenderState(soft::RenderState::ZEnable, 1);
    d.SetRenderState(soft::RenderState::NormalizeNormals, 1);
    d.SetRenderState(soft::RenderState::AlphaBlendEnable, 1);
    d.SetRenderState(soft::RenderState::SrcBlend, soft::kBlendSrcAlpha);
    d.SetRenderState(soft::RenderState::DestBlend, soft::kBlendInvSrcAlpha);
    d.SetRenderState(soft::RenderState::CullMode, soft::kCullCounterClockwise);
    d.SetTextureStageState(0, soft::TextureStageState::ColorOp, soft::kOpModulate);
    d.SetTextureStageState(0, soft::TextureStageState::ColorArg1, soft::kArgTexture);
    d.SetTextureStageState(0, soft::TextureStageState::ColorArg2, soft::kArgDiffuse);
    d.SetTextureStageState(0, soft::TextureStageState::AlphaOp, soft::kOpModulate);
    d.SetTextureStageState(0, soft::TextureStageState::AlphaArg1, soft::kArgTexture);
    d.SetTextureStageState(0, soft::TextureStageState::AlphaArg2, soft::kArgDiffuse);
    d.SetSamplerState(0, soft::SamplerState::MinFilter, soft::kFilterLinear);
    d.SetSamplerState(0, soft::SamplerState::MagFilter, soft::kFilterLinear);
    d.SetRenderState(soft::RenderState::Lighting, 1);
    d.SetRenderState(soft::RenderState::Ambient, kWhite);
    d.SetRenderState(soft::RenderState::ShadeMode, m_scene.m_smooth ? soft::kShadeGouraud : soft::kShadeFlat);

    // The same camera as the OpenGL view: turned about Z, Y, X, then moved.
    const CAnimation camera = m_scene.m_camera.empty() ? CAnimation{} : m_scene.m_camera[0];
    const Matrix4 view = camera.m_rotation.RotationZYX() * camera.m_position.Translation(1.0f);
    d.SetTransform(soft::TransformState::View, view);
    d.SetTransform(soft::TransformState::Projection,
                   Matrix4::PerspectiveFovRH(DegreesToRadians(m_scene.m_fov), m_viewWidth / m_viewHeight, 10.0f,
                                             10000.0f));

    // Axes and grid, unlit.
    d.SetTransform(soft::TransformState::World, Matrix4::Identity());
    d.SetTexture(0, nullptr);
    d.SetFVF(soft::kFvfLineVertex);
    d.SetStreamSource(0, m_gridBuffer, 0, sizeof(soft::LineVertex));
    d.LightEnable(0, false);
    d.SetRenderState(soft::RenderState::Lighting, 0);
    d.SetRenderState(soft::RenderState::SpecularEnable, 0);
    d.SetRenderState(soft::RenderState::LocalViewer, 0);
    d.SetRenderState(soft::RenderState::NormalizeNormals, 0);
    d.DrawPrimitive(soft::PrimitiveType::LineList, 0, kGridLines);

    // The light comes from the camera: -(camera position) as a direction
    // seen from the camera, turned back into the world. At the camera's
    // origin there is no such direction, and the light keeps its last one.
    if (const std::optional<Matrix4> inverse = view.Inverse()) {
        const CVector& p = camera.m_position;
        const CVector dir = inverse->TransformDirection(CVector{-p.m_x, -p.m_y, -p.m_z});
        if (dir.m_x != 0.0f || dir.m_y != 0.0f || dir.m_z != 0.0f) m_light.direction = dir.Normalized();
    }
    d.SetLight(0, m_light);
    d.LightEnable(0, true);
    d.SetRenderState(soft::RenderState::Lighting, 1);
    d.SetRenderState(soft::RenderState::Ambient, kWhite);
    d.SetRenderState(soft::RenderState::SpecularEnable, 1);
    d.SetRenderState(soft::RenderState::NormalizeNormals, 1);
    d.SetRenderState(soft::RenderState::SpecularMaterialSource, soft::kSourceMaterial);

    // The selection may have changed since the box was built.
    if (m_boxModel != (m_scene.HasSelection() ? m_scene.m_selected : kNoModel)) BuildSelectionBox();

    const std::size_t count = m_scene.m_models.size();
    for (const WalkEntry& e : m_scene.m_hierarchyWalk) {
        if (e.event == kWalkEnd) break;
        if (e.event == kWalkBegin) {
            m_matrixStack.LoadIdentity();
            continue;
        }
        if (e.model < 0 || static_cast<std::size_t>(e.model) >= count) continue;
        const CModel& m = m_scene.m_models[static_cast<std::size_t>(e.model)];
        if (e.event == kWalkEnter) {
            m_matrixStack.Push();
            m_matrixStack.MultiplyLocal(m.m_pivot.Translation(1.0f));
            if (const CAnimation* pose = PoseAt(m, m_timeline.m_current))
                m_matrixStack.MultiplyLocal(pose->PoseMatrix(1.0f));
            m_matrixStack.MultiplyLocal(m.m_pivot.Translation(-1.0f));
        } else if (e.event == kWalkLeave) {
            // The buffers hold corners relative to the pivot.
            m_matrixStack.MultiplyLocal(m.m_pivot.Translation(1.0f));
            if (m.m_visible) {
                if (e.model == m_boxModel && m_box) {
                    d.SetRenderState(soft::RenderState::Lighting, 0);
                    d.SetTransform(soft::TransformState::World, m_matrixStack.Top());
                    d.SetTexture(0, nullptr);
                    d.SetFVF(soft::kFvfLineVertex);
                    d.SetStreamSource(0, m_box, 0, sizeof(soft::LineVertex));
                    d.DrawPrimitive(soft::PrimitiveType::LineList, 0, 12);
                    d.SetRenderState(soft::RenderState::Lighting, 1);
                }
                DrawModel(static_cast<std::size_t>(e.model), m_matrixStack.Top());
            }
            m_matrixStack.Pop();
        }
    }

    d.EndScene();
    if (!Succeeded(d.Present())) d.Reset(m_savedPresentParameters);
}

}  // namespace kinovela
