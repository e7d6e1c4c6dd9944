#pragma once

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QString>

// The results Excel stored with the formula cells of one worksheet of an
// .xls workbook. freexl leaves formula cells out; these are read straight
// from the file's records. Every length and position is checked against
// the bytes there are: a damaged file yields fewer results, never a fault.
struct FormulaResult
{
    enum class Kind : char { Number = 'n', Date = 'd', Text = 't', Boolean = 'b', Error = 'e' };
    Kind kind = Kind::Number;
    double number = 0;
    QDate date;
    QString text;
};

// Keyed by row << 16 | column.
using FormulaResults = QHash<quint64, FormulaResult>;

inline quint64 formulaKey(quint32 row, quint16 column)
{
    return (quint64(row) << 16) | column;
}

// The cached results of the formulas of the sheetIndex-th sheet of the
// workbook file (the whole file's bytes).
FormulaResults readFormulaResults(const QByteArray &file, int sheetIndex);
