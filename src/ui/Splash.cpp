#include "ui/Splash.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace kinovela::ui {

QPointer<CSplashWnd> CSplashWnd::s_current;

CSplashWnd* CSplashWnd::Show(QWidget* owner, int milliseconds)
{
    if (s_current) return s_current;
    auto* splash = new CSplashWnd(owner, milliseconds);
    s_current = splash;
    splash->show();
    splash->raise();
    return splash;
}

CSplashWnd::CSplashWnd(QWidget* owner, int milliseconds)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint), m_picture(QStringLiteral(":/kinovela/splash.png"))
{
    setObjectName(QStringLiteral("splash"));
    // Named for the desktop's window lists and for tools that look for it.
    setWindowTitle(QStringLiteral("Kinovela"));
    setAttribute(Qt::WA_DeleteOnClose);
    setCursor(Qt::ArrowCursor);
    setFixedSize(m_picture.size());
    const QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen) move(screen->availableGeometry().center() - rect().center());
    // The main window is shown after the splash; without a window manager
    // to keep a splash on top, it would cover it.
    if (owner) owner->installEventFilter(this);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CSplashWnd::Finish);
    m_timer.start(milliseconds);
}

CSplashWnd::~CSplashWnd()
{
    if (s_current == this) s_current = nullptr;
}

void CSplashWnd::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, m_picture);
}

bool CSplashWnd::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == parent() && (e->type() == QEvent::Show || e->type() == QEvent::WindowActivate)) raise();
    return false;
}

void CSplashWnd::Finish()
{
    if (auto* owner = parentWidget()) {
        owner->removeEventFilter(this);
        owner->update();
    }
    s_current = nullptr;
    close();
}

}  // namespace kinovela::ui
