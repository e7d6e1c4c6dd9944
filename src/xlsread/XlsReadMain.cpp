// lwjxc-xlsread FILE SHEET: reads one worksheet of an Excel 97-2003 or 5.0/95
// workbook with freexl and writes its cells to standard output (see
// XlsCellStream.h). The program runs it as a separate process, so a fault of
// the library on a damaged or hostile file ends this process only.

#include "BiffFormulas.h"
#include "common/WorkbookReader.h"
#include "common/XlsCellStream.h"

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QString>

#include <freexl.h>

#include <cstdio>
#include <cstring>

namespace {

class FrameWriter
{
public:
    ~FrameWriter() { flush(); }
    void byte(char value) { m_buffer.append(value); }
    template <typename T> void number(T value)
    {
        m_buffer.append(reinterpret_cast<const char *>(&value), sizeof value);
    }
    void text(const char *utf8)
    {
        const auto size = static_cast<quint32>(utf8 ? std::strlen(utf8) : 0);
        number(size);
        m_buffer.append(utf8, size);
    }
    void flushWhenFull()
    {
        if (m_buffer.size() >= 64 * 1024)
            flush();
    }
    void flush()
    {
        if (!m_buffer.isEmpty())
            std::fwrite(m_buffer.constData(), 1, static_cast<size_t>(m_buffer.size()), stdout);
        m_buffer.clear();
        std::fflush(stdout);
    }
    int fail(qint32 code, quint32 detail = 0)
    {
        byte('F');
        number(code);
        number(detail);
        flush();
        return 0;
    }

private:
    QByteArray m_buffer;
};

int readSheet(const char *path, const QString &sheetName, FrameWriter &out)
{
    const void *handle = nullptr;
    const int opened = freexl_open(path, &handle);
    struct Closer
    {
        const void *&handle;
        ~Closer()
        {
            if (handle)
                freexl_close(handle);
        }
    } closer{handle};
    if (opened != FREEXL_OK)
        return out.fail(opened < 0 ? opened : -opened);

    unsigned int info = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        return out.fail(XlsCellStream::Password);
    unsigned int sheetCount = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK)
        return out.fail(XlsCellStream::SheetDirectory);
    int found = -1;
    for (unsigned int i = 0; i < sheetCount && i < 0xFFFF; ++i) {
        const char *name = nullptr;
        if (freexl_get_worksheet_name(handle, static_cast<unsigned short>(i), &name) != FREEXL_OK || !name)
            continue;
        out.byte('N');
        out.text(name);
        if (found < 0 && QString::fromUtf8(name).compare(sheetName, Qt::CaseInsensitive) == 0)
            found = static_cast<int>(i);
    }
    if (found < 0)
        return out.fail(XlsCellStream::NoSheet);
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(handle, static_cast<unsigned short>(found)) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
        return out.fail(XlsCellStream::SheetDamaged);
    if (rows > static_cast<unsigned int>(WorkbookReader::MaxRows))
        return out.fail(XlsCellStream::TooManyRows, rows);

    // freexl leaves formula cells out: their stored results come from the
    // file's records.
    QFile file(QString::fromLocal8Bit(path));
    const FormulaResults formulas =
        file.open(QIODevice::ReadOnly) ? readFormulaResults(file.readAll(), found) : FormulaResults();
    file.close();

    for (unsigned int r = 0; r < rows; ++r) {
        bool rowStarted = false;
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(handle, r, c, &value) != FREEXL_OK)
                return out.fail(XlsCellStream::CellDamaged, r);
            char kind = 0;
            QDate date;
            const FormulaResult *formula = nullptr;
            if (value.type == FREEXL_CELL_NULL && !formulas.isEmpty()) {
                const auto hit = formulas.constFind(formulaKey(r, c));
                if (hit != formulas.constEnd()) {
                    formula = &hit.value();
                    kind = static_cast<char>(formula->kind);
                }
            }
            switch (value.type) {
            case FREEXL_CELL_INT:
            case FREEXL_CELL_DOUBLE:
                kind = 'n';
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_TIME:
                if (value.value.text_value && *value.value.text_value)
                    kind = 't';
                break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
                // "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS": the day is what counts.
                if (value.value.text_value)
                    date = QDate::fromString(QString::fromUtf8(value.value.text_value).left(10),
                                             QStringLiteral("yyyy-MM-dd"));
                kind = date.isValid() ? 'd' : (value.value.text_value ? 't' : 0);
                break;
            default:
                break;
            }
            if (!kind)
                continue;
            if (!rowStarted) {
                out.byte('R');
                out.number(static_cast<quint32>(r));
                rowStarted = true;
            }
            out.byte(kind);
            out.number(static_cast<quint16>(c));
            if (formula) {
                if (kind == 'n' || kind == 'b')
                    out.number(formula->number);
                else if (kind == 'd')
                    out.number(static_cast<qint64>(formula->date.toJulianDay()));
                else
                    out.text(formula->text.toUtf8().constData());
            } else if (kind == 'n')
                out.number(value.type == FREEXL_CELL_INT ? static_cast<double>(value.value.int_value)
                                                         : value.value.double_value);
            else if (kind == 'd')
                out.number(static_cast<qint64>(date.toJulianDay()));
            else
                out.text(value.value.text_value);
        }
        out.flushWhenFull();
    }
    out.byte('E');
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    FrameWriter out;
    if (argc != 3)
        return out.fail(XlsCellStream::Usage) + 2;
    return readSheet(argv[1], QString::fromUtf8(argv[2]), out);
}
