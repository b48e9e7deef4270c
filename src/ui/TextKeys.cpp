#include "ui/TextKeys.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace kinovela::ui {

bool IsTextEditingKey(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
    if (mods & (Qt::AltModifier | Qt::MetaModifier)) return false;
    switch (key.key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Delete:
    case Qt::Key_Backspace: return true;
    case Qt::Key_Insert: return mods == Qt::ShiftModifier || mods == Qt::ControlModifier;
    case Qt::Key_A:
    case Qt::Key_C:
    case Qt::Key_V:
    case Qt::Key_X:
    case Qt::Key_Z:
    case Qt::Key_Y: return (mods & Qt::ControlModifier) != 0;
    default: return false;
    }
}

namespace {

QLineEdit* FieldOf(QObject* o)
{
    if (auto* field = qobject_cast<QLineEdit*>(o)) return field;
    if (auto* combo = qobject_cast<QComboBox*>(o); combo && combo->isEditable()) return combo->lineEdit();
    return nullptr;
}

}  // namespace

bool TextEditingKeys::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) return false;
    QLineEdit* field = FieldOf(watched);
    if (!field) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!IsTextEditingKey(*key)) return false;
    if (type == QEvent::ShortcutOverride) {
        // Accepted: the key comes to the field as a key press, not to a
        // command.
        event->accept();
        return true;
    }
    // Ctrl+Y is redo on Windows only; here the field would drop it.
    if (key->key() == Qt::Key_Y && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
        if (!field->isReadOnly()) field->redo();
        return true;
    }
    return false;
}

}  // namespace kinovela::ui
