#include "XlsxSheetWriter.h"

#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>

namespace {
// Excel's limit on the characters of one cell.
constexpr int kMaxCellText = 32767;
} // namespace

XlsxSheetWriter::~XlsxSheetWriter()
{
    // An unfinished workbook is still closed so its temporary files go.
    if (m_workbook)
        workbook_close(m_workbook);
}

bool XlsxSheetWriter::open(const QString &path)
{
    m_error.clear();
    m_cutCells = 0;
    // libxlsxwriter only reports a failed file at the very end; learn now
    // whether the file can be made at all, as the other formats do.
    {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            m_error = probe.errorString();
            return false;
        }
    }
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray name = QFile::encodeName(path);
    m_workbook = workbook_new_opt(name.constData(), &options);
    if (!m_workbook) {
        m_error = QStringLiteral("无法创建工作簿");
        return false;
    }
    const QByteArray sheetName = m_sheetName.toUtf8();
    m_sheet = workbook_add_worksheet(m_workbook, m_sheetName.isEmpty() ? nullptr : sheetName.constData());
    if (!m_sheet) {
        m_error = QStringLiteral("无法创建工作表");
        return false;
    }
    return true;
}

void XlsxSheetWriter::check(int status)
{
    if (status != LXW_NO_ERROR && m_error.isEmpty())
        m_error = QString::fromUtf8(lxw_strerror(static_cast<lxw_error>(status)));
}

void XlsxSheetWriter::writeText(int row, int column, const QString &text)
{
    if (!m_sheet || text.isEmpty())
        return;
    if (text.size() > kMaxCellText)
        ++m_cutCells;
    // Not through the middle of a surrogate pair.
    qsizetype keep = std::min<qsizetype>(text.size(), kMaxCellText);
    if (keep < text.size() && text.at(keep - 1).isHighSurrogate())
        --keep;
    const QByteArray utf8 = text.left(keep).toUtf8();
    check(worksheet_write_string(m_sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                                 utf8.constData(), nullptr));
}

void XlsxSheetWriter::writeNumber(int row, int column, double value)
{
    if (!m_sheet || !std::isfinite(value))
        return;
    check(worksheet_write_number(m_sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), value,
                                 nullptr));
}

void XlsxSheetWriter::writeInteger(int row, int column, qint64 value)
{
    writeNumber(row, column, static_cast<double>(value));
}

void XlsxSheetWriter::writeBlank(int, int)
{
    // An unformatted empty cell is simply absent in .xlsx.
}

bool XlsxSheetWriter::close()
{
    if (!m_workbook)
        return false;
    const lxw_error status = workbook_close(m_workbook);
    m_workbook = nullptr;
    m_sheet = nullptr;
    check(status);
    return m_error.isEmpty();
}
