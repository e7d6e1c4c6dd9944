#include "Tuserglfm.h"

#include "Tloginfm.h"
#include "common/Prompter.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "shell/UserAccounts.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
QPushButton *makeButton(const QString &text, const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

QLineEdit *makeNameBox(const QString &name, bool readOnly, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(readOnly);
    return box;
}
} // namespace

Tuserglfm::Tuserglfm(const Database &db, const Session &session, QWidget *parent)
    : QDialog(parent), m_db(db), m_session(session)
{
    setObjectName(QStringLiteral("userglfm"));
    setWindowTitle(QStringLiteral("用户管理—(管理员专用)"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // The administrator confirms his password before anything unlocks.
    m_adminPasswordBox = new QLineEdit(this);
    m_adminPasswordBox->setObjectName(QStringLiteral("adminPasswordBox"));
    Tloginfm::setUpPasswordBox(m_adminPasswordBox);
    m_adminLoginButton = makeButton(QStringLiteral("登录"), QStringLiteral("adminLoginButton"), this);
    m_closeButton = makeButton(QStringLiteral("退出"), QStringLiteral("closeButton"), this);
    auto *adminLabel = new QLabel(QStringLiteral("管理员密码："), this);
    adminLabel->setBuddy(m_adminPasswordBox);
    auto *adminRow = new QHBoxLayout;
    adminRow->addWidget(adminLabel);
    adminRow->addWidget(m_adminPasswordBox, 1);
    adminRow->addWidget(m_adminLoginButton);
    adminRow->addWidget(m_closeButton);

    auto *listGroup = new QGroupBox(QStringLiteral("用户列表"), this);
    m_userList = new QListWidget(listGroup);
    m_userList->setObjectName(QStringLiteral("userList"));
    auto *listLayout = new QVBoxLayout(listGroup);
    listLayout->addWidget(m_userList);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("userTabs"));

    auto *resetPage = new QWidget(m_tabs);
    m_resetNameBox = makeNameBox(QStringLiteral("resetNameBox"), true, resetPage);
    m_resetButton = makeButton(QStringLiteral("初始化密码"), QStringLiteral("resetButton"), resetPage);
    m_hintButton = makeButton(QStringLiteral("提示"), QStringLiteral("hintButton"), resetPage);
    auto *resetLayout = new QGridLayout(resetPage);
    resetLayout->addWidget(new QLabel(QStringLiteral("你选择的用户名："), resetPage), 0, 0);
    resetLayout->addWidget(m_resetNameBox, 0, 1);
    resetLayout->addWidget(new QLabel(QStringLiteral("请在左边列表中选择用户"), resetPage), 1, 0, 1, 2);
    auto *resetButtons = new QHBoxLayout;
    resetButtons->addStretch();
    resetButtons->addWidget(m_resetButton);
    resetButtons->addWidget(m_hintButton);
    resetLayout->addLayout(resetButtons, 2, 0, 1, 2);
    resetLayout->setRowStretch(3, 1);
    m_tabs->addTab(resetPage, QStringLiteral("初始化密码"));

    auto *addPage = new QWidget(m_tabs);
    m_newNameBox = makeNameBox(QStringLiteral("newNameBox"), false, addPage);
    m_addButton = makeButton(QStringLiteral("增加用户"), QStringLiteral("addButton"), addPage);
    auto *addLayout = new QGridLayout(addPage);
    addLayout->addWidget(new QLabel(QStringLiteral("新增用户名："), addPage), 0, 0);
    addLayout->addWidget(m_newNameBox, 0, 1);
    auto *addButtons = new QHBoxLayout;
    addButtons->addStretch();
    addButtons->addWidget(m_addButton);
    addLayout->addLayout(addButtons, 1, 0, 1, 2);
    addLayout->setRowStretch(2, 1);
    m_tabs->addTab(addPage, QStringLiteral("增加用户"));

    auto *deletePage = new QWidget(m_tabs);
    m_deleteNameBox = makeNameBox(QStringLiteral("deleteNameBox"), true, deletePage);
    m_deleteButton = makeButton(QStringLiteral("删除用户"), QStringLiteral("deleteButton"), deletePage);
    auto *deleteLayout = new QGridLayout(deletePage);
    deleteLayout->addWidget(new QLabel(QStringLiteral("请在左边列表中选择用户"), deletePage), 0, 0, 1, 2);
    deleteLayout->addWidget(new QLabel(QStringLiteral("你选择的用户名："), deletePage), 1, 0);
    deleteLayout->addWidget(m_deleteNameBox, 1, 1);
    auto *deleteButtons = new QHBoxLayout;
    deleteButtons->addStretch();
    deleteButtons->addWidget(m_deleteButton);
    deleteLayout->addLayout(deleteButtons, 2, 0, 1, 2);
    deleteLayout->setRowStretch(3, 1);
    m_tabs->addTab(deletePage, QStringLiteral("删除用户"));

    auto *body = new QHBoxLayout;
    body->addWidget(listGroup, 2);
    body->addWidget(m_tabs, 3);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(adminRow);
    layout->addLayout(body, 1);
    setFixedSize(sizeHint().expandedTo(QSize(560, 320)));

    setUnlocked(false);

    connect(m_adminPasswordBox, &QLineEdit::returnPressed, this,
            [this] { m_adminLoginButton->setFocus(Qt::OtherFocusReason); });
    connect(m_adminLoginButton, &QPushButton::clicked, this, &Tuserglfm::administratorLogin);
    connect(m_closeButton, &QPushButton::clicked, this, &Tuserglfm::close);
    // Picking by keyboard counts as much as a click. The row the list marks
    // as current when it merely gets the focus is not selected, so it picks
    // nothing.
    connect(m_userList, &QListWidget::itemSelectionChanged, this, &Tuserglfm::userPicked);
    connect(m_userList, &QListWidget::itemClicked, this, &Tuserglfm::userPicked);
    connect(m_resetButton, &QPushButton::clicked, this, &Tuserglfm::resetPassword);
    connect(m_hintButton, &QPushButton::clicked, this, &Tuserglfm::showResetHint);
    connect(m_addButton, &QPushButton::clicked, this, &Tuserglfm::addUser);
    connect(m_newNameBox, &QLineEdit::returnPressed, this, &Tuserglfm::addUser);
    connect(m_deleteButton, &QPushButton::clicked, this, &Tuserglfm::deleteUser);
}

void Tuserglfm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    refillUserList();
    m_adminPasswordBox->setFocus(Qt::OtherFocusReason);
}

void Tuserglfm::keyPressEvent(QKeyEvent *event)
{
    // Enter moves along the boxes (their returnPressed) and presses a button
    // only when that button has the focus (it handles the key itself); it
    // never falls through to a default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(event);
}

void Tuserglfm::setUnlocked(bool unlocked)
{
    m_userList->setEnabled(unlocked);
    m_tabs->setEnabled(unlocked);
}

void Tuserglfm::refillUserList()
{
    // Refilling moves the current row; the boxes keep what was picked.
    const QSignalBlocker blocker(m_userList);
    m_userList->clear();
    try {
        m_userList->addItems(UserAccounts(m_db).names());
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
    }
}

void Tuserglfm::administratorLogin()
{
    bool confirmed = false;
    try {
        confirmed = UserAccounts(m_db).checkAdministrator(m_adminPasswordBox->text().trimmed());
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
        return;
    }
    if (!confirmed) {
        Prompter::warning(this, QStringLiteral("密码不对！"));
        return;
    }
    Prompter::information(this, QStringLiteral("超级管理员登录成功！"));
    setUnlocked(true);
    m_adminPasswordBox->clear();
    m_userList->setFocus(Qt::OtherFocusReason);
}

void Tuserglfm::userPicked()
{
    const QList<QListWidgetItem *> picked = m_userList->selectedItems();
    if (picked.isEmpty())
        return;
    m_resetNameBox->setText(picked.constFirst()->text());
    m_deleteNameBox->setText(picked.constFirst()->text());
}

void Tuserglfm::resetPassword()
{
    try {
        switch (UserAccounts(m_db).resetPassword(m_session, m_resetNameBox->text())) {
        case UserAccounts::ResetResult::EmptyName:
            Prompter::warning(this, QStringLiteral("请选择用户名！"));
            return;
        case UserAccounts::ResetResult::NotFound:
            Prompter::warning(this, QStringLiteral("用户不存在！"));
            refillUserList();
            return;
        case UserAccounts::ResetResult::Reset:
            Prompter::information(this,
                                  QStringLiteral("已经成功将密码初始化为：") + Schema::kDefaultPassword);
            return;
        }
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
    }
}

void Tuserglfm::showResetHint()
{
    Prompter::information(this, QStringLiteral("初始化口令用于忘记密码的用户，将口令更改为:") +
                                    Schema::kDefaultPassword);
}

void Tuserglfm::addUser()
{
    try {
        switch (UserAccounts(m_db).addUser(m_session, m_newNameBox->text())) {
        case UserAccounts::AddResult::Administrator:
            Prompter::warning(this, QStringLiteral("超级管理员只能有一个，不能增加"));
            return;
        case UserAccounts::AddResult::EmptyName:
            Prompter::warning(this, QStringLiteral("请选择用户名！"));
            break;
        case UserAccounts::AddResult::AlreadyExists:
            Prompter::warning(this, QStringLiteral("用户名已存在！"));
            break;
        case UserAccounts::AddResult::InvisibleCharacters:
            Prompter::warning(this, QStringLiteral("用户名不能含有控制字符或看不见的字符（如零宽空格）！"));
            return;
        case UserAccounts::AddResult::Added:
            Prompter::information(this, QStringLiteral("成功添加新用户！缺省口令是：") +
                                            Schema::kDefaultPassword +
                                            QStringLiteral(",请此用户下次登录时及时修改口令！"));
            break;
        }
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
        return;
    }
    refillUserList();
}

void Tuserglfm::deleteUser()
{
    const QString name = m_deleteNameBox->text().trimmed();
    if (name == Schema::kAdministrator) {
        Prompter::warning(this, QStringLiteral("超级管理员不能删除！"));
        return;
    }
    if (name.isEmpty()) {
        Prompter::warning(this, QStringLiteral("请选择用户"));
        return;
    }
    if (m_session.isRestricted()) {
        Prompter::error(this, AccessDenied::text());
        return;
    }
    if (Prompter::ask(this, QStringLiteral("你真的要删除用户：") + name + QStringLiteral("吗?"))) {
        try {
            if (UserAccounts(m_db).deleteUser(m_session, name) == UserAccounts::DeleteResult::Deleted) {
                Prompter::information(this, QStringLiteral("成功删除！"));
                m_deleteNameBox->clear();
                if (m_resetNameBox->text() == name)
                    m_resetNameBox->clear();
            } else {
                Prompter::warning(this, QStringLiteral("用户不存在！"));
            }
        } catch (const DatabaseError &error) {
            Prompter::error(this, error.message());
            return;
        }
    }
    refillUserList();
}
