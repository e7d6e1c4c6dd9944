#include "DesktopShortcut.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

#ifndef Q_OS_WIN
// The folder xdg-user-dir names for the desktop, or "" when it names none.
QString xdgDesktopFolder()
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-user-dir"));
    if (tool.isEmpty())
        return QString();
    QProcess process;
    process.start(tool, {QStringLiteral("DESKTOP")});
    if (!process.waitForFinished(2000)) {
        process.kill();
        process.waitForFinished(500);
        return QString();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QString();
    const QString answer = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    if (answer.isEmpty())
        return QString();
    // With no desktop configured the tool answers the home folder; a launcher
    // dropped among the user's files would only be clutter.
    if (QDir(answer) == QDir(QDir::homePath()))
        return QString();
    return answer;
}

// A value of a .desktop key: the escapes of the string type.
QString escapeValue(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

// One argument of the Exec key: always quoted, with the characters that
// quoting does not protect escaped, and % doubled (field codes).
QString execArgument(const QString &argument)
{
    QString quoted(u'"');
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    quoted += u'"';
    return escapeValue(quoted);
}
#endif

} // namespace

DesktopShortcut::DesktopShortcut() : m_folder(defaultDesktopFolder()) {}

DesktopShortcut::DesktopShortcut(const QString &desktopFolder) : m_folder(desktopFolder) {}

QString DesktopShortcut::fileName()
{
#ifdef Q_OS_WIN
    return title() + QStringLiteral(".lnk");
#else
    return title() + QStringLiteral(".desktop");
#endif
}

QString DesktopShortcut::defaultDesktopFolder()
{
    QString folder;
#ifdef Q_OS_WIN
    folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
#else
    folder = xdgDesktopFolder();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::home().filePath(QStringLiteral("Desktop"));
#endif
    return QFileInfo(folder).isDir() ? QDir::cleanPath(folder) : QString();
}

QString DesktopShortcut::path() const
{
    return m_folder.isEmpty() ? QString() : QDir(m_folder).filePath(fileName());
}

QIcon DesktopShortcut::programIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/lwjxc.png").arg(size), QSize(size, size));
    return icon;
}

QString DesktopShortcut::installedIconName(const QString &executable)
{
    const QDir bin = QFileInfo(executable).absoluteDir();
    const QString svg = bin.filePath(QStringLiteral("../share/icons/hicolor/scalable/apps/lwjxc.svg"));
    return bin.dirName() == QLatin1String("bin") && QFileInfo(svg).isFile() ? QStringLiteral("lwjxc")
                                                                            : QString();
}

QString DesktopShortcut::desktopEntry(const QString &executable, const QString &iconPath,
                                      const QStringList &arguments)
{
#ifdef Q_OS_WIN
    Q_UNUSED(executable);
    Q_UNUSED(iconPath);
    Q_UNUSED(arguments);
    return QString();
#else
    const QString folder = QFileInfo(executable).absolutePath();
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Version=1.0\n");
    text += QStringLiteral("Name=") + escapeValue(title()) + u'\n';
    text += QStringLiteral("Comment=") + escapeValue(title()) + u'\n';
    text += QStringLiteral("Exec=") + execArgument(executable);
    for (const QString &argument : arguments)
        text += u' ' + execArgument(argument);
    text += u'\n';
    text += QStringLiteral("Path=") + escapeValue(folder) + u'\n';
    // Without an icon of its own the program shows the desktop's generic one.
    text += QStringLiteral("Icon=") +
            (iconPath.isEmpty() ? QStringLiteral("application-x-executable") : escapeValue(iconPath)) + u'\n';
    text += QStringLiteral("Terminal=false\n"
                           "Categories=Office;Finance;\n");
    return text;
#endif
}

bool DesktopShortcut::create(const QString &executable, const QIcon &icon, const QStringList &arguments) const
{
    const QString target = path();
    if (target.isEmpty() || executable.isEmpty())
        return false;
#ifdef Q_OS_WIN
    Q_UNUSED(icon);
    Q_UNUSED(arguments);
    // The shell link takes the program's own icon and folder from the target.
    QFile::remove(target);
    return QFile::link(QDir::toNativeSeparators(executable), target);
#else
    QString iconPath = installedIconName(executable);
    if (iconPath.isEmpty() && !icon.isNull()) {
        const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        if (!dataFolder.isEmpty() && QDir().mkpath(dataFolder)) {
            const QString file = QDir(dataFolder).filePath(QStringLiteral("lwjxc.png"));
            if (icon.pixmap(256, 256).save(file, "PNG"))
                iconPath = file;
        }
    }
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(desktopEntry(executable, iconPath, arguments).toUtf8());
    if (!file.commit())
        return false;
    // Desktops start only launchers that are marked executable.
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    return true;
#endif
}
