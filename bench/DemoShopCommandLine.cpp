#include "DemoShopCommandLine.h"

namespace {

bool parseNumber(const QString &text, qint64 minimum, qint64 maximum, qint64 *value)
{
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (!ok || number < minimum || number > maximum)
        return false;
    *value = number;
    return true;
}

} // namespace

QString DemoShopCommandLine::usage()
{
    return QStringLiteral(
               "用法 / Usage:\n"
               "  lwjxc-datagen --stock N --sales M --out FILE [--seed S] [--years Y] [--force]\n"
               "\n"
               "生成一个箱包店的演示数据库：N 条库存记录（data），M 条销售明细（data1，约 3% 为退货）。\n"
               "Creates a demo luggage-shop database with N stock records and M sale lines.\n"
               "\n"
               "  --stock N     库存记录行数，1 至 %1\n"
               "  --sales M     销售明细行数，0 至 %2\n"
               "  --out FILE    新数据库文件（SQLite），或 postgresql://用户:口令@主机:端口/数据库\n"
               "  --seed S      随机种子，相同种子生成相同数据（默认 1）\n"
               "  --years Y     入库日期跨越的年数，截止今天（默认 3，1 至 %3）\n"
               "  --force       覆盖已存在的文件；PostgreSQL 上先清空已有的库存和销售数据\n"
               "  --help        显示本说明\n")
        .arg(kMaxStockRows)
        .arg(kMaxSaleLines)
        .arg(kMaxYears);
}

DemoShopCommandLine DemoShopCommandLine::parse(const QStringList &arguments)
{
    DemoShopCommandLine line;
    bool haveStock = false;
    bool haveSales = false;
    const auto error = [&line](const QString &text) {
        line.errorText = text;
        return line;
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString option = arguments.at(i);
        QString value;
        bool inlineValue = false;
        if (option.startsWith(QLatin1String("--")) && option.contains(u'=')) {
            value = option.mid(option.indexOf(u'=') + 1);
            option = option.left(option.indexOf(u'='));
            inlineValue = true;
        }
        if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            line.helpRequested = true;
            continue;
        }
        if (option == QLatin1String("--force")) {
            if (inlineValue)
                return error(QStringLiteral("--force 不带参数值。"));
            line.force = true;
            continue;
        }
        const bool known = option == QLatin1String("--stock") || option == QLatin1String("--sales") ||
                           option == QLatin1String("--out") || option == QLatin1String("--seed") ||
                           option == QLatin1String("--years");
        if (!known)
            return error(QStringLiteral("未知的参数“%1”。").arg(arguments.at(i)));
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                return error(QStringLiteral("%1 之后缺少参数值。").arg(option));
            value = arguments.at(++i);
        }

        qint64 number = 0;
        if (option == QLatin1String("--out")) {
            if (value.trimmed().isEmpty())
                return error(QStringLiteral("--out 的文件名不能为空。"));
            line.out = value;
        } else if (option == QLatin1String("--stock")) {
            if (!parseNumber(value, 1, kMaxStockRows, &number))
                return error(QStringLiteral("--stock 应为 1 至 %1 之间的整数，而不是“%2”。")
                                 .arg(kMaxStockRows)
                                 .arg(value));
            line.options.stockRows = number;
            haveStock = true;
        } else if (option == QLatin1String("--sales")) {
            if (!parseNumber(value, 0, kMaxSaleLines, &number))
                return error(QStringLiteral("--sales 应为 0 至 %1 之间的整数，而不是“%2”。")
                                 .arg(kMaxSaleLines)
                                 .arg(value));
            line.options.saleLines = number;
            haveSales = true;
        } else if (option == QLatin1String("--years")) {
            if (!parseNumber(value, 1, kMaxYears, &number))
                return error(QStringLiteral("--years 应为 1 至 %1 之间的整数，而不是“%2”。")
                                 .arg(kMaxYears)
                                 .arg(value));
            line.options.years = static_cast<int>(number);
        } else {
            bool ok = false;
            line.options.seed = value.toULongLong(&ok);
            if (!ok)
                return error(QStringLiteral("--seed 应为非负整数，而不是“%1”。").arg(value));
        }
    }
    if (line.helpRequested)
        return line;
    if (!haveStock)
        return error(QStringLiteral("缺少 --stock（库存记录行数）。"));
    if (!haveSales)
        return error(QStringLiteral("缺少 --sales（销售明细行数）。"));
    if (line.out.isEmpty())
        return error(QStringLiteral("缺少 --out（数据库文件）。"));
    return line;
}
