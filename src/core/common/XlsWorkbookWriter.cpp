#include "XlsWorkbookWriter.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>

#include <cstring>

namespace {

constexpr quint16 kBof = 0x0809, kEof = 0x000A, kCodePage = 0x0042, kWindow1 = 0x003D, kFont = 0x0031,
                  kXf = 0x00E0, kStyle = 0x0293, kBoundSheet = 0x0085, kDimensions = 0x0200,
                  kWindow2 = 0x023E, kLabel = 0x0204, kNumber = 0x0203;
// Cell formats: 15 is the general cell format, 16 the date.
constexpr quint16 kGeneralXf = 15, kDateXf = 16;
// The longest text a label record holds.
constexpr int kMaxTextLength = 4000;

void put8(QByteArray &b, quint8 v)
{
    b.append(static_cast<char>(v));
}
void put16(QByteArray &b, quint16 v)
{
    char bytes[2];
    qToLittleEndian(v, bytes);
    b.append(bytes, 2);
}
void put32(QByteArray &b, quint32 v)
{
    char bytes[4];
    qToLittleEndian(v, bytes);
    b.append(bytes, 4);
}
void putDouble(QByteArray &b, double v)
{
    quint64 bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    char bytes[8];
    qToLittleEndian(bits, bytes);
    b.append(bytes, 8);
}
void record(QByteArray &b, quint16 type, const QByteArray &body)
{
    put16(b, type);
    put16(b, static_cast<quint16>(body.size()));
    b.append(body);
}
// Text as UTF-16 with the "high byte" flag: every character survives.
void putUtf16(QByteArray &b, const QString &text)
{
    for (const QChar ch : text)
        put16(b, ch.unicode());
}

QByteArray font()
{
    QByteArray f;
    put16(f, 200); // 10 points
    put16(f, 0);
    put16(f, 0x7FFF);
    put16(f, 400);
    put16(f, 0);
    put8(f, 0);
    put8(f, 0);
    put8(f, 134); // GB2312 character set
    put8(f, 0);
    const QString name = QStringLiteral("宋体");
    put8(f, static_cast<quint8>(name.size()));
    put8(f, 1);
    putUtf16(f, name);
    return f;
}

QByteArray xf(quint16 format, bool style)
{
    QByteArray x;
    put16(x, 0);                       // font
    put16(x, format);                  // number format
    put16(x, style ? 0xFFF5 : 0x0001); // style XF / locked cell of parent 0
    put8(x, 0x20);                     // bottom-aligned
    put8(x, 0);
    put8(x, 0);
    put8(x, style ? 0 : 0xF8); // attributes of the cell's own
    put32(x, 0);
    put32(x, 0);
    put16(x, 0x20C0); // default pattern colours
    return x;
}

} // namespace

XlsWorkbookWriter::XlsWorkbookWriter(const QString &sheetName) : m_sheetName(sheetName.left(31)) {}

bool XlsWorkbookWriter::accept(int row, int column)
{
    if (row < 0 || row >= MaxRows || column < 0 || column >= MaxColumns || row < m_lastRow)
        return false;
    m_lastRow = row;
    m_rows = qMax(m_rows, row + 1);
    m_columns = qMax(m_columns, column + 1);
    return true;
}

void XlsWorkbookWriter::cellHead(quint16 type, quint16 length, int row, int column, quint16 xfIndex)
{
    put16(m_cells, type);
    put16(m_cells, length);
    put16(m_cells, static_cast<quint16>(row));
    put16(m_cells, static_cast<quint16>(column));
    put16(m_cells, xfIndex);
}

void XlsWorkbookWriter::writeText(int row, int column, const QString &text)
{
    if (!accept(row, column))
        return;
    QString shown = text.left(kMaxTextLength);
    if (shown.size() < text.size() && shown.back().isHighSurrogate())
        shown.chop(1);
    cellHead(kLabel, static_cast<quint16>(6 + 3 + 2 * shown.size()), row, column, kGeneralXf);
    put16(m_cells, static_cast<quint16>(shown.size()));
    put8(m_cells, 1);
    putUtf16(m_cells, shown);
}

void XlsWorkbookWriter::writeNumber(int row, int column, double value)
{
    if (!accept(row, column))
        return;
    cellHead(kNumber, 14, row, column, kGeneralXf);
    putDouble(m_cells, value);
}

void XlsWorkbookWriter::writeDate(int row, int column, const QDate &date)
{
    if (!date.isValid() || !accept(row, column))
        return;
    cellHead(kNumber, 14, row, column, kDateXf);
    putDouble(m_cells, static_cast<double>(QDate(1899, 12, 30).daysTo(date)));
}

QByteArray XlsWorkbookWriter::workbookStream() const
{
    QByteArray globals;
    QByteArray body;
    put16(body, 0x0600); // BIFF8
    put16(body, 0x0005); // workbook globals
    put16(body, 0x0DBB);
    put16(body, 0x07CC);
    put32(body, 0);
    put32(body, 0x0006);
    record(globals, kBof, body);
    body.clear();
    put16(body, 1200); // text is UTF-16
    record(globals, kCodePage, body);
    body.clear();
    for (quint16 v : {0, 0, 0x4000, 0x3000, 0x0038, 0, 0, 1, 0x0258})
        put16(body, v);
    record(globals, kWindow1, body);
    for (int i = 0; i < 5; ++i)
        record(globals, kFont, font());
    for (int i = 0; i < 15; ++i)
        record(globals, kXf, xf(0, true));
    record(globals, kXf, xf(0, false));  // 15: general
    record(globals, kXf, xf(14, false)); // 16: built-in date format
    body.clear();
    put16(body, 0x8000);
    put8(body, 0);
    put8(body, 0xFF);
    record(globals, kStyle, body);

    QByteArray sheetName;
    put8(sheetName, static_cast<quint8>(m_sheetName.size()));
    put8(sheetName, 1);
    putUtf16(sheetName, m_sheetName);
    // The sheet starts after this record and the end of the globals.
    const quint32 sheetOffset = static_cast<quint32>(globals.size() + 4 + 6 + sheetName.size() + 4);
    body.clear();
    put32(body, sheetOffset);
    put8(body, 0);
    put8(body, 0);
    body.append(sheetName);
    record(globals, kBoundSheet, body);
    record(globals, kEof, {});

    QByteArray sheet;
    body.clear();
    put16(body, 0x0600);
    put16(body, 0x0010); // worksheet
    put16(body, 0x0DBB);
    put16(body, 0x07CC);
    put32(body, 0);
    put32(body, 0x0006);
    record(sheet, kBof, body);
    body.clear();
    put32(body, 0);
    put32(body, static_cast<quint32>(m_rows));
    put16(body, 0);
    put16(body, static_cast<quint16>(m_columns));
    put16(body, 0);
    record(sheet, kDimensions, body);
    sheet.append(m_cells);
    body.clear();
    for (quint16 v : {0x06B6, 0, 0, 0x40, 0, 0, 0, 0, 0})
        put16(body, v);
    record(sheet, kWindow2, body);
    record(sheet, kEof, {});
    return globals + sheet;
}

QByteArray XlsWorkbookWriter::compoundFile(const QByteArray &workbookStream)
{
    constexpr quint32 kSector = 512;
    constexpr quint32 kEndOfChain = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSector = 0xFFFFFFFD,
                      kDifatSector = 0xFFFFFFFC;
    // The stream goes in whole sectors, at least 4096 bytes so that it lives
    // in the normal allocation table and not in the mini stream; readers stop
    // at the final EOF record and ignore the zeros after it.
    QByteArray stream = workbookStream;
    const qsizetype padded = qMax<qsizetype>(4096, (stream.size() + kSector - 1) / kSector * kSector);
    stream.append(QByteArray(padded - stream.size(), '\0'));
    const quint32 streamSectors = static_cast<quint32>(stream.size() / kSector);

    // Allocation table and its index sectors, until their counts settle.
    quint32 fatSectors = 1, difatSectors = 0;
    for (;;) {
        const quint32 total = streamSectors + 1 + fatSectors + difatSectors;
        const quint32 needFat = (total + 127) / 128;
        const quint32 needDifat = needFat > 109 ? (needFat - 109 + 126) / 127 : 0;
        if (needFat == fatSectors && needDifat == difatSectors)
            break;
        fatSectors = needFat;
        difatSectors = needDifat;
    }
    const quint32 directorySector = streamSectors;
    const quint32 firstFat = directorySector + 1;
    const quint32 firstDifat = firstFat + fatSectors;

    QByteArray file;
    file.reserve(static_cast<qsizetype>(kSector) * (1 + streamSectors + 1 + fatSectors + difatSectors));
    file.append("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    file.append(QByteArray(16, '\0'));
    put16(file, 0x003E);
    put16(file, 0x0003);
    put16(file, 0xFFFE);
    put16(file, 9);
    put16(file, 6);
    file.append(QByteArray(6, '\0'));
    put32(file, 0); // directory sectors (version 3: none)
    put32(file, fatSectors);
    put32(file, directorySector);
    put32(file, 0);
    put32(file, 0x1000);
    put32(file, kEndOfChain); // no mini allocation table
    put32(file, 0);
    put32(file, difatSectors ? firstDifat : kEndOfChain);
    put32(file, difatSectors);
    for (quint32 i = 0; i < 109; ++i)
        put32(file, i < fatSectors ? firstFat + i : kFree);

    file.append(stream);

    QByteArray directory;
    const auto entry = [&directory](const QString &name, quint8 type, quint32 child, quint32 start,
                                    quint32 size) {
        QByteArray e;
        putUtf16(e, name);
        e.append(QByteArray(64 - e.size(), '\0'));
        put16(e, name.isEmpty() ? 0 : static_cast<quint16>((name.size() + 1) * 2));
        put8(e, type);
        put8(e, 1); // black
        put32(e, 0xFFFFFFFF);
        put32(e, 0xFFFFFFFF);
        put32(e, child);
        e.append(QByteArray(16 + 4 + 16, '\0'));
        put32(e, start);
        put32(e, size);
        put32(e, 0);
        directory.append(e);
    };
    entry(QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0);
    entry(QStringLiteral("Workbook"), 2, 0xFFFFFFFF, 0, static_cast<quint32>(stream.size()));
    entry(QString(), 0, 0xFFFFFFFF, 0, 0);
    entry(QString(), 0, 0xFFFFFFFF, 0, 0);
    file.append(directory);

    QByteArray fat;
    for (quint32 i = 0; i < streamSectors; ++i)
        put32(fat, i + 1 < streamSectors ? i + 1 : kEndOfChain);
    put32(fat, kEndOfChain); // directory
    for (quint32 i = 0; i < fatSectors; ++i)
        put32(fat, kFatSector);
    for (quint32 i = 0; i < difatSectors; ++i)
        put32(fat, kDifatSector);
    while (fat.size() < static_cast<qsizetype>(fatSectors * kSector))
        put32(fat, kFree);
    file.append(fat);

    for (quint32 d = 0; d < difatSectors; ++d) {
        for (quint32 i = 0; i < 127; ++i) {
            const quint32 index = 109 + d * 127 + i;
            put32(file, index < fatSectors ? firstFat + index : kFree);
        }
        put32(file, d + 1 < difatSectors ? firstDifat + d + 1 : kEndOfChain);
    }
    return file;
}

bool XlsWorkbookWriter::save(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(compoundFile(workbookStream())) < 0 ||
        !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
