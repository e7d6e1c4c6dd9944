#include "Tchangepassfm.h"

#include "Tloginfm.h"
#include "common/Prompter.h"
#include "data/FieldHelpers.h"
#include "data/QueryHelpers.h"
#include "shell/UserAccounts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

Tchangepassfm::Tchangepassfm(const Database &db, const Session &session, QWidget *parent)
    : QDialog(parent), m_db(db), m_session(session)
{
    setObjectName(QStringLiteral("changepassfm"));
    setWindowTitle(QStringLiteral("更改密码"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_operatorBox = new QComboBox(this);
    m_operatorBox->setObjectName(QStringLiteral("operatorBox"));
    m_operatorBox->setEditable(false);
    m_oldPasswordBox = new QLineEdit(this);
    m_oldPasswordBox->setObjectName(QStringLiteral("oldPasswordBox"));
    m_newPasswordBox = new QLineEdit(this);
    m_newPasswordBox->setObjectName(QStringLiteral("newPasswordBox"));
    m_repeatPasswordBox = new QLineEdit(this);
    m_repeatPasswordBox->setObjectName(QStringLiteral("repeatPasswordBox"));
    for (QLineEdit *box : {m_oldPasswordBox, m_newPasswordBox, m_repeatPasswordBox})
        Tloginfm::setUpPasswordBox(box);

    m_changeButton = new QPushButton(QStringLiteral("更改密码"), this);
    m_changeButton->setObjectName(QStringLiteral("changeButton"));
    m_closeButton = new QPushButton(QStringLiteral("退出"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeWhenDoneBox = new QCheckBox(QStringLiteral("更改完毕退出"), this);
    m_closeWhenDoneBox->setObjectName(QStringLiteral("closeWhenDoneBox"));

    auto *grid = new QGridLayout;
    const QList<QPair<QString, QWidget *>> rows{{QStringLiteral("选择操作员"), m_operatorBox},
                                                {QStringLiteral("输入旧密码"), m_oldPasswordBox},
                                                {QStringLiteral("输入新密码"), m_newPasswordBox},
                                                {QStringLiteral("新密码重复"), m_repeatPasswordBox}};
    for (int row = 0; row < rows.size(); ++row) {
        auto *label = new QLabel(rows.at(row).first, this);
        label->setBuddy(rows.at(row).second);
        grid->addWidget(label, row, 0);
        grid->addWidget(rows.at(row).second, row, 1);
    }
    auto *hint = new QLabel(QStringLiteral("提示：密码只能输入字母和数字，最长10个字符！"), this);
    hint->setObjectName(QStringLiteral("hintLabel"));
    grid->addWidget(hint, rows.size(), 0, 1, 2);
    m_defaultPasswordHint = new QLabel(this);
    m_defaultPasswordHint->setObjectName(QStringLiteral("defaultPasswordHint"));
    m_defaultPasswordHint->setWordWrap(true);
    m_defaultPasswordHint->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_defaultPasswordHint->hide();

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_closeWhenDoneBox);
    buttons->addStretch();
    buttons->addWidget(m_changeButton);
    buttons->addWidget(m_closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 14);
    layout->addWidget(m_defaultPasswordHint);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(360, 230)));

    setTabOrder(m_operatorBox, m_oldPasswordBox);
    setTabOrder(m_oldPasswordBox, m_newPasswordBox);
    setTabOrder(m_newPasswordBox, m_repeatPasswordBox);
    setTabOrder(m_repeatPasswordBox, m_changeButton);
    setTabOrder(m_changeButton, m_closeButton);
    setTabOrder(m_closeButton, m_closeWhenDoneBox);

    connect(m_operatorBox, &QComboBox::activated, this,
            [this] { m_oldPasswordBox->setFocus(Qt::OtherFocusReason); });
    connect(m_oldPasswordBox, &QLineEdit::returnPressed, this,
            [this] { m_newPasswordBox->setFocus(Qt::OtherFocusReason); });
    connect(m_newPasswordBox, &QLineEdit::returnPressed, this,
            [this] { m_repeatPasswordBox->setFocus(Qt::OtherFocusReason); });
    connect(m_repeatPasswordBox, &QLineEdit::returnPressed, this,
            [this] { m_changeButton->setFocus(Qt::OtherFocusReason); });
    connect(m_changeButton, &QPushButton::clicked, this, &Tchangepassfm::changePassword);
    connect(m_closeButton, &QPushButton::clicked, this, &Tchangepassfm::close);
}

void Tchangepassfm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    try {
        FillWithDistinctValues(m_operatorBox, m_db, QStringLiteral("username"), QStringLiteral("userdb"));
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
    }
    m_operatorBox->setFocus(Qt::OtherFocusReason);
}

void Tchangepassfm::suggestNewPassword(const QString &name, const QString &defaultPassword)
{
    const int index = m_operatorBox->findText(name);
    if (index < 0)
        return;
    m_operatorBox->setCurrentIndex(index);
    m_oldPasswordBox->setText(defaultPassword);
    m_defaultPasswordHint->setText(
        QStringLiteral("您刚才使用初始密码 %1 登录。每个新用户和被初始化的用户都使用这个密码，"
                       "请马上设置一个只有您自己知道的新密码。")
            .arg(defaultPassword));
    m_defaultPasswordHint->show();
    setFixedSize(sizeHint().expandedTo(QSize(360, 230)));
    m_newPasswordBox->setFocus(Qt::OtherFocusReason);
}

void Tchangepassfm::keyPressEvent(QKeyEvent *event)
{
    // Enter moves along the boxes (their returnPressed) and presses a button
    // only when that button has the focus (it handles the key itself); it
    // never falls through to a default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(event);
}

void Tchangepassfm::clearPasswords()
{
    m_oldPasswordBox->clear();
    m_newPasswordBox->clear();
    m_repeatPasswordBox->clear();
}

void Tchangepassfm::changePassword()
{
    const QString name = m_operatorBox->currentText();
    const QString fresh = m_newPasswordBox->text().trimmed();
    // Without an operator the change would reach nobody and still report success.
    if (!(CheckRequired(m_operatorBox, QStringLiteral("必须选择用户！")) &&
          CheckRequired(m_oldPasswordBox, QStringLiteral("必须输入旧口令！")) &&
          CheckRequired(m_newPasswordBox, QStringLiteral("新口令长度不能为空！"))))
        return;
    if (fresh != m_repeatPasswordBox->text().trimmed()) {
        Prompter::warning(this, QStringLiteral("两次输入的密码不一致！请重新输入！"));
        m_repeatPasswordBox->clear();
        m_repeatPasswordBox->setFocus(Qt::OtherFocusReason);
        return;
    }
    UserAccounts::ChangeResult result;
    try {
        result = UserAccounts(m_db).changePassword(m_session, name, m_oldPasswordBox->text(), fresh);
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
        return;
    }
    switch (result) {
    case UserAccounts::ChangeResult::WrongOldPassword:
        Prompter::warning(this, QStringLiteral("旧口令不正确！"));
        m_oldPasswordBox->clear();
        m_oldPasswordBox->setFocus(Qt::OtherFocusReason);
        return;
    case UserAccounts::ChangeResult::InvalidNewPassword:
        Prompter::warning(this, QStringLiteral("提示：密码只能输入字母和数字，最长10个字符！"));
        m_newPasswordBox->setFocus(Qt::OtherFocusReason);
        return;
    case UserAccounts::ChangeResult::Changed:
        break;
    }
    Prompter::information(this, QStringLiteral("你已经成功修改了密码！下次运行程序时生效！"));
    clearPasswords();
    if (m_closeWhenDoneBox->isChecked())
        close();
}
