#pragma once

#include "shell/Session.h"

#include <QDialog>

class Database;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

// The user administration window "用户管理—(管理员专用)": after the
// administrator has confirmed his password here, resets passwords, adds and
// deletes operator accounts. Destroyed when closed.
class Tuserglfm : public QDialog
{
    Q_OBJECT
public:
    Tuserglfm(const Database &db, const Session &session, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void refillUserList();
    void administratorLogin();
    void userPicked();
    void resetPassword();
    void showResetHint();
    void addUser();
    void deleteUser();
    void setUnlocked(bool unlocked);

    const Database &m_db;
    const Session m_session;

    QLineEdit *m_adminPasswordBox = nullptr;
    QPushButton *m_adminLoginButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QListWidget *m_userList = nullptr;
    QTabWidget *m_tabs = nullptr;
    QLineEdit *m_resetNameBox = nullptr;
    QPushButton *m_resetButton = nullptr;
    QPushButton *m_hintButton = nullptr;
    QLineEdit *m_newNameBox = nullptr;
    QPushButton *m_addButton = nullptr;
    QLineEdit *m_deleteNameBox = nullptr;
    QPushButton *m_deleteButton = nullptr;
};
