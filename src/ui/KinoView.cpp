#include "ui/KinoView.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QWindow>
#include <QWheelEvent>

#include <GL/gl.h>

namespace kinovela::ui {

QString OpenGLProblem()
{
    const QSurfaceFormat wanted = QSurfaceFormat::defaultFormat();
    QOpenGLContext context;
    context.setFormat(wanted);
    if (!context.create()) return QString::fromUtf8(kCreateContextError);
    const QSurfaceFormat got = context.format();
    // A core profile has no glBegin; without a depth buffer the scene
    // cannot be drawn in order.
    if ((got.profile() == QSurfaceFormat::CoreProfile && got.version() >= qMakePair(3, 2)) ||
        got.depthBufferSize() < 16)
        return QString::fromUtf8(kChoosePixelFormatError);
    QWindow probe;
    probe.setSurfaceType(QSurface::OpenGLSurface);
    probe.setFormat(got);
    probe.create();
    if (!probe.handle()) return QString::fromUtf8(kSetPixelFormatError);
    if (!context.makeCurrent(&probe)) return QString::fromUtf8(kMakeCurrentError);
    context.doneCurrent();
    return {};
}

KinoView::KinoView(CKinoDoc& doc, IViewControls& controls, FrameRateMeter& meter, QWidget* parent)
    : QOpenGLWidget(parent),
      m_doc(doc),
      m_renderer(doc.Scene(), doc.Timeline()),
      m_direct3D(doc.Scene(), doc.Timeline()),
      m_interaction(doc, *this, controls, meter)
{
    m_showMessage = [this](const QString& text) { QMessageBox::warning(this, "Kinovela", text); };
    // Shown once the event that raised it is over: a box inside a resize
    // or paint would run the event loop in the middle of it.
    m_direct3D.SetMessageHandler([this](const std::string& text) {
        const QString message = QString::fromStdString(text);
        QMetaObject::invokeMethod(this, [this, message] { if (m_showMessage) m_showMessage(message); },
                                  Qt::QueuedConnection);
    });
    // Made before the OpenGL context, as the view always made it; a view
    // without it still opens, with DirectX refused.
    m_direct3D.InitDirect3D();
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    // Playback steps every ⌊1000 / fps⌋ ms; a coarse timer may be 5% late.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_interaction.OnTimer(); });
    m_doc.AddView(this);
    m_doc.SetRenderHooks(this);
}

KinoView::~KinoView()
{
    m_timer.stop();
    m_doc.SetRenderHooks(nullptr);
    m_doc.RemoveView(this);
    // Without this the context's owner goes first and the GL objects are
    // released into a context that no longer exists.
    if (context()) disconnect(context(), nullptr, this, nullptr);
    ContextGone();
    m_direct3D.ReleaseDirect3D();
}

void KinoView::ContextGone()
{
    if (!m_contextReady) return;
    makeCurrent();
    m_renderer.Release();
    doneCurrent();
    m_contextReady = false;
}

void KinoView::initializeGL()
{
    // A re-created context (the widget moved to another window) starts empty.
    disconnect(context(), &QOpenGLContext::aboutToBeDestroyed, this, nullptr);
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { ContextGone(); });
    m_renderer.Initialize();
    m_contextReady = true;
    m_lastSelected = m_doc.Scene().m_selected;
}

void KinoView::resizeGL(int w, int h)
{
    const qreal ratio = devicePixelRatioF();
    m_renderer.Resize(static_cast<int>(w * ratio), static_cast<int>(h * ratio));
    m_direct3D.ResizeDirect3D(static_cast<int>(w * ratio), static_cast<int>(h * ratio));
}

void KinoView::paintGL()
{
    m_interaction.OnPaint();
    // The selection may have changed from the tree or a command.
    if (m_doc.Scene().m_selected != m_lastSelected) {
        m_renderer.BuildSelectionBox();
        m_lastSelected = m_doc.Scene().m_selected;
    }
    if (m_rendererMode == 1 && m_direct3D.Available()) {
        if (m_direct3DStale) {
            m_direct3D.RebuildModelBuffers();
            m_direct3DStale = false;
        }
        m_direct3D.DrawDirect3D();
        ShowDirect3DPicture();
        return;
    }
    m_renderer.Draw();
}

void KinoView::SetRendererMode(int mode)
{
    m_rendererMode = mode;
    m_direct3D.BuildSelectionBox();
    update();
}

void KinoView::ShowDirect3DPicture()
{
    const soft::Surface* picture = m_direct3D.Picture();
    if (!picture || picture->width <= 0 || picture->height <= 0) return;
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    // An opaque window whatever alpha the picture holds.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    // Top row first from the window's top-left corner; a picture that kept
    // its old size after a failed resize is stretched, as a present does.
    glRasterPos2f(-1.0f, 1.0f);
    glPixelZoom(static_cast<float>(viewport[2]) / static_cast<float>(picture->width),
                -static_cast<float>(viewport[3]) / static_cast<float>(picture->height));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glDrawPixels(picture->width, picture->height, GL_BGRA, GL_UNSIGNED_BYTE, picture->pixels.data());
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}

bool KinoView::PickModel(int x, int y)
{
    if (!m_contextReady) return false;
    makeCurrent();
    const qreal ratio = devicePixelRatioF();
    // Outside paintGL the viewport is whatever was left: set it again.
    m_renderer.Resize(static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
    const bool changed = m_renderer.PickModel(static_cast<int>(x * ratio), static_cast<int>(y * ratio));
    doneCurrent();
    if (changed) m_lastSelected = m_doc.Scene().m_selected;
    return changed;
}

void KinoView::RebuildModelLists()
{
    m_direct3DStale = true;
    if (!m_contextReady) return;
    makeCurrent();
    m_renderer.RebuildModelLists();
    m_renderer.BuildSelectionBox();
    doneCurrent();
    update();
}

void KinoView::BuildSelectionBox()
{
    m_direct3D.BuildSelectionBox();
    if (!m_contextReady) return;
    makeCurrent();
    m_renderer.BuildSelectionBox();
    doneCurrent();
    m_lastSelected = m_doc.Scene().m_selected;
    update();
}

void KinoView::ReleaseResources() {}

void KinoView::BackgroundChanged()
{
    if (!m_contextReady) return;
    makeCurrent();
    m_renderer.ApplyClearColor();
    doneCurrent();
    update();
}

void KinoView::OnUpdate(int hint) { m_interaction.OnUpdate(hint); }

void KinoView::mousePressEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    if (e->button() == Qt::LeftButton)
        m_interaction.OnLeftDown(p.x(), p.y());
    else if (e->button() == Qt::RightButton)
        m_interaction.OnRightDown(p.x(), p.y());
    else if (e->button() == Qt::MiddleButton)
        m_interaction.OnMiddleDown(p.x(), p.y());
    else
        QOpenGLWidget::mousePressEvent(e);
}

void KinoView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        m_interaction.OnLeftUp();
    else if (e->button() == Qt::RightButton)
        m_interaction.OnRightUp();
}

void KinoView::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    MouseState keys;
    keys.ctrl = (e->modifiers() & Qt::ControlModifier) != 0;
    keys.shift = (e->modifiers() & Qt::ShiftModifier) != 0;
    keys.middle = (e->buttons() & Qt::MiddleButton) != 0;
    m_interaction.OnMouseMove(p.x(), p.y(), keys);
}

void KinoView::wheelEvent(QWheelEvent* e)
{
    m_interaction.OnWheel(e->angleDelta().y());
    e->accept();
}

void KinoView::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_F1: m_interaction.OnKey(ViewKey::F1); break;
    case Qt::Key_F2: m_interaction.OnKey(ViewKey::F2); break;
    case Qt::Key_F3: m_interaction.OnKey(ViewKey::F3); break;
    default: break;
    }
    QOpenGLWidget::keyPressEvent(e);
}

}  // namespace kinovela::ui
