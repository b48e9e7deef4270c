// kinovela: the editor.
#include <QApplication>
#include <QElapsedTimer>
#include <QSurfaceFormat>
#include <QTimer>
#include <cstdio>

#include "document/KinoDoc.h"
#include "document/ViewInteraction.h"
#include "ui/MainWindow.h"

int main(int argc, char** argv)
{
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

    // The one scene, frame state and document of the run.
    kinovela::CKinovela scene;
    kinovela::CTimeline timeline;
    kinovela::CKinoDoc doc(scene, timeline);
    QElapsedTimer clock;
    clock.start();
    kinovela::FrameRateMeter meter([&clock] { return static_cast<std::uint32_t>(clock.elapsed()); });

    kinovela::ui::MainWindow window(doc, meter);
    window.resize(1400, 900);
    window.showMaximized();
    // kinovela [--grab OUT.png] [FILE...]: --grab draws the scene once,
    // saves the 3D view as a picture and quits (thumbnails, checks).
    const QStringList args = QApplication::arguments();
    QString grab;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--grab" && i + 1 < args.size())
            grab = args[++i];
        else
            window.OpenFile(args[i]);
    }
    int status = 0;
    if (!grab.isEmpty()) {
        QTimer::singleShot(1000, &window, [&] {
            const QImage picture = window.View()->grabFramebuffer();
            if (picture.isNull() || !picture.save(grab)) {
                std::fprintf(stderr, "kinovela: cannot save %s\n", grab.toLocal8Bit().constData());
                status = 1;
            }
            QApplication::quit();
        });
    }
    const int code = QApplication::exec();
    return status != 0 ? status : code;
}
