#pragma once

#include "SheetWriter.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

// A comma-separated text file in UTF-8 with a byte-order mark (so Excel
// recognises the encoding), fields quoted as RFC 4180 asks, lines ending in
// CR LF. Rows and columns that receive no cell stay empty.
class CsvSheetWriter final : public SheetWriter
{
public:
    CsvSheetWriter() = default;
    ~CsvSheetWriter() override;

    bool open(const QString &path) override;
    void writeText(int row, int column, const QString &text) override;
    void writeNumber(int row, int column, double value) override;
    void writeInteger(int row, int column, qint64 value) override;
    void writeBlank(int row, int column) override;
    bool close() override;
    QString errorString() const override { return m_error; }

    // One field as it stands in the file: quoted (quotes doubled) when it
    // holds a comma, a quote or a line break, or starts or ends with a blank.
    static QString quoted(const QString &field);

    // A text cell made safe for spreadsheet programs, which run a field
    // starting with "=", "+", "-", "@", a tab or a carriage return as a
    // formula: such a field gets a leading "'" unless it is a plain number
    // ("-5", "+3.2"), as OWASP's advice on CSV injection has it.
    static QString defused(const QString &text);

private:
    void put(int row, int column, const QString &field);
    void endRow();
    void flushIfFull();

    QFile m_file;
    QByteArray m_buffer;
    QStringList m_fields; // the current row so far
    int m_row = -1;
    QString m_error;
    bool m_ok = false;
};
