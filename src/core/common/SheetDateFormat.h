#pragma once

#include <QDate>
#include <QString>

// Dates as spreadsheet programs store them: a day number shown through a
// date format. Shared by the workbook readers and the .xls helper.

// Day number -> date, in the 1900 or the 1904 date system; invalid for a
// number that is no day.
QDate dateFromSerial(double serial, bool date1904);

// Whether the number format (built-in id, or custom code) shows a date.
bool isDateNumberFormat(int id, const QString &code);
