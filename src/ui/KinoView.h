// The 3D view: an OpenGL widget that draws the scene with GlRenderer and
// hands its mouse, wheel, key and timer events to ViewInteraction.
#pragma once

#include <QOpenGLWidget>
#include <QTimer>

#include "document/KinoDoc.h"
#include "document/ViewInteraction.h"
#include "render/gl/GlRenderer.h"

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

    CKinoDoc& m_doc;
    GlRenderer m_renderer;
    ViewInteraction m_interaction;
    QTimer m_timer;
    int m_lastSelected = kNoModel;
    bool m_contextReady = false;
};

}  // namespace kinovela::ui
