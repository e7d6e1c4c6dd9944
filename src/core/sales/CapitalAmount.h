#pragma once

#include <QString>
#include <QStringList>

// The outcome of writing an amount in capital Chinese money numerals: the
// text, or why there is none, so the window can tell the operator.
struct CapitalAmountResult
{
    enum class Status {
        Converted,    // text holds the capital amount (empty for a zero amount)
        BadCharacter, // a character other than a digit or the one decimal point
        TooLarge,     // more yuan digits than the capital units reach (10^28 and above)
    };

    Status status = Status::Converted;
    QString text;
    // The first character that is not a digit or the decimal point (a second
    // point counts as such), for BadCharacter.
    char32_t badCharacter = 0;

    bool ok() const { return status == Status::Converted; }
    // What the operator is told, in order: for a bad character its code as a
    // decimal number, then "读取错误，应为数字"; empty when converted.
    QStringList messages() const;
};

// An amount text such as "1234.56" as 壹仟贰佰叁拾肆元伍角陆分. The amount is read
// as exact decimal digits: the first two decimals are the jiao and fen,
// further decimals are dropped, not rounded. No blanks, signs or exponents.
CapitalAmountResult CapitalAmountChecked(const QString &amount);

// The capital text of a valid amount; an empty text for a zero or an empty
// amount and for one that cannot be converted.
QString CapitalAmount(const QString &amount);
