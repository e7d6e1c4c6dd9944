#pragma once

#include <QIcon>
#include <QString>

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

    // Writes the shortcut for the given program, replacing an older one.
    // The icon, when given, is stored beside the user's data and named in
    // the launcher. False (and nothing written) when there is no desktop
    // folder or it cannot be written; the login goes on regardless.
    bool create(const QString &executable, const QIcon &icon = QIcon()) const;

    // The launcher's text for a program; public so tests can read the quoting.
    static QString desktopEntry(const QString &executable, const QString &iconPath);

private:
    QString m_folder;
};
