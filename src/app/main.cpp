#include "data/Database.h"
#include "data/DatabaseLocation.h"
#include "data/SettingsStore.h"
#include "periphery/OnlineUpgrade.h"
#include "shell/HintStyle.h"
#include "shell/TMainForm.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QMessageBox>
#include <QStandardPaths>

namespace {

// Chinese text needs a font that has the glyphs; Linux desktops without a
// configured CJK default fall back to the first of these that is installed.
void useFontWithChineseGlyphs()
{
    const QStringList candidates = {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
                                    QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Microsoft YaHei"),
                                    QStringLiteral("SimSun")};
    const QStringList installed = QFontDatabase::families();
    QFont font = QApplication::font();
    QStringList families{font.family()};
    for (const QString &candidate : candidates) {
        if (installed.contains(candidate))
            families.append(candidate);
    }
    font.setFamilies(families);
    QApplication::setFont(font);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    QApplication::setApplicationName(QStringLiteral("jxc"));
    QApplication::setApplicationDisplayName(QStringLiteral("岚蔚箱包销售管理软件"));
    useFontWithChineseGlyphs();
    QApplication::setStyle(new HintStyle);
    OnlineUpgrade::reportRestart(QApplication::arguments(), QApplication::applicationDirPath(),
                                 QApplication::applicationDisplayName());

    const DatabaseLocation location = DatabaseLocation::resolve(
        QApplication::arguments(), qEnvironmentVariable("LWJXC_DATABASE"), QApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    Database database(location);
    if (!database.isOpen()) {
        QMessageBox::critical(nullptr, QStringLiteral("岚蔚箱包销售管理软件"), database.errorText());
        return 1;
    }

    SettingsStore settings;
    TMainForm mainForm(database, settings);
    mainForm.show();
    return QApplication::exec();
}
