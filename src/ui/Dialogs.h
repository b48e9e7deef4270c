// The editor's small dialogs: key frames, inserting and deleting frames,
// and the export options of one format.
#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QString>

#include "ui/Tr.h"

#include <functional>
#include <optional>

#include "document/ExportOptions.h"

class QCheckBox;
class QFormLayout;
class QLineEdit;
class QVBoxLayout;

namespace kinovela::ui {

// Refusals of a field's text, translated in the "Dialogs" context.
inline constexpr const char* kNotAnInteger = QT_TRANSLATE_NOOP("Dialogs", "整数を入力してください。");
inline constexpr const char* kNotANumber = QT_TRANSLATE_NOOP("Dialogs", "数字を入力してください。");

// A whole decimal number with an optional sign, spaces around allowed;
// nothing for anything else, or for a value an int cannot hold.
std::optional<int> ReadInteger(const QString& text);
// A decimal number (a fraction and an exponent allowed) that a float can
// hold; nothing for anything else, infinities and NaN included.
std::optional<float> ReadNumber(const QString& text);

// A dialog whose OK first reads every field back: a bad one shows its
// message and keeps the dialog open with the focus on that field and its
// text selected, so that the user types the correction straight over it.
class CheckedDialog : public QDialog {
public:
    explicit CheckedDialog(QWidget* parent);
    void accept() override;

    // Shows a refusal; a warning box by default. Replaceable so that tests
    // need no modal loop.
    std::function<void(const QString&)> m_showMessage;

protected:
    // A labelled integer field in the form; the first one starts selected.
    QLineEdit* AddInteger(const QString& label, int value);
    // The OK/Cancel buttons under everything added so far.
    void Finish();
    // Reads the fields back into the dialog's values; false after a refusal.
    virtual bool Store() = 0;
    bool Integer(QLineEdit* field, int& out);
    bool Refuse(QLineEdit* field, const char* message);

    QFormLayout* m_form;
    QVBoxLayout* m_layout;
};

// The widget pointers below belong to their dialog (Qt parent ownership);
// they are public for the tests that drive them.

// Adds or deletes key frames at one frame, for the selected model or all.
class CDlgKeyFrame final : public CheckedDialog {
public:
    explicit CDlgKeyFrame(int frame, QWidget* parent = nullptr);
    // Valid after OK.
    int Frame() const { return m_frameValue; }
    // 0 add for the selection, 1 add for all, 2 delete for the selection,
    // 3 delete for all.
    int Choice() const { return m_choice.checkedId(); }

    QLineEdit* m_frame;
    QButtonGroup m_choice;

private:
    bool Store() override { return Integer(m_frame, m_frameValue); }
    int m_frameValue;
};

class CDlgInsert final : public CheckedDialog {
public:
    explicit CDlgInsert(int frame, QWidget* parent = nullptr);
    // Valid after OK: the frame the new ones follow, and how many.
    int After() const { return m_afterValue; }
    int Count() const { return m_countValue; }

    QLineEdit* m_after;
    QLineEdit* m_count;

private:
    bool Store() override { return Integer(m_after, m_afterValue) && Integer(m_count, m_countValue); }
    int m_afterValue;
    int m_countValue = 1;
};

class CDlgDelete final : public CheckedDialog {
public:
    explicit CDlgDelete(int frame, QWidget* parent = nullptr);
    // Valid after OK: the first and the last frame to delete.
    int First() const { return m_firstValue; }
    int Last() const { return m_lastValue; }

    QLineEdit* m_first;
    QLineEdit* m_last;

private:
    bool Store() override { return Integer(m_first, m_firstValue) && Integer(m_last, m_lastValue); }
    int m_firstValue;
    int m_lastValue;
};

// The export options of one format, shown under `title`. What the format
// cannot write is shown but cannot be changed. OK writes the choices into
// the record, which must outlive the dialog; Cancel leaves it as it was.
class CDlgSave final : public CheckedDialog {
public:
    CDlgSave(ExportOptions& options, const QString& title, QWidget* parent = nullptr);

    QButtonGroup m_keyType;  // 0 position/rotation/scale, 1 matrix, 2 none
    QLineEdit* m_speed;
    QButtonGroup m_quality;     // 0 standard, 1 high
    QCheckBox* m_uv;
    QButtonGroup m_handedness;  // 0 left, 1 right
    QCheckBox* m_normals;
    QCheckBox* m_camera;
    QCheckBox* m_light;
    QLineEdit* m_scale;
    // glTF only (null for the other formats): where the animation is
    // sampled, and the pictures inside the .bin.
    QButtonGroup m_sampling;  // 0 where the motion needs it (keys), 1 every frame
    QCheckBox* m_embed = nullptr;

private:
    bool Store() override;
    ExportOptions& m_options;
};

}  // namespace kinovela::ui
