#pragma once

#include <QString>
#include <QVariantList>

#include <optional>

class Database;

// A text filter on a column that holds few distinct values (a category, the
// name initials, a customer), answered without reading every row for the
// pattern: the distinct values are collected by hopping along the column's
// index, the pattern is matched against those few, and the rows are then
// found with "column IN (...)". The rows are the same as "column <match> ?".
struct NarrowedCondition
{
    QString condition;   // "e in (?,?)" or "1 = 0" when no value matches
    QVariantList values; // bound to its "?"
    bool matchesNothing = false;
};

// matchTemplate is the match with "%1" for the column ("%1 LIKE ? ESCAPE
// '\\'"), pattern its value. Nothing when the column has an index but more
// than maxValues distinct values (the plain match is then as good).
std::optional<NarrowedCondition> MatchAmongFewValues(const Database &db, const QString &table,
                                                     const QString &column, const QString &matchTemplate,
                                                     const QVariant &pattern, int maxValues = 400);
