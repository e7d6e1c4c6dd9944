#include "DatabaseLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

DatabaseLocation DatabaseLocation::fromArgument(const QString &argument)
{
    DatabaseLocation location;
    location.explicitlyNamed = true;
    if (argument.startsWith(QLatin1String("postgresql://")) ||
        argument.startsWith(QLatin1String("postgres://"))) {
        location.kind = Kind::PostgreSQL;
        const QUrl url(argument, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty()) {
            location.errorText =
                QStringLiteral("数据库地址“%1”无法识别，应为 postgresql://用户@主机:端口/数据库"
                               "（口令请放在 ~/.pgpass 或环境变量 PGPASSWORD 中）")
                    .arg(withoutPassword(argument));
            return location;
        }
        location.host = url.host();
        location.port = url.port(5432);
        location.user = url.userName(QUrl::FullyDecoded);
        location.password = url.password(QUrl::FullyDecoded);
        location.database = url.path(QUrl::FullyDecoded).mid(1);
        if (location.database.isEmpty())
            location.database = location.user.isEmpty() ? QStringLiteral("postgres") : location.user;
        return location;
    }
    location.path = QFileInfo(argument).absoluteFilePath();
    return location;
}

DatabaseLocation DatabaseLocation::defaultLocation(const QString &programFolder,
                                                   const QString &userDataFolder)
{
    DatabaseLocation location;
    const QFileInfo portable(QDir(programFolder).filePath(QStringLiteral("data.mdb")));
    if (portable.isFile() && portable.isWritable() && QFileInfo(programFolder).isWritable())
        location.path = portable.absoluteFilePath();
    else
        location.path = QDir(userDataFolder).filePath(QStringLiteral("data.mdb"));
    return location;
}

DatabaseLocation DatabaseLocation::resolve(const QStringList &arguments, const QString &environmentValue,
                                           const QString &programFolder, const QString &userDataFolder)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == QLatin1String("--database")) {
            if (i + 1 < arguments.size())
                return fromArgument(arguments.at(i + 1));
            DatabaseLocation missing;
            missing.errorText = QStringLiteral("--database 之后缺少数据库文件或地址");
            return missing;
        }
        if (arg.startsWith(QLatin1String("--database=")))
            return fromArgument(arg.mid(int(qstrlen("--database="))));
    }
    if (!environmentValue.isEmpty())
        return fromArgument(environmentValue);
    return defaultLocation(programFolder, userDataFolder);
}

QString DatabaseLocation::withoutPassword(const QString &argument)
{
    QString text = argument;
    const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
    if (schemeEnd >= 0) {
        // The user information ends at the last "@": a password typed with
        // an unencoded "@" or "/" in it is covered whole.
        const qsizetype start = schemeEnd + 3;
        const qsizetype at = text.lastIndexOf(u'@');
        if (at > start) {
            const qsizetype colon = text.indexOf(u':', start);
            if (colon >= 0 && colon < at)
                text.replace(colon + 1, at - colon - 1, QStringLiteral("***"));
        }
    }
    // libpq also takes the password as a parameter of the address.
    static const QRegularExpression parameter(QStringLiteral("(password=)[^&]*"),
                                              QRegularExpression::CaseInsensitiveOption);
    text.replace(parameter, QStringLiteral("\\1***"));
    return text;
}

QString DatabaseLocation::displayName() const
{
    if (!isPostgreSQL())
        return QDir::toNativeSeparators(path);
    QString name = host + u':' + QString::number(port) + u'/' + database;
    if (!user.isEmpty())
        name.prepend(user + u'@');
    return name;
}
