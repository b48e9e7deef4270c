// The editor's command line: file names to open, the switch that leaves
// out the splash window, the batch options that draw once and quit, and
// --help and --version, which are answered before any window (or display)
// is needed.
#pragma once

#include <QString>
#include <QStringList>

namespace kinovela::ui {

struct CommandLine {
    QStringList files;     // in the order given: a .kvl opens, a .mqo adds its models
    bool splash = true;    // false after /nosplash, -nosplash or --nosplash
    bool help = false;
    bool version = false;
    QString grab;          // --grab OUT.png: save the 3D view as a picture and quit
    int frame = -1;        // --frame N: the frame shown once the files are open
    double measure = 0;    // --measure SECONDS: time to the first frame, then the drawing rate
    QString error;         // what could not be understood; empty when all was

    // A run without a user: messages go to standard error, and nothing of
    // the run (recent files, desktop registration) is kept.
    bool Batch() const { return !grab.isEmpty() || measure > 0; }
};

// `arguments` starts with the program's name. The Windows form /nosplash
// (any case) is taken as well as -nosplash and --nosplash; a single dash
// starts a long option (-help, -version, -grab).
CommandLine ParseCommandLine(const QStringList& arguments);

// What --help prints.
QString CommandLineHelp();

}  // namespace kinovela::ui
