// lwjxc-datagen: writes a demo or benchmark shop database.

#include "DemoShopCommandLine.h"
#include "DemoShopGenerator.h"

#include "data/DatabaseLocation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    const DemoShopCommandLine command = DemoShopCommandLine::parse(QCoreApplication::arguments());
    if (command.helpRequested) {
        out << DemoShopCommandLine::usage();
        return 0;
    }
    if (!command.isValid()) {
        err << QStringLiteral("错误：") << command.errorText << "\n\n" << DemoShopCommandLine::usage();
        return 2;
    }

    const DatabaseLocation location = DatabaseLocation::fromArgument(command.out);
    QElapsedTimer clock;
    clock.start();
    DemoShopGenerator generator(command.options);
    QString lastStage;
    int lastPercent = -1;
    generator.setProgress([&](const QString &stage, qint64 done, qint64 total) {
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
        if (stage == lastStage && percent == lastPercent)
            return;
        if (stage != lastStage && !lastStage.isEmpty())
            err << '\n';
        lastStage = stage;
        lastPercent = percent;
        err << '\r' << stage << QStringLiteral("… ") << percent << "%  ("
            << QString::number(static_cast<double>(clock.elapsed()) / 1000.0, 'f', 1) << " s)";
        err.flush();
    });
    const bool ok = generator.createShop(location, command.force);
    if (!lastStage.isEmpty())
        err << '\n';
    err.flush();
    if (!ok) {
        err << QStringLiteral("错误：") << generator.errorText() << '\n';
        return 1;
    }

    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    const DemoShopSummary &s = generator.summary();
    const QLocale c = QLocale::c();
    out << QStringLiteral("已生成 / written: %1\n").arg(location.displayName());
    out << QStringLiteral("  库存记录 stock rows:   %1（商品 %2 种，售罄 %3 行）\n")
               .arg(c.toString(s.stockRows), c.toString(s.articles), c.toString(s.soldOutRows));
    out << QStringLiteral("  销售明细 sale lines:   %1（销售单 %2 张，退货 %3 行）\n")
               .arg(c.toString(s.saleLines), c.toString(s.orders), c.toString(s.returnLines));
    out << QStringLiteral("  用时 time:             %1 s\n").arg(seconds, 0, 'f', 1);
    if (!location.isPostgreSQL()) {
        const qint64 size = QFileInfo(location.path).size();
        out << QStringLiteral("  文件大小 file size:    %1 MB (%2 bytes)\n")
                   .arg(static_cast<double>(size) / (1024.0 * 1024.0), 0, 'f', 1)
                   .arg(c.toString(size));
    }
    return 0;
}
