#pragma once

#include <QList>
#include <QString>
#include <QVariant>

// Reads an exported sheet back with independent readers (python3-xlrd for
// .xls, python3's zipfile and XML parser for .xlsx, plain text for .csv), so
// the export tests check what other programs will see.
struct SheetReadBack
{
    bool ok = false;
    QString error;
    // .xls: the code page the reader found (0 when none) and the encoding it chose.
    int codepage = 0;
    QString encoding;
    // Rows of cells: a QString for text, a double for numbers, a null
    // QVariant for an empty or absent cell. Rows are padded to equal length.
    QList<QVariantList> rows;

    QVariant cell(int row, int column) const
    {
        return row < rows.size() && column < rows.at(row).size() ? rows.at(row).at(column) : QVariant();
    }
    QString text(int row, int column) const { return cell(row, column).toString(); }
    int columnCount(int row) const;

    static SheetReadBack xls(const QString &path);
    static SheetReadBack xlsx(const QString &path);
    static SheetReadBack csv(const QString &path);
    // By the file's suffix.
    static SheetReadBack read(const QString &path);
    // The python3 that has xlrd (the Debian one when another python3 comes
    // first on the path); empty when there is none.
    static QString python();
};
