// The start of a window test program, shared by the programs that make the
// editor's main window.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QSurfaceFormat>

#include <functional>

#include "TestUtil.h"

namespace kinovela::test {

// A compatibility context for the fixed-function 3D view; Qt's own file
// dialogs, so tests can type into them (a desktop's native dialog would be
// another process); settings in a folder of the test's own, never the
// user's. `started` runs once the application exists.
inline int RunWindowTests(int argc, char** argv, const std::function<void()>& started = {})
{
    QSurfaceFormat format;
    format.setVersion(2, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    const TempDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(settings.Path().string()));
    if (started) started();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

}  // namespace kinovela::test
