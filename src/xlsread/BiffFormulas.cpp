#include "BiffFormulas.h"

#include "common/SheetDateFormat.h"

#include <QList>
#include <QStringDecoder>

#include <cstring>

namespace {

// GCC's bounds warning at -O3 follows the copy into an empty array's
// one-byte buffer, a path the size check above it rules out.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
template <typename T> bool readAt(const QByteArray &bytes, qsizetype offset, T *value)
{
    if (offset < 0 || offset + qsizetype(sizeof(T)) > bytes.size())
        return false;
    std::memcpy(value, bytes.constData() + offset, sizeof(T));
    return true;
}
#pragma GCC diagnostic pop

template <typename T> T at(const QByteArray &bytes, qsizetype offset)
{
    T value{};
    readAt(bytes, offset, &value);
    return value;
}

constexpr quint32 kEndOfChain = 0xFFFFFFFE;

// The compound file around the workbook: sectors chained through the
// allocation table, small streams in the mini stream.
class CompoundFile
{
public:
    explicit CompoundFile(const QByteArray &file) : m_file(file)
    {
        if (!file.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") || file.size() < 512)
            return;
        const quint16 shift = at<quint16>(file, 0x1E);
        const quint16 miniShift = at<quint16>(file, 0x20);
        if (shift < 7 || shift > 16 || miniShift > shift)
            return;
        m_sectorSize = 1 << shift;
        m_miniSectorSize = 1 << miniShift;
        m_miniCutoff = at<quint32>(file, 0x38);

        // The allocation table's own sectors: 109 named in the header, the
        // rest in a chain of further lists.
        QList<quint32> fatSectors;
        const quint32 fatCount = at<quint32>(file, 0x2C);
        for (int i = 0; i < 109 && quint32(fatSectors.size()) < fatCount; ++i)
            fatSectors.append(at<quint32>(file, 0x4C + 4 * i));
        quint32 difat = at<quint32>(file, 0x44);
        for (int guard = 0; difat < kEndOfChain && guard < sectorCount(); ++guard) {
            const qsizetype base = offsetOf(difat);
            const int perSector = m_sectorSize / 4 - 1;
            for (int i = 0; i < perSector && quint32(fatSectors.size()) < fatCount; ++i)
                fatSectors.append(at<quint32>(file, base + 4 * i));
            difat = at<quint32>(file, base + 4 * perSector);
        }
        for (const quint32 sector : fatSectors) {
            if (sector >= kEndOfChain || offsetOf(sector) + m_sectorSize > file.size())
                break;
            for (int i = 0; i < m_sectorSize / 4; ++i)
                m_fat.append(at<quint32>(file, offsetOf(sector) + 4 * i));
        }
        const QByteArray directory = chain(at<quint32>(file, 0x30), -1);
        for (qsizetype entry = 0; entry + 128 <= directory.size(); entry += 128) {
            const quint16 nameBytes = at<quint16>(directory, entry + 0x40);
            const quint8 type = at<quint8>(directory, entry + 0x42);
            const qsizetype nameLength = qMax(0, qMin<int>(nameBytes, 64) / 2 - 1);
            const QString name = QString::fromUtf16(
                reinterpret_cast<const char16_t *>(directory.constData() + entry), nameLength);
            const quint32 start = at<quint32>(directory, entry + 0x74);
            const quint32 size = at<quint32>(directory, entry + 0x78);
            if (type == 5 && entry == 0) {
                m_miniStream = chain(start, size);
            } else if (type == 2 && !m_hasWorkbook &&
                       (name == QLatin1String("Workbook") || name == QLatin1String("Book"))) {
                m_workbookStart = start;
                m_workbookSize = size;
                m_hasWorkbook = true;
            }
        }
        if (!m_hasWorkbook)
            return;
        if (m_workbookSize >= m_miniCutoff) {
            m_workbook = chain(m_workbookStart, m_workbookSize);
            return;
        }
        // A small workbook lives in the mini stream, in mini sectors chained
        // through the mini allocation table.
        const QByteArray miniFat = chain(at<quint32>(file, 0x3C), -1);
        quint32 sector = m_workbookStart;
        for (int guard = 0; sector < kEndOfChain && m_workbook.size() < qsizetype(m_workbookSize) &&
                            guard <= miniFat.size() / 4;
             ++guard) {
            const qsizetype offset = qsizetype(sector) * m_miniSectorSize;
            if (offset + m_miniSectorSize > m_miniStream.size())
                break;
            m_workbook.append(m_miniStream.constData() + offset, m_miniSectorSize);
            if (!readAt(miniFat, qsizetype(sector) * 4, &sector))
                break;
        }
        m_workbook.truncate(m_workbookSize);
    }

    QByteArray workbook() const { return m_workbook; }

private:
    int sectorCount() const { return int(m_file.size() / qMax(m_sectorSize, 1)); }
    qsizetype offsetOf(quint32 sector) const { return (qsizetype(sector) + 1) * m_sectorSize; }
    // The stream starting at the sector, cut to size (-1: whole sectors).
    QByteArray chain(quint32 sector, qint64 size) const
    {
        QByteArray bytes;
        for (int guard = 0; sector < kEndOfChain && guard <= m_fat.size(); ++guard) {
            if (size >= 0 && bytes.size() >= size)
                break;
            const qsizetype offset = offsetOf(sector);
            if (offset + m_sectorSize > m_file.size() || sector >= quint32(m_fat.size()))
                break;
            bytes.append(m_file.constData() + offset, m_sectorSize);
            sector = m_fat.at(sector);
        }
        if (size >= 0)
            bytes.truncate(size);
        return bytes;
    }

    const QByteArray &m_file;
    int m_sectorSize = 512;
    int m_miniSectorSize = 64;
    quint32 m_miniCutoff = 4096;
    QList<quint32> m_fat;
    QByteArray m_miniStream;
    QByteArray m_workbook;
    quint32 m_workbookStart = 0;
    quint32 m_workbookSize = 0;
    bool m_hasWorkbook = false;
};

struct Record
{
    quint16 id = 0;
    QByteArray data;
};

// The records of the workbook stream from a position on.
class Records
{
public:
    Records(const QByteArray &stream, qsizetype position) : m_stream(stream), m_position(position) {}
    bool next(Record *record)
    {
        quint16 id = 0;
        quint16 size = 0;
        if (!readAt(m_stream, m_position, &id) || !readAt(m_stream, m_position + 2, &size) ||
            m_position + 4 + size > m_stream.size())
            return false;
        record->id = id;
        record->data = QByteArray::fromRawData(m_stream.constData() + m_position + 4, size);
        m_position += 4 + size;
        return true;
    }

private:
    const QByteArray &m_stream;
    qsizetype m_position;
};

// A text of the workbook: in BIFF8 16-bit or compressed characters after a
// flags byte, in BIFF5 bytes of the workbook's code page.
QString biffText(const QByteArray &data, qsizetype offset, int length, bool biff8, QStringDecoder *codePage)
{
    if (!biff8) {
        const QByteArray bytes = data.mid(offset, length);
        return codePage->isValid() ? codePage->decode(bytes) : QString::fromLatin1(bytes);
    }
    const quint8 flags = at<quint8>(data, offset);
    offset += 1;
    if (flags & 0x08) // rich text: run count
        offset += 2;
    if (flags & 0x04) // phonetic: its size
        offset += 4;
    if (flags & 0x01) {
        const qsizetype count = qMax<qsizetype>(0, qMin<qsizetype>(length, (data.size() - offset) / 2));
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(data.constData() + offset), count);
    }
    return QString::fromLatin1(data.mid(offset, length));
}

} // namespace

FormulaResults readFormulaResults(const QByteArray &file, int sheetIndex)
{
    FormulaResults results;
    const CompoundFile container(file);
    const QByteArray stream = container.workbook();

    // The global records: BIFF version, date system, code page, the number
    // format of every cell style, the sheets' positions.
    bool biff8 = true;
    bool date1904 = false;
    QStringDecoder codePage;
    QHash<int, QString> formats;
    QList<int> styleFormats;
    QList<quint32> sheetPositions;
    Records globals(stream, 0);
    Record record;
    for (bool first = true; globals.next(&record); first = false) {
        const QByteArray &d = record.data;
        if (first) {
            if (record.id != 0x0809 && record.id != 0x0409)
                return results;
            biff8 = at<quint16>(d, 0) == 0x0600;
        } else if (record.id == 0x000A) { // EOF
            break;
        } else if (record.id == 0x0022) { // DATEMODE
            date1904 = at<quint16>(d, 0) == 1;
        } else if (record.id == 0x0042) { // CODEPAGE
            const quint16 page = at<quint16>(d, 0);
            if (page == 936)
                codePage = QStringDecoder("GBK");
            else if (page == 950)
                codePage = QStringDecoder("Big5");
            else if (page == 1252)
                codePage = QStringDecoder("windows-1252");
        } else if (record.id == 0x041E) { // FORMAT
            const int id = at<quint16>(d, 0);
            formats.insert(id, biff8 ? biffText(d, 4, at<quint16>(d, 2), true, &codePage)
                                     : biffText(d, 3, at<quint8>(d, 2), false, &codePage));
        } else if (record.id == 0x00E0) { // XF
            styleFormats.append(at<quint16>(d, 2));
        } else if (record.id == 0x0085) { // BOUNDSHEET
            sheetPositions.append(at<quint32>(d, 0));
        }
    }
    if (sheetIndex < 0 || sheetIndex >= sheetPositions.size())
        return results;

    Records sheet(stream, sheetPositions.at(sheetIndex));
    quint64 pendingText = 0; // the cell whose text result the next STRING record holds
    bool textPending = false;
    for (int index = 0; sheet.next(&record); ++index) {
        const QByteArray &d = record.data;
        if (record.id == 0x000A && index > 0)
            break;
        if (record.id == 0x0207 && textPending) { // STRING
            textPending = false;
            const int length = at<quint16>(d, 0);
            results[pendingText].text = biffText(d, 2, length, biff8, &codePage);
            continue;
        }
        if (record.id != 0x0006 || d.size() < 20) // FORMULA
            continue;
        textPending = false;
        const quint16 row = at<quint16>(d, 0);
        const quint16 column = at<quint16>(d, 2);
        const quint16 style = at<quint16>(d, 4);
        FormulaResult result;
        if (at<quint16>(d, 12) == 0xFFFF) {
            switch (at<quint8>(d, 6)) {
            case 0:
                result.kind = FormulaResult::Kind::Text;
                pendingText = formulaKey(row, column);
                textPending = true;
                break;
            case 1:
                result.kind = FormulaResult::Kind::Boolean;
                result.number = at<quint8>(d, 8) ? 1 : 0;
                break;
            case 2: {
                static const QHash<int, QString> errors{
                    {0x00, QStringLiteral("#NULL!")},  {0x07, QStringLiteral("#DIV/0!")},
                    {0x0F, QStringLiteral("#VALUE!")}, {0x17, QStringLiteral("#REF!")},
                    {0x1D, QStringLiteral("#NAME?")},  {0x24, QStringLiteral("#NUM!")},
                    {0x2A, QStringLiteral("#N/A")}};
                result.kind = FormulaResult::Kind::Error;
                result.text = errors.value(at<quint8>(d, 8), QStringLiteral("#ERROR"));
                break;
            }
            default: // an empty text
                continue;
            }
        } else {
            result.number = at<double>(d, 6);
            const int format = style < styleFormats.size() ? styleFormats.at(style) : 0;
            if (isDateNumberFormat(format, formats.value(format))) {
                result.date = dateFromSerial(result.number, date1904);
                if (result.date.isValid())
                    result.kind = FormulaResult::Kind::Date;
            }
        }
        results.insert(formulaKey(row, column), result);
    }
    return results;
}
