// The fixed-function OpenGL preview: the axes-and-grid list, the selection
// box list, one display list per model, the camera and the eye-fixed light,
// drawing through the hierarchy walk, and picking with the selection
// buffer. Every call needs the view's context to be current.
#pragma once

#include <vector>

#include "scene/Kinovela.h"

namespace kinovela {

// What the preview says when it cannot be set up: no pixel format with
// what it needs, a surface that cannot take one, no context, or a context
// that cannot be made current.
inline constexpr const char* kChoosePixelFormatError = "ChoosePixelFormat::Error";
inline constexpr const char* kSetPixelFormatError = "SetPixelFormat::Error";
inline constexpr const char* kCreateContextError = "wglCreateContext::Error";
inline constexpr const char* kMakeCurrentError = "wglMakeCurrent::Error";

class DibStream;

class GlRenderer {
public:
    GlRenderer(CKinovela& scene, const CTimeline& timeline) : m_scene(scene), m_timeline(timeline) {}

    // Context set-up (state, list 1, texture parameters, clear colour).
    void Initialize();
    // Forgets every GL object; call before the context goes away.
    void Release();
    void ApplyClearColor();
    void Resize(int width, int height);
    void Draw();
    // Uploads the materials' decoded textures and compiles every model list.
    void RebuildModelLists();
    void BuildSelectionBox();
    // True when the selection changed. `x`, `y` in device pixels.
    bool PickModel(int x, int y);

    // The display list a model is drawn from: its stored m_listId when that
    // is usable, else a fresh one (the stored number stays as it is).
    unsigned ListOf(std::size_t model) const { return model < m_lists.size() ? m_lists[model] : 0; }

private:
    void CompileModel(std::size_t index, unsigned list);
    // Into the bound texture, bottom row first whatever the picture's order.
    static void UploadRows(const DibStream& img);
    void ApplyMaterial(int id);
    void SetupLight();
    void ApplyCamera();
    void ApplyProjection();
    void ApplyPose(const CModel& m, bool pivotFirst);
    void ReleaseModelLists();
    void ReleaseTextures();

    CKinovela& m_scene;
    const CTimeline& m_timeline;
    std::vector<unsigned> m_lists;        // per model
    std::vector<bool> m_ownList;          // made with glGenLists (else the stored number)
    std::vector<unsigned> m_textures;     // per material
    float m_viewWidth = 1.0f, m_viewHeight = 1.0f;
    float m_appliedFov = 0.0f;  // the field of view of the projection set up
    bool m_ready = false;
};

}  // namespace kinovela
