// kinovela: the editor.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QSurfaceFormat>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "document/ExportOptions.h"
#include "document/KinoDoc.h"
#include "document/ViewInteraction.h"
#include "ui/MainWindow.h"

namespace {

constexpr const char* kUsage =
    "Usage: kinovela [--grab OUT.png] [--frame N] [--measure SECONDS] [FILE...]\n"
    "  FILE             a .kvl scene opens, a .mqo document adds its models\n"
    "  --grab OUT.png   draw the scene once, save the 3D view as a picture, quit\n"
    "  --frame N        show frame N (clamped to the range) once the files are open\n"
    "  --measure SECS   print the time to the first drawn frame, then play as\n"
    "                   fast as the view draws for SECS and print the rate, quit\n"
    "  --help           this text\n"
    "  --version        the program's version\n"
    "--grab and --measure print messages on standard error instead of showing\n"
    "them, and go on.\n";

// --help and --version answer before the application starts, so they work
// without a display.
bool AnswerBeforeStart(int argc, char** argv, int& status)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--grab" || a == "--measure" || a == "--frame") {
            ++i;  // their value is not an option
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            status = std::fflush(stdout) == 0 ? 0 : 1;
            return true;
        } else if (a == "--version") {
            std::printf("Kinovela %d.%d\n", KINOVELA_VERSION_MAJOR, KINOVELA_VERSION_MINOR);
            status = std::fflush(stdout) == 0 ? 0 : 1;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (int status = 0; AnswerBeforeStart(argc, argv, status)) return status;
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

    // See kUsage. --grab serves thumbnails and checks, --measure the
    // drawing-rate figures; nobody is there to answer a message box.
    const QStringList args = QApplication::arguments();
    QString grab;
    double measureSeconds = 0;
    int startFrame = -1;
    QStringList files;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--grab" && i + 1 < args.size())
            grab = args[++i];
        else if (args[i] == "--frame" && i + 1 < args.size())
            startFrame = std::max(0, args[++i].toInt());
        else if (args[i] == "--measure" && i + 1 < args.size())
            measureSeconds = std::max(0.1, args[++i].toDouble());
        else
            files << args[i];
    }
    const bool batch = !grab.isEmpty() || measureSeconds > 0;

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

    kinovela::ui::MainWindow window(doc, meter, exportOptions);
    if (batch) window.SetBatchMode();
    window.resize(1400, 900);
    window.showMaximized();
    for (const QString& file : files) window.OpenFile(file);
    if (startFrame >= 0) {
        scene.RecomputeAll(timeline);
        timeline.m_current = std::min(startFrame, timeline.m_last);
        doc.UpdateAllViews(kinovela::kHintNavigated);
    }
    long frames = -1;
    QElapsedTimer playing;
    if (measureSeconds > 0) {
        QObject::connect(window.View(), &QOpenGLWidget::frameSwapped, &window, [&] {
            if (frames++ >= 0) return;
            std::printf("first frame: %lld ms after start\n", static_cast<long long>(sinceStart.elapsed()));
            std::fflush(stdout);
            // The shortest timer interval: the rate is then the view's own.
            window.Controls()->m_fps->setEditText("1000");
            doc.UpdateAllViews(kinovela::kHintPlay);
            playing.start();
            QTimer::singleShot(static_cast<int>(measureSeconds * 1000), &window, [&] {
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
    if (!grab.isEmpty()) {
        QTimer::singleShot(1000, &window, [&] {
            const QImage picture = window.View()->grabFramebuffer();
            if (picture.isNull() || !picture.save(grab)) {
                std::fprintf(stderr, "kinovela: cannot save %s\n", grab.toLocal8Bit().constData());
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
