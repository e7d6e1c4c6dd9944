#include "TAboutBox.h"

#include "data/Database.h"
#include "data/QueryHelpers.h"
#include "shell/MakerInfo.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>
#include <QtGlobal>

#ifndef LWJXC_VERSION_TEXT
#define LWJXC_VERSION_TEXT "0"
#endif

namespace {

constexpr int kWidth = 520;
constexpr int kHeight = 340;
// The texts stand on the light right part of the picture.
constexpr int kTextLeft = 250;

} // namespace

TAboutBox::TAboutBox(const Database &db, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_background(QStringLiteral(":/images/about.png"))
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("关于软件..."));
    setFixedSize(kWidth, kHeight);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(kTextLeft, 22, 20, 14);
    layout->setSpacing(6);

    auto *product = new QLabel(QStringLiteral("《岚蔚进销存》"), this);
    product->setObjectName(QStringLiteral("ProductName"));
    QFont productFont = product->font();
    productFont.setPixelSize(24);
    productFont.setBold(true);
    product->setFont(productFont);
    product->setStyleSheet(QStringLiteral("color: #1d5564;"));
    layout->addWidget(product);

    auto *subtitle = new QLabel(QStringLiteral("岚蔚箱包销售管理软件"), this);
    subtitle->setObjectName(QStringLiteral("Comments"));
    layout->addWidget(subtitle);
    auto *version = new QLabel(QStringLiteral("版本 ") + versionText(), this);
    version->setObjectName(QStringLiteral("Version"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(version);
    layout->addSpacing(6);

    auto *links = new QGridLayout;
    links->setHorizontalSpacing(4);
    links->setVerticalSpacing(6);
    links->addWidget(new QLabel(QStringLiteral("Email："), this), 0, 0);
    links->addWidget(linkLabel(QStringLiteral("mailto:") + MakerInfo::emailAddress(),
                               MakerInfo::emailAddress(), "emailLink"),
                     0, 1);
    links->addWidget(new QLabel(QStringLiteral("网 站："), this), 1, 0);
    links->addWidget(linkLabel(MakerInfo::websiteUrl().toString(), MakerInfo::webAddress(), "websiteLink"), 1,
                     1);
    links->setColumnStretch(1, 1);
    layout->addLayout(links);
    layout->addSpacing(6);

    auto *info = new QLabel(systemInfoText(db.location(), engineText(db)), this);
    info->setObjectName(QStringLiteral("systemInfo"));
    info->setWordWrap(true);
    info->setTextFormat(Qt::PlainText);
    // An operator copies these lines into a support request.
    info->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    info->setCursor(Qt::IBeamCursor);
    QFont small = info->font();
    small.setPixelSize(12);
    info->setFont(small);
    info->setStyleSheet(QStringLiteral("color: #3a4a50;"));
    info->setToolTip(QStringLiteral("可选中复制，用于联系技术支持"));
    layout->addWidget(info, 1, Qt::AlignTop);

    auto *ok = new QPushButton(QStringLiteral("确 定"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    layout->addLayout(buttons);

    // Centred on the desktop, not on the main window.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QLabel *TAboutBox::linkLabel(const QString &url, const QString &text, const char *objectName)
{
    auto *label = new QLabel(this);
    label->setObjectName(QLatin1String(objectName));
    label->setTextFormat(Qt::RichText);
    label->setText(QStringLiteral("<a href=\"%1\" style=\"color:#1a5fb4;\">%2</a>")
                       .arg(url.toHtmlEscaped(), text.toHtmlEscaped()));
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setCursor(Qt::PointingHandCursor);
    label->setToolTip(url);
    // The system's mail program for mailto:, the default browser for the site.
    connect(label, &QLabel::linkActivated, this,
            [](const QString &link) { QDesktopServices::openUrl(QUrl(link)); });
    return label;
}

QString TAboutBox::versionText()
{
    return QStringLiteral(LWJXC_VERSION_TEXT);
}

QString TAboutBox::engineText(const Database &db)
{
    const bool postgres = db.dialect().isPostgreSQL();
    const QString name = postgres ? QStringLiteral("PostgreSQL ") : QStringLiteral("SQLite ");
    try {
        const QVariant version = ScalarValue(db, postgres ? QStringLiteral("show server_version")
                                                          : QStringLiteral("select sqlite_version()"));
        if (!version.toString().isEmpty())
            return name + version.toString();
    } catch (const DatabaseError &) {
        // The server may be gone for a moment; the box still opens.
    }
    return name + QStringLiteral("（无法读取）");
}

QString TAboutBox::systemInfoText(const DatabaseLocation &location, const QString &engine)
{
    QStringList lines;
    if (location.isPostgreSQL()) {
        lines << QStringLiteral("数据位置：PostgreSQL 服务器 %1:%2，数据库 %3")
                     .arg(location.host, QString::number(location.port), location.database);
        if (!location.user.isEmpty())
            lines << QStringLiteral("登录账号：") + location.user;
        lines << QStringLiteral("服务器版本：") + engine;
    } else {
        lines << QStringLiteral("数据位置：") + location.displayName();
        lines << QStringLiteral("数据库：") + engine;
    }
    lines << QStringLiteral("Qt 版本：%1（编译时 %2）")
                 .arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR));
    return lines.join(u'\n');
}

void TAboutBox::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), m_background);
    QDialog::paintEvent(event);
}
