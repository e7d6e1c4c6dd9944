#include "FieldCheck.h"

#include "data/FieldLimits.h"

#include <cmath>

RefusedValue::RefusedValue(const QString &message, const QString &column)
    : DatabaseError(message, QString()), m_column(column)
{}

QString FieldCheck::numberProblem(double value, const QString &caption)
{
    if (!std::isfinite(value))
        return QStringLiteral("%1不是有效的数字，请重新输入。").arg(caption);
    if (std::abs(value) > NumberLimit)
        return QStringLiteral("%1超出允许的范围（绝对值不能超过1000000000），请重新输入。").arg(caption);
    return {};
}

void FieldCheck::requireNumber(double value, QStringView column, const QString &caption)
{
    const QString problem = numberProblem(value, caption);
    if (!problem.isEmpty())
        throw RefusedValue(problem, column.toString());
}

void FieldCheck::requireNotNegative(double value, QStringView column, const QString &caption)
{
    requireNumber(value, column, caption);
    if (value < 0)
        throw RefusedValue(QStringLiteral("%1不能为负数，请重新输入。").arg(caption), column.toString());
}

void FieldCheck::requireText(QStringView column, const QString &text, const QString &caption)
{
    const QString problem = FieldLimits::problem(column, text, caption);
    if (!problem.isEmpty())
        throw RefusedValue(problem, column.toString());
}
