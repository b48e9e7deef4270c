// kinovela: the editor.
//
// Start-up, in order: the command line (--help and --version are answered
// before anything needs a display); the settings (QSettings, "Kinovela
// Application"/"Kino"); the one scene, frame state and document; the main
// window, which sets up the language and shows the splash while it is made;
// the files named on the command line; the window shown, accepting dropped
// files; and the per-user desktop registration.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QSurfaceFormat>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "common/UserTexts.h"
#include "document/ExportOptions.h"
#include "document/KinoDoc.h"
#include "document/ViewInteraction.h"
#include "ui/CommandLine.h"
#include "ui/DesktopIntegration.h"
#include "ui/Language.h"
#include "ui/MainWindow.h"

namespace {

// The core's messages through the translation in use.
std::string TranslateForCore(const char* context, const char* source)
{
    return QCoreApplication::translate(context, source).toStdString();
}

int Print(const QString& text, std::FILE* to)
{
    std::fputs(text.toLocal8Bit().constData(), to);
    return std::fflush(to) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const kinovela::ui::CommandLine line = kinovela::ui::ParseCommandLine(arguments);
    if (!line.error.isEmpty()) {
        Print("kinovela: " + line.error + "\n\n" + kinovela::ui::CommandLineHelp(), stderr);
        return 2;
    }
    if (line.help) return Print(kinovela::ui::CommandLineHelp(), stdout);
    if (line.version)
        return Print(QString("Kinovela %1.%2\n").arg(KINOVELA_VERSION_MAJOR).arg(KINOVELA_VERSION_MINOR), stdout);

    QElapsedTimer sinceStart;
    sinceStart.start();
    // Fixed-function drawing needs a compatibility context: asking for 3.0
    // or more gives a core context on this platform, where glBegin fails.
    QSurfaceFormat format;
    format.setVersion(2, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    QSurfaceFormat::setDefaultFormat(format);

    QApplication app(argc, argv);
    QApplication::setApplicationName("Kinovela");
    QApplication::setApplicationVersion(QString("%1.%2").arg(KINOVELA_VERSION_MAJOR).arg(KINOVELA_VERSION_MINOR));
    // The desktop entry the window belongs to (its icon and name in docks).
    QGuiApplication::setDesktopFileName("kinovela");
    kinovela::SetTextTranslator(TranslateForCore);

    // --grab serves thumbnails and checks, --measure the drawing-rate
    // figures; nobody is there to answer a message box.
    const bool batch = line.Batch();

    // The window cannot work without its 3D view.
    if (const QString problem = kinovela::ui::OpenGLProblem(); !problem.isEmpty()) {
        if (batch)
            std::fprintf(stderr, "kinovela: %s\n", problem.toLocal8Bit().constData());
        else
            QMessageBox::critical(nullptr, "Kinovela", problem);
        return 1;
    }

    // The one scene, frame state and document of the run.
    kinovela::CKinovela scene;
    kinovela::CTimeline timeline;
    kinovela::CKinoDoc doc(scene, timeline);
    QElapsedTimer clock;
    clock.start();
    kinovela::FrameRateMeter meter([&clock] { return static_cast<std::uint32_t>(clock.elapsed()); });

    // The export options are kept for the run, shared by every document.
    kinovela::ExportOptionsTable exportOptions;

    kinovela::ui::Language language;
    kinovela::ui::WindowStartUp startUp;
    startUp.language = &language;
    startUp.splash = line.splash && !batch;
    kinovela::ui::MainWindow window(doc, meter, exportOptions, startUp);
    if (batch) window.SetBatchMode();
    window.resize(1400, 900);
    window.showMaximized();
    for (const QString& file : line.files) window.OpenFile(file);
    if (line.frame >= 0) {
        scene.RecomputeAll(timeline);
        timeline.m_current = std::min(line.frame, timeline.m_last);
        doc.UpdateAllViews(kinovela::kHintNavigated);
    }
    // The desktop learns of the program (and of its file types) once the
    // window is up; only files that changed are written.
    if (!batch)
        QTimer::singleShot(0, &window, [] {
            kinovela::ui::RegisterForUser(kinovela::ui::UserDataFolder(), QCoreApplication::applicationFilePath());
        });

    long frames = -1;
    QElapsedTimer playing;
    if (line.measure > 0) {
        QObject::connect(window.View(), &QOpenGLWidget::frameSwapped, &window, [&] {
            if (frames++ >= 0) return;
            std::printf("first frame: %lld ms after start\n", static_cast<long long>(sinceStart.elapsed()));
            std::fflush(stdout);
            // The shortest timer interval: the rate is then the view's own.
            window.Controls()->m_fps->setEditText("1000");
            doc.UpdateAllViews(kinovela::kHintPlay);
            playing.start();
            QTimer::singleShot(static_cast<int>(line.measure * 1000), &window, [&] {
                const double seconds = static_cast<double>(playing.elapsed()) / 1000.0;
                std::printf("playing: %.2f frames/s (%ld frames in %.2f s)\n", static_cast<double>(frames) / seconds,
                            frames, seconds);
                // Nothing of the run is kept: leave without the save question.
                doc.SetModified(false);
                QApplication::quit();
            });
        });
    }
    int status = 0;
    if (!line.grab.isEmpty()) {
        QTimer::singleShot(1000, &window, [&] {
            const QImage picture = window.View()->grabFramebuffer();
            if (picture.isNull() || !picture.save(line.grab)) {
                std::fprintf(stderr, "kinovela: cannot save %s\n", line.grab.toLocal8Bit().constData());
                status = 1;
            }
            // Nothing of the run is kept: leave without the save question.
            doc.SetModified(false);
            QApplication::quit();
        });
    }
    const int code = QApplication::exec();
    return status != 0 ? status : code;
}
