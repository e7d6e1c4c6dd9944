#pragma once

#include "data/SqlListModel.h"

#include <QStringList>

// The statement of the summary report ("汇总统计"): one row per distinct
// name, model, code and category of table data, with the purchase, sales and
// stock quantities and amounts summed over all stock-in records of that
// article, whatever their date, supplier or stock.
class SummaryQuery
{
public:
    // The ten result fields in their order: a, b, c, d, then the six sums
    // 进货数量, 进货金额, 销售数量, 销售金额, 库存数量, 库存金额.
    static QStringList fields();
    // The six sums, each the sum of one column of data ("2", "3", "5", "6",
    // "7", "8"); a group whose values are all null sums to null.
    static QStringList summedFields();

    // The grouped statement. The group columns also order the list, so paging
    // is stable and the rows come in the order the database groups them.
    static SqlListQuery all();
};
