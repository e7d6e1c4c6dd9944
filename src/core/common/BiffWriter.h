#pragma once

#include "SheetWriter.h"

#include <QByteArray>
#include <QFile>

// The classic Excel .xls worksheet: a bare stream of little-endian BIFF
// records (begin of file, the code page, text / number / whole-number /
// empty cells, end of file). Text is stored in GBK, and the CODEPAGE record
// says so, so spreadsheet programs on any system read the Chinese correctly.
// Only bytes of strict GBK are written: Windows code page 936 adds "€" as
// the single byte 0x80 and maps private-use characters to user-defined
// areas, which strict readers (xlrd, pandas) refuse for the whole file.
class BiffWriter final : public SheetWriter
{
public:
    // Record types.
    static constexpr quint16 kBof = 0x0809;
    static constexpr quint16 kCodePage = 0x0042;
    static constexpr quint16 kLabel = 0x0204;
    static constexpr quint16 kNumber = 0x0203;
    static constexpr quint16 kRk = 0x027E;
    static constexpr quint16 kBlank = 0x0201;
    static constexpr quint16 kEof = 0x000A;
    static constexpr quint16 kGbkCodePage = 936;
    // Row numbers are 16-bit, but spreadsheet programs read a worksheet of
    // this kind only up to row 16384 (LibreOffice drops the rest, xlrd
    // refuses the file), so that is where it ends.
    static constexpr int kMaxRows = 16384;
    // The longest record body older Excel versions accept.
    static constexpr int kMaxRecordData = 2080;

    BiffWriter();
    ~BiffWriter() override;

    bool open(const QString &path) override;
    void writeText(int row, int column, const QString &text) override;
    void writeNumber(int row, int column, double value) override;
    void writeInteger(int row, int column, qint64 value) override;
    void writeBlank(int row, int column) override;
    bool close() override;
    QString errorString() const override { return m_error; }
    int maxRows() const override { return kMaxRows; }
    int cutCells() const override { return m_cutCells; }

    // The GBK bytes of a text cell: ASCII as it is, other characters as the
    // two bytes of strict GBK, "?" for a character GBK lacks; the text is cut
    // (at a character boundary) to what one record holds.
    QByteArray encodeText(const QString &text);
    // The two GBK bytes (lead byte high) of a character that a strict
    // reader decodes back to that very character, or 0 when there are none.
    static quint16 strictGbk(char32_t c);

private:
    bool cellFits(int row, int column);
    void beginRecord(quint16 type, quint16 length);
    void put16(quint16 value);
    void put32(quint32 value);
    void putCellHead(int row, int column, quint16 format);
    void flushIfFull();

    QFile m_file;
    QByteArray m_buffer;
    QString m_error;
    int m_cutCells = 0;
    bool m_ok = false;
};
