#pragma once

#include "shell/Session.h"

#include <QDialog>

class Database;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The password change window "更改密码": a new password for an operator who
// knows the old one. Destroyed when closed.
class Tchangepassfm : public QDialog
{
    Q_OBJECT
public:
    Tchangepassfm(const Database &db, const Session &session, QWidget *parent = nullptr);

    // After a sign-in with the default password: the operator is chosen,
    // the old password filled in, and a hint asks for a password of one's
    // own. The operator may still close the window.
    void suggestNewPassword(const QString &name, const QString &defaultPassword);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void changePassword();
    void clearPasswords();

    const Database &m_db;
    const Session m_session;

    QComboBox *m_operatorBox = nullptr;
    QLineEdit *m_oldPasswordBox = nullptr;
    QLineEdit *m_newPasswordBox = nullptr;
    QLineEdit *m_repeatPasswordBox = nullptr;
    QPushButton *m_changeButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QCheckBox *m_closeWhenDoneBox = nullptr;
    class QLabel *m_defaultPasswordHint = nullptr;
};
