#include "ListExport.h"

#include "SheetWriter.h"

#include <QDate>

int ListExportLayout::titleLevels() const
{
    qsizetype levels = 0;
    for (const Column &column : columns)
        levels = std::max(levels, column.titles.size());
    return static_cast<int>(levels);
}

ListExportWriter::ListExportWriter(SheetWriter &sheet, const ListExportLayout &layout)
    : m_sheet(sheet), m_layout(layout)
{}

void ListExportWriter::writeHead()
{
    m_row = 0;
    m_sheet.writeText(m_row++, ListExportLayout::kTitleColumn, m_layout.title);
    if (m_layout.hasDateRow()) {
        if (!m_layout.beginDate.trimmed().isEmpty())
            m_sheet.writeText(m_row, 0, m_layout.beginDate);
        if (!m_layout.endDate.trimmed().isEmpty())
            m_sheet.writeText(m_row, ListExportLayout::kEndDateColumn, m_layout.endDate);
        ++m_row;
    }
    m_sheet.writeText(m_row, 0, QStringLiteral("制表人：") + m_layout.userName);
    m_sheet.writeText(m_row, ListExportLayout::kMadeAtColumn,
                      QStringLiteral("制表时间：") +
                          m_layout.madeAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    ++m_row;
    const int levels = m_layout.titleLevels();
    for (int level = 0; level < levels; ++level) {
        for (int c = 0; c < m_layout.columns.size(); ++c) {
            const QStringList &titles = m_layout.columns.at(c).titles;
            if (level < titles.size())
                m_sheet.writeText(m_row, c, titles.at(level));
        }
        ++m_row;
    }
}

void ListExportWriter::writeValue(SheetWriter &sheet, int row, int column, const QVariant &value)
{
    if (value.isNull()) {
        sheet.writeBlank(row, column);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
        sheet.writeInteger(row, column, value.toLongLong());
        return;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        sheet.writeNumber(row, column, value.toDouble());
        return;
    case QMetaType::Float:
    case QMetaType::Double:
        sheet.writeNumber(row, column, value.toDouble());
        return;
    case QMetaType::QDate:
        sheet.writeText(row, column, value.toDate().toString(QStringLiteral("yyyy-MM-dd")));
        return;
    case QMetaType::QDateTime: {
        const QDateTime time = value.toDateTime();
        sheet.writeText(row, column,
                        time.time() == QTime(0, 0) ? time.date().toString(QStringLiteral("yyyy-MM-dd"))
                                                   : time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        return;
    }
    default:
        sheet.writeText(row, column, value.toString());
        return;
    }
}

void ListExportWriter::writeRecord(const QVariantList &values)
{
    const int columns = static_cast<int>(std::min(values.size(), m_layout.columns.size()));
    for (int c = 0; c < columns; ++c)
        writeValue(m_sheet, m_row, c, values.at(c));
    ++m_row;
}

void ListExportWriter::writeFooter()
{
    for (int c = 0; c < m_layout.columns.size(); ++c)
        m_sheet.writeText(m_row, c, m_layout.columns.at(c).footerText);
    ++m_row;
}
