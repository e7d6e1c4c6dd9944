#include "SheetDateFormat.h"

#include <cmath>

// Spreadsheet day numbers: day 1 is 1900-01-01, and the programs count a
// 29 February 1900 that never was, so from day 61 on the days are one less.
// Workbooks of the 1904 system count from 1904-01-01 as day 0.
QDate dateFromSerial(double serial, bool date1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial > 2958465.0) // up to 9999-12-31
        return {};
    const qint64 day = static_cast<qint64>(std::floor(serial));
    if (date1904)
        return QDate(1904, 1, 1).addDays(day);
    if (day == 0 || day == 60)
        return {};
    return day < 60 ? QDate(1899, 12, 31).addDays(day) : QDate(1899, 12, 30).addDays(day);
}

// Whether a number format shows a date (or time): the built-in date formats,
// and custom codes that use day, month, year, hour or second outside quoted
// text, brackets and escaped characters.
bool isDateNumberFormat(int id, const QString &code)
{
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58))
        return true;
    if (code.isEmpty())
        return false;
    QString bare;
    bool quoted = false;
    int bracket = 0;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar ch = code.at(i);
        if (quoted) {
            quoted = ch != QLatin1Char('"');
        } else if (ch == QLatin1Char('"')) {
            quoted = true;
        } else if (ch == QLatin1Char('\\') || ch == QLatin1Char('_') || ch == QLatin1Char('*')) {
            ++i;
        } else if (ch == QLatin1Char('[')) {
            ++bracket;
        } else if (ch == QLatin1Char(']')) {
            bracket = qMax(0, bracket - 1);
        } else if (bracket == 0) {
            bare.append(ch.toLower());
        }
    }
    bare.remove(QLatin1String("general"));
    for (const QChar ch : bare)
        if (QStringLiteral("ydmhs").contains(ch))
            return true;
    return false;
}
