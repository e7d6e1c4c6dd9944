#include "data/Database.h"
#include "data/DatabaseLocation.h"
#include "shell/StartupWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    QApplication::setApplicationName(QStringLiteral("jxc"));
    QApplication::setApplicationDisplayName(QStringLiteral("岚蔚箱包销售管理软件"));

    const DatabaseLocation location = DatabaseLocation::resolve(
        QApplication::arguments(), qEnvironmentVariable("LWJXC_DATABASE"), QApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    Database database(location);
    if (!database.isOpen()) {
        QMessageBox::critical(nullptr, QStringLiteral("岚蔚箱包销售管理软件"), database.errorText());
        return 1;
    }

    StartupWindow window(database);
    window.show();
    return QApplication::exec();
}
