#pragma once

#include <QString>
#include <QUrl>

// The maker's web address, shown in the status bar and opened by "官方网站".
// One place, so a re-branded build changes it once.
namespace MakerInfo {

inline QString webAddress()
{
    return QStringLiteral("www.lanwei-xiangbao.cn");
}

inline QUrl websiteUrl()
{
    return QUrl(QStringLiteral("https://") + webAddress());
}

// The maker's mail address, the about box's "Email：" link.
inline QString emailAddress()
{
    return QStringLiteral("service@lanwei-xiangbao.cn");
}

// The customer-service line of the "技术支持" menu.
inline QString serviceContact()
{
    return QStringLiteral("客服与技术支持：") + webAddress();
}

// The support number the import window's failure messages name after
// "请联系技术客服QQ:".
inline QString supportQQ()
{
    return QStringLiteral("800000000");
}

} // namespace MakerInfo
