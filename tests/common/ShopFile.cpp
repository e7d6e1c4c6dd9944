#include "ShopFile.h"

#include "data/Database.h"

#include <QSqlError>
#include <QSqlQuery>

QString MakeShopFile(const QString &path, int lines)
{
    DatabaseLocation fresh;
    fresh.path = path;
    Database made(fresh, QStringLiteral("shop_file_maker"));
    if (!made.isOpen())
        return made.errorText();
    WriteTransaction tx(made);
    QSqlQuery q(made.connection());
    for (int i = 0; i < lines; ++i) {
        if (!q.exec(QStringLiteral("insert into data1 (a, c, z, g, \"3\", \"4\", day1) values "
                                   "('拉杆箱%1', '69%1', '20260305%1', '顾客%2', 1, 80, '2026-03-05')")
                        .arg(i)
                        .arg(i % 50)))
            return q.lastError().text();
    }
    if (!tx.commit())
        return tx.errorText();
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return QString();
}
