#pragma once

#include <QString>
#include <QStringView>

// The text every text column of data and data1 accepts, the same on SQLite
// and PostgreSQL: a maximum length (in UTF-16 units, as a QLineEdit counts
// them) and no control characters. PostgreSQL refuses a NUL and a btree index
// row over about 2.7 KB, SQLite takes both; checking here, before either
// engine sees the text, lets a shop move between engines without surprises.
// Name, spec, code and category together stay under 900 bytes of UTF-8, well
// below the index limit of data(a, b, c, d, day1).
namespace FieldLimits {

// The longest text column may hold; columns are named as in the schema
// ("a", "b", ... "z"). The same letter has the same limit in data and data1.
// An unknown column gets the limit of a remark.
int maxLength(QStringView column);

// Empty when text may be stored in column; otherwise a Chinese reason that
// names the box by its caption (for example "商品名称").
QString problem(QStringView column, const QString &text, const QString &caption);

} // namespace FieldLimits
