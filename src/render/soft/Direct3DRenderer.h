// The Direct3D preview drawn on the software device: the grid buffer, one
// vertex buffer per model with its corners relative to the pivot and its
// material colours, the selection box, the camera and the light set per
// frame, and the walk through the hierarchy with a matrix stack.
//
// It reads the scene and never changes it. Buffers and textures are held
// here, per model and per material position, and are rebuilt from the scene
// whenever the OpenGL lists are (the materials and models are values that
// undo and open replace).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render/soft/SoftDevice.h"
#include "scene/Kinovela.h"

namespace kinovela {

// The failure texts of the Direct3D preview.
extern const char* const kDirect3DCreateFailedMessage;  // "Direct3D の作成に失敗しました。"
extern const char* const kDirect3DResizeFailedMessage;  // "リサイズに失敗しました。"

class Direct3DRenderer {
public:
    using MessageFn = std::function<void(const std::string&)>;
    using Factory = std::function<std::unique_ptr<soft::Direct3D>()>;

    Direct3DRenderer(CKinovela& scene, const CTimeline& timeline);

    // How messages reach the user (the editor shows a box, the command line
    // prints them); nothing is shown without it.
    void SetMessageHandler(MessageFn show) { m_show = std::move(show); }
    // Where the Direct3D object comes from; tests replace it.
    void SetFactory(Factory factory) { m_factory = std::move(factory); }
    // Threads of the device (0: one per processor); before InitDirect3D.
    void SetThreadCount(int threads) { m_threads = threads; }

    // 0 when the device was made, -1 when it was not. Only a missing
    // Direct3D object is reported to the user.
    int InitDirect3D();
    void ReleaseDirect3D();
    bool Available() const { return m_device != nullptr; }
    // Reports a failed reset to the user.
    void ResizeDirect3D(int width, int height);
    void DrawDirect3D();
    // Every material's texture and every model's buffer, from the scene.
    void RebuildModelBuffers();
    // The selected model's box.
    void BuildSelectionBox();

    // The picture of the last frame drawn; null while unavailable.
    const soft::Surface* Picture() const;
    soft::Device* Device() { return m_device.get(); }

private:
    soft::Result CreateDirect3DTexture(const CMaterial& material, std::shared_ptr<soft::Texture>& out);
    void BuildDirect3DBuffer(std::size_t model);
    void BuildDirect3DBox(std::size_t model);
    bool BuildGridBuffer();
    void DrawModel(std::size_t model, const Matrix4& world);
    const CMaterial* FindMaterial(int id, std::size_t* position) const;
    void Show(const std::string& text) const
    {
        if (m_show) m_show(text);
    }

    CKinovela& m_scene;
    const CTimeline& m_timeline;
    MessageFn m_show;
    Factory m_factory;
    int m_threads = 0;

    std::unique_ptr<soft::Direct3D> m_direct3D;
    std::unique_ptr<soft::Device> m_device;
    soft::PresentParameters m_presentParameters;
    soft::PresentParameters m_savedPresentParameters;
    std::shared_ptr<soft::VertexBuffer> m_gridBuffer;
    MatrixStack m_matrixStack;
    soft::Light m_light;
    float m_viewWidth = 640.0f, m_viewHeight = 480.0f;

    std::vector<std::shared_ptr<soft::VertexBuffer>> m_buffers;  // per model
    std::vector<std::shared_ptr<soft::Texture>> m_textures;      // per material
    std::shared_ptr<soft::VertexBuffer> m_box;
    int m_boxModel = kNoModel;
};

}  // namespace kinovela
