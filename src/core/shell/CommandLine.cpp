#include "CommandLine.h"

#include "common/AppVersion.h"

#include <QFileInfo>
#include <QUrl>

namespace {

// QApplication's own options that take a value and those that do not; both
// are accepted with one dash or two, the valued ones also as -name=value.
const QStringList QtValueOptions = {QStringLiteral("platform"),
                                    QStringLiteral("platformpluginpath"),
                                    QStringLiteral("platformtheme"),
                                    QStringLiteral("plugin"),
                                    QStringLiteral("qwindowgeometry"),
                                    QStringLiteral("qwindowicon"),
                                    QStringLiteral("qwindowtitle"),
                                    QStringLiteral("display"),
                                    QStringLiteral("geometry"),
                                    QStringLiteral("style"),
                                    QStringLiteral("stylesheet"),
                                    QStringLiteral("session"),
                                    QStringLiteral("name"),
                                    QStringLiteral("title"),
                                    QStringLiteral("visual")};
const QStringList QtFlagOptions = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                   QStringLiteral("nograb"),  QStringLiteral("dograb"),
                                   QStringLiteral("sync"),    QStringLiteral("qwindowalwaysontop")};

QString programOf(const QStringList &arguments)
{
    const QString name = arguments.isEmpty() ? QString() : QFileInfo(arguments.first()).fileName();
    return name.isEmpty() ? QStringLiteral("lwjxc") : name;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine result;
    const QString program = programOf(arguments);
    const auto fail = [&](const QString &what) {
        result.m_action = Action::Error;
        result.m_error = QStringLiteral("%1：%2\n用“%1 --help”查看可用的选项。").arg(program, what);
        return result;
    };
    bool help = false;
    bool version = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            help = true;
            continue;
        }
        if (arg == QLatin1String("-v") || arg == QLatin1String("--version")) {
            version = true;
            continue;
        }
        // The upgrader starts the new program with "/afterupgrade" (or, after
        // putting the old files back, "/upgradefailed") as first argument.
        if (i == 1 &&
            (arg.startsWith(QLatin1String("/afterupgrade")) || arg == QLatin1String("/upgradefailed")))
            continue;
        if (arg == QLatin1String("--database") || arg.startsWith(QLatin1String("--database="))) {
            QString value;
            if (arg.contains(u'=')) {
                value = arg.mid(arg.indexOf(u'=') + 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments.at(++i);
            }
            if (value.isEmpty())
                return fail(QStringLiteral("选项“--database”后缺少数据库文件或地址"));
            result.m_database = value;
            continue;
        }
        if (arg.startsWith(u'-') && arg.size() > 1) {
            QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
            const qsizetype equals = name.indexOf(u'=');
            const bool hasValue = equals >= 0;
            if (hasValue)
                name.truncate(equals);
            if (QtFlagOptions.contains(name) && !hasValue)
                continue;
            if (QtValueOptions.contains(name)) {
                if (!hasValue && ++i >= arguments.size())
                    return fail(QStringLiteral("选项“%1”后缺少值").arg(arg));
                continue;
            }
            return fail(QStringLiteral("不认识的选项“%1”").arg(arg));
        }
        return fail(QStringLiteral("多余的参数“%1”（数据库要用 --database 指定）").arg(arg));
    }
    if (help)
        result.m_action = Action::ShowHelp;
    else if (version)
        result.m_action = Action::ShowVersion;
    return result;
}

QString CommandLine::helpText(const QString &programName)
{
    const QString program = programName.isEmpty() ? QStringLiteral("lwjxc") : programName;
    return QStringLiteral("用法：%1 [选项]\n"
                          "岚蔚箱包销售管理软件：箱包店的进货、销售、库存管理。\n"
                          "\n"
                          "选项：\n"
                          "  -h, --help               显示本说明后退出\n"
                          "  -v, --version            显示版本号后退出\n"
                          "  --database 路径|地址     打开指定的数据库：SQLite 数据库文件的路径，\n"
                          "                           或 PostgreSQL 服务器的地址\n"
                          "                           postgresql://用户:口令@主机:端口/数据库\n"
                          "\n"
                          "不指定 --database 时用环境变量 LWJXC_DATABASE 指定的数据库；它也没有时，\n"
                          "用程序旁可写的 data.mdb，否则用本用户数据文件夹里的 data.mdb（首次启动时新建）。\n"
                          "Qt 的标准选项（如 -platform、-style）照常可用。\n")
        .arg(program);
}

QString CommandLine::versionText()
{
    return QStringLiteral("岚蔚箱包销售管理软件 (lwjxc) %1，发布日期 %2\n")
        .arg(AppVersion::Number, AppVersion::ReleaseDate);
}

QString CommandLine::databaseArgument(const DatabaseLocation &location)
{
    if (!location.isPostgreSQL())
        return QFileInfo(location.path).absoluteFilePath();
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setUserName(location.user);
    url.setHost(location.host);
    url.setPort(location.port);
    url.setPath(u'/' + location.database);
    return url.toString(QUrl::FullyEncoded);
}
