#include "ui/KinoView.h"

#include <QKeyEvent>
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
      m_interaction(doc, *this, controls, meter)
{
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
}

void KinoView::paintGL()
{
    m_interaction.OnPaint();
    // The selection may have changed from the tree or a command.
    if (m_doc.Scene().m_selected != m_lastSelected) {
        m_renderer.BuildSelectionBox();
        m_lastSelected = m_doc.Scene().m_selected;
    }
    m_renderer.Draw();
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
    if (!m_contextReady) return;
    makeCurrent();
    m_renderer.RebuildModelLists();
    m_renderer.BuildSelectionBox();
    doneCurrent();
    update();
}

void KinoView::BuildSelectionBox()
{
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
