#include "ui/DesktopIntegration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <utility>

#include "common/Paths.h"

namespace kinovela::ui {

namespace {

// Marks the per-user entry as this program's own registration.
constexpr const char* kOwnMark = "X-Kinovela-Registration=user";
constexpr int kToolMilliseconds = 10000;

QByteArray Resource(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One argument of an Exec line: quoted when it holds anything but plain
// path characters, with the characters a quoted argument must escape.
QString ExecArgument(const QString& path)
{
    static const QString plain = QStringLiteral("/._+-");
    bool quote = path.isEmpty();
    for (const QChar c : path)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && !plain.contains(c)) quote = true;
    if (!quote) return path;
    QString out = QStringLiteral("\"");
    for (const QChar c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

// A desktop entry's string value: backslashes and line breaks escaped.
QString EntryString(QString text)
{
    text.replace('\\', QStringLiteral("\\\\"));
    text.replace('\n', QStringLiteral("\\n"));
    text.replace('\r', QStringLiteral("\\r"));
    text.replace('\t', QStringLiteral("\\t"));
    return text;
}

// Writes `data` unless the file holds it already; true when written.
bool WriteIfChanged(const QString& path, const QByteArray& data)
{
    QFile old(path);
    if (old.open(QIODevice::ReadOnly) && old.readAll() == data) return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(data);
    return f.commit();
}

// Runs a database tool when it is installed, and waits for it.
void RunTool(const char* tool, const QString& folder)
{
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (program.isEmpty() || !QFileInfo(folder).isDir()) return;
    QProcess p;
    // Their remarks (a folder outside XDG_DATA_DIRS) are for packagers.
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, {folder});
    if (p.waitForStarted()) p.waitForFinished(kToolMilliseconds);
}

void UpdateDatabases(const QString& dataHome)
{
    RunTool("update-desktop-database", dataHome + "/applications");
    RunTool("update-mime-database", dataHome + "/mime");
}

}  // namespace

QString HelpFolder() { return QString::fromStdString(ProgramDataPath("help")); }

QString HelpIndex(const QString& helpFolder, bool japanese)
{
    const QString wanted = helpFolder + (japanese ? "/ja/index.html" : "/en/index.html");
    const QString other = helpFolder + (japanese ? "/en/index.html" : "/ja/index.html");
    return QFileInfo::exists(wanted) || !QFileInfo::exists(other) ? wanted : other;
}

QString UserDataFolder() { return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation); }

RegistrationFiles::RegistrationFiles(const QString& dataHome)
    : desktopFile(dataHome + "/applications/kinovela.desktop"),
      mimeFile(dataHome + "/mime/packages/kinovela.xml"),
      icon(dataHome + "/icons/hicolor/scalable/apps/kinovela.svg"),
      documentIcon(dataHome + "/icons/hicolor/scalable/mimetypes/application-x-kinovela-scene.svg")
{
}

QString DesktopEntry(const QString& program, bool perUser)
{
    QString entry = QString::fromUtf8(Resource(QStringLiteral(":/kinovela/kinovela.desktop.in")));
    entry.replace(QStringLiteral("@EXEC@"), EntryString(ExecArgument(program)));
    entry.replace(QStringLiteral("@TRYEXEC@"), EntryString(program));
    if (perUser) entry += QString::fromLatin1(kOwnMark) + '\n';
    return entry;
}

namespace {

// An entry without our mark was installed (cmake --install into the
// user's own prefix) or written by the user: it registers the program
// already, and its files are not ours to replace or remove.
bool SomeoneElsesEntry(const QString& desktopFile)
{
    QFile entry(desktopFile);
    return entry.open(QIODevice::ReadOnly) && !entry.readAll().contains(kOwnMark);
}

}  // namespace

bool RegisterForUser(const QString& dataHome, const QString& program)
{
    const RegistrationFiles files(dataHome);
    if (SomeoneElsesEntry(files.desktopFile)) return false;
    bool changed = WriteIfChanged(files.desktopFile, DesktopEntry(program, true).toUtf8());
    changed |= WriteIfChanged(files.mimeFile, Resource(QStringLiteral(":/kinovela/kinovela-mime.xml")));
    changed |= WriteIfChanged(files.icon, Resource(QStringLiteral(":/kinovela/kinovela.svg")));
    changed |= WriteIfChanged(files.documentIcon, Resource(QStringLiteral(":/kinovela/application-x-kinovela-scene.svg")));
    if (changed) UpdateDatabases(dataHome);
    return changed;
}

void UnregisterForUser(const QString& dataHome)
{
    const RegistrationFiles files(dataHome);
    if (SomeoneElsesEntry(files.desktopFile)) return;
    QFile::remove(files.desktopFile);
    // The types and icons go only while they are as we wrote them.
    const std::pair<QString, const char*> ours[] = {{files.mimeFile, ":/kinovela/kinovela-mime.xml"},
                                                    {files.icon, ":/kinovela/kinovela.svg"},
                                                    {files.documentIcon, ":/kinovela/application-x-kinovela-scene.svg"}};
    for (const auto& [path, resource] : ours) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly) && f.readAll() == Resource(QString::fromLatin1(resource))) {
            f.close();
            f.remove();
        }
    }
    UpdateDatabases(dataHome);
}

}  // namespace kinovela::ui
