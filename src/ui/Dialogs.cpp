#include "ui/Dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace kinovela::ui {

std::optional<int> ReadInteger(const QString& text)
{
    const std::string s = text.trimmed().toStdString();
    // from_chars takes a minus but not a plus; skip the plus only when a
    // digit follows, or "+-5" would pass.
    const std::size_t start = s.size() > 1 && s[0] == '+' && s[1] >= '0' && s[1] <= '9' ? 1 : 0;
    int value = 0;
    const auto [end, ec] = std::from_chars(s.data() + start, s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

std::optional<float> ReadNumber(const QString& text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > std::numeric_limits<float>::max()) return std::nullopt;
    return static_cast<float>(v);
}

CheckedDialog::CheckedDialog(QWidget* parent) : QDialog(parent)
{
    m_layout = new QVBoxLayout(this);
    m_form = new QFormLayout;
    m_layout->addLayout(m_form);
    m_showMessage = [this](const QString& text) { QMessageBox::warning(this, "Kinovela", text); };
}

QLineEdit* CheckedDialog::AddInteger(const QString& label, int value)
{
    auto* field = new QLineEdit(QString::number(value), this);
    // The first field has the focus when the dialog opens; typing replaces
    // the starting value, as it does in the other editors of the platform.
    if (m_form->rowCount() == 0) field->selectAll();
    m_form->addRow(label, field);
    return field;
}

void CheckedDialog::Finish()
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_layout->addWidget(buttons);
}

bool CheckedDialog::Refuse(QLineEdit* field, const char* message)
{
    m_showMessage(Tr("Dialogs", message));
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    return false;
}

bool CheckedDialog::Integer(QLineEdit* field, int& out)
{
    const std::optional<int> v = ReadInteger(field->text());
    if (!v) return Refuse(field, kNotAnInteger);
    out = *v;
    return true;
}

void CheckedDialog::accept()
{
    if (Store()) QDialog::accept();
}

CDlgKeyFrame::CDlgKeyFrame(int frame, QWidget* parent) : CheckedDialog(parent), m_frameValue(frame)
{
    setWindowTitle(Tr("Dialogs", "ﾓﾃﾞﾙのｷｰﾌﾚｰﾑの追加・削除"));
    m_frame = AddInteger(Tr("Dialogs", "ﾌﾚｰﾑ"), frame);
    const char* captions[4] = {
        QT_TRANSLATE_NOOP("Dialogs", "選択中のﾓﾃﾞﾙのｷｰﾌﾚｰﾑを追加"), QT_TRANSLATE_NOOP("Dialogs", "全てのﾓﾃﾞﾙのｷｰﾌﾚｰﾑを追加"),
        QT_TRANSLATE_NOOP("Dialogs", "選択中のﾓﾃﾞﾙのｷｰﾌﾚｰﾑを削除"), QT_TRANSLATE_NOOP("Dialogs", "全てのﾓﾃﾞﾙのｷｰﾌﾚｰﾑを削除")};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QRadioButton(Tr("Dialogs", captions[i]), this);
        m_choice.addButton(b, i);
        m_layout->addWidget(b);
    }
    m_choice.button(0)->setChecked(true);
    Finish();
}

CDlgInsert::CDlgInsert(int frame, QWidget* parent) : CheckedDialog(parent), m_afterValue(frame)
{
    setWindowTitle(Tr("Dialogs", "ﾌﾚｰﾑの挿入"));
    m_after = AddInteger(Tr("Dialogs", "ﾌﾚｰﾑ目の後ろに"), frame);
    m_count = AddInteger(Tr("Dialogs", "ﾌﾚｰﾑ追加"), 1);
    Finish();
}

CDlgDelete::CDlgDelete(int frame, QWidget* parent) : CheckedDialog(parent), m_firstValue(frame), m_lastValue(frame)
{
    setWindowTitle(Tr("Dialogs", "ﾌﾚｰﾑの削除"));
    m_first = AddInteger(Tr("Dialogs", "始点"), frame);
    m_last = AddInteger(Tr("Dialogs", "終点"), frame);
    Finish();
}

namespace {

QGroupBox* Group(QWidget* parent, const char* title, QLayout* inner)
{
    auto* g = new QGroupBox(Tr("Dialogs", title), parent);
    g->setLayout(inner);
    return g;
}

// The shortest text that reads back as the same float, so that OK on an
// untouched dialog leaves the scale exactly as it was.
QString FloatText(float v)
{
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return ec == std::errc() ? QString::fromLatin1(buffer, static_cast<int>(end - buffer)) : QString::number(v);
}

}  // namespace

CDlgSave::CDlgSave(ExportOptions& options, const QString& title, QWidget* parent)
    : CheckedDialog(parent), m_options(options)
{
    setWindowTitle(title);
    auto radios = [this](QButtonGroup& group, std::initializer_list<const char*> captions, int value) {
        auto* box = new QHBoxLayout;
        int id = 0;
        for (const char* c : captions) {
            auto* b = new QRadioButton(Tr("Dialogs", c), this);
            group.addButton(b, id++);
            box->addWidget(b);
        }
        if (QAbstractButton* b = group.button(value)) b->setChecked(true);
        return box;
    };
    auto check = [this](int value) {
        auto* c = new QCheckBox(Tr("Dialogs", "書き出す"), this);
        c->setChecked(value != 0);
        return c;
    };
    auto single = [](QWidget* w) {
        auto* box = new QHBoxLayout;
        box->addWidget(w);
        return box;
    };

    m_layout->addWidget(Group(this, QT_TRANSLATE_NOOP("Dialogs", "ｱﾆﾒｰｼｮﾝｷｰ"),
                              radios(m_keyType,
                                     {QT_TRANSLATE_NOOP("Dialogs", "移動・回転・ｽｹｰﾙ"),
                                      QT_TRANSLATE_NOOP("Dialogs", "行列"), QT_TRANSLATE_NOOP("Dialogs", "なし")},
                                     options.keyType)));
    m_speed = new QLineEdit(QString::number(options.speed), this);
    auto* speed = new QHBoxLayout;
    speed->addWidget(new QLabel(Tr("Dialogs", "1ﾌﾚｰﾑを"), this));
    speed->addWidget(m_speed);
    // "倍" reads after the speed as after the scale; other languages may
    // need two words.
    speed->addWidget(new QLabel(Tr("Dialogs", "倍", "speed"), this));
    m_layout->addWidget(Group(this, QT_TRANSLATE_NOOP("Dialogs", "ｱﾆﾒｰｼｮﾝ速度"), speed));
    m_layout->addWidget(Group(this, QT_TRANSLATE_NOOP("Dialogs", "ﾃｸｽﾁｬのｸｵﾘﾃｨ"),
                              radios(m_quality,
                                     {QT_TRANSLATE_NOOP("Dialogs", "標準(ｻｲｽﾞ小)"),
                                      QT_TRANSLATE_NOOP("Dialogs", "高画質ﾃｸｽﾁｬ(ｻｲｽﾞ大)")},
                                     options.textureQuality)));
    m_uv = new QCheckBox(Tr("Dialogs", "UV座標"), this);
    m_uv->setChecked(options.textureCoords != 0);
    m_layout->addWidget(m_uv);
    m_layout->addWidget(Group(this, QT_TRANSLATE_NOOP("Dialogs", "座標系"),
                              radios(m_handedness,
                                     {QT_TRANSLATE_NOOP("Dialogs", "左手座標系"),
                                      QT_TRANSLATE_NOOP("Dialogs", "右手座標系")},
                                     options.coordinateSystem)));
    m_normals = check(options.normals);
    m_camera = check(options.camera);
    m_light = check(options.light);
    m_layout->addWidget(Group(this, QT_TRANSLATE_NOOP("Dialogs", "法線"), single(m_normals)));
    m_layout->addWidget(Group(this, QT_TRANSLATE_NOOP("Dialogs", "ｶﾒﾗ"), single(m_camera)));
    m_layout->addWidget(Group(this, QT_TRANSLATE_NOOP("Dialogs", "ﾗｲﾄ"), single(m_light)));
    m_scale = new QLineEdit(FloatText(options.scale), this);
    auto* scale = new QHBoxLayout;
    scale->addWidget(new QLabel(Tr("Dialogs", "ｽｹｰﾙ"), this));
    scale->addWidget(m_scale);
    scale->addWidget(new QLabel(Tr("Dialogs", "倍", "scale"), this));
    m_layout->addLayout(scale);
    // Choices only glTF has are shown only for glTF.
    if (options.everyFrameAvailability != -2) {
        m_layout->addWidget(Group(this, QT_TRANSLATE_NOOP("Dialogs", "ｻﾝﾌﾟﾘﾝｸﾞ"),
                                  radios(m_sampling,
                                         {QT_TRANSLATE_NOOP("Dialogs", "ｷｰﾌﾚｰﾑ"),
                                          QT_TRANSLATE_NOOP("Dialogs", "全ﾌﾚｰﾑ")},
                                         options.everyFrame)));
        if (options.everyFrameAvailability == -1)
            for (QAbstractButton* b : m_sampling.buttons()) b->setEnabled(false);
    }
    if (options.embedTexturesAvailability != -2) {
        m_embed = new QCheckBox(Tr("Dialogs", "ﾃｸｽﾁｬを埋め込む"), this);
        m_embed->setChecked(options.embedTextures != 0);
        m_embed->setEnabled(options.embedTexturesAvailability != -1);
        m_layout->addWidget(m_embed);
    }

    if (options.keyTypeAvailability == -2) {
        m_keyType.button(0)->setEnabled(false);
        m_keyType.button(2)->setEnabled(false);
    } else if (options.keyTypeAvailability == -1) {
        m_keyType.button(1)->setEnabled(false);
    }
    if (options.speed == 0) m_speed->setReadOnly(true);
    if (options.textureQualityAvailability == -1)
        for (QAbstractButton* b : m_quality.buttons()) b->setEnabled(false);
    if (options.textureCoordsAvailability == -1) m_uv->setEnabled(false);
    if (options.coordinateSystemAvailability < 0)
        for (QAbstractButton* b : m_handedness.buttons()) b->setEnabled(false);
    // These writers always emit normals: the box says so and cannot be cleared.
    if (options.normalsAvailability == -1) {
        m_normals->setEnabled(false);
        m_normals->setChecked(true);
    }
    if (options.cameraAvailability == -1) m_camera->setEnabled(false);
    if (options.lightAvailability == -1) m_light->setEnabled(false);
    Finish();
}

bool CDlgSave::Store()
{
    // Both numbers are checked before anything is written, so a refused OK
    // leaves the record as it was.
    int speed = 0;
    if (!Integer(m_speed, speed)) return false;
    const std::optional<float> scale = ReadNumber(m_scale->text());
    if (!scale) return Refuse(m_scale, kNotANumber);
    m_options.keyType = m_keyType.checkedId() < 0 ? m_options.keyType : m_keyType.checkedId();
    m_options.speed = speed;
    m_options.textureQuality = m_quality.checkedId() < 0 ? m_options.textureQuality : m_quality.checkedId();
    m_options.textureCoords = m_uv->isChecked() ? 1 : 0;
    m_options.normals = m_normals->isChecked() ? 1 : 0;
    m_options.camera = m_camera->isChecked() ? 1 : 0;
    m_options.light = m_light->isChecked() ? 1 : 0;
    m_options.scale = *scale;
    m_options.coordinateSystem =
        m_handedness.checkedId() < 0 ? m_options.coordinateSystem : m_handedness.checkedId();
    if (m_sampling.checkedId() >= 0) m_options.everyFrame = m_sampling.checkedId();
    if (m_embed) m_options.embedTextures = m_embed->isChecked() ? 1 : 0;
    return true;
}

}  // namespace kinovela::ui
