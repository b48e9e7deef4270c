// The editor's small dialogs: key frames, inserting and deleting frames,
// and the export options of one format.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QFormLayout>
#include <QVBoxLayout>
#include <QLineEdit>
#include <QRadioButton>

#include <functional>
#include <optional>

#include "document/ExportOptions.h"

namespace kinovela::ui {

inline constexpr const char* kNotAnInteger = "整数を入力してください。";
inline constexpr const char* kNotANumber = "数字を入力してください。";

// A whole decimal number with an optional sign, spaces around allowed;
// nothing for anything else, or for a value an int cannot hold.
std::optional<int> ReadInteger(const QString& text);
std::optional<double> ReadNumber(const QString& text);

// OK checks every field first: a bad one shows its message and keeps the
// dialog open with the focus on it.
class CheckedDialog : public QDialog {
public:
    explicit CheckedDialog(QWidget* parent);
    void accept() override;
    // The message box; replaceable so that tests need no modal loop.
    std::function<void(const QString&)> m_invalid;

protected:
    QLineEdit* AddInteger(const QString& label, int value);
    // The OK/Cancel buttons under what was added.
    void Finish();
    virtual bool Store() = 0;
    bool Integer(QLineEdit* field, int& out);
    QFormLayout* m_form;
    QVBoxLayout* m_layout;
};

class CDlgKeyFrame final : public CheckedDialog {
public:
    CDlgKeyFrame(int frame, QWidget* parent = nullptr);
    int Frame() const { return m_frameValue; }
    int Choice() const { return m_choice.checkedId(); }
    QLineEdit* m_frame;
    QButtonGroup m_choice;

private:
    bool Store() override { return Integer(m_frame, m_frameValue); }
    int m_frameValue;
};

class CDlgInsert final : public CheckedDialog {
public:
    CDlgInsert(int frame, QWidget* parent = nullptr);
    int After() const { return m_afterValue; }
    int Count() const { return m_countValue; }
    QLineEdit* m_after;
    QLineEdit* m_count;

private:
    bool Store() override { return Integer(m_after, m_afterValue) && Integer(m_count, m_countValue); }
    int m_afterValue, m_countValue = 1;
};

class CDlgDelete final : public CheckedDialog {
public:
    CDlgDelete(int frame, QWidget* parent = nullptr);
    int First() const { return m_firstValue; }
    int Last() const { return m_lastValue; }
    QLineEdit* m_first;
    QLineEdit* m_last;

private:
    bool Store() override { return Integer(m_first, m_firstValue) && Integer(m_last, m_lastValue); }
    int m_firstValue, m_lastValue;
};

// The export options of one format. OK writes the choices into the record;
// Cancel leaves it as it was.
class CDlgSave final : public CheckedDialog {
public:
    CDlgSave(ExportOptions& options, const QString& title, QWidget* parent = nullptr);

    QButtonGroup m_keyType;  // 0 position/rotation/scale, 1 matrix, 2 none
    QLineEdit* m_speed;
    QButtonGroup m_quality;
    QCheckBox* m_uv;
    QButtonGroup m_handedness;
    QCheckBox* m_normals;
    QCheckBox* m_camera;
    QCheckBox* m_light;
    QLineEdit* m_scale;

private:
    bool Store() override;
    ExportOptions& m_options;
};

}  // namespace kinovela::ui
