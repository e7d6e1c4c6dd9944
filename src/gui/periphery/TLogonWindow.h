#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the user name and password a download server wants.
class TLogonWindow : public QDialog
{
    Q_OBJECT
public:
    explicit TLogonWindow(const QString &server, QWidget *parent = nullptr);

    QString userName() const;
    QString password() const;

private:
    QLineEdit *m_userNameEdit;
    QLineEdit *m_passwordEdit;
};
