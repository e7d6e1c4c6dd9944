#pragma once

#include "shell/Session.h"

#include <QDialog>

#include <optional>

class Database;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SettingsStore;

// The login window "用户登录": checks a name and password against userdb,
// opens the session row and reads the zero-stock preference. Shown modally
// over the main window; Rejected (closed or cancelled) ends the program.
class Tloginfm : public QDialog
{
    Q_OBJECT
public:
    Tloginfm(const Database &db, SettingsStore &settings, QWidget *parent = nullptr);

    // After exec() == QDialog::Accepted the session row is open.
    const Session &session() const { return m_session; }
    // The "n0" preference read at the successful login (only when the
    // settings key exists): true = hide zero stock, false = show all,
    // nullopt = any other value: change nothing.
    std::optional<bool> hideZeroStock() const { return m_hideZeroStock; }
    // True when the accepted password was the default one every new or
    // reset account starts with.
    bool usedDefaultPassword() const { return m_usedDefaultPassword; }

    // Where the desktop shortcut is made at every show; tests point it at a
    // folder of their own. Empty: the user's desktop (none at all while
    // QStandardPaths' test mode is on).
    void setDesktopFolder(const QString &folder) { m_desktopFolder = folder; }

    // Every password box of the program: masked with "*", at most 10
    // characters, letters and digits only, whether typed, pasted or composed
    // by an input method.
    static void setUpPasswordBox(QLineEdit *box);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void login();
    void cancel();
    void createDesktopShortcut();

    const Database &m_db;
    SettingsStore &m_settings;
    Session m_session;
    std::optional<bool> m_hideZeroStock;
    bool m_usedDefaultPassword = false;
    QString m_desktopFolder;

    QComboBox *m_userBox = nullptr;
    QLineEdit *m_passwordBox = nullptr;
    QLabel *m_defaultPasswordLabel = nullptr;
    QPushButton *m_loginButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_shortcutButton = nullptr;
};
