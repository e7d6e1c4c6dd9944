#include "StartupChecks.h"

#include "common/Prompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QWidget>

namespace StartupChecks {

QString emptyFileQuestion(const QString &file)
{
    return QStringLiteral("数据库文件“%1”是空的（0 字节），可能是复制或恢复没有完成。\n"
                          "要在这个文件中建立一个新的空白账套吗？\n选“否”将退出程序，文件保持原样。")
        .arg(QDir::toNativeSeparators(file));
}

DatabaseOptions databaseOptions()
{
    DatabaseOptions options;
    options.confirmEmptyFile = [](const QString &file) {
        return Prompter::ask(nullptr, emptyFileQuestion(file), QStringLiteral("岚蔚箱包销售管理软件"),
                             Prompter::Answer::No);
    };
    options.checkInBackground = true;
    return options;
}

void endOnDamage(const Database &database, QWidget *window)
{
    database.whenChecked(window, [window](const QString &refusal) {
        if (refusal.isEmpty())
            return;
        Prompter::error(window, refusal);
        QCoreApplication::exit(1);
    });
}

} // namespace StartupChecks
