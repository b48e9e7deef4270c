// The 3D view: an OpenGL widget that draws the scene with GlRenderer, or
// shows the picture of the Direct3D preview on the software device, and
// hands its mouse, wheel, key and timer events to ViewInteraction.
#pragma once

#include <QOpenGLWidget>
#include <QTimer>

#include <functional>

#include "document/KinoDoc.h"
#include "document/ViewInteraction.h"
#include "render/gl/GlRenderer.h"
#include "render/soft/Direct3DRenderer.h"

namespace kinovela::ui {

// Why this machine cannot draw the 3D view (one of the renderer's set-up
// texts), or an empty text when a context of the default format can be made
// and drawn with: a compatibility context (the view draws with glBegin) that
// has a depth buffer. Ask before any OpenGL widget exists; without a usable
// context the window system cannot even compose one.
QString OpenGLProblem();

class KinoView final : public QOpenGLWidget, public IViewHost, public IKinoView, public IRenderHooks {
public:
    KinoView(CKinoDoc& doc, IViewControls& controls, FrameRateMeter& meter, QWidget* parent = nullptr);
    ~KinoView() override;

    // IViewHost
    bool PickModel(int x, int y) override;
    void Invalidate() override { update(); }
    void CaptureMouse() override { grabMouse(); }
    void ReleaseMouse() override { releaseMouse(); }
    void StartTimer(int intervalMs) override { m_timer.start(intervalMs); }
    void KillTimer() override { m_timer.stop(); }
    void RebuildModelLists() override;
    // The playback timer's interval in milliseconds, -1 while it is stopped.
    int TimerInterval() const { return m_timer.isActive() ? m_timer.interval() : -1; }
    Qt::TimerType TimerType() const { return m_timer.timerType(); }

    // Whether the Direct3D preview could be made when the view was created.
    bool Direct3DAvailable() const { return m_direct3D.Available(); }
    // 0 draws with OpenGL, 1 shows the Direct3D preview (when available).
    void SetRendererMode(int mode);
    int RendererMode() const { return m_rendererMode; }
    // The Direct3D preview's last picture (null while it is unavailable).
    const soft::Surface* Direct3DPicture() const { return m_direct3D.Picture(); }
    // How the Direct3D preview's failure texts reach the user; called after
    // the event that raised them, never inside a paint or resize.
    std::function<void(const QString&)> m_showMessage;

    // IKinoView
    void OnUpdate(int hint) override;

    // IRenderHooks
    void ReleaseResources() override;
    void LoadTextures() override { RebuildModelLists(); }
    void BuildSelectionBox() override;
    void RebuildModels() override { RebuildModelLists(); }
    void BackgroundChanged() override;

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void ContextGone();
    void ShowDirect3DPicture();

    CKinoDoc& m_doc;
    GlRenderer m_renderer;
    Direct3DRenderer m_direct3D;
    int m_rendererMode = 0;
    // The Direct3D buffers are rebuilt when the preview next draws, so that
    // a session in OpenGL never pays for them.
    bool m_direct3DStale = true;
    ViewInteraction m_interaction;
    QTimer m_timer;
    int m_lastSelected = kNoModel;
    bool m_contextReady = false;
};

}  // namespace kinovela::ui
