// Start-up: the interface language and its switch, the English translation's
// completeness, the command line and the splash, the recent files kept
// between runs, Help, the About box's links and the desktop registration.
// Runs under a virtual display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QSurfaceFormat>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <QXmlStreamReader>

#include <map>
#include <set>

#include "TestUtil.h"
#include "gui/WindowTestMain.h"
#include "document/CommandIds.h"
#include "document/DocumentMessages.h"
#include "ui/AboutBox.h"
#include "ui/CommandLine.h"
#include "ui/CommandTexts.h"
#include "ui/DesktopIntegration.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"
#include "ui/MainWindow.h"
#include "ui/Settings.h"
#include "ui/Splash.h"

QT_BEGIN_NAMESPACE
// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace kinovela {
namespace {

const QString kEnglishQm = QStringLiteral(KINOVELA_ENGLISH_QM);
const QString kTranslationSource = QStringLiteral(KINOVELA_SOURCE_DIR "/resources/English.ts");
const QString kSample = QStringLiteral(KINOVELA_SOURCE_DIR "/samples/robot_arm.mqo");
const QLocale kJapanese(QLocale::Japanese, QLocale::Japan);
const QLocale kAmerican(QLocale::English, QLocale::UnitedStates);

QSettings Settings() { return QSettings(ui::kSettingsOrganisation, ui::kSettingsApplication); }

// Each test starts as a first run: nothing remembered.
class StartUp : public ::testing::Test {
protected:
    void SetUp() override { Settings().clear(); }
    void TearDown() override
    {
        if (window) doc.SetModified(false);
        window.reset();
        Settings().clear();
    }

    // The main window as the program makes it, with `language` set up while
    // it is made.
    void MakeWindow(ui::Language* language, bool splash = false)
    {
        ui::WindowStartUp startUp;
        startUp.language = language;
        startUp.splash = splash;
        window = std::make_unique<ui::MainWindow>(doc, meter, options, startUp);
        window->m_showMessage = [this](const QString& text) { messages << text; };
        window->m_openUrl = [this](const QUrl& url) { opened << url; };
        window->m_askToSave = [](const QString&) { return QMessageBox::No; };
        window->resize(1200, 800);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    QString MenuTitle(int index) const { return window->menuBar()->actions().value(index)->text(); }
    // The control bar's label in front of the current-frame field.
    QString CurrentFrameLabel() const
    {
        for (const QLabel* l : window->Controls()->findChildren<QLabel*>())
            if (l->text() == "Current frame" || l->text() == QString::fromUtf8("現在のﾌﾚｰﾑ")) return l->text();
        return {};
    }

    CKinovela scene;
    CTimeline t;
    CKinoDoc doc{scene, t};
    ExportOptionsTable options;
    FrameRateMeter meter{[] { return 0u; }};
    std::unique_ptr<ui::MainWindow> window;
    QStringList messages;
    QList<QUrl> opened;
};

// Without a setting a Japanese desktop gets Japanese and any other English;
// a setting, once written, wins over the locale.
TEST_F(StartUp, TheFirstStartFollowsTheLocaleAndThenTheSetting)
{
    std::string name;
    {
        ui::Language language(kEnglishQm, kJapanese);
        EXPECT_FALSE(language.SetUp(name));
        EXPECT_EQ(name, "Japanese");
        EXPECT_FALSE(language.EnglishShown());
        EXPECT_EQ(ui::Tr("Menu", "ﾌｧｲﾙ(&F)"), QString::fromUtf8("ﾌｧｲﾙ(&F)"));
    }
    for (const QLocale& locale : {kAmerican, QLocale(QLocale::French, QLocale::France)}) {
        ui::Language language(kEnglishQm, locale);
        EXPECT_TRUE(language.SetUp(name));
        EXPECT_EQ(name, "English");
        EXPECT_TRUE(language.EnglishShown());
        EXPECT_EQ(ui::Tr("Menu", "ﾌｧｲﾙ(&F)"), "&File");
        // The core's messages go through the same translation.
        EXPECT_EQ(UserText(msg::kSelectModel), "Please select a model!");
    }
    // Leaving English takes the translation away again.
    EXPECT_EQ(ui::Tr("Menu", "ﾌｧｲﾙ(&F)"), QString::fromUtf8("ﾌｧｲﾙ(&F)"));
    EXPECT_FALSE(Settings().contains(ui::kLanguageSetting)) << "choosing by the locale writes nothing";

    Settings().setValue(ui::kLanguageSetting, "Japanese");
    ui::Language american(kEnglishQm, kAmerican);
    american.SetUp(name);
    EXPECT_EQ(name, "Japanese");
    Settings().setValue(ui::kLanguageSetting, "English");
    ui::Language japanese(kEnglishQm, kJapanese);
    japanese.SetUp(name);
    EXPECT_EQ(name, "English");
    EXPECT_TRUE(japanese.EnglishShown());
}

TEST_F(StartUp, SwitchingTwiceReturnsToTheFirstLanguageAndReloadsTheTranslation)
{
    std::string name;
    ui::Language language(kEnglishQm, kAmerican);
    language.SetUp(name);
    ASSERT_EQ(language.Loads(), 1);

    EXPECT_TRUE(language.Switch(name));
    EXPECT_EQ(name, "Japanese");
    EXPECT_EQ(Settings().value(ui::kLanguageSetting).toString(), "Japanese");
    EXPECT_FALSE(language.EnglishShown());
    EXPECT_EQ(ui::Tr("Menu", "ﾌｧｲﾙ(&F)"), QString::fromUtf8("ﾌｧｲﾙ(&F)"));
    // Qt's own buttons and dialogs speak Japanese with the rest
    // (scripts/deps.sh installs Qt's translations).
    EXPECT_TRUE(language.QtJapaneseShown());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QString::fromUtf8("はい(&Y)"));

    EXPECT_TRUE(language.Switch(name));
    EXPECT_EQ(name, "English");
    EXPECT_EQ(Settings().value(ui::kLanguageSetting).toString(), "English");
    EXPECT_TRUE(language.EnglishShown());
    EXPECT_EQ(language.Loads(), 2) << "the translation is read afresh";
    EXPECT_EQ(ui::Tr("Menu", "ﾌｧｲﾙ(&F)"), "&File");
    EXPECT_FALSE(language.QtJapaneseShown());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Yes");
}

// Without English.qm the program stays Japanese, though the setting and the
// language name say English.
TEST_F(StartUp, AMissingTranslationKeepsJapanese)
{
    const test::TempDir dir;
    const QString missing = QString::fromStdString(dir.File("English.qm"));
    std::string name;
    ui::Language language(missing, kAmerican);
    EXPECT_FALSE(language.SetUp(name));
    EXPECT_EQ(name, "English");
    EXPECT_FALSE(language.EnglishShown());

    // A file that is not a translation is no better.
    test::WriteFile(dir.File("English.qm"), "not a translation");
    MakeWindow(&language);
    EXPECT_EQ(scene.m_language, "English");
    EXPECT_EQ(MenuTitle(0), QString::fromUtf8("ﾌｧｲﾙ(&F)"));
    EXPECT_EQ(CurrentFrameLabel(), QString::fromUtf8("現在のﾌﾚｰﾑ"));
    // The switch still goes to Japanese, and back to a still-missing English.
    ASSERT_TRUE(window->RunCommand(ui::ID_ENGLISH));
    EXPECT_EQ(scene.m_language, "Japanese");
    ASSERT_TRUE(window->RunCommand(ui::ID_ENGLISH));
    EXPECT_EQ(scene.m_language, "English");
    EXPECT_EQ(MenuTitle(0), QString::fromUtf8("ﾌｧｲﾙ(&F)"));
}

// Alt+L changes menus, items, status prompts and tool bar tips at once; the
// control bar keeps the language it was made in; dialogs and messages made
// afterwards use the new one.
TEST_F(StartUp, TheSwitchChangesMenusAndToolBarsAtOnce)
{
    Settings().setValue(ui::kLanguageSetting, "English");
    ui::Language language(kEnglishQm, kJapanese);
    MakeWindow(&language);
    EXPECT_EQ(MenuTitle(0), "&File");
    EXPECT_EQ(window->Action(ui::ID_HELP_INDEX)->text(), "&Contents\tAlt+I");
    EXPECT_EQ(CurrentFrameLabel(), "Current frame");
    EXPECT_EQ(window->MainToolBar()->windowTitle(), "Main Toolbar");
    // The slider is laid out for the language in use, at every resize.
    const QWidget* slider = window->Controls()->findChild<QWidget*>("frameSlider");
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->minimumHeight(), ui::ControlBar::kEnglishSliderHeight);

    // Each menu's items can be told apart by their access keys.
    for (QAction* m : window->menuBar()->actions()) {
        std::set<QChar> keys;
        for (QAction* a : m->menu()->actions()) {
            const qsizetype amp = a->text().indexOf('&');
            if (a->isSeparator() || amp < 0 || amp + 1 >= a->text().size()) continue;
            EXPECT_TRUE(keys.insert(a->text()[amp + 1].toLower()).second)
                << a->text().toStdString() << " in " << m->text().toStdString();
        }
    }

    // A menu title's access key that is also a command's Alt shortcut makes
    // both ambiguous: Qt then runs neither.
    const auto menuKeysFreeOfAltShortcuts = [&](const char* language) {
        std::set<QString> altShortcuts;
        for (QAction* a : window->findChildren<QAction*>())
            for (const QKeySequence& k : a->shortcuts())
                if (k.count() == 1 && k[0].keyboardModifiers() == Qt::AltModifier)
                    altShortcuts.insert(k.toString().toLower());
        for (QAction* m : window->menuBar()->actions()) {
            const qsizetype amp = m->text().indexOf('&');
            if (amp < 0 || amp + 1 >= m->text().size()) continue;
            const QString key = "alt+" + m->text().mid(amp + 1, 1).toLower();
            EXPECT_EQ(altShortcuts.count(key), 0u) << m->text().toStdString() << " in " << language;
        }
    };
    menuKeysFreeOfAltShortcuts("English");

    QTest::keyClick(window.get(), Qt::Key_L, Qt::AltModifier);
    menuKeysFreeOfAltShortcuts("Japanese");
    EXPECT_EQ(Settings().value(ui::kLanguageSetting).toString(), "Japanese");
    EXPECT_EQ(scene.m_language, "Japanese");
    EXPECT_EQ(MenuTitle(0), QString::fromUtf8("ﾌｧｲﾙ(&F)"));
    EXPECT_EQ(MenuTitle(7), QString::fromUtf8("ﾍﾙﾌﾟ(&H)"));
    QAction* play = window->Action(ID_PLAY);
    EXPECT_EQ(play->text(), QString::fromUtf8("再生(&P)\tCtrl+B"));
    EXPECT_EQ(play->statusTip(), QString::fromUtf8("アニメーションを再生します"));
    auto* button = qobject_cast<QToolButton*>(window->ControlToolBar()->widgetForAction(play));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip(), QString::fromUtf8("再生"));
    EXPECT_EQ(window->MainToolBar()->windowTitle(), QString::fromUtf8("ﾒｲﾝ ﾂｰﾙ ﾊﾞｰ"));
    EXPECT_EQ(CurrentFrameLabel(), "Current frame") << "the control bar keeps its language until the next start";
    EXPECT_EQ(play->shortcut(), QKeySequence("Ctrl+B"));
    window->resize(1100, 760);
    EXPECT_TRUE(QTest::qWaitFor([&] { return slider->minimumHeight() == ui::ControlBar::kSliderHeight; }, 2000));

    ui::CDlgInsert later(0, window.get());
    EXPECT_EQ(later.windowTitle(), QString::fromUtf8("ﾌﾚｰﾑの挿入"));
    EXPECT_EQ(doc.OnInsertFrames(-5, 1), "フレーム番号が範囲外です！");

    QTest::keyClick(window.get(), Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(MenuTitle(0), "&File");
    EXPECT_EQ(button->toolTip(), "Play");
    EXPECT_EQ(doc.OnInsertFrames(-5, 1), "The frame number is out of range!");
    EXPECT_EQ(language.Loads(), 2);
}

// Help opens the manual's first page in the language of the menus.
TEST_F(StartUp, HelpOpensThePageOfTheInterfaceLanguage)
{
    const test::TempDir dir;
    const QString help = QString::fromStdString(dir.File("help"));
    for (const char* page : {"/en/index.html", "/ja/index.html"}) {
        QDir().mkpath(QFileInfo(help + page).absolutePath());
        test::WriteFile((help + page).toStdString(), "<html></html>");
    }
    Settings().setValue(ui::kLanguageSetting, "English");
    ui::Language language(kEnglishQm, kAmerican);
    MakeWindow(&language);
    window->m_helpFolder = help;
    QTest::keyClick(window.get(), Qt::Key_I, Qt::AltModifier);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(help + "/en/index.html"));
    ASSERT_TRUE(window->RunCommand(ui::ID_ENGLISH));
    ASSERT_TRUE(window->RunCommand(ui::ID_HELP_INDEX));
    EXPECT_EQ(opened.value(1), QUrl::fromLocalFile(help + "/ja/index.html"));
    EXPECT_TRUE(messages.isEmpty());

    // A manual with only one language is shown in that one; with none at
    // all the desktop is still asked (and says what it says).
    QFile::remove(help + "/ja/index.html");
    EXPECT_EQ(ui::HelpIndex(help, true), help + "/en/index.html");
    QFile::remove(help + "/en/index.html");
    EXPECT_EQ(ui::HelpIndex(help, false), help + "/en/index.html");
}

TEST(CommandLine, FilesSwitchesAndTheBatchOptions)
{
    using ui::ParseCommandLine;
    EXPECT_TRUE(ParseCommandLine({"kinovela"}).splash);
    for (const char* nosplash : {"/nosplash", "/NoSplash", "-nosplash", "--nosplash"}) {
        const ui::CommandLine line = ParseCommandLine({"kinovela", nosplash, "a.kvl"});
        EXPECT_FALSE(line.splash) << nosplash;
        EXPECT_EQ(line.files, QStringList{"a.kvl"}) << nosplash;
        EXPECT_TRUE(line.error.isEmpty()) << nosplash;
    }
    const ui::CommandLine line =
        ParseCommandLine({"kinovela", "b.mqo", "--grab", "out.png", "--frame", "30", "/tmp/a b.kvl", "--measure", "2"});
    EXPECT_EQ(line.files, (QStringList{"b.mqo", "/tmp/a b.kvl"}));
    EXPECT_EQ(line.grab, "out.png");
    EXPECT_EQ(line.frame, 30);
    EXPECT_DOUBLE_EQ(line.measure, 2.0);
    EXPECT_TRUE(line.Batch());
    EXPECT_TRUE(ParseCommandLine({"kinovela", "--help"}).help);
    EXPECT_TRUE(ParseCommandLine({"kinovela", "-version"}).version);
    EXPECT_FALSE(ParseCommandLine({"kinovela", "--frame", "x"}).error.isEmpty());
    EXPECT_FALSE(ParseCommandLine({"kinovela", "--grab"}).error.isEmpty());
    EXPECT_FALSE(ParseCommandLine({"kinovela", "--bogus"}).error.isEmpty());
    // Qt's own options belong to the application object, not to us.
    const ui::CommandLine qt = ParseCommandLine({"kinovela", "-platform", "offscreen", "a.kvl", "-style=fusion", "-reverse"});
    EXPECT_TRUE(qt.error.isEmpty()) << qt.error.toStdString();
    EXPECT_EQ(qt.files, QStringList{"a.kvl"});
    // After "--" a name that looks like an option is a file.
    EXPECT_EQ(ParseCommandLine({"kinovela", "--", "--odd.kvl"}).files, QStringList{"--odd.kvl"});
}

// The splash comes up with the window, stays two seconds, and is never
// doubled; the no-splash switch shows none.
TEST_F(StartUp, TheSplashComesUpOnceForTwoSeconds)
{
    MakeWindow(nullptr, false);
    EXPECT_EQ(ui::CSplashWnd::Current(), nullptr);
    window.reset();

    // The splash is shown while the window is made, so its time on screen
    // lies between the time since before and the time since after that.
    QElapsedTimer sinceBefore;
    sinceBefore.start();
    MakeWindow(nullptr, true);
    QElapsedTimer sinceAfter;
    sinceAfter.start();
    QPointer<ui::CSplashWnd> splash = ui::CSplashWnd::Current();
    ASSERT_NE(splash, nullptr);
    EXPECT_TRUE(splash->isVisible());
    EXPECT_FALSE(splash->Picture().isNull());
    EXPECT_EQ(splash->size(), splash->Picture().size());
    EXPECT_EQ(ui::CSplashWnd::Show(window.get()), splash.data()) << "one at a time";
    ASSERT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 5000));
    EXPECT_GE(sinceBefore.elapsed(), ui::CSplashWnd::kMilliseconds) << "gone too early";
    EXPECT_LT(sinceAfter.elapsed(), ui::CSplashWnd::kMilliseconds + 1500) << "stayed too long";
    EXPECT_EQ(ui::CSplashWnd::Current(), nullptr);
}

// The last four scenes, the latest first, come back after a restart; a
// batch run keeps nothing.
TEST_F(StartUp, RecentFilesAreKeptBetweenRuns)
{
    const test::TempDir dir;
    std::vector<QString> scenes;
    for (int i = 0; i < 5; ++i) {
        scenes.push_back(QString::fromStdString(dir.File("scene" + std::to_string(i) + ".kvl")));
        ASSERT_TRUE(doc.OnSaveDocument(scenes.back().toStdString()).ok);
    }
    MakeWindow(nullptr);
    for (const QString& s : scenes) window->OpenFile(s);
    window->OpenFile(scenes[2]);  // opened again: to the front
    window->OpenFile(kSample);    // a document's models: not a recent scene
    const QStringList expected{scenes[2], scenes[4], scenes[3], scenes[1]};
    EXPECT_EQ(window->RecentFiles(), expected);
    window.reset();

    // On disk, where the next run reads them.
    Settings().sync();
    QSettings file(Settings().fileName(), QSettings::IniFormat);
    file.beginGroup(ui::kRecentFilesGroup);
    EXPECT_EQ(file.value("File1").toString(), scenes[2]);
    EXPECT_EQ(file.value("File4").toString(), scenes[1]);
    EXPECT_FALSE(file.contains("File5"));

    MakeWindow(nullptr);
    EXPECT_EQ(window->RecentFiles(), expected);
    // A recent scene that has gone leaves the list when chosen.
    QFile::remove(scenes[4]);
    QAction* gone = nullptr;
    for (QMenu* m : window->findChildren<QMenu*>())
        for (QAction* a : m->actions())
            if (a->property("recent").isValid() && a->text().contains("scene4")) gone = a;
    ASSERT_NE(gone, nullptr);
    gone->trigger();
    EXPECT_EQ(window->RecentFiles(), (QStringList{scenes[2], scenes[3], scenes[1]}));
    window.reset();

    MakeWindow(nullptr);
    window->SetBatchMode();
    window->OpenFile(scenes[0]);
    window.reset();
    MakeWindow(nullptr);
    EXPECT_EQ(window->RecentFiles(), (QStringList{scenes[2], scenes[3], scenes[1]}));
}

// Every text of the translation is finished, keeps the source's
// placeholders, access key and shortcut, and is plain English.
TEST(Translation, EveryTextIsTranslatedAndKeepsItsPlaceholders)
{
    QFile ts(kTranslationSource);
    ASSERT_TRUE(ts.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&ts);
    QString context, source;
    int messages = 0;
    static const QRegularExpression placeholder(QStringLiteral("%(\\d|zu|d|f|s)"));
    static const QRegularExpression japanese(QStringLiteral("[\\x{3000}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF01}-\\x{FF9F}]"));
    auto placeholders = [](const QString& text) {
        std::multiset<QString> found;
        for (auto it = placeholder.globalMatch(text); it.hasNext();) found.insert(it.next().captured());
        return found;
    };
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("name")) context = xml.readElementText();
        if (xml.name() == QLatin1String("source")) source = xml.readElementText();
        if (xml.name() != QLatin1String("translation")) continue;
        ++messages;
        const QString type = xml.attributes().value("type").toString();
        const QString text = xml.readElementText();
        const std::string where = context.toStdString() + ": " + source.toStdString();
        EXPECT_TRUE(type.isEmpty()) << type.toStdString() << " " << where;
        EXPECT_FALSE(text.isEmpty()) << where;
        EXPECT_FALSE(japanese.match(text).hasMatch()) << text.toStdString() << " for " << where;
        EXPECT_EQ(placeholders(text), placeholders(source)) << where;
        EXPECT_EQ(text.section('\t', 1), source.section('\t', 1)) << "the shortcut of " << where;
        if (context == "Command" || context == "Menu" || context == "TextureFolders") {
            static const QRegularExpression accessKey(QStringLiteral("&[^& ]"));
            EXPECT_EQ(text.contains(accessKey), source.contains(accessKey)) << "the access key of " << where;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(messages, 200);
}

// The built translation has the caption, prompt and tip of every command.
TEST(Translation, EveryCommandHasItsEnglishTexts)
{
    QTranslator english;
    ASSERT_TRUE(english.load(kEnglishQm));
    for (const ui::CommandText& c : ui::CommandTexts())
        for (const char* text : {c.caption, c.prompt, c.tip})
            EXPECT_FALSE(english.translate("Command", text).isEmpty()) << c.id << ": " << text;
}

class Links : public ::testing::Test {
protected:
    void SetUp() override
    {
        about = std::make_unique<ui::CAboutDlg>();
        about->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(about.get()));
    }
    std::unique_ptr<ui::CAboutDlg> about;
};

TEST_F(Links, TheAboutBoxShowsTheVersionAndTwoLinks)
{
    EXPECT_EQ(about->objectName(), "100");
    auto* version = about->findChild<QLabel*>("version");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Kinovela Version 6.6");
    auto* mail = about->findChild<ui::CHyperLink*>("1011");
    auto* web = about->findChild<ui::CHyperLink*>("1012");
    ASSERT_TRUE(mail && web);
    EXPECT_EQ(mail->Target().scheme(), "mailto");
    EXPECT_EQ(web->Target().scheme(), "https");
    for (const ui::CHyperLink* link : {mail, web}) {
        EXPECT_EQ(link->toolTip(), link->Target().toString());
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_TRUE(link->font().underline());
        EXPECT_LE(link->width(), link->fontMetrics().horizontalAdvance(link->text()) + 8) << "as wide as its text";
    }
}

// Blue, then the highlight colour under the pointer, then purple once
// opened; a failure beeps and says why, and the link stays unvisited.
TEST_F(Links, ColoursFollowThePointerAndTheVisit)
{
    ui::CHyperLink* link = about->m_web;
    QList<QUrl> asked;
    QStringList shown;
    int result = 2;
    link->m_open = [&](const QUrl& url) {
        asked << url;
        return result;
    };
    link->m_showMessage = [&](const QString& text) { shown << text; };
    EXPECT_EQ(link->TextColour(), QColor(0, 0, 238));
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 238));

    QTest::mouseMove(link, link->rect().center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return link->Hovered(); }, 1000));
    EXPECT_EQ(link->TextColour(), QApplication::palette().color(QPalette::Active, QPalette::Highlight));

    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], link->Target());
    EXPECT_EQ(shown, QStringList{"Unable to open hyperlink:\n\nThe specified file was not found."});
    EXPECT_FALSE(link->Visited());

    result = 33;
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    EXPECT_TRUE(link->Visited());
    EXPECT_EQ(shown.size(), 1);
    QTest::mouseMove(about.get(), QPoint(2, 2));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !link->Hovered(); }, 1000));
    EXPECT_EQ(link->TextColour(), QColor(0x55, 0x1A, 0x8B));

    EXPECT_EQ(ui::CHyperLink::FailureText(31),
              "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension.");
    EXPECT_EQ(ui::CHyperLink::FailureText(99), "Unable to open hyperlink:\n\nUnknown Error (99) occurred.");
}

// The per-user registration is written once, and the registration command
// takes away what it wrote, and nothing of anybody else's.
TEST_F(StartUp, TheRegistrationCommandRemovesWhatTheStartWrote)
{
    const test::TempDir dir;
    const QString home = QString::fromStdString(dir.Path().string());
    const ui::RegistrationFiles files(home);
    const QString program = "/opt/Kino vela/bin/kinovela";
    EXPECT_TRUE(ui::RegisterForUser(home, program));
    for (const QString& f : {files.desktopFile, files.mimeFile, files.icon, files.documentIcon})
        EXPECT_TRUE(QFileInfo::exists(f)) << f.toStdString();
    const std::string entry = test::ReadFile(files.desktopFile.toStdString());
    EXPECT_NE(entry.find("Exec=\"/opt/Kino vela/bin/kinovela\" %F\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("MimeType=application/x-kinovela-scene;"), std::string::npos);
    EXPECT_FALSE(ui::RegisterForUser(home, program)) << "nothing changed, nothing written";
    if (const QString validate = QStandardPaths::findExecutable("desktop-file-validate"); !validate.isEmpty()) {
        QProcess p;
        p.start(validate, {files.desktopFile});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().toStdString();
    }

    MakeWindow(nullptr);
    window->m_userDataFolder = home;
    ASSERT_TRUE(window->RunCommand(ui::ID_DELETE_REGISTRY));
    EXPECT_EQ(messages, QStringList{QString::fromUtf8("レジストリを削除しました。")});
    for (const QString& f : {files.desktopFile, files.mimeFile, files.icon, files.documentIcon})
        EXPECT_FALSE(QFileInfo::exists(f)) << f.toStdString();

    // An install into the user's own prefix put its entry, types and icon
    // there: a start leaves them as they are and the command removes none.
    const std::string installed = ui::DesktopEntry("/home/u/.local/bin/kinovela", false).toStdString();
    test::WriteFile(files.desktopFile.toStdString(), installed);
    test::WriteFile(files.mimeFile.toStdString(), "<mime-info/>\n");
    test::WriteFile(files.icon.toStdString(), "<svg/>\n");
    EXPECT_FALSE(ui::RegisterForUser(home, program));
    EXPECT_EQ(test::ReadFile(files.desktopFile.toStdString()), installed);
    EXPECT_EQ(test::ReadFile(files.icon.toStdString()), "<svg/>\n");
    ui::UnregisterForUser(home);
    for (const QString& f : {files.desktopFile, files.mimeFile, files.icon})
        EXPECT_TRUE(QFileInfo::exists(f)) << f.toStdString();
    // Without any entry, a type file that is not ours stays too.
    QFile::remove(files.desktopFile);
    ui::UnregisterForUser(home);
    EXPECT_TRUE(QFileInfo::exists(files.mimeFile));
}

}  // namespace
}  // namespace kinovela

int main(int argc, char** argv)
{
    return kinovela::test::RunWindowTests(argc, argv, [] {
        kinovela::SetTextTranslator([](const char* context, const char* source) {
            return QCoreApplication::translate(context, source).toStdString();
        });
    });
}
