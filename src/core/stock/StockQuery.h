#pragma once

#include "data/SqlListModel.h"

#include <QDate>
#include <QString>
#include <QStringList>

class Database;
class Dialect;

// What the quick-query boxes of the stock list hold. Texts are searched as
// typed (not trimmed); an empty text adds no condition.
struct StockFilter
{
    QString category;     // d
    QString nameInitials; // e, the pinyin initials of the name
    QString specInitials; // f, the pinyin initials of the model (规格型号)
    QString code;         // c, typed or scanned
    QString remark;       // z
    QString supplier;     // g
    // The stock-in date range, both ends included, when ticked.
    bool dateRangeOn = false;
    QDate firstDate;
    QDate lastDate;

    bool operator==(const StockFilter &) const = default;
};

// The statements of the stock list: "全部记录" (every row, or only rows with
// stock when zero stock is hidden, by stock-in date) and "查询" (rows with
// purchase quantity, or with stock, narrowed by the quick-query boxes).
// Every typed text is bound; %, _ and quotes match themselves.
class StockQuery
{
public:
    // Every column of table data in table order; the list shows some of them
    // and the panels read the others from the current row.
    static QStringList fields();
    // The fields whose totals the list's footer shows.
    static QStringList summedFields();

    // "全部记录": ordered by stock-in date, rows of one day in entry order.
    static SqlListQuery allRecords(const Dialect &dialect, bool zeroStockHidden);
    // "查询": in the table's entry order.
    static SqlListQuery search(const Dialect &dialect, bool zeroStockHidden, const StockFilter &filter);
    // The same rows, with the boxes of few distinct values matched against
    // those values first where that is faster (reads the database).
    static SqlListQuery search(const Database &db, bool zeroStockHidden, const StockFilter &filter);

private:
    static SqlListQuery base(bool zeroStockHidden);
    static bool isNarrowed(const Dialect &dialect, const QString &column);
    static SqlListQuery build(const Dialect &dialect, bool zeroStockHidden, const StockFilter &filter,
                              const Database *db);
};
