// Text fields keep their editing keys. While a line edit has the focus (a
// control-bar field, the tree's rename editor, a dialog's field), the
// standard editing keys go to it even when the window has a command on the
// same key: Ctrl+A selects the text instead of opening Save As, Ctrl+Z
// undoes the typing instead of the scene's last pose. Every other key
// (Ctrl+R, Alt+R...) still reaches the window's commands.
#pragma once

#include <QObject>

class QKeyEvent;

namespace kinovela::ui {

// Ctrl+A/C/V/X/Z/Y (also with Shift), the arrows, Home, End, Delete and
// Backspace (with Shift or Ctrl too), Shift+Insert and Ctrl+Insert. Never a
// key with Alt or Meta held.
bool IsTextEditingKey(const QKeyEvent& key);

// Installed on the application, so it sees the key events of every window.
class TextEditingKeys final : public QObject {
public:
    explicit TextEditingKeys(QObject* parent = nullptr) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kinovela::ui
