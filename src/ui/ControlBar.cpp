#include "ui/ControlBar.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPolygonF>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/Numbers.h"
#include "ui/CommandTexts.h"
#include "ui/Dialogs.h"

namespace kinovela::ui {

namespace {

QString Fixed(double v)
{
    // "%f", as the fields have always shown numbers.
    char text[64];
    std::snprintf(text, sizeof text, "%f", v);
    return QString::fromLatin1(text);
}

}  // namespace

const QColor KeySlider::kMarkerColour(255, 170, 0);
const QColor KeySlider::kFaintColour(150, 150, 150);

KeySlider::KeySlider(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setTickPosition(QSlider::NoTicks);  // the key markers are drawn here
}

void KeySlider::ClearTicks()
{
    m_ticks.clear();
    m_faintTicks.clear();
    update();
}

void KeySlider::AddTick(int position)
{
    m_ticks.push_back(position);
    update();
}

void KeySlider::SetKeys(std::vector<int> selected, std::vector<int> any)
{
    m_ticks = std::move(selected);
    m_faintTicks = std::move(any);
    update();
}

int KeySlider::MarkerX(int frame) const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    // Markers sit under the handle's centre at that value.
    return groove.left() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), frame, groove.width() - handle.width());
}

void KeySlider::paintEvent(QPaintEvent* e)
{
    QSlider::paintEvent(e);
    if ((m_ticks.empty() && m_faintTicks.empty()) || maximum() <= minimum()) return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int r = 4;  // half the marker's width
    const int cy = std::min(height() - r - 1, handle.bottom() + r + 2);
    QPainter p(this);
    // Every model's keys: short grey strokes.
    p.setPen(QPen(kFaintColour, 1));
    for (int t : m_faintTicks)
        if (t >= minimum() && t <= maximum()) {
            const int x = MarkerX(t);
            p.drawLine(x, cy - r + 1, x, cy + r - 1);
        }
    // The selected model's keys: diamonds, as animators know them.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(110, 60, 0), 1));
    p.setBrush(kMarkerColour);
    for (int t : m_ticks) {
        if (t < minimum() || t > maximum()) continue;
        const QPointF c(MarkerX(t) + 0.5, cy + 0.5);
        p.drawPolygon(QPolygonF() << c + QPointF(0, -r) << c + QPointF(r, 0) << c + QPointF(0, r) << c + QPointF(-r, 0));
    }
}

ControlBar::ControlBar(CKinoDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc)
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 10, 2);
    grid->setVerticalSpacing(2);
    const char* axes[3] = {"X", "Y", "Z"};
    for (int i = 0; i < 3; ++i) {
        m_axis[i] = new QCheckBox(axes[i], this);
        m_vector[i] = new QLineEdit(this);
        m_vector[i]->setObjectName(QString("vector%1").arg(i));
        m_vector[i]->setFixedWidth(110);
        grid->addWidget(m_axis[i], i, 0);
        grid->addWidget(m_vector[i], i, 1);
        connect(m_axis[i], &QCheckBox::clicked, this, [this, i] { ToggleAxis(i); });
    }

    auto* row = new QHBoxLayout;
    m_current = new QLineEdit(this);
    m_last = new QLineEdit(this);
    m_fps = new QComboBox(this);
    m_current->setObjectName("currentFrame");
    m_last->setObjectName("lastFrame");
    m_fps->setObjectName("framesPerSecond");
    m_current->setFixedWidth(60);
    m_last->setFixedWidth(60);
    m_fps->setEditable(true);
    m_fps->setInsertPolicy(QComboBox::NoInsert);
    m_fps->addItems({"1", "5", "10", "15", "30", "60", "100", "1000"});
    m_fps->setMinimumWidth(110);
    // A caption with a little air before its field, which it names for
    // screen readers.
    const auto caption = [this](const QString& text, QWidget* field) {
        auto* label = new QLabel(text, this);
        label->setContentsMargins(0, 0, 4, 0);
        label->setBuddy(field);
        return label;
    };
    row->addWidget(caption(Tr("ControlBar", "現在のﾌﾚｰﾑ"), m_current));
    row->addWidget(m_current);
    m_keyMark = new QLabel(QString::fromUtf8(kCurrentKeyMark), this);
    m_keyMark->setObjectName("currentKeyMark");
    m_keyMark->setToolTip(Tr("Texts", kCurrentKeyTip));
    m_keyMark->setStyleSheet(QString("color: %1; font-weight: bold;").arg(KeySlider::kMarkerColour.name()));
    QSizePolicy keep = m_keyMark->sizePolicy();
    keep.setRetainSizeWhenHidden(true);  // the row does not jump as it comes and goes
    m_keyMark->setSizePolicy(keep);
    m_keyMark->hide();
    row->addWidget(m_keyMark);
    row->addSpacing(12);
    row->addWidget(caption(Tr("ControlBar", "最後のﾌﾚｰﾑ"), m_last));
    row->addWidget(m_last);
    row->addSpacing(12);
    row->addWidget(caption(Tr("ControlBar", "1秒間のﾌﾚｰﾑ数"), m_fps));
    row->addWidget(m_fps);
    row->addStretch(1);
    grid->addLayout(row, 0, 2);

    m_slider = new KeySlider(this);
    m_slider->setObjectName("frameSlider");
    m_slider->setRange(0, doc.Timeline().m_last);
    m_sliderBox = new QVBoxLayout;
    m_sliderBox->setContentsMargins(0, 0, 0, 0);
    m_sliderBox->addWidget(m_slider);
    grid->addLayout(m_sliderBox, 1, 2, 2, 1);
    PlaceSlider();
    grid->setColumnStretch(2, 1);
    connect(m_slider, &QSlider::valueChanged, this, [this] { SliderNotification(); });

    m_showMessage = [this](const QString& text) { QMessageBox::warning(this, "Kinovela", text); };
    for (QLineEdit* e : {m_vector[0], m_vector[1], m_vector[2], m_current, m_last}) {
        e->installEventFilter(this);
        // Enter leaves the field, which is what tells the document. Text
        // that does not read is refused as a dialog refuses it: the message,
        // and the field keeps the focus with its text selected.
        connect(e, &QLineEdit::returnPressed, this, [this, e] {
            if (const char* refusal = Refusal(e)) {
                m_refusedField = e;
                m_refusedText = e->text();
                {
                    const CommitHold hold(*this);  // the box takes the focus: not a leave
                    Refuse(refusal);
                }
                e->setFocus(Qt::OtherFocusReason);
                e->selectAll();
                return;
            }
            if (m_focusAfterEnter)
                m_focusAfterEnter->setFocus(Qt::OtherFocusReason);
            else
                e->clearFocus();
        });
    }
    connect(m_fps, &QComboBox::activated, this, [this] { m_doc.OnFpsChanged(); });

    // The frame starts at 30 frames per second, and with all three axis
    // switches on.
    m_fps->setEditText("30");
    CKinovela& s = doc.Scene();
    s.m_axisX = s.m_axisY = s.m_axisZ = false;
    for (int i = 0; i < 3; ++i) ToggleAxis(i);
    m_current->setText("0");
    m_last->setText(QString::number(doc.Timeline().m_last));
}

bool ControlBar::eventFilter(QObject* watched, QEvent* e)
{
    // A menu opening takes the focus only for a moment: that is not the user
    // leaving the field, and must not record an undo step or a change.
    if (e->type() == QEvent::FocusOut && static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason &&
        m_commitHolds == 0) {
        const auto* field = qobject_cast<const QLineEdit*>(watched);
        if (const char* refusal = field ? Refusal(field) : nullptr) {
            // Left with text that does not read: nothing is committed, the
            // field shows the scene's value again, and the user is told
            // once the focus has settled.
            const bool told = field == m_refusedField && field->text() == m_refusedText;
            Restore(field);
            if (!told) QTimer::singleShot(0, this, [this, refusal] { Refuse(refusal); });
        } else if (watched == m_current) {
            m_doc.OnCurrentFrameEditLeft();
        } else if (watched == m_last) {
            m_doc.OnLastFrameEditLeft();
        } else if (watched == m_vector[0] || watched == m_vector[1] || watched == m_vector[2]) {
            m_doc.OnVectorEditLeft();
            // Typed "45" shows as "45.000000", like every other value.
            ShowVector(ShownVector());
        }
    }
    return QWidget::eventFilter(watched, e);
}

void ControlBar::ToggleAxis(int axis)
{
    CKinovela& s = m_doc.Scene();
    bool* flags[3] = {&s.m_axisX, &s.m_axisY, &s.m_axisZ};
    *flags[axis] = !*flags[axis];
    m_axis[axis]->setChecked(*flags[axis]);
}

void ControlBar::SliderNotification()
{
    CTimeline& t = m_doc.Timeline();
    t.m_current = m_slider->value();
    m_current->setText(QString::number(t.m_current));
    if (m_invalidate) m_invalidate();
    ShowVector(ShownVector());
    ShowCurrentKey();
}

CVector ControlBar::ShownVector() const
{
    const CTimeline& t = m_doc.Timeline();
    const CKinovela& s = m_doc.Scene();
    const int mode = m_doc.m_transformMode;
    return mode == 1 ? s.GetRotation(t) : mode == 2 ? s.GetScale(t) : s.GetPosition(t);
}

const char* ControlBar::Refusal(const QLineEdit* field) const
{
    if (field == m_current || field == m_last) return ReadInteger(field->text()) ? nullptr : kNotAnInteger;
    if (field == m_vector[0] || field == m_vector[1] || field == m_vector[2])
        return ReadNumber(field->text()) ? nullptr : kNotANumber;
    return nullptr;
}

void ControlBar::Restore(const QLineEdit* field)
{
    const CTimeline& t = m_doc.Timeline();
    if (field == m_current)
        m_current->setText(QString::number(t.m_current));
    else if (field == m_last)
        m_last->setText(QString::number(t.m_last));
    else
        ShowVector(ShownVector());
}

void ControlBar::Refuse(const char* message)
{
    if (m_showMessage) m_showMessage(Tr("Dialogs", message));
}

void ControlBar::ShowCurrentKey()
{
    const CKinovela& s = m_doc.Scene();
    const int frame = m_doc.Timeline().m_current;
    const CModel* m = s.HasSelection() ? &s.m_models[static_cast<std::size_t>(s.m_selected)] : nullptr;
    m_keyMark->setVisible(m && m->HasFrame(frame) && m->m_frames[static_cast<std::size_t>(frame)].m_key == 1);
}

void ControlBar::ShowVector(const CVector& v)
{
    m_vector[0]->setText(Fixed(v.m_x));
    m_vector[1]->setText(Fixed(v.m_y));
    m_vector[2]->setText(Fixed(v.m_z));
}

CVector ControlBar::ReadVector()
{
    auto read = [](const QLineEdit* e) { return static_cast<float>(ParseAtof(e->text().toStdString())); };
    return {read(m_vector[0]), read(m_vector[1]), read(m_vector[2])};
}

void ControlBar::ShowFrameSettings()
{
    const CTimeline& t = m_doc.Timeline();
    m_last->setText(QString::number(t.m_last));
    {
        const QSignalBlocker once(m_slider);  // one notification below
        m_slider->setValue(0);
    }
    SliderNotification();
    m_slider->ClearTicks();
    m_slider->setMaximum(t.m_last);
    m_fps->setEditText(Fixed(t.m_fps));
}

void ControlBar::ShowCurrentFrame(int frame)
{
    m_current->setText(QString::number(frame));
    {
        const QSignalBlocker once(m_slider);
        m_slider->setValue(frame);
    }
    // The slider clamps to its range, and the frame follows the slider even
    // when its position did not change: one notification either way.
    SliderNotification();
}

void ControlBar::ReadCurrentFrame()
{
    {
        const QSignalBlocker once(m_slider);
        m_slider->setValue(ParseAtoi(m_current->text().toStdString()));
    }
    SliderNotification();
}

void ControlBar::ShowKeyMarks()
{
    const CKinovela& s = m_doc.Scene();
    const int last = m_doc.Timeline().m_last;
    std::vector<int> selected, any;
    // Frames past the last one are never drawn; a per-frame flag gathers
    // every model's keys without sorting.
    std::vector<char> keyed(static_cast<std::size_t>(std::max(last, 0)) + 1, 0);
    for (const CModel& m : s.m_models)
        for (std::size_t f = 0; f < m.m_frames.size() && f < keyed.size(); ++f)
            if (m.m_frames[f].m_key) keyed[f] = 1;
    for (std::size_t f = 0; f < keyed.size(); ++f)
        if (keyed[f]) any.push_back(static_cast<int>(f));
    if (s.HasSelection()) {
        const CModel& m = s.m_models[static_cast<std::size_t>(s.m_selected)];
        for (std::size_t i = 0; i < m.m_frames.size(); ++i)
            if (m.m_frames[i].m_key) selected.push_back(static_cast<int>(i));
    }
    m_slider->SetKeys(std::move(selected), std::move(any));
    ShowCurrentKey();
}

void ControlBar::ApplyLastFrame()
{
    CTimeline& t = m_doc.Timeline();
    const int position = m_slider->value();
    const int v = ParseAtoi(m_last->text().toStdString());
    m_doc.Scene().SetLastFrame(t, v);
    // Past the frame limit is refused like a negative number, so the field
    // never shows a range the scene does not have.
    if (v < 0 || v > kMaxLastFrame) {
        m_last->setText(QString::number(t.m_prevLast));
        return;
    }
    // The slider keeps its place, clamped to the new end, and the frame
    // follows it as it follows every slider change.
    {
        const QSignalBlocker once(m_slider);
        m_slider->setMaximum(t.m_last);
        m_slider->setValue(std::min(position, t.m_last));
    }
    SliderNotification();
}

void ControlBar::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    // A resize re-shows the last frame and the slider's range, but leaves
    // the field alone while it is being typed in, or the typing would be lost.
    const CTimeline& t = m_doc.Timeline();
    if (!m_last->hasFocus()) m_last->setText(QString::number(t.m_last));
    m_slider->setMaximum(t.m_last);
    PlaceSlider();
}

void ControlBar::PlaceSlider()
{
    // The English labels need a little more room above the slider, which
    // then also grows a little; the language is the one in use now, not
    // the one the bar was made in.
    const bool english = m_doc.Scene().m_language == "English";
    const int gap = english ? kEnglishSliderGap : 0;
    const int height = english ? kEnglishSliderHeight : kSliderHeight;
    if (m_sliderBox->contentsMargins().top() != gap) m_sliderBox->setContentsMargins(0, gap, 0, 0);
    m_slider->setMinimumHeight(height);
}

float ControlBar::ReadFrameRate(bool fromSelection)
{
    QString text;
    if (!fromSelection)
        text = m_fps->currentText();
    else if (m_fps->currentIndex() >= 0)
        text = m_fps->itemText(m_fps->currentIndex());
    return SaneFrameRate(static_cast<float>(ParseAtof(text.toStdString())));
}

void ControlBar::ShowFrameRate(float fps)
{
    if (static_cast<float>(ParseAtof(m_fps->currentText().toStdString())) != fps) m_fps->setEditText(Fixed(fps));
}

void ControlBar::ShowRate(const std::string& text)
{
    if (m_showRate) m_showRate(QString::fromStdString(text));
}

void ControlBar::ShowNote(const std::string& text)
{
    if (m_showNote) m_showNote(QString::fromStdString(text));
}

}  // namespace kinovela::ui
