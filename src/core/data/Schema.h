#pragma once

#include <QString>
#include <QStringList>

class Dialect;

// The four tables of the shop database: names, columns and the statements
// that create them on either engine.
namespace Schema {

// The administrator account every new database carries.
inline const QString kAdministrator = QStringLiteral("超级管理员");
// Password of a new or reset account; the login window shows it.
inline const QString kDefaultPassword = QStringLiteral("888");

struct Table
{
    QString name;
    QStringList columns; // as named in SQL, numeric codes without quotes
};

// data, data1, userdb, rz with every column the program reads or writes.
const QList<Table> &tables();

// Column list of data1 in table order: ID, a..z, 1, 2, 3, 4, a5, 6, 7, 8, 9, day1..day6.
QStringList saleLineColumns();
// Column list of data in table order: id, a..g, z, 1..8, day1.
QStringList stockColumns();

// "7" -> "\"7\"", "a" -> "a": numeric codes need quotes in both engines.
QString quoted(const QString &column);

// True for the text columns (a..z, username, passwd); false for keys,
// numbers and dates.
bool isTextColumn(const QString &column);

// CREATE INDEX IF NOT EXISTS for every index; run on each opening so a
// database made by an older version gets the indexes added since.
QStringList indexStatements();
// Indexes only PostgreSQL needs: the lists in their own order, the stock
// list's name box.
QStringList serverIndexStatements(const Dialect &dialect);

// Tables and indexes added since the first version, as CREATE ... IF NOT
// EXISTS; run on each opening before the first write, so an older file gets
// them. The file check does not require them.
QStringList upgradeStatements(const Dialect &dialect);

// CREATE TABLE and CREATE INDEX statements, in order.
QStringList createStatements(const Dialect &dialect);

} // namespace Schema
