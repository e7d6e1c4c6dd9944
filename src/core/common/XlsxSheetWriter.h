#pragma once

#include "SheetWriter.h"

struct lxw_workbook;
struct lxw_worksheet;

// An Excel 2007 .xlsx workbook of one sheet, written with libxlsxwriter in
// its constant-memory mode: each row goes to disk as soon as the next one
// starts, so a list of any length takes little memory.
class XlsxSheetWriter final : public SheetWriter
{
public:
    static constexpr int kMaxRows = 1048576;

    XlsxSheetWriter() = default;
    // The sheet gets this name instead of "Sheet1".
    explicit XlsxSheetWriter(const QString &sheetName) : m_sheetName(sheetName) {}
    ~XlsxSheetWriter() override;

    bool open(const QString &path) override;
    void writeText(int row, int column, const QString &text) override;
    void writeNumber(int row, int column, double value) override;
    void writeInteger(int row, int column, qint64 value) override;
    void writeBlank(int row, int column) override;
    bool close() override;
    QString errorString() const override { return m_error; }
    int maxRows() const override { return kMaxRows; }
    int cutCells() const override { return m_cutCells; }

private:
    void check(int status);

    lxw_workbook *m_workbook = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    QString m_error;
    QString m_sheetName;
    int m_cutCells = 0;
};
