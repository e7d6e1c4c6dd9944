#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

// The program's launcher on the operator's desktop, made again at every
// login so it follows the program when the folder is moved. On Windows a
// shell link (.lnk); elsewhere a freedesktop launcher (.desktop).
class DesktopShortcut
{
public:
    // The desktop folder of this user, or an empty string when there is
    // none; see defaultDesktopFolder().
    DesktopShortcut();
    // Tests name a folder of their own.
    explicit DesktopShortcut(const QString &desktopFolder);

    // "岚蔚箱包销售管理软件.lnk" on Windows, "岚蔚箱包销售管理软件.desktop" elsewhere.
    static QString fileName();
    static QString title() { return QStringLiteral("岚蔚箱包销售管理软件"); }

    // Linux: the folder `xdg-user-dir DESKTOP` names, unless that is just the
    // home folder (which it answers when no desktop is configured); then
    // ~/Desktop. Windows: the desktop folder. Empty when the folder does not
    // exist: a computer without a desktop gets no launcher, and no folder is
    // made for it.
    static QString defaultDesktopFolder();

    QString folder() const { return m_folder; }
    // Where the shortcut goes; empty when there is no desktop folder.
    QString path() const;

    // Writes the shortcut for the given program and its arguments,
    // replacing an older one. An installed program (its icon in
    // <prefix>/share/icons beside <prefix>/bin) names its icon by theme name;
    // otherwise the icon, when given, is stored beside the user's data and
    // named by path. False (and nothing written) when there is no desktop
    // folder or it cannot be written; the login goes on regardless.
    bool create(const QString &executable, const QIcon &icon = QIcon(),
                const QStringList &arguments = QStringList()) const;

    // The launcher's text for a program; public so tests can read the quoting.
    static QString desktopEntry(const QString &executable, const QString &iconPath,
                                const QStringList &arguments = QStringList());

    // The program's suitcase icon, in every size it is drawn in.
    static QIcon programIcon();
    // "lwjxc" when the program is installed with its icon, else "".
    static QString installedIconName(const QString &executable);

private:
    QString m_folder;
};
