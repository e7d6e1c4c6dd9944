#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

// An Excel 97-2003 workbook (BIFF8 inside a compound file) with one named
// worksheet: the file Excel, LibreOffice and the import's own reader open as
// an .xls with that sheet. Cells are written row after row.
class XlsWorkbookWriter
{
public:
    // The row limit of the format.
    static constexpr int MaxRows = 65536;
    static constexpr int MaxColumns = 256;

    explicit XlsWorkbookWriter(const QString &sheetName);

    // Cells beyond the limits are ignored; rows must not go backwards.
    void writeText(int row, int column, const QString &text);
    void writeNumber(int row, int column, double value);
    // A day number shown in the "yyyy-mm-dd" date format.
    void writeDate(int row, int column, const QDate &date);

    // False with the reason when the file cannot be written.
    bool save(const QString &path, QString *error) const;

    // The workbook stream (BIFF8 records) and the whole compound file.
    QByteArray workbookStream() const;
    static QByteArray compoundFile(const QByteArray &workbookStream);

private:
    bool accept(int row, int column);
    void cellHead(quint16 type, quint16 length, int row, int column, quint16 xf);

    QString m_sheetName;
    QByteArray m_cells;
    int m_rows = 0;    // one past the last row written
    int m_columns = 0; // one past the last column written
    int m_lastRow = 0;
};
