#include "data/Database.h"
#include "data/DatabaseLocation.h"
#include "data/GridLayoutStore.h"
#include "data/PrivateFiles.h"
#include "data/SettingsStore.h"
#include "periphery/OnlineUpgrade.h"
#include "shell/ChineseUi.h"
#include "shell/CommandLine.h"
#include "shell/DesktopShortcut.h"
#include "shell/HintStyle.h"
#include "shell/StartupChecks.h"
#include "shell/TMainForm.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QMessageBox>
#include <QStandardPaths>

#include <cstdio>

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

// The per-user files of the program, made by this or an older version, are
// kept to their owner. A file the operator named with --database stays as
// the operator set it up; new files there are private too (the umask).
void keepUserFilesPrivate(const DatabaseLocation &location, const QString &userDataFolder,
                          const SettingsStore &settings)
{
    if (!location.isPostgreSQL() &&
        QFileInfo(location.path).absolutePath() == QDir(userDataFolder).absolutePath()) {
        PrivateFiles::restrictFolder(userDataFolder);
        PrivateFiles::restrictDatabaseFiles(location.path);
    }
#ifndef Q_OS_WIN
    PrivateFiles::restrictFile(settings.location());
#endif
    PrivateFiles::restrictFile(GridLayoutStore::defaultFilePath());
}

} // namespace

int main(int argc, char *argv[])
{
    // The command line is read before QApplication, which needs a display:
    // --help, --version and a mistyped option answer on any terminal, and a
    // mistake opens neither a window nor the database.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine commandLine = CommandLine::parse(arguments);
    switch (commandLine.action()) {
    case CommandLine::Action::ShowHelp:
        std::fputs(CommandLine::helpText(QStringLiteral("lwjxc")).toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::ShowVersion:
        std::fputs(CommandLine::versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Error:
        std::fputs((commandLine.errorText() + u'\n').toLocal8Bit().constData(), stderr);
        return CommandLine::UsageErrorStatus;
    case CommandLine::Action::Run:
        break;
    }

    PrivateFiles::restrictNewFiles();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    QApplication::setApplicationName(QStringLiteral("jxc"));
    // No application display name: the window system would append it to every
    // caption ("用户登录 — 岚蔚箱包销售管理软件"), and each window has its own.
    QApplication::setWindowIcon(DesktopShortcut::programIcon());
    if (!ChineseUi::install(app))
        std::fputs("lwjxc：找不到 Qt 的中文翻译 qtbase_zh_CN.qm（软件包 qt6-translations-l10n），"
                   "Qt 自带的按钮和菜单仍是英文\n",
                   stderr);
    useFontWithChineseGlyphs();
    QApplication::setStyle(new HintStyle);
    OnlineUpgrade::reportRestart(QApplication::arguments(), QApplication::applicationDirPath(),
                                 QStringLiteral("岚蔚箱包销售管理软件"));

    const QString userDataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const DatabaseLocation location =
        DatabaseLocation::resolve(QApplication::arguments(), qEnvironmentVariable("LWJXC_DATABASE"),
                                  QApplication::applicationDirPath(), userDataFolder);
    Database database(location, QStringLiteral("lwjxc"), StartupChecks::databaseOptions());
    if (database.declined())
        return 1; // the operator left the empty file alone
    if (!database.isOpen()) {
        QMessageBox::critical(nullptr, QStringLiteral("岚蔚箱包销售管理软件"), database.errorText());
        return 1;
    }

    SettingsStore settings;
    keepUserFilesPrivate(location, userDataFolder, settings);
    TMainForm mainForm(database, settings);
    StartupChecks::endOnDamage(database, &mainForm);
    mainForm.show();
    return QApplication::exec();
}
