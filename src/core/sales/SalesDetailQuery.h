#pragma once

#include "data/SqlListModel.h"

#include <QDate>
#include <QString>
#include <QStringList>

class Database;
class Dialect;

// What the filter bar of the sales-detail window holds. Texts are searched as
// typed (not trimmed); an empty text adds no condition. Quotes, % and _ match
// themselves.
struct SalesFilter
{
    QString category;     // d
    QString nameInitials; // e, the pinyin initials of the name
    QString code;         // c
    QString specInitials; // f, the pinyin initials of the model
    QString customer;     // g
    QString remark;       // j
    // The sale-date range, both ends included, when "销售日期：" is ticked.
    bool dateRangeOn = false;
    QDate firstDate;
    QDate lastDate;

    bool operator==(const SalesFilter &) const = default;
};

// The statements of every view of the sales-detail window, each a
// SqlListQuery over data1 with its values bound, for a SqlListModel.
class SalesDetailQuery
{
public:
    // The fifteen grid columns in their order: a, b, c, d, 2, 3, 4, day1, 6,
    // a5, z, g, i, h, j.
    static QStringList gridFields();
    // gridFields() followed by what the sale edit panel needs besides:
    // ID (the line's key), 1 (purchase price), day2, e, f. A grid shows the
    // first gridFields().size() columns.
    static QStringList fields();
    // The fields whose footer sums the grid shows: 3, 4, 6, a5.
    static QStringList summedFields();

    // "本 月": the sales and returns dated in the month of day, as the date
    // range [first day, first day of the next month); by sale date.
    static SqlListQuery thisMonth(const Dialect &dialect, const QDate &day);
    // "全部记录": every line by sale date.
    static SqlListQuery allRecords(const Dialect &dialect);
    // "全部退货": every return (3 < 0) by sale date.
    static SqlListQuery allReturns(const Dialect &dialect);
    // "查 询" of the filter bar (sales, 3 > 0) or of the returns group
    // (returns, 3 < 0); lines of quantity 0 appear in neither.
    enum class Kind { Sales, Returns };
    static SqlListQuery search(const Dialect &dialect, const SalesFilter &filter, Kind kind = Kind::Sales);
    // The same lines; the boxes of the columns with few distinct values
    // (category, name, customer) are matched against those values first and
    // become "column IN (...)", or a condition that matches nothing.
    static SqlListQuery search(const Database &db, const SalesFilter &filter, Kind kind = Kind::Sales);
    // "当 天": the filter with the date range switched on, the range as the
    // filter holds it (both boxes show today unless the operator changed them).
    static SqlListQuery currentDay(const Dialect &dialect, SalesFilter filter);
    // "查 询" of the order-number group: lines whose z contains the trimmed
    // text; an empty text lists every line that has an order number.
    static SqlListQuery orderNumberSearch(const Dialect &dialect, const QString &text);

private:
    static SqlListQuery base();
    static bool isNarrowed(const QString &column);
    static SqlListQuery build(const Dialect &dialect, const SalesFilter &filter, Kind kind,
                              const Database *db);
};
