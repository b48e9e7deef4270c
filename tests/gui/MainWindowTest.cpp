// The main window's bars, commands and drops, driven through real key,
// mouse and drop events. Runs under a virtual display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestUtil.h"
#include "common/Numbers.h"
#include "document/CommandIds.h"
#include "ui/CommandTexts.h"
#include "ui/Dialogs.h"
#include "ui/FileFolders.h"
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
    // With no window manager, nothing gives the window back its activation
    // after a dialog; without it, fields see no focus changes.
    void Reactivate()
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // Answers the next options dialog with OK once it shows.
    void OkTheOptionsDialog()
    {
        QTimer::singleShot(50, window.get(), [] {
            if (auto* modal = QApplication::activeModalWidget())
                if (auto* buttons = modal->findChild<QDialogButtonBox*>())
                    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
    }
    // Presses Cancel on every progress dialog that shows while it lives;
    // `pressed` counts the presses.
    std::unique_ptr<QTimer> PressCancel(int& pressed)
    {
        window->m_progressDelay = 0;  // the dialog shows at once
        auto timer = std::make_unique<QTimer>();
        timer->setInterval(0);
        QObject::connect(timer.get(), &QTimer::timeout, window.get(), [this, &pressed] {
            for (QProgressDialog* p : window->findChildren<QProgressDialog*>())
                if (QPushButton* cancel = p->findChild<QPushButton*>(); cancel && p->isVisible()) {
                    QTest::mouseClick(cancel, Qt::LeftButton);
                    ++pressed;
                }
        });
        timer->start();
        return timer;
    }

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

// The number fields read their text as the dialogs do: "abc" is refused
// with the dialogs' message instead of being taken as 0. Enter keeps the
// field with its text selected; leaving it shows the scene's value again.
TEST_F(Window, NumberFieldsRefuseTextThatIsNoNumber)
{
    scene.m_selected = 2;
    const CVector before = scene.GetPosition(t);
    Type(Bar().m_vector[0], "abc");
    ASSERT_EQ(messages, QStringList{QString::fromUtf8(ui::kNotANumber)});
    EXPECT_EQ(scene.GetPosition(t), before);
    EXPECT_TRUE(scene.m_undo.Empty());
    EXPECT_TRUE(Bar().m_vector[0]->hasFocus());
    EXPECT_EQ(Bar().m_vector[0]->selectedText(), "abc");
    // Typed over the selection: a number is taken, and shown like the rest.
    QTest::keyClicks(Bar().m_vector[0], "2.5");
    QTest::keyClick(Bar().m_vector[0], Qt::Key_Return);
    EXPECT_EQ(scene.GetPosition(t).m_x, 2.5f);
    EXPECT_EQ(Bar().m_vector[0]->text(), "2.500000");
    EXPECT_EQ(scene.m_undo.Size(), 1u);

    messages.clear();
    Type(Bar().m_current, "1.5");
    EXPECT_EQ(messages, QStringList{QString::fromUtf8(ui::kNotAnInteger)});
    // Leaving by a click elsewhere: the field shows the last frame again.
    messages.clear();
    Bar().m_last->setFocus(Qt::MouseFocusReason);
    Bar().m_last->selectAll();
    QTest::keyClicks(Bar().m_last, "x");
    QTest::mouseClick(window->View(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::qWait(20);
    EXPECT_EQ(messages, QStringList{QString::fromUtf8(ui::kNotAnInteger)});
    EXPECT_EQ(Bar().m_last->text(), "60");
    EXPECT_EQ(t.m_last, 60);
    EXPECT_EQ(t.m_current, 0);
    EXPECT_EQ(Bar().m_current->text(), "0") << "left after its refusal: restored, without a second message";
}

// The title names the scene (a proper untitled name before it has a file)
// and carries the desktop's mark of unsaved changes; a recent file's "&" is
// a letter, not a mnemonic; the status bar has no keyboard panes it cannot
// fill; playback runs on a precise timer.
TEST_F(Window, TheWindowTellsTheTruthAboutTheScene)
{
    window->m_askToSave = [](const QString&) { return QMessageBox::No; };
    Key(Qt::CTRL | Qt::Key_N);
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("無題[*] - Kinovela"));
    EXPECT_FALSE(window->isWindowModified());
    window->OpenFile(kSample);
    EXPECT_TRUE(window->isWindowModified());

    test::TempDir dir;
    const QString folder = QString::fromStdString(dir.File("a&b"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString kvl = folder + "/scene.kvl";
    window->m_chooseSavePath = [&] { return kvl; };
    Key(Qt::CTRL | Qt::Key_A);
    EXPECT_EQ(window->windowTitle(), kvl + "[*] - Kinovela");
    EXPECT_FALSE(window->isWindowModified());
    QStringList recent;
    for (QAction* a : window->findChildren<QAction*>())
        if (a->property("recent").isValid()) recent << a->text();
    EXPECT_EQ(recent, QStringList{"&1 " + QString(kvl).replace("&", "&&")});

    // A relative name (from the command line) is shown as the full path.
    const QString here = QDir::currentPath();
    QDir::setCurrent(folder);
    window->OpenFile("scene.kvl");
    QDir::setCurrent(here);
    EXPECT_EQ(window->windowTitle(), kvl + "[*] - Kinovela");

    for (QLabel* pane : window->statusBar()->findChildren<QLabel*>())
        for (const char* gone : {"ｶﾅ", "CAP", "NUM", "SCRL"}) EXPECT_NE(pane->text(), QString::fromUtf8(gone));

    Key(Qt::CTRL | Qt::Key_B);
    EXPECT_EQ(window->View()->TimerType(), Qt::PreciseTimer);
    Key(Qt::CTRL | Qt::Key_D);
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

TEST_F(Window, TheRateBoxShowsTheRateInUse)
{
    QComboBox* fps = Bar().m_fps;
    auto type = [&](const char* text) {
        fps->setFocus();
        fps->lineEdit()->selectAll();
        QTest::keyClicks(fps->lineEdit(), text);
    };
    // Play takes a typed rate; one past the range plays at the range's end,
    // and the box says so.
    type("5000");
    Key(Qt::CTRL | Qt::Key_B);
    EXPECT_EQ(t.m_fps, 1000.0f);
    EXPECT_EQ(ParseAtof(fps->currentText().toStdString()), 1000.0);
    Key(Qt::CTRL | Qt::Key_D);
    // So does the rate read before Save As.
    type("1e-9");
    doc.UpdateAllViews(kHintFps);
    EXPECT_EQ(t.m_fps, kMinFrameRate);
    EXPECT_EQ(static_cast<float>(ParseAtof(fps->currentText().toStdString())), kMinFrameRate);
    // A rate in the range stays as typed.
    type("24");
    Key(Qt::CTRL | Qt::Key_B);
    EXPECT_EQ(t.m_fps, 24.0f);
    EXPECT_EQ(fps->currentText(), "24");
    Key(Qt::CTRL | Qt::Key_D);
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

    // Without the Direct3D preview: the message, and OpenGL stays chosen.
    window->m_direct3DAvailable = false;
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

TEST_F(Window, FieldsCommitOnlyWhenLeft)
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
}

// While a text field has the focus, the standard editing keys edit its text,
// even where the window has a command on the same key (Ctrl+A Save As,
// Ctrl+Z undo, Ctrl+V move, Ctrl+Y redo...). Those commands work everywhere
// else, and the other command keys work from a field too.
TEST_F(Window, TextFieldsKeepTheirEditingKeys)
{
    int saveDialogs = 0;
    window->m_chooseSavePath = [&] {
        ++saveDialogs;
        return QString();
    };
    scene.m_selected = 2;
    Key(Qt::CTRL | Qt::Key_R);  // rotate: Ctrl+V would choose move
    Type(Bar().m_vector[0], "3");
    ASSERT_EQ(scene.m_undo.Size(), 1u);

    QLineEdit* x = Bar().m_vector[0];
    x->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(x, Qt::Key_End);
    QTest::keyClicks(x, ".25");
    const QString typed = x->text();
    QTest::keyClick(x, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(x->selectedText(), typed);
    QTest::keyClick(x, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(x, Qt::Key_End);
    QTest::keyClick(x, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(x->text(), typed + typed);
    QTest::keyClick(x, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(x->text(), typed);
    QTest::keyClick(x, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(x->text(), typed + typed);
    QTest::keyClick(x, Qt::Key_Home);
    QTest::keyClick(x, Qt::Key_Delete);
    QTest::keyClick(x, Qt::Key_End);
    QTest::keyClick(x, Qt::Key_Backspace);
    QTest::keyClick(x, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(x->text(), (typed + typed).mid(1, 2 * typed.size() - 2));
    EXPECT_EQ(x->selectedText().size(), 1);
    QTest::keyClick(x, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(x, Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(x->text().isEmpty());
    EXPECT_EQ(saveDialogs, 0);
    EXPECT_EQ(doc.m_transformMode, 1);
    EXPECT_EQ(scene.m_undo.Size(), 1u) << "the scene's history is untouched";
    // A command key that edits nothing still works from the field.
    QTest::keyClick(x, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(doc.m_transformMode, 2);

    // Elsewhere the same keys are the window's commands.
    window->View()->setFocus(Qt::MouseFocusReason);
    const std::size_t steps = scene.m_undo.Size();
    QTest::keyClick(window->View(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(scene.m_undo.Size(), steps - 1);
    QTest::keyClick(window->View(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(saveDialogs, 1);

    // The tree's rename editor: Ctrl+Y redoes its own typing, not the scene.
    ASSERT_FALSE(scene.m_redo.Empty());
    const std::size_t redoable = scene.m_redo.Size();
    window->RunCommand(ID_MODEL_RENAME);
    auto* name = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(name, nullptr);
    const QString old = name->text();
    QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(name, "arm");
    QTest::keyClick(name, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(name->text(), old);
    QTest::keyClick(name, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(name->text(), "arm");
    EXPECT_EQ(scene.m_redo.Size(), redoable);
    QTest::keyClick(name, Qt::Key_Escape);
    EXPECT_EQ(saveDialogs, 1);
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

// The Open, Save As and Add model dialogs start in the document's folder,
// else in the folder a file was last chosen in (also in a later run), else
// in the user's home; never in the program's folder.
TEST_F(Window, FileDialogsStartWhereTheUsersFilesAre)
{
    QSettings(ui::kSettingsOrganisation, ui::kSettingsApplication).clear();
    // Runs `command`, notes where its file dialog starts, then chooses
    // `choose` in it (or cancels).
    auto startFolder = [&](const std::function<void()>& command, const QString& choose = {}) {
        QString folder;
        QTimer::singleShot(50, window.get(), [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            folder = dialog->directory().absolutePath();
            if (choose.isEmpty()) {
                dialog->reject();
            } else {
                QLineEdit* name = dialog->findChild<QLineEdit*>("fileNameEdit");
                name->setText(choose);
                QTest::keyClick(name, Qt::Key_Return);
            }
        });
        command();
        return folder;
    };
    auto open = [&] { window->RunCommand(ID_FILE_OPEN); };
    EXPECT_EQ(startFolder(open), QDir::homePath());

    test::TempDir first, second;
    const QString chosen = QString::fromStdString(first.File("robot.mqo"));
    QFile::copy(kSample, chosen);
    EXPECT_EQ(startFolder(open, chosen), QDir::homePath());
    EXPECT_EQ(scene.m_models.size(), 12u) << "the chosen file was added";
    EXPECT_EQ(startFolder(open), QFileInfo(chosen).absolutePath()) << "the last folder";
    EXPECT_EQ(QSettings(ui::kSettingsOrganisation, ui::kSettingsApplication).value("FileDialogs/LastFolder").toString(),
              QFileInfo(chosen).absolutePath());

    // With a file of its own, the document's folder comes first.
    ASSERT_TRUE(doc.OnSaveDocument(second.File("scene.kvl")).ok);
    const QString folder = QString::fromStdString(second.Path().string());
    EXPECT_EQ(startFolder(open), folder);
    EXPECT_EQ(startFolder([&] { window->RunCommand(ID_FILE_SAVE_AS); }), folder);
    scene.m_selected = 0;
    EXPECT_EQ(startFolder([&] { window->Tree()->OnAddModel(); }), folder);
}

// A message raised while a file is being read waits until the reading is
// over and its progress dialog is gone: a box under a modal progress dialog
// could be neither answered nor closed. The messages come in one box.
TEST_F(Window, MessagesWaitForTheEndOfTheWork)
{
    test::TempDir dir;
    const std::string kvl = dir.File("scene.kvl");
    scene.m_materials[0].m_texture = "not_there.bmp";
    scene.m_materials[1].m_texture = "also_missing.png";
    ASSERT_TRUE(doc.OnSaveDocument(kvl).ok);
    window->m_progressDelay = 0;
    int progressDialogs = -1;
    bool working = true;
    window->m_showMessage = [&](const QString& text) {
        messages << text;
        progressDialogs = static_cast<int>(window->findChildren<QProgressDialog*>().size());
        working = window->Working();
    };
    window->OpenFile(QString::fromStdString(kvl));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("not_there.bmp")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("also_missing.png")) << messages[0].toStdString();
    EXPECT_EQ(progressDialogs, 0);
    EXPECT_FALSE(working);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Cancel in the progress dialog stops the work where it can stop cleanly:
// the scene and the files stay as they were, and nothing is reported.
TEST_F(Window, CancelStopsOpeningAndExporting)
{
    test::TempDir dir;
    const std::string kvl = dir.File("scene.kvl");
    ASSERT_TRUE(doc.OnSaveDocument(kvl).ok);
    window->m_askToSave = [](const QString&) { return QMessageBox::No; };
    Key(Qt::CTRL | Qt::Key_N);
    ASSERT_TRUE(scene.m_models.empty());

    int pressed = 0;
    {
        const auto cancel = PressCancel(pressed);
        window->OpenFile(QString::fromStdString(kvl));
    }
    EXPECT_EQ(pressed, 1);
    EXPECT_TRUE(scene.m_models.empty());
    EXPECT_TRUE(doc.PathName().empty());
    EXPECT_TRUE(window->RecentFiles().isEmpty());

    // A DirectX file is written in one piece: cancelling leaves no file.
    window->OpenFile(kSample);
    // With no window manager, nothing gives the window back its activation
    // after the progress dialog.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const std::string x = dir.File("arm.x");
    window->m_chooseSavePath = [&] { return QString::fromStdString(x); };
    pressed = 0;
    {
        const auto cancel = PressCancel(pressed);
        OkTheOptionsDialog();
        Key(Qt::CTRL | Qt::Key_A);
    }
    EXPECT_EQ(pressed, 1);
    EXPECT_FALSE(std::filesystem::exists(x));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(window->findChildren<QProgressDialog*>().isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The wait cursor shows from the options dialog's OK to the writer's end,
// also while the progress dialog lets events through.
TEST_F(Window, TheWaitCursorStaysUntilTheExportEnds)
{
    test::TempDir dir;
    window->m_chooseSavePath = [&] { return QString::fromStdString(dir.File("arm.x")); };
    std::vector<int> shapes;
    const ProgressFn shown = doc.m_progress;
    doc.m_progress = [&](std::uint64_t done, std::uint64_t total) {
        QApplication::processEvents();
        shapes.push_back(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : -1);
        shown(done, total);
    };
    OkTheOptionsDialog();
    Key(Qt::CTRL | Qt::Key_A);
    ASSERT_FALSE(shapes.empty());
    for (int shape : shapes) EXPECT_EQ(shape, Qt::WaitCursor);
    EXPECT_TRUE(std::filesystem::exists(dir.File("arm.x")));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Answers every modal dialog that shows until `done`: a file dialog gets the
// type whose pattern is `type` and the name `name` typed in; any other
// dialog (the options) is OK'd. Each dialog is answered when it shows, and
// again if a slow build still shows it a moment later (a key or click sent
// before it had settled); `dialogs` counts the different dialogs seen.
class DialogAnswers {
public:
    DialogAnswers(const QString& name, const QString& type) : m_name(name), m_type(type)
    {
        QTimer::singleShot(100, [this] { Answer(); });
    }
    ~DialogAnswers()
    {
        m_done = true;
        // Let the last pending check run while what it uses still exists.
        QTest::qWait(300);
    }
    int dialogs = 0;
    QStringList titles;

private:
    void Answer()
    {
        if (m_done) return;
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            QTimer::singleShot(50, [this] { Answer(); });
            return;
        }
        if (modal != m_seen) {
            ++dialogs;
            titles << modal->windowTitle();
            m_seen = modal;
        }
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            auto* types = files->findChild<QComboBox*>("fileTypeCombo");
            while (types && !types->currentText().contains(m_type) && types->currentIndex() + 1 < types->count())
                QTest::keyClick(types, Qt::Key_Down);
            QLineEdit* name = files->findChild<QLineEdit*>("fileNameEdit");
            if (name->text() != m_name) {
                name->clear();
                QTest::keyClicks(name, m_name);
            }
            QTest::keyClick(name, Qt::Key_Return);
        } else if (auto* buttons = modal->findChild<QDialogButtonBox*>()) {
            QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        }
        QTimer::singleShot(200, [this] { Answer(); });
    }

    QString m_name;
    QString m_type;
    bool m_done = false;
    QPointer<QWidget> m_seen;
};

// A user's whole session through the real dialogs, mouse and keys: open a
// textured model from its folder, pick the arm, go to frame 30, turn the arm
// by dragging, store a key, play, export DirectX, save the scene, and open
// it again: the pose, the keys and the texture are all there.
TEST_F(Window, ATypicalSessionWithMouseAndKeyboard)
{
    // The user's folder: the model and its TEXTURE folder.
    test::TempDir dir;
    const QString model = QString::fromStdString(dir.File("robot_arm.mqo"));
    ASSERT_TRUE(QFile::copy(kSample, model));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir.File("TEXTURE"))));
    ASSERT_TRUE(QFile::copy(QString(KINOVELA_SOURCE_DIR) + "/samples/TEXTURE/robot_panel.bmp",
                            QString::fromStdString(dir.File("TEXTURE/robot_panel.bmp"))));
    window->m_askToSave = [](const QString&) { return QMessageBox::No; };
    Key(Qt::CTRL | Qt::Key_N);
    {
        const DialogAnswers answers(model, "(*.kvl *.mqo)");
        Key(Qt::CTRL | Qt::Key_O);
    }
    ASSERT_EQ(scene.m_models.size(), 6u);
    ASSERT_TRUE(scene.m_materials[0].m_image) << "the texture beside the model";
    Reactivate();
    QTest::qWait(50);

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
    const int picked = scene.m_selected;
    const std::string name = scene.m_models[static_cast<std::size_t>(picked)].m_name;
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
    const CModel& m = scene.m_models[static_cast<std::size_t>(picked)];
    EXPECT_EQ(m.m_frames[30].m_key, 1);
    const CVector a = m.m_frames[0].m_rotation;
    const CVector half{(a.m_x + turned.m_x) / 2, (a.m_y + turned.m_y) / 2, (a.m_z + turned.m_z) / 2};
    test::ExpectNear(m.m_frames[15].m_rotation, half);
    test::ExpectNear(m.m_frames[45].m_rotation, turned);

    Key(Qt::CTRL | Qt::Key_B);
    QTest::qWait(120);
    EXPECT_EQ(t.m_playing, 1);
    Key(Qt::CTRL | Qt::Key_D);
    EXPECT_EQ(t.m_playing, 0);

    // Save As DirectX: the type chosen, the name typed without its
    // extension (the type supplies it), then OK in the options.
    {
        DialogAnswers answers(QString::fromStdString(dir.File("arm")), "(*.x)");
        Key(Qt::CTRL | Qt::Key_A);
        QTest::qWait(50);
        EXPECT_EQ(answers.dialogs, 2);
        EXPECT_TRUE(answers.titles.contains(QString::fromUtf8("DirectXフォーマットで保存")))
            << answers.titles.join(", ").toStdString();
    }
    std::ifstream file(dir.File("arm.x"), std::ios::binary);
    ASSERT_TRUE(file) << "the .x file was written";
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("AnimationSet"), std::string::npos);
    EXPECT_TRUE(doc.IsModified()) << "an export leaves the scene unsaved";
    Reactivate();

    // Save the scene itself, then open it again after New.
    const QString kvl = QString::fromStdString(dir.File("session.kvl"));
    {
        const DialogAnswers answers(QString::fromStdString(dir.File("session")), "(*.kvl)");
        Key(Qt::CTRL | Qt::Key_A);
    }
    ASSERT_TRUE(QFileInfo::exists(kvl));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(window->windowTitle(), kvl + "[*] - Kinovela");
    Reactivate();
    Key(Qt::CTRL | Qt::Key_N);
    ASSERT_TRUE(scene.m_models.empty());
    {
        const DialogAnswers answers(kvl, "(*.kvl *.mqo)");
        Key(Qt::CTRL | Qt::Key_O);
    }
    ASSERT_EQ(doc.PathName(), kvl.toStdString());
    ASSERT_EQ(scene.m_models.size(), 6u);
    const CModel& back = scene.m_models[static_cast<std::size_t>(picked)];
    EXPECT_EQ(back.m_name, name);
    EXPECT_EQ(back.m_frames[30].m_key, 1);
    test::ExpectNear(back.m_frames[30].m_rotation, turned);
    test::ExpectNear(back.m_frames[15].m_rotation, half);
    EXPECT_EQ(scene.m_materials[0].m_texture, "robot_panel.bmp");
    EXPECT_TRUE(scene.m_materials[0].m_image) << "the texture is found again";
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_FALSE(doc.IsModified());
}

}  // namespace
}  // namespace kinovela
