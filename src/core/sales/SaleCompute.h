#pragma once

#include <QString>

#include <optional>

// The figures of the sale panel: what one line of a given price and quantity
// does to its stock record, as the panel shows and books it, and how the
// boxes' number text is read.
namespace SaleCompute {

// A number as the operator types it into a price, quantity or debt box:
// digits with at most one decimal point (surrounding blanks and one sign
// allowed). "1.2.3", "." and "" are no numbers; the result is then empty.
std::optional<double> parseNumber(const QString &text);

// The stock record's values the panel keeps while it is open.
struct StockValues
{
    double stock = 0;         // stock quantity "7"
    double sold = 0;          // sold quantity "5"
    double salesAmount = 0;   // sales amount "6"
    double purchasePrice = 0; // purchase unit price "1"
};

// Everything one line books, as text in the form the panel writes it.
struct Figures
{
    QString amount;           // P x Q, general form
    QString newSalesAmount;   // P x Q + "6", general form
    QString newStockQuantity; // "7" - Q, fixed "0.00"
    QString newStockAmount;   // ("7" - Q) x "1", general form, from the unrounded difference
    QString newSoldQuantity;  // "5" + Q, general form
    QString netProfit;        // (P - "1") x Q, fixed "0.00"
};

// Empty when the price or the quantity text is empty or no number.
std::optional<Figures> compute(const QString &price, const QString &quantity, const StockValues &stock);

// The amount box: price x quantity in general form; empty when either text
// is empty or no number.
QString amountText(const QString &price, const QString &quantity);

// The actual price for a discount in percent of the suggested price, general
// form; empty (leave the price as it is) when either is empty or no number.
std::optional<QString> discountedPrice(const QString &discount, const QString &suggestedPrice);

// "退": a positive quantity gets a leading minus, anything else loses its
// sign ("2" -> "-2", "-2" -> "2", "0" -> "0"). A fraction keeps its digits
// ("0.5" -> "-0.5"). Empty when the text is no number.
std::optional<QString> toggledReturn(const QString &quantity);

} // namespace SaleCompute
