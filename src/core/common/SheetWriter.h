#pragma once

#include <QString>

#include <memory>

// One worksheet file that a list export fills cell by cell: rows in rising
// order, each row's cells left to right. The three file kinds the export
// dialog offers share this face, so the list layout is written once.
class SheetWriter
{
public:
    enum class Format { Xls, Xlsx, Csv };

    virtual ~SheetWriter() = default;

    static std::unique_ptr<SheetWriter> create(Format format);
    // The usual suffix of the format, without the dot.
    static QString suffix(Format format);

    // Creates the file. False (see errorString()) when it cannot be created.
    virtual bool open(const QString &path) = 0;
    virtual void writeText(int row, int column, const QString &text) = 0;
    virtual void writeNumber(int row, int column, double value) = 0;
    virtual void writeInteger(int row, int column, qint64 value) = 0;
    virtual void writeBlank(int row, int column) = 0;
    // Completes the file. False when anything on the way failed; the caller
    // removes what was written.
    virtual bool close() = 0;
    virtual QString errorString() const = 0;
    // Rows a sheet of this kind can hold; 0 when there is no limit.
    virtual int maxRows() const { return 0; }
    // Text cells cut at the format's limit on one cell since open().
    virtual int cutCells() const { return 0; }
};
