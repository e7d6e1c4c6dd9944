#include "Tloginfm.h"

#include "DesktopShortcut.h"
#include "common/Prompter.h"
#include "data/Database.h"
#include "data/FieldHelpers.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "data/SettingsStore.h"
#include "shell/CommandLine.h"
#include "shell/SessionLog.h"
#include "shell/UserAccounts.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStandardPaths>
#include <QVBoxLayout>

void Tloginfm::setUpPasswordBox(QLineEdit *box)
{
    box->setEchoMode(QLineEdit::Password);
    box->setMaxLength(UserAccounts::kMaxPasswordLength);
    box->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[A-Za-z0-9]{0,10}")), box));
    box->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                             Qt::ImhLatinOnly);
    box->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

Tloginfm::Tloginfm(const Database &db, SettingsStore &settings, QWidget *parent)
    : QDialog(parent), m_db(db), m_settings(settings)
{
    setObjectName(QStringLiteral("loginfm"));
    setWindowTitle(QStringLiteral("用户登录"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_userBox = new QComboBox(this);
    m_userBox->setObjectName(QStringLiteral("userBox"));
    m_userBox->setEditable(true);
    m_userBox->setInsertPolicy(QComboBox::NoInsert);
    m_userBox->setMinimumWidth(180);

    m_passwordBox = new QLineEdit(this);
    m_passwordBox->setObjectName(QStringLiteral("passwordBox"));
    setUpPasswordBox(m_passwordBox);

    m_defaultPasswordLabel = new QLabel(QStringLiteral("初始登陆密码：") + Schema::kDefaultPassword, this);
    m_defaultPasswordLabel->setObjectName(QStringLiteral("defaultPasswordLabel"));

    m_loginButton = new QPushButton(QStringLiteral("登 录"), this);
    m_loginButton->setObjectName(QStringLiteral("loginButton"));
    m_cancelButton = new QPushButton(QStringLiteral("退出"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setVisible(false);
    m_cancelButton->setEnabled(false);
    m_shortcutButton = new QPushButton(QStringLiteral("桌面快捷"), this);
    m_shortcutButton->setObjectName(QStringLiteral("shortcutButton"));
    m_shortcutButton->setVisible(false);
    m_shortcutButton->setEnabled(false);

    auto *userLabel = new QLabel(QStringLiteral("用户名："), this);
    userLabel->setBuddy(m_userBox);
    auto *passwordLabel = new QLabel(QStringLiteral("密  码："), this);
    passwordLabel->setBuddy(m_passwordBox);

    auto *grid = new QGridLayout;
    grid->addWidget(userLabel, 0, 0);
    grid->addWidget(m_userBox, 0, 1);
    grid->addWidget(passwordLabel, 1, 0);
    grid->addWidget(m_passwordBox, 1, 1);
    grid->addWidget(m_defaultPasswordLabel, 2, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_loginButton);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_shortcutButton);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(14);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(320, 170)));

    setTabOrder(m_userBox, m_passwordBox);
    setTabOrder(m_passwordBox, m_loginButton);

    connect(m_userBox, &QComboBox::activated, this,
            [this] { m_passwordBox->setFocus(Qt::OtherFocusReason); });
    connect(m_userBox->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { m_passwordBox->setFocus(Qt::OtherFocusReason); });
    connect(m_passwordBox, &QLineEdit::returnPressed, this,
            [this] { m_loginButton->setFocus(Qt::OtherFocusReason); });
    connect(m_loginButton, &QPushButton::clicked, this, &Tloginfm::login);
    connect(m_cancelButton, &QPushButton::clicked, this, &Tloginfm::cancel);
    connect(m_shortcutButton, &QPushButton::clicked, this, &Tloginfm::createDesktopShortcut);
}

void Tloginfm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    createDesktopShortcut();
    try {
        const QStringList names = UserAccounts(m_db).distinctNames();
        m_userBox->clear();
        m_userBox->addItems(names);
        m_userBox->setCurrentIndex(names.isEmpty() ? -1 : 0);
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
    }
    m_userBox->setFocus(Qt::OtherFocusReason);
    m_userBox->lineEdit()->selectAll();
}

void Tloginfm::keyPressEvent(QKeyEvent *event)
{
    // Enter moves along the boxes (their returnPressed) and presses a button
    // only when that button has the focus (it handles the key itself); it
    // never falls through to a default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    // Esc does nothing here: the cancel button is hidden and inactive, and
    // only closing the window ends the program.
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

void Tloginfm::createDesktopShortcut()
{
    // A test that did not name a folder must not touch the real desktop.
    if (m_desktopFolder.isEmpty() && QStandardPaths::isTestModeEnabled())
        return;
    // A missing or read-only desktop must not keep anybody from working.
    const DesktopShortcut shortcut =
        m_desktopFolder.isEmpty() ? DesktopShortcut() : DesktopShortcut(m_desktopFolder);
    // A database named at start (--database or LWJXC_DATABASE) is named in
    // the launcher too, so the desktop opens the same shop.
    QStringList arguments;
    if (m_db.location().explicitlyNamed)
        arguments << QStringLiteral("--database") << CommandLine::databaseArgument(m_db.location());
    shortcut.create(QApplication::applicationFilePath(), DesktopShortcut::programIcon(), arguments);
}

void Tloginfm::login()
{
    const QString name = m_userBox->currentText();
    const QString password = m_passwordBox->text().trimmed();
    if (!(CheckRequired(m_userBox, QStringLiteral("必须选择用户！")) &&
          CheckRequired(m_passwordBox, QStringLiteral("必须输入密码！"))))
        return;
    try {
        if (!UserAccounts(m_db).checkLogin(name, password)) {
            Prompter::warning(this, QStringLiteral("密码不正确！请重新输入！"));
            m_passwordBox->clear();
            m_passwordBox->setFocus(Qt::OtherFocusReason);
            return;
        }
        m_hideZeroStock = m_settings.keyExists() ? m_settings.hideZeroStock() : std::nullopt;
        m_session = SessionLog(m_db).signIn(name);
        m_usedDefaultPassword = password == Schema::kDefaultPassword;
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
        return;
    }
    accept();
}

void Tloginfm::cancel()
{
    reject();
}
