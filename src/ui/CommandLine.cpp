#include "ui/CommandLine.h"

#include <QCommandLineParser>

#include <algorithm>

namespace kinovela::ui {

QString CommandLineHelp()
{
    return QStringLiteral(
        "Usage: kinovela [--nosplash] [--grab OUT.png] [--frame N] [--measure SECONDS] [FILE...]\n"
        "  FILE             a .kvl scene opens, a .mqo document adds its models\n"
        "  --nosplash       start without the splash window (also -nosplash, /nosplash)\n"
        "  --grab OUT.png   draw the scene once, save the 3D view as a picture, quit\n"
        "  --frame N        show frame N (clamped to the range) once the files are open\n"
        "  --measure SECS   print the time to the first drawn frame, then play as\n"
        "                   fast as the view draws for SECS and print the rate, quit\n"
        "  --help           this text\n"
        "  --version        the program's version\n"
        "--grab and --measure print messages on standard error instead of showing\n"
        "them, and go on; they keep nothing of the run (recent files, desktop\n"
        "registration).\n"
        "Qt's own options (-platform, -style, -reverse...) are taken as well.\n");
}

namespace {

// The options every Qt program takes (QGuiApplication and QApplication read
// them from argv): they are Qt's, not errors of ours. Those with a value
// take the next argument too.
bool IsQtOption(const QString& argument, bool& takesValue)
{
    static const QStringList withValue{"platform", "platformpluginpath", "platformtheme", "plugin",
                                       "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                       "style", "stylesheet", "display", "geometry", "title", "name"};
    static const QStringList flags{"reverse", "widgetcount", "nograb", "dograb", "sync"};
    if (!argument.startsWith('-')) return false;
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    if (const qsizetype equals = name.indexOf('='); equals >= 0) {
        takesValue = false;
        return withValue.contains(name.left(equals)) || name.left(equals) == QLatin1String("qmljsdebugger");
    }
    takesValue = withValue.contains(name);
    return takesValue || flags.contains(name);
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        bool takesValue = false;
        // The parser knows no "/" options; a Windows user's habit is kept.
        if (i > 0 && arguments[i].compare(QLatin1String("/nosplash"), Qt::CaseInsensitive) == 0)
            line.splash = false;
        else if (i > 0 && IsQtOption(arguments[i], takesValue))
            i += takesValue ? 1 : 0;
        else
            rest << arguments[i];
    }
    if (rest.isEmpty()) rest << QStringLiteral("kinovela");

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version(QStringList{"v", "version"});
    const QCommandLineOption nosplash("nosplash");
    const QCommandLineOption grab("grab", QString(), "OUT.png");
    const QCommandLineOption frame("frame", QString(), "N");
    const QCommandLineOption measure("measure", QString(), "SECONDS");
    parser.addOptions({help, version, nosplash, grab, frame, measure});
    parser.addPositionalArgument("files", QString(), "[FILE...]");
    if (!parser.parse(rest)) {
        line.error = parser.errorText();
        return line;
    }
    line.help = parser.isSet(help);
    line.version = parser.isSet(version);
    if (parser.isSet(nosplash)) line.splash = false;
    line.grab = parser.value(grab);
    if (parser.isSet(frame)) {
        bool ok = false;
        const int n = parser.value(frame).toInt(&ok);
        if (!ok) line.error = QStringLiteral("--frame needs a whole number, not \"%1\"").arg(parser.value(frame));
        line.frame = std::max(0, n);
    }
    if (parser.isSet(measure)) {
        bool ok = false;
        const double seconds = parser.value(measure).toDouble(&ok);
        if (!ok || !(seconds > 0))
            line.error = QStringLiteral("--measure needs a number of seconds, not \"%1\"").arg(parser.value(measure));
        line.measure = std::max(0.1, seconds);
    }
    line.files = parser.positionalArguments();
    return line;
}

}  // namespace kinovela::ui
