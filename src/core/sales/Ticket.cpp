#include "Ticket.h"

#include "data/Database.h"
#include "data/Money.h"
#include "data/QueryHelpers.h"

#include <QRegularExpression>
#include <QSqlQuery>

#include <cmath>

SqlListQuery Ticket::listQuery(const QString &orderBoxText)
{
    const QString key = orderKey(orderBoxText);
    SqlListQuery query;
    query.fields = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("3"),
                    QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("ID")};
    query.from = QStringLiteral("data1");
    if (key.isEmpty()) {
        // No order number, no ticket: an always-false condition keeps the
        // list's statement shape and lists nothing.
        query.condition = QStringLiteral("1 = 0");
    } else {
        query.condition = QStringLiteral("z = ?");
        query.values = {key};
    }
    query.keyFields = {QStringLiteral("ID")};
    return query;
}

QList<TicketLine> Ticket::lines(const QString &orderBoxText) const
{
    QList<TicketLine> result;
    const QString key = orderKey(orderBoxText);
    if (key.isEmpty())
        return result;
    QSqlQuery query = OpenStatement(
        m_db, QStringLiteral("select ID, a, b, \"3\", \"2\", \"4\" from data1 where z = ? order by ID"),
        {key});
    while (query.next()) {
        TicketLine line;
        line.id = query.value(0).toLongLong();
        line.name = query.value(1).toString();
        line.spec = query.value(2).toString();
        line.quantity = query.value(3).toDouble();
        line.unitPrice = query.value(4).toDouble();
        line.amount = query.value(5).toDouble();
        result.append(line);
    }
    return result;
}

double Ticket::total(const QList<TicketLine> &lines)
{
    double sum = 0;
    for (const TicketLine &line : lines)
        sum += line.amount;
    return Money::roundToCents(sum);
}

std::optional<double> Ticket::parseAmount(const QString &text)
{
    // Digits with at most one point and at least one digit; QString::toDouble
    // alone would also take exponents, "inf" and "nan".
    static const QRegularExpression number(QStringLiteral("^-?(\\d+\\.?\\d*|\\.\\d+)$"));
    const QString trimmed = text.trimmed();
    if (!number.match(trimmed).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<QString> Ticket::changeText(const QString &cashText, const QString &totalText)
{
    const std::optional<double> cash = parseAmount(cashText);
    const std::optional<double> total = parseAmount(totalText);
    if (!cash || !total)
        return std::nullopt;
    return Money::text(*cash - *total);
}

Ticket::PrintCheck Ticket::checkBeforePrinting(const QString &totalText, const QString &cashText)
{
    // The total box shows the general form, so a ticket whose lines cancel
    // out reads "0" as well.
    const std::optional<double> total = parseAmount(totalText);
    if (!total || Money::roundToCents(*total) == 0)
        return PrintCheck::NothingSold;
    if (cashText.trimmed().isEmpty())
        return PrintCheck::CashMissing;
    const std::optional<double> cash = parseAmount(cashText);
    if (!cash)
        return PrintCheck::CashInvalid;
    // Compared to the cent: cash 45.6 covers a total of 12.1 + 33.5.
    if (Money::roundToCents(*cash) < Money::roundToCents(*total))
        return PrintCheck::CashShort;
    return PrintCheck::Ready;
}

QString Ticket::message(PrintCheck check)
{
    switch (check) {
    case PrintCheck::Ready:
        break;
    case PrintCheck::NothingSold:
        return QStringLiteral("先进行销售");
    case PrintCheck::CashMissing:
        return QStringLiteral("输入现金额");
    case PrintCheck::CashInvalid:
        return QStringLiteral("现金额不是有效的数字，请重新输入");
    case PrintCheck::CashShort:
        return QStringLiteral("现金不足");
    }
    return QString();
}
