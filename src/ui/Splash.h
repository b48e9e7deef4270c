// The splash window: the program's picture, shown once while the main
// window is made and taken away after two seconds. Only one exists at a
// time.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace kinovela::ui {

class CSplashWnd final : public QWidget {
public:
    static constexpr int kMilliseconds = 2000;

    // Shows the splash over `owner` (the main window, updated when the
    // splash goes) unless one is up already; that one is returned then.
    static CSplashWnd* Show(QWidget* owner, int milliseconds = kMilliseconds);
    // The splash on the screen, or null.
    static CSplashWnd* Current() { return s_current; }

    ~CSplashWnd() override;
    const QPixmap& Picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    CSplashWnd(QWidget* owner, int milliseconds);
    void Finish();

    static QPointer<CSplashWnd> s_current;
    QPixmap m_picture;
    QTimer m_timer;
};

}  // namespace kinovela::ui
