// The editor's main window on the bundled sample, shown and active, as the
// window tests start from.
#pragma once

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSettings>
#include <QTest>

#include <memory>

#include "ui/MainWindow.h"
#include "ui/Settings.h"

namespace kinovela::test {

inline const QString kSample = QString(KINOVELA_SOURCE_DIR) + "/samples/robot_arm.mqo";

class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        clock.start();
        // The recent files are kept between runs: each test starts with none.
        QSettings(ui::kSettingsOrganisation, ui::kSettingsApplication).remove(ui::kRecentFilesGroup);
        window = std::make_unique<ui::MainWindow>(doc, meter, options);
        window->m_showMessage = [this](const QString& text) { messages << text; };
        window->m_askYesNo = [this](const QString& text) {
            questions << text;
            return false;
        };
        window->resize(1200, 800);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        window->OpenFile(kSample);
        QTest::qWait(100);
    }
    void TearDown() override
    {
        doc.SetModified(false);  // no save question on the way out
        window.reset();
    }

    CKinovela scene;
    CTimeline t;
    CKinoDoc doc{scene, t};
    ExportOptionsTable options;
    QElapsedTimer clock;
    FrameRateMeter meter{[this] { return static_cast<std::uint32_t>(clock.elapsed()); }};
    std::unique_ptr<ui::MainWindow> window;
    QStringList messages;  // what the window would have shown in message boxes
    QStringList questions;  // the yes-or-no questions it asked, answered no
};

}  // namespace kinovela::test
