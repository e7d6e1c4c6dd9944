#include "TLogonWindow.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TLogonWindow::TLogonWindow(const QString &server, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TLogonWindow"));
    setWindowTitle(QStringLiteral("软件升级精灵"));
    setModal(true);

    auto *prompt = new QLabel(QStringLiteral("服务器 %1 需要用户名和密码：").arg(server), this);
    prompt->setObjectName(QStringLiteral("promptLabel"));
    prompt->setWordWrap(true);
    m_userNameEdit = new QLineEdit(this);
    m_userNameEdit->setObjectName(QStringLiteral("userNameEdit"));
    m_passwordEdit = new QLineEdit(this);
    m_passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    // Enter in the name box moves on to the password; Enter there logs on.
    connect(m_userNameEdit, &QLineEdit::returnPressed, m_passwordEdit, qOverload<>(&QWidget::setFocus));

    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setAutoDefault(false);
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_passwordEdit, &QLineEdit::returnPressed, this, &QDialog::accept);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("用户名："), m_userNameEdit);
    form->addRow(QStringLiteral("密  码："), m_passwordEdit);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addLayout(form);
    layout->addLayout(buttons);
    m_userNameEdit->setFocus();
}

QString TLogonWindow::userName() const
{
    return m_userNameEdit->text();
}

QString TLogonWindow::password() const
{
    return m_passwordEdit->text();
}
