#include "BiffWriter.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>

#include <array>
#include <cmath>
#include <cstring>

namespace {
constexpr qsizetype kFlushBytes = 1 << 16;
constexpr quint16 kBlankFormat = 0x0017;
// The RK form keeps 30-bit whole numbers.
constexpr qint64 kRkMin = -(qint64(1) << 29);
constexpr qint64 kRkMax = (qint64(1) << 29) - 1;
// The strict GBK bytes of every character of the basic plane, worked out
// once from the system's codec: a character qualifies when the codec gives
// two bytes in GBK's double-byte range and takes them back to the same
// character. That leaves out 0x80 ("€" in code page 936), the user-defined
// areas (private-use characters) and the characters several of which share
// one code.
std::array<quint16, 0x10000> makeStrictGbkTable()
{
    std::array<quint16, 0x10000> table{};
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    if (!encoder.isValid() || !decoder.isValid())
        return table;
    for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
        const QChar ch(static_cast<char16_t>(c));
        if (ch.isSurrogate() || ch.category() == QChar::Other_PrivateUse)
            continue;
        // A character the codec lacks comes out as "?" (and the codec's
        // error flag stays set for good), so the size and the way back
        // decide, not the flag.
        const QByteArray bytes = encoder.encode(QStringView(&ch, 1));
        if (bytes.size() != 2)
            continue;
        const auto lead = static_cast<unsigned char>(bytes.at(0));
        const auto trail = static_cast<unsigned char>(bytes.at(1));
        if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE || trail == 0x7F)
            continue;
        const QString back = decoder.decode(bytes);
        if (back.size() == 1 && back.front() == ch)
            table[c] = static_cast<quint16>((lead << 8) | trail);
    }
    return table;
}

} // namespace

quint16 BiffWriter::strictGbk(char32_t c)
{
    static const std::array<quint16, 0x10000> table = makeStrictGbkTable();
    return c < table.size() ? table[c] : 0;
}

BiffWriter::BiffWriter() = default;

BiffWriter::~BiffWriter()
{
    if (m_file.isOpen())
        m_file.close();
}

bool BiffWriter::open(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = m_file.errorString();
        m_ok = false;
        return false;
    }
    m_ok = true;
    m_error.clear();
    m_cutCells = 0;
    m_buffer.clear();
    m_buffer.reserve(kFlushBytes + 4096);
    // Version 0, worksheet stream, then two zero words.
    beginRecord(kBof, 8);
    put16(0x0000);
    put16(0x0010);
    put16(0);
    put16(0);
    beginRecord(kCodePage, 2);
    put16(kGbkCodePage);
    return true;
}

void BiffWriter::put16(quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    m_buffer.append(bytes, 2);
}

void BiffWriter::put32(quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    m_buffer.append(bytes, 4);
}

void BiffWriter::beginRecord(quint16 type, quint16 length)
{
    put16(type);
    put16(length);
}

void BiffWriter::putCellHead(int row, int column, quint16 format)
{
    put16(static_cast<quint16>(row));
    put16(static_cast<quint16>(column));
    put16(format);
}

bool BiffWriter::cellFits(int row, int column)
{
    if (!m_ok)
        return false;
    // A row beyond what readers accept would be lost (and beyond 16 bits it
    // would wrap onto the top of the sheet); the export checks the row
    // count first, this is the guard.
    if (row < 0 || row >= kMaxRows || column < 0 || column > 0xFF) {
        m_error = QStringLiteral("单元格超出 .xls 工作表的范围");
        m_ok = false;
        return false;
    }
    return true;
}

void BiffWriter::flushIfFull()
{
    if (m_buffer.size() < kFlushBytes)
        return;
    if (m_file.write(m_buffer) != m_buffer.size()) {
        m_error = m_file.errorString();
        m_ok = false;
    }
    m_buffer.clear();
}

QByteArray BiffWriter::encodeText(const QString &text)
{
    constexpr int limit = kMaxRecordData - 8;
    QByteArray bytes;
    bytes.reserve(std::min<qsizetype>(2 * text.size(), limit + 2));
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x80) {
            bytes.append(static_cast<char>(c));
        } else if (const quint16 code = strictGbk(c)) {
            bytes.append(static_cast<char>(code >> 8));
            bytes.append(static_cast<char>(code & 0xFF));
        } else {
            bytes.append('?');
        }
        if (bytes.size() > limit)
            break;
    }
    if (bytes.size() <= limit)
        return bytes;
    ++m_cutCells;
    // Cut before a lead byte so no half character is left at the end.
    qsizetype end = 0;
    while (end < bytes.size()) {
        const qsizetype width = static_cast<unsigned char>(bytes.at(end)) >= 0x81 ? 2 : 1;
        if (end + width > limit)
            break;
        end += width;
    }
    bytes.truncate(end);
    return bytes;
}

void BiffWriter::writeText(int row, int column, const QString &text)
{
    if (!cellFits(row, column))
        return;
    const QByteArray bytes = encodeText(text);
    beginRecord(kLabel, static_cast<quint16>(8 + bytes.size()));
    putCellHead(row, column, 0);
    put16(static_cast<quint16>(bytes.size()));
    m_buffer.append(bytes);
    flushIfFull();
}

void BiffWriter::writeNumber(int row, int column, double value)
{
    if (!std::isfinite(value)) {
        writeBlank(row, column);
        return;
    }
    if (!cellFits(row, column))
        return;
    beginRecord(kNumber, 14);
    putCellHead(row, column, 0);
    quint64 bits = 0;
    static_assert(sizeof(bits) == sizeof(value));
    std::memcpy(&bits, &value, sizeof bits);
    char bytes[8];
    qToLittleEndian(bits, bytes);
    m_buffer.append(bytes, 8);
    flushIfFull();
}

void BiffWriter::writeInteger(int row, int column, qint64 value)
{
    if (value < kRkMin || value > kRkMax) {
        writeNumber(row, column, static_cast<double>(value));
        return;
    }
    if (!cellFits(row, column))
        return;
    beginRecord(kRk, 10);
    putCellHead(row, column, 0);
    // RK: the value shifted left two bits, bit 1 marking a whole number.
    put32(static_cast<quint32>(value * 4 + 2));
    flushIfFull();
}

void BiffWriter::writeBlank(int row, int column)
{
    if (!cellFits(row, column))
        return;
    beginRecord(kBlank, 6);
    putCellHead(row, column, kBlankFormat);
    flushIfFull();
}

bool BiffWriter::close()
{
    if (!m_file.isOpen())
        return false;
    beginRecord(kEof, 0);
    if (m_ok && m_file.write(m_buffer) != m_buffer.size()) {
        m_error = m_file.errorString();
        m_ok = false;
    }
    m_buffer.clear();
    if (m_ok && !m_file.flush()) {
        m_error = m_file.errorString();
        m_ok = false;
    }
    m_file.close();
    if (m_ok && m_file.error() != QFileDevice::NoError) {
        m_error = m_file.errorString();
        m_ok = false;
    }
    return m_ok;
}
