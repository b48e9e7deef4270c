// The main window's bars, commands and drops, driven through real key,
// mouse and drop events. Runs under a virtual display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestUtil.h"
#include "document/CommandIds.h"
#include "ui/CommandTexts.h"
#include "gui/WindowFixture.h"

namespace kinovela {
namespace {

using test::kSample;

class Window : public test::WindowFixture {
protected:
    ui::ControlBar& Bar() { return *window->Controls(); }
    // Types into a field and leaves it with Enter, as a user does.
    void Type(QLineEdit* field, const QString& text)
    {
        field->setFocus(Qt::MouseFocusReason);
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
        QTest::qWait(10);
    }
    void Key(QKeyCombination key) { QTest::keySequence(window.get(), QKeySequence(key)); }
    void Drop(const QStringList& paths) { window->DropFiles(paths); }

};

TEST_F(Window, TheLastAndCurrentFrameFieldsKeepTheRangeSound)
{
    // A negative last frame is refused and the field shows the old one.
    Type(Bar().m_last, "-5");
    EXPECT_EQ(t.m_last, 60);
    EXPECT_EQ(Bar().m_last->text(), "60");

    // A current frame past the end stops at the end.
    Type(Bar().m_current, "100");
    EXPECT_EQ(t.m_current, 60);
    EXPECT_EQ(Bar().m_current->text(), "60");
    EXPECT_EQ(Bar().m_slider->value(), 60);

    // Lowering the last frame below the slider moves the slider, and the
    // frame with it, to the new end, as one more step of the history.
    Type(Bar().m_current, "30");
    scene.m_selected = 0;
    doc.OnAddKey(false);
    ASSERT_EQ(scene.m_undo.Size(), 1u);
    EXPECT_EQ(Bar().m_slider->Ticks(), (std::vector<int>{0, 30}));
    Type(Bar().m_last, "20");
    EXPECT_EQ(t.m_last, 20);
    EXPECT_EQ(scene.m_undo.Size(), 2u);
    EXPECT_EQ(Bar().m_slider->maximum(), 20);
    EXPECT_EQ(Bar().m_slider->value(), 20);
    EXPECT_EQ(t.m_current, 20);
    EXPECT_EQ(Bar().m_current->text(), "20");
    EXPECT_TRUE(doc.IsModified());

    // Above the new end the slider keeps its place; the frame stays there.
    Type(Bar().m_current, "5");
    doc.OnAddKey(false);
    Type(Bar().m_last, "12");
    EXPECT_EQ(Bar().m_slider->value(), 5);
    EXPECT_EQ(t.m_current, 5);
    EXPECT_EQ(scene.m_undo.Size(), 4u);
    EXPECT_EQ(Bar().m_slider->Ticks(), (std::vector<int>{0, 5}));

    // A resize shows the last frame again, unless it is being typed.
    Bar().m_last->setText("7");
    Bar().resize(Bar().width() + 40, Bar().height());
    QApplication::processEvents();
    EXPECT_EQ(Bar().m_last->text(), "12");
    Bar().m_last->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(Bar().m_last, "9");
    Bar().resize(Bar().width() - 40, Bar().height());
    QApplication::processEvents();
    EXPECT_EQ(Bar().m_last->text(), "129");
    QTest::keyClick(Bar().m_last, Qt::Key_Backspace);
    QTest::keyClick(Bar().m_last, Qt::Key_Return);
    QTest::qWait(10);

    // The slider moves the frame, the field and the X/Y/Z fields with it.
    Bar().m_slider->setFocus();
    QTest::keyClick(Bar().m_slider, Qt::Key_End);
    EXPECT_EQ(t.m_current, 12);
    EXPECT_EQ(Bar().m_current->text(), "12");
    EXPECT_EQ(Bar().m_vector[0]->text().toStdString(),
              std::to_string(scene.m_models[0].m_frames[12].m_position.m_x));
}

TEST_F(Window, TypedValuesPoseTheSelectedModelWithAnUndoStep)
{
    scene.m_selected = 2;
    Key(Qt::CTRL | Qt::Key_R);  // rotate
    EXPECT_EQ(doc.m_transformMode, 1);
    EXPECT_TRUE(window->Action(ID_MODE_ROTATE)->isChecked());
    Type(Bar().m_vector[2], "45");
    test::ExpectNear(scene.GetRotation(t), {0, 0, 45});
    EXPECT_EQ(scene.m_undo.Size(), 1u);
    Key(Qt::CTRL | Qt::Key_Z);
    test::ExpectNear(scene.GetRotation(t), {0, 0, 0});
}

TEST_F(Window, ChoosingARateWhilePlayingRestartsTheTimer)
{
    Key(Qt::CTRL | Qt::Key_B);
    ASSERT_EQ(t.m_playing, 1);
    EXPECT_EQ(window->View()->TimerInterval(), 33);
    QComboBox* fps = Bar().m_fps;
    fps->setFocus();
    // Down through the list to its last entry, "1000".
    for (int i = fps->currentIndex(); i < fps->count() - 1; ++i) QTest::keyClick(fps, Qt::Key_Down);
    ASSERT_EQ(fps->currentText(), "1000");
    EXPECT_EQ(window->View()->TimerInterval(), 1);
    EXPECT_EQ(t.m_playing, 1);
    Key(Qt::CTRL | Qt::Key_D);
    EXPECT_EQ(window->View()->TimerInterval(), -1);
    EXPECT_EQ(t.m_playing, 0);
}

TEST_F(Window, DropsAddModelsUntilASceneFileOpens)
{
    test::TempDir dir;
    const std::string kvl = dir.File("scene.kvl");
    ASSERT_TRUE(doc.OnSaveDocument(kvl).ok);
    const std::size_t models = scene.m_models.size();
    int asked = 0;
    window->m_askToSave = [&](const QString&) {
        ++asked;
        return QMessageBox::Cancel;
    };

    Drop({kSample, kSample});
    EXPECT_EQ(scene.m_models.size(), 3 * models);
    EXPECT_TRUE(doc.IsModified());
    // The scene file replaces the scene, without a question, and ends the drop.
    Drop({QString::fromStdString(kvl), kSample});
    EXPECT_EQ(scene.m_models.size(), models);
    EXPECT_EQ(doc.PathName(), kvl);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(asked, 0);
}

TEST_F(Window, CommandsFollowTheDocumentsState)
{
    scene.m_selected = kNoModel;
    window->UpdateActions();
    EXPECT_FALSE(window->Action(ID_KEY_ADD)->isEnabled());
    EXPECT_FALSE(window->Action(ID_EDIT_UNDO)->isEnabled());
    EXPECT_FALSE(window->RunCommand(ID_COPY_ANIMATION));
    scene.m_selected = 1;
    window->UpdateActions();
    EXPECT_TRUE(window->Action(ID_KEY_ADD)->isEnabled());

    // No Direct3D here: the message, and OpenGL stays chosen.
    EXPECT_TRUE(window->RunCommand(ui::ID_RENDER_DIRECTX));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QString::fromUtf8(ui::kNoDirect3D));
    EXPECT_TRUE(window->Action(ui::ID_RENDER_OPENGL)->isChecked());
    EXPECT_FALSE(window->Action(ui::ID_RENDER_DIRECTX)->isChecked());
    EXPECT_EQ(window->RendererMode(), 0);

    // The axis switches start on; a click turns one off.
    EXPECT_TRUE(scene.m_axisX && scene.m_axisY && scene.m_axisZ);
    QTest::mouseClick(Bar().m_axis[1], Qt::LeftButton);
    EXPECT_FALSE(scene.m_axisY);
    EXPECT_FALSE(Bar().m_axis[1]->isChecked());

    // The menus in order, and a shortcut from a caption.
    QStringList titles;
    for (QAction* a : window->menuBar()->actions()) titles << a->text();
    EXPECT_EQ(titles.join(" ").toStdString(), "ﾌｧｲﾙ(&F) 編集(&E) 操作(&O) 変形(&T) 制御(&C) 設定(&S) 表示(&V) ﾍﾙﾌﾟ(&H)");
    EXPECT_EQ(window->Action(ID_MODE_MOVE)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));
    EXPECT_EQ(window->Action(ID_INSERT_FRAMES)->shortcut(), QKeySequence(Qt::ALT | Qt::Key_R));
    // The playback tool bar's buttons in order.
    std::vector<int> ids;
    for (QAction* a : window->ControlToolBar()->actions()) ids.push_back(a->isSeparator() ? 0 : a->data().toInt());
    EXPECT_EQ(ids, (std::vector<int>{ID_FIRST_FRAME, ID_PREV_KEY, ID_PREV_FRAME, ID_STOP, ID_PLAY, ID_NEXT_FRAME,
                                     ID_NEXT_KEY, ID_LAST_FRAME, 0, ID_KEY_DIALOG, ID_KEY_ADD, ID_KEY_ADD_ALL,
                                     ID_KEY_DELETE, ID_KEY_DELETE_ALL, ID_AUTO_KEY, 0, ID_INSERT_FRAMES,
                                     ID_DELETE_FRAMES}));
    for (int id : ids) {
        if (id != 0) {
            EXPECT_FALSE(window->Action(id)->icon().isNull()) << id;
        }
    }
}

TEST_F(Window, UnsavedChangesAreNotThrownAwayWithoutAsking)
{
    doc.SetModified(true);
    int asked = 0;
    window->m_askToSave = [&](const QString&) {
        ++asked;
        return QMessageBox::Cancel;
    };
    const std::size_t models = scene.m_models.size();
    Key(Qt::CTRL | Qt::Key_N);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(scene.m_models.size(), models);
    // Save as an export: the scene itself is still unsaved, so New stops.
    test::TempDir dir;
    window->m_askToSave = [&](const QString&) {
        ++asked;
        return QMessageBox::Yes;
    };
    window->m_chooseSavePath = [] { return QString(); };  // cancelled
    Key(Qt::CTRL | Qt::Key_N);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(scene.m_models.size(), models);
    window->m_askToSave = [&](const QString&) { return QMessageBox::No; };
    Key(Qt::CTRL | Qt::Key_N);
    EXPECT_TRUE(scene.m_models.empty());
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(Window, FieldsCommitOnlyWhenLeftAndCommandKeysStillWork)
{
    scene.m_selected = 2;
    // A frame limit past the maximum is refused like a negative one.
    Type(Bar().m_last, "2000000");
    EXPECT_EQ(t.m_last, 60);
    EXPECT_EQ(Bar().m_last->text(), "60");

    // The first New of the run resets the bars like any later one, so the
    // slider cannot run past the new scene's frames.
    Type(Bar().m_last, "200");
    ASSERT_EQ(Bar().m_slider->maximum(), 200);
    window->m_askToSave = [](const QString&) { return QMessageBox::No; };
    Key(Qt::CTRL | Qt::Key_N);
    EXPECT_EQ(t.m_last, 60);
    EXPECT_EQ(Bar().m_slider->maximum(), 60);
    EXPECT_EQ(Bar().m_last->text(), "60");
    window->OpenFile(kSample);
    scene.m_selected = 2;

    // Opening a menu from a field is not leaving it: no undo step.
    Type(Bar().m_vector[0], "3");
    ASSERT_EQ(scene.m_undo.Size(), 1u);
    ASSERT_EQ(scene.GetPosition(t).m_x, 3.0f);
    Bar().m_vector[0]->setFocus(Qt::MouseFocusReason);
    QMenu* edit = window->menuBar()->actions().at(1)->menu();
    QTimer::singleShot(100, edit, [edit] { edit->close(); });
    edit->exec(window->mapToGlobal(QPoint(40, 40)));
    QTest::qWait(20);
    EXPECT_EQ(scene.m_undo.Size(), 1u);

    // Ctrl+Z in a field undoes the scene's last step, not the field's typing.
    QTest::keyClick(Bar().m_vector[0], Qt::Key_Z, Qt::ControlModifier);
    QTest::qWait(20);
    EXPECT_NE(scene.GetPosition(t).m_x, 3.0f);
    EXPECT_TRUE(window->Action(ID_EDIT_REDO)->isEnabled());
    // A Ctrl key with no command still reaches the field.
    Bar().m_vector[1]->setFocus(Qt::MouseFocusReason);
    Bar().m_vector[1]->setText("12.5");
    Bar().m_vector[1]->setCursorPosition(4);
    QTest::keyClick(Bar().m_vector[1], Qt::Key_Left, Qt::ControlModifier);
    EXPECT_LT(Bar().m_vector[1]->cursorPosition(), 4);
}

TEST_F(Window, DocumentWorkKeepsTheBarsInStep)
{
    // A scene file with a key at 40 and a texture that is not there.
    test::TempDir dir;
    const std::string kvl = dir.File("scene.kvl");
    scene.m_selected = 2;
    Type(Bar().m_current, "40");
    doc.OnAddKey(false);
    ASSERT_FALSE(scene.m_materials.empty());
    scene.m_materials[0].m_texture = "not_there.bmp";
    ASSERT_TRUE(doc.OnSaveDocument(kvl).ok);

    // The missing-texture box opens while the file is being taken in. It
    // takes the focus from a field being typed in, and that half-typed
    // last frame must not cut the opened scene.
    QTest::mouseClick(Bar().m_axis[0], Qt::LeftButton);
    ASSERT_FALSE(scene.m_axisX);
    window->m_showMessage = [&](const QString& text) {
        messages << text;
        QDialog box(window.get());
        QTimer::singleShot(0, &box, [&box] { box.activateWindow(); });
        QTimer::singleShot(150, &box, &QDialog::accept);
        box.exec();
    };
    Bar().m_last->setFocus(Qt::MouseFocusReason);
    Bar().m_last->selectAll();
    QTest::keyClicks(Bar().m_last, "10");
    window->OpenFile(QString::fromStdString(kvl));
    QTest::qWait(50);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(t.m_last, 60);
    EXPECT_EQ(Bar().m_last->text(), "60");
    ASSERT_EQ(scene.m_models[2].m_frames.size(), 61u);
    EXPECT_TRUE(scene.m_models[2].m_frames[40].m_key);
    EXPECT_FALSE(doc.IsModified());
    // With no window manager, nothing gives the window back its activation.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    // The X switch is the window's: it stays as the user set it.
    EXPECT_FALSE(scene.m_axisX);
    EXPECT_FALSE(Bar().m_axis[0]->isChecked());

    // Pasting an animation shows its keys on the slider.
    scene.m_selected = 2;
    doc.UpdateAllViews(kHintSelection);
    window->Action(ID_COPY_ANIMATION)->trigger();
    scene.m_selected = 1;
    doc.UpdateAllViews(kHintSelection);
    EXPECT_EQ(Bar().m_slider->Ticks(), (std::vector<int>{0}));
    window->Action(ID_PASTE_ANIMATION)->trigger();
    EXPECT_EQ(Bar().m_slider->Ticks(), (std::vector<int>{0, 40}));

    // New while playing stops the timer with the document.
    Key(Qt::CTRL | Qt::Key_B);
    QTest::qWait(100);
    ASSERT_EQ(t.m_playing, 1);
    window->m_askToSave = [](const QString&) { return QMessageBox::No; };
    Key(Qt::CTRL | Qt::Key_N);
    QTest::qWait(150);
    EXPECT_EQ(t.m_playing, 0);
    EXPECT_EQ(t.m_current, 0);

    // Closing the window while a field is being typed in commits nothing
    // into the document the window is leaving.
    Bar().m_last->setFocus(Qt::MouseFocusReason);
    Bar().m_last->selectAll();
    QTest::keyClicks(Bar().m_last, "10");
    window.reset();
    EXPECT_EQ(t.m_last, 60);
}

TEST_F(Window, SaveFailuresAreShownOnce)
{
    window->m_chooseSavePath = [] { return QString("/no/such/folder/scene.kvl"); };
    Key(Qt::CTRL | Qt::Key_A);
    ASSERT_EQ(messages.size(), 1) << "a failed native save is reported";
    EXPECT_FALSE(messages[0].isEmpty());
    EXPECT_TRUE(doc.PathName().empty());

    messages.clear();
    window->m_chooseSavePath = [] { return QString("/no/such/folder/scene.h"); };
    QTimer::singleShot(100, [] {
        if (auto* modal = QApplication::activeModalWidget())
            QTest::mouseClick(modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    Key(Qt::CTRL | Qt::Key_S);  // untitled: Save goes through Save As
    QTest::qWait(50);
    EXPECT_EQ(messages, QStringList{QString::fromUtf8("Hフォーマットで保存")});
}

// A user's whole session: open, pick the arm, go to frame 30, turn the arm by
// dragging, store a key, play, and save as DirectX through the real dialogs.
TEST_F(Window, ATypicalSessionWithMouseAndKeyboard)
{
    test::TempDir dir;
    // Typed without its extension: the chosen DirectX type supplies it.
    const QString typed = QString::fromStdString(dir.File("arm"));
    const QString out = typed + ".x";

    // Pick by clicking on the orange body in the view.
    const QImage picture = window->View()->grabFramebuffer();
    const qreal ratio = window->View()->devicePixelRatioF();
    QPoint arm;
    for (int y = 0; y < picture.height() && arm.isNull(); y += 2)
        for (int x = 0; x < picture.width(); x += 2) {
            const QColor c = picture.pixelColor(x, y);
            if (c.red() > 150 && c.green() > 40 && c.green() < 140 && c.blue() < 60) {
                arm = QPoint(static_cast<int>(x / ratio), static_cast<int>(y / ratio));
                break;
            }
        }
    ASSERT_FALSE(arm.isNull());
    QTest::mouseClick(window->View(), Qt::LeftButton, Qt::NoModifier, arm);
    ASSERT_TRUE(scene.HasSelection());
    const int model = scene.m_selected;
    EXPECT_EQ(doc.m_mouseTarget, 1);

    Type(Bar().m_current, "30");
    ASSERT_EQ(t.m_current, 30);
    Key(Qt::CTRL | Qt::Key_R);
    QTest::mousePress(window->View(), Qt::LeftButton, Qt::NoModifier, arm);
    QMouseEvent move(QEvent::MouseMove, QPointF(arm + QPoint(0, 40)), window->View()->mapToGlobal(QPointF(arm + QPoint(0, 40))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->View(), &move);
    QTest::mouseRelease(window->View(), Qt::LeftButton, Qt::NoModifier, arm + QPoint(0, 40));
    const CVector turned = scene.GetRotation(t);
    ASSERT_GT(std::abs(turned.m_x) + std::abs(turned.m_y) + std::abs(turned.m_z), 1.0f);
    Key(Qt::CTRL | Qt::Key_P);  // key frame for the selected model
    const CModel& m = scene.m_models[static_cast<std::size_t>(model)];
    EXPECT_EQ(m.m_frames[30].m_key, 1);
    const CVector a = m.m_frames[0].m_rotation;
    test::ExpectNear(m.m_frames[15].m_rotation,
                     {(a.m_x + turned.m_x) / 2, (a.m_y + turned.m_y) / 2, (a.m_z + turned.m_z) / 2});
    test::ExpectNear(m.m_frames[45].m_rotation, turned);

    Key(Qt::CTRL | Qt::Key_B);
    QTest::qWait(120);
    EXPECT_EQ(t.m_playing, 1);
    Key(Qt::CTRL | Qt::Key_D);
    EXPECT_EQ(t.m_playing, 0);

    // Save As: choose the DirectX type and type a name into the window's
    // own file dialog, then OK the options.
    // Each dialog is answered when it shows, and again if a slow build
    // still shows it a moment later (a key or click sent before it had
    // settled); `dialogs` counts the different dialogs seen.
    int dialogs = 0;
    bool done = false;
    QPointer<QWidget> seen;
    std::function<void()> answer = [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            if (!done) QTimer::singleShot(50, answer);
            return;
        }
        if (modal != seen) {
            ++dialogs;
            seen = modal;
        }
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            auto* types = files->findChild<QComboBox*>("fileTypeCombo");
            ASSERT_NE(types, nullptr);
            while (!types->currentText().contains("(*.x)") && types->currentIndex() + 1 < types->count())
                QTest::keyClick(types, Qt::Key_Down);
            QLineEdit* name = files->findChild<QLineEdit*>("fileNameEdit");
            if (name->text() != typed) {
                name->clear();
                QTest::keyClicks(name, typed);
            }
            QTest::keyClick(name, Qt::Key_Return);
        } else {
            EXPECT_EQ(modal->windowTitle(), QString::fromUtf8("DirectXフォーマットで保存"));
            auto* buttons = modal->findChild<QDialogButtonBox*>();
            ASSERT_NE(buttons, nullptr);
            QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
            done = true;
        }
        QTimer::singleShot(200, answer);
    };
    QTimer::singleShot(100, answer);
    Key(Qt::CTRL | Qt::Key_A);
    // Let the last pending check run while what it uses still exists.
    QTest::qWait(300);
    EXPECT_EQ(dialogs, 2);
    std::ifstream file(out.toStdString(), std::ios::binary);
    ASSERT_TRUE(file) << "the .x file was written";
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("AnimationSet"), std::string::npos);
    EXPECT_TRUE(doc.IsModified()) << "an export leaves the scene unsaved";
}

}  // namespace
}  // namespace kinovela
