#include "SaleCompute.h"

#include "data/NumberFormat.h"

#include <QRegularExpression>

#include <cmath>

namespace SaleCompute {

namespace {
const QString kFixed = QStringLiteral("0.00");
} // namespace

std::optional<double> parseNumber(const QString &text)
{
    // Stricter than QString::toDouble: no exponent, no thousands separator,
    // no "inf" or "nan", so only what the number boxes can hold is a number.
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    const QString trimmed = text.trimmed();
    if (!number.match(trimmed).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<Figures> compute(const QString &price, const QString &quantity, const StockValues &stock)
{
    const std::optional<double> p = parseNumber(price);
    const std::optional<double> q = parseNumber(quantity);
    if (!p || !q)
        return std::nullopt;
    Figures figures;
    const double amount = *p * *q;
    const double left = stock.stock - *q;
    figures.amount = NumberFormat::general(amount);
    figures.newSalesAmount = NumberFormat::general(amount + stock.salesAmount);
    figures.newStockQuantity = NumberFormat::format(left, kFixed);
    figures.newStockAmount = NumberFormat::general(left * stock.purchasePrice);
    figures.newSoldQuantity = NumberFormat::general(stock.sold + *q);
    figures.netProfit = NumberFormat::format((*p - stock.purchasePrice) * *q, kFixed);
    return figures;
}

QString amountText(const QString &price, const QString &quantity)
{
    const std::optional<double> p = parseNumber(price);
    const std::optional<double> q = parseNumber(quantity);
    return p && q ? NumberFormat::general(*p * *q) : QString();
}

std::optional<QString> discountedPrice(const QString &discount, const QString &suggestedPrice)
{
    const std::optional<double> d = parseNumber(discount);
    const std::optional<double> price = parseNumber(suggestedPrice);
    if (!d || !price)
        return std::nullopt;
    return NumberFormat::general(*d * *price / 100.0);
}

std::optional<QString> toggledReturn(const QString &quantity)
{
    const std::optional<double> value = parseNumber(quantity);
    if (!value)
        return std::nullopt;
    const QString trimmed = quantity.trimmed();
    if (*value > 0)
        return trimmed.startsWith(u'+') ? QStringLiteral("-") + trimmed.mid(1)
                                        : QStringLiteral("-") + trimmed;
    if (*value == 0)
        return QStringLiteral("0");
    return NumberFormat::general(-*value);
}

} // namespace SaleCompute
