#include "CsvSheetWriter.h"

#include "data/NumberFormat.h"

#include <cmath>

namespace {
constexpr qsizetype kFlushBytes = 1 << 16;
} // namespace

CsvSheetWriter::~CsvSheetWriter()
{
    if (m_file.isOpen())
        m_file.close();
}

bool CsvSheetWriter::open(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = m_file.errorString();
        return false;
    }
    m_ok = true;
    m_error.clear();
    m_row = -1;
    m_fields.clear();
    m_buffer = QByteArray("\xEF\xBB\xBF");
    return true;
}

QString CsvSheetWriter::quoted(const QString &field)
{
    const bool needsQuotes = field.contains(u',') || field.contains(u'"') || field.contains(u'\n') ||
                             field.contains(u'\r') || field.startsWith(u' ') || field.endsWith(u' ');
    if (!needsQuotes)
        return field;
    QString text = field;
    text.replace(u'"', QStringLiteral("\"\""));
    return u'"' + text + u'"';
}

QString CsvSheetWriter::defused(const QString &text)
{
    if (text.isEmpty())
        return text;
    const QChar first = text.front();
    if (first != u'=' && first != u'+' && first != u'-' && first != u'@' && first != u'\t' && first != u'\r')
        return text;
    // A number is no formula; "-5" stays "-5". toDouble() takes "inf" and
    // "nan" too, which are text to a spreadsheet.
    bool number = false;
    const double value = text.toDouble(&number);
    if (number && std::isfinite(value))
        return text;
    return u'\'' + text;
}

void CsvSheetWriter::endRow()
{
    if (m_row < 0)
        return;
    m_buffer += m_fields.join(u',').toUtf8();
    m_buffer += "\r\n";
    m_fields.clear();
    flushIfFull();
}

void CsvSheetWriter::put(int row, int column, const QString &field)
{
    if (!m_ok || row < 0 || column < 0)
        return;
    if (row != m_row) {
        endRow();
        // Rows that got no cell at all are empty lines.
        for (int skipped = row - m_row - 1; skipped > 0; --skipped)
            m_buffer += "\r\n";
        m_row = row;
    }
    while (m_fields.size() < column)
        m_fields << QString();
    if (m_fields.size() == column)
        m_fields << field;
    else
        m_fields[column] = field;
}

void CsvSheetWriter::writeText(int row, int column, const QString &text)
{
    put(row, column, quoted(defused(text)));
}

void CsvSheetWriter::writeNumber(int row, int column, double value)
{
    put(row, column, std::isfinite(value) ? NumberFormat::general(value) : QString());
}

void CsvSheetWriter::writeInteger(int row, int column, qint64 value)
{
    put(row, column, QString::number(value));
}

void CsvSheetWriter::writeBlank(int row, int column)
{
    put(row, column, QString());
}

void CsvSheetWriter::flushIfFull()
{
    if (m_buffer.size() < kFlushBytes)
        return;
    if (m_file.write(m_buffer) != m_buffer.size()) {
        m_error = m_file.errorString();
        m_ok = false;
    }
    m_buffer.clear();
}

bool CsvSheetWriter::close()
{
    if (!m_file.isOpen())
        return false;
    endRow();
    if (m_ok && m_file.write(m_buffer) != m_buffer.size()) {
        m_error = m_file.errorString();
        m_ok = false;
    }
    m_buffer.clear();
    m_file.close();
    if (m_ok && m_file.error() != QFileDevice::NoError) {
        m_error = m_file.errorString();
        m_ok = false;
    }
    return m_ok;
}
