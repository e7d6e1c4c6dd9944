#include "WorkbookReader.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <freexl.h>
#include <minizip/unzip.h>

#include <cmath>

SheetCell SheetCell::fromText(const QString &text)
{
    SheetCell cell;
    cell.kind = text.isEmpty() ? Kind::Empty : Kind::Text;
    cell.text = text;
    return cell;
}

SheetCell SheetCell::fromNumber(double value)
{
    SheetCell cell;
    cell.kind = Kind::Number;
    cell.number = value;
    return cell;
}

SheetCell SheetCell::fromDate(const QDate &date)
{
    SheetCell cell;
    cell.kind = Kind::Date;
    cell.date = date;
    return cell;
}

bool SheetCell::isBlank() const
{
    return kind == Kind::Empty || (kind == Kind::Text && text.trimmed().isEmpty());
}

bool WorkbookReader::failNoSheet(const QString &sheetName)
{
    const QString names = m_sheetNames.isEmpty()
                              ? QStringLiteral("没有工作表")
                              : QStringLiteral("只有 ") + m_sheetNames.join(QStringLiteral("、"));
    return fail(QStringLiteral("工作簿中没有名为“%1”的工作表（%2）").arg(sheetName, names));
}

namespace {

// A file that is neither kind of workbook nor a text file by its name.
class UnreadableWorkbook final : public WorkbookReader
{
public:
    UnreadableWorkbook(const QString &path, bool empty) : WorkbookReader(path), m_empty(empty) {}
    bool readSheet(const QString &, const RowHandler &) override
    {
        if (!QFileInfo::exists(m_path))
            return fail(QStringLiteral("无法读取 Excel 文件：文件不存在或无法打开"));
        return fail(m_empty ? QStringLiteral("无法读取 Excel 文件：文件是空的")
                            : QStringLiteral(
                                  "无法读取 Excel 文件：不是 Excel 工作簿（.xls、.xlsx），也不是 CSV 文件"));
    }

private:
    bool m_empty;
};

} // namespace

std::unique_ptr<WorkbookReader> WorkbookReader::forFile(const QString &path)
{
    QFile file(path);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly))
        head = file.read(8);
    // The container decides, not the name: a workbook saved as .xlsx under an
    // .xls name is still read.
    if (head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return std::make_unique<XlsWorkbookReader>(path);
    if (head.startsWith("PK\x03\x04"))
        return std::make_unique<XlsxWorkbookReader>(path);
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv") || suffix == QLatin1String("txt"))
        return std::make_unique<CsvWorkbookReader>(path);
    return std::make_unique<UnreadableWorkbook>(path, file.exists() && head.isEmpty());
}

namespace {

// Spreadsheet day numbers: day 1 is 1900-01-01, and the programs count a
// 29 February 1900 that never was, so from day 61 on the days are one less.
// Workbooks of the 1904 system count from 1904-01-01 as day 0.
QDate dateFromSerial(double serial, bool date1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial > 2958465.0) // up to 9999-12-31
        return {};
    const qint64 day = static_cast<qint64>(std::floor(serial));
    if (date1904)
        return QDate(1904, 1, 1).addDays(day);
    if (day == 0 || day == 60)
        return {};
    return day < 60 ? QDate(1899, 12, 31).addDays(day) : QDate(1899, 12, 30).addDays(day);
}

// ---- .xls -----------------------------------------------------------------

QString freexlReason(int code)
{
    switch (code) {
    case FREEXL_FILE_NOT_FOUND:
        return QStringLiteral("文件不存在或无法打开");
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("内存不足");
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
        return QStringLiteral("不是 Excel 97-2003 工作簿");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return QStringLiteral("文件中没有工作簿数据（可能是更早的 Excel 版本或其他文档）");
    case FREEXL_UNSUPPORTED_CHARSET:
    case FREEXL_INVALID_CHARACTER:
        return QStringLiteral("工作簿中的文字编码无法识别");
    case FREEXL_CFBF_READ_ERROR:
    case FREEXL_CFBF_SEEK_ERROR:
        return QStringLiteral("文件已损坏或不完整（可能没有复制完整）");
    default:
        return QStringLiteral("文件已损坏或格式不正确（代码 %1）").arg(code);
    }
}

} // namespace

bool XlsWorkbookReader::readSheet(const QString &sheetName, const RowHandler &onRow)
{
    const QByteArray path = QFile::encodeName(m_path);
    const void *handle = nullptr;
    const int opened = freexl_open(path.constData(), &handle);
    auto closer = qScopeGuard([&handle] {
        if (handle)
            freexl_close(handle);
    });
    if (opened != FREEXL_OK)
        return fail(QStringLiteral("无法读取 Excel 文件：") + freexlReason(opened));

    unsigned int info = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        return fail(QStringLiteral("工作簿设有密码保护，请先在 Excel 中取消密码"));
    unsigned int sheetCount = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK)
        return fail(QStringLiteral("无法读取 Excel 文件：工作表目录已损坏"));
    int found = -1;
    for (unsigned int i = 0; i < sheetCount && i < 0xFFFF; ++i) {
        const char *name = nullptr;
        if (freexl_get_worksheet_name(handle, static_cast<unsigned short>(i), &name) != FREEXL_OK || !name)
            continue;
        m_sheetNames.append(QString::fromUtf8(name));
        if (found < 0 && m_sheetNames.last().compare(sheetName, Qt::CaseInsensitive) == 0)
            found = static_cast<int>(i);
    }
    if (found < 0)
        return failNoSheet(sheetName);
    if (freexl_select_active_worksheet(handle, static_cast<unsigned short>(found)) != FREEXL_OK)
        return fail(QStringLiteral("无法读取工作表“%1”：文件已损坏").arg(sheetName));
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
        return fail(QStringLiteral("无法读取工作表“%1”：文件已损坏").arg(sheetName));
    if (rows > static_cast<unsigned int>(MaxRows))
        return fail(QStringLiteral("工作表行数过多（%1 行）").arg(rows));

    SheetRow cells;
    for (unsigned int r = 0; r < rows; ++r) {
        cells.clear();
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value;
            const int got = freexl_get_cell_value(handle, r, c, &value);
            if (got != FREEXL_OK)
                return fail(QStringLiteral("第 %1 行的单元格无法读取：文件已损坏").arg(r + 1));
            SheetCell cell;
            switch (value.type) {
            case FREEXL_CELL_INT:
                cell = SheetCell::fromNumber(value.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                cell = SheetCell::fromNumber(value.value.double_value);
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_TIME:
                cell = SheetCell::fromText(value.value.text_value ? QString::fromUtf8(value.value.text_value)
                                                                  : QString());
                break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME: {
                // "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS": the day is what counts.
                const QString text =
                    value.value.text_value ? QString::fromUtf8(value.value.text_value) : QString();
                const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
                cell = date.isValid() ? SheetCell::fromDate(date) : SheetCell::fromText(text);
                break;
            }
            default:
                continue;
            }
            if (cell.kind != SheetCell::Kind::Empty)
                cells.append({c, cell});
        }
        if (!cells.isEmpty() && !onRow(static_cast<int>(r), cells)) {
            m_cancelled = true;
            return false;
        }
    }
    return true;
}

// ---- .xlsx ----------------------------------------------------------------

namespace {

// One opened zip archive; parts are read whole, up to a size limit.
class ZipArchive
{
public:
    explicit ZipArchive(const QString &path) { m_zip = unzOpen64(QFile::encodeName(path).constData()); }
    ~ZipArchive()
    {
        if (m_zip)
            unzClose(m_zip);
    }
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    bool isOpen() const { return m_zip != nullptr; }

    // The part's bytes; false when it is missing (error stays empty) or
    // cannot be unpacked (error says why).
    bool read(const QString &name, QByteArray *bytes, QString *error)
    {
        error->clear();
        bytes->clear();
        const QByteArray wanted = name.toUtf8();
        // Part names are case-insensitive in the format.
        if (unzLocateFile(m_zip, wanted.constData(), 2) != UNZ_OK)
            return false;
        if (unzOpenCurrentFile(m_zip) != UNZ_OK) {
            *error = QStringLiteral("压缩包中的“%1”无法解压").arg(name);
            return false;
        }
        char chunk[65536];
        for (;;) {
            const int got = unzReadCurrentFile(m_zip, chunk, sizeof chunk);
            if (got < 0) {
                unzCloseCurrentFile(m_zip);
                *error = QStringLiteral("压缩包中的“%1”已损坏").arg(name);
                return false;
            }
            if (got == 0)
                break;
            if (bytes->size() + got > XlsxWorkbookReader::MaxPartBytes) {
                unzCloseCurrentFile(m_zip);
                *error = QStringLiteral("“%1”解压后过大").arg(name);
                return false;
            }
            bytes->append(chunk, got);
        }
        if (unzCloseCurrentFile(m_zip) != UNZ_OK) {
            *error = QStringLiteral("压缩包中的“%1”校验失败，文件已损坏").arg(name);
            return false;
        }
        return true;
    }

private:
    unzFile m_zip = nullptr;
};

// "xl/worksheets/../x.xml" -> "xl/x.xml"; a leading "/" is the archive root.
QString resolvePart(const QString &baseFolder, const QString &target)
{
    QStringList parts;
    const QString full = target.startsWith(QLatin1Char('/')) ? target.mid(1) : baseFolder + target;
    for (const QString &piece : full.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (piece == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (piece != QLatin1String(".")) {
            parts.append(piece);
        }
    }
    return parts.join(QLatin1Char('/'));
}

// Whether a number format shows a date (or time): the built-in date formats,
// and custom codes that use day, month, year, hour or second outside quoted
// text, brackets and escaped characters.
bool isDateFormat(int id, const QString &code)
{
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58))
        return true;
    if (code.isEmpty())
        return false;
    QString bare;
    bool quoted = false;
    int bracket = 0;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar ch = code.at(i);
        if (quoted) {
            quoted = ch != QLatin1Char('"');
        } else if (ch == QLatin1Char('"')) {
            quoted = true;
        } else if (ch == QLatin1Char('\\') || ch == QLatin1Char('_') || ch == QLatin1Char('*')) {
            ++i;
        } else if (ch == QLatin1Char('[')) {
            ++bracket;
        } else if (ch == QLatin1Char(']')) {
            bracket = qMax(0, bracket - 1);
        } else if (bracket == 0) {
            bare.append(ch.toLower());
        }
    }
    bare.remove(QLatin1String("general"));
    for (const QChar ch : bare)
        if (QStringLiteral("ydmhs").contains(ch))
            return true;
    return false;
}

// "AB12" -> 27 (0-based column); -1 when the reference has no column letters
// or names one beyond the last column.
int columnOfReference(QStringView ref)
{
    int column = 0;
    int letters = 0;
    for (const QChar ch : ref) {
        const char16_t u = ch.unicode();
        if (u >= u'a' && u <= u'z')
            column = column * 26 + (u - u'a' + 1);
        else if (u >= u'A' && u <= u'Z')
            column = column * 26 + (u - u'A' + 1);
        else
            break;
        if (++letters > 3)
            return -1;
    }
    if (letters == 0 || column > WorkbookReader::MaxColumns)
        return -1;
    return column - 1;
}

// The text of an <si> or <is> element: all its <t>, rich-text runs joined,
// phonetic guides (<rPh>) left out. The reader stands on the start element.
QString readRichText(QXmlStreamReader &xml)
{
    QString text;
    const QStringView outer = xml.name();
    const QString outerName = outer.toString();
    int phonetic = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (xml.name() == QLatin1String("t") && phonetic == 0)
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (token == QXmlStreamReader::EndElement) {
            if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            else if (xml.name() == outerName)
                break;
        }
    }
    return text;
}

QString xmlFailure(const QString &part, const QXmlStreamReader &xml)
{
    return QStringLiteral("“%1”内容有误（第 %2 行：%3）")
        .arg(part)
        .arg(xml.lineNumber())
        .arg(xml.errorString());
}

} // namespace

bool XlsxWorkbookReader::readSheet(const QString &sheetName, const RowHandler &onRow)
{
    ZipArchive zip(m_path);
    if (!zip.isOpen())
        return fail(QStringLiteral("无法读取 Excel 文件：文件不存在，或不是完整的 .xlsx 工作簿"));
    QString error;
    QByteArray bytes;

    // The workbook part, named by the package relationships.
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    if (zip.read(QStringLiteral("_rels/.rels"), &bytes, &error)) {
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement &&
                xml.name() == QLatin1String("Relationship") &&
                xml.attributes().value(QLatin1String("Type")).endsWith(QLatin1String("/officeDocument")))
                workbookPart =
                    resolvePart(QString(), xml.attributes().value(QLatin1String("Target")).toString());
        }
    }
    if (!error.isEmpty())
        return fail(QStringLiteral("无法读取 Excel 文件：") + error);
    const QString workbookFolder = workbookPart.left(workbookPart.lastIndexOf(QLatin1Char('/')) + 1);

    if (!zip.read(workbookPart, &bytes, &error))
        return fail(QStringLiteral("无法读取 Excel 文件：") +
                    (error.isEmpty() ? QStringLiteral("压缩包中没有工作簿（不是 .xlsx 工作簿）") : error));
    bool date1904 = false;
    QString sheetRelation;
    {
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("workbookPr")) {
                const QStringView value = xml.attributes().value(QLatin1String("date1904"));
                date1904 = value == QLatin1String("1") || value == QLatin1String("true");
            } else if (xml.name() == QLatin1String("sheet")) {
                const QString name = xml.attributes().value(QLatin1String("name")).toString();
                m_sheetNames.append(name);
                if (sheetRelation.isEmpty() && name.compare(sheetName, Qt::CaseInsensitive) == 0) {
                    for (const QXmlStreamAttribute &attribute : xml.attributes())
                        if (attribute.name() == QLatin1String("id"))
                            sheetRelation = attribute.value().toString();
                }
            }
        }
        if (xml.hasError())
            return fail(QStringLiteral("无法读取 Excel 文件：") + xmlFailure(workbookPart, xml));
    }
    if (sheetRelation.isEmpty())
        return failNoSheet(sheetName);

    // The sheet's part, the shared strings and the styles, through the
    // workbook's relationships.
    QString sheetPart;
    QString stringsPart;
    QString stylesPart;
    const QString relsPart = workbookFolder + QStringLiteral("_rels/") +
                             workbookPart.mid(workbookFolder.size()) + QStringLiteral(".rels");
    if (!zip.read(relsPart, &bytes, &error))
        return fail(QStringLiteral("无法读取 Excel 文件：") +
                    (error.isEmpty() ? QStringLiteral("缺少工作簿的关系表") : error));
    {
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement ||
                xml.name() != QLatin1String("Relationship"))
                continue;
            const auto attributes = xml.attributes();
            const QString target =
                resolvePart(workbookFolder, attributes.value(QLatin1String("Target")).toString());
            const QStringView type = attributes.value(QLatin1String("Type"));
            if (attributes.value(QLatin1String("Id")) == sheetRelation)
                sheetPart = target;
            else if (type.endsWith(QLatin1String("/sharedStrings")))
                stringsPart = target;
            else if (type.endsWith(QLatin1String("/styles")))
                stylesPart = target;
        }
        if (xml.hasError())
            return fail(QStringLiteral("无法读取 Excel 文件：") + xmlFailure(relsPart, xml));
    }
    if (sheetPart.isEmpty())
        return fail(QStringLiteral("无法读取 Excel 文件：找不到工作表“%1”的内容").arg(sheetName));

    QStringList sharedStrings;
    if (!stringsPart.isEmpty()) {
        if (!zip.read(stringsPart, &bytes, &error) && !error.isEmpty())
            return fail(QStringLiteral("无法读取 Excel 文件：") + error);
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("si"))
                sharedStrings.append(readRichText(xml));
        }
        if (!bytes.isEmpty() && xml.hasError())
            return fail(QStringLiteral("无法读取 Excel 文件：") + xmlFailure(stringsPart, xml));
    }

    // For every cell style: whether its number format shows a date.
    QList<bool> dateStyles;
    if (!stylesPart.isEmpty()) {
        if (!zip.read(stylesPart, &bytes, &error) && !error.isEmpty())
            return fail(QStringLiteral("无法读取 Excel 文件：") + error);
        QHash<int, QString> customFormats;
        QXmlStreamReader xml(bytes);
        bool inCellXfs = false;
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::StartElement) {
                if (xml.name() == QLatin1String("numFmt")) {
                    customFormats.insert(xml.attributes().value(QLatin1String("numFmtId")).toInt(),
                                         xml.attributes().value(QLatin1String("formatCode")).toString());
                } else if (xml.name() == QLatin1String("cellXfs")) {
                    inCellXfs = true;
                } else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                    const int id = xml.attributes().value(QLatin1String("numFmtId")).toInt();
                    dateStyles.append(isDateFormat(id, customFormats.value(id)));
                }
            } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = false;
            }
        }
        if (!bytes.isEmpty() && xml.hasError())
            return fail(QStringLiteral("无法读取 Excel 文件：") + xmlFailure(stylesPart, xml));
    }

    if (!zip.read(sheetPart, &bytes, &error))
        return fail(QStringLiteral("无法读取 Excel 文件：") +
                    (error.isEmpty() ? QStringLiteral("缺少工作表“%1”的内容").arg(sheetName) : error));

    QXmlStreamReader xml(bytes);
    SheetRow cells;
    int rowNumber = -1; // 0-based, of the row being read
    int nextColumn = 0; // for cells without a reference
    bool inRow = false;
    // The cell being read.
    int column = 0;
    int style = 0;
    QString type;
    QString value;
    QString inlineText;
    bool hasValue = false;
    bool inCell = false;

    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (name == QLatin1String("row")) {
                const QStringView r = xml.attributes().value(QLatin1String("r"));
                bool ok = false;
                const int number = r.toInt(&ok);
                rowNumber = ok ? number - 1 : rowNumber + 1;
                if (rowNumber < 0 || rowNumber >= MaxRows)
                    return fail(
                        QStringLiteral("无法读取 Excel 文件：工作表的行号超出范围（%1）").arg(r.toString()));
                cells.clear();
                nextColumn = 0;
                inRow = true;
            } else if (name == QLatin1String("c") && inRow) {
                const auto attributes = xml.attributes();
                const QStringView ref = attributes.value(QLatin1String("r"));
                column = ref.isEmpty() ? nextColumn : columnOfReference(ref);
                if (column < 0 || column >= MaxColumns)
                    return fail(
                        QStringLiteral("无法读取 Excel 文件：单元格位置“%1”有误").arg(ref.toString()));
                nextColumn = column + 1;
                style = attributes.value(QLatin1String("s")).toInt();
                type = attributes.value(QLatin1String("t")).toString();
                value.clear();
                inlineText.clear();
                hasValue = false;
                inCell = true;
            } else if (name == QLatin1String("v") && inCell) {
                value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                hasValue = true;
            } else if (name == QLatin1String("is") && inCell) {
                inlineText = readRichText(xml);
                hasValue = true;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            const QStringView name = xml.name();
            if (name == QLatin1String("c") && inCell) {
                inCell = false;
                if (!hasValue)
                    continue;
                SheetCell cell;
                if (type == QLatin1String("s")) {
                    bool ok = false;
                    const int index = value.trimmed().toInt(&ok);
                    if (!ok || index < 0 || index >= sharedStrings.size())
                        return fail(QStringLiteral("无法读取 Excel 文件：第 %1 行引用了不存在的文字")
                                        .arg(rowNumber + 1));
                    cell = SheetCell::fromText(sharedStrings.at(index));
                } else if (type == QLatin1String("inlineStr")) {
                    cell = SheetCell::fromText(inlineText);
                } else if (type == QLatin1String("str")) {
                    cell = SheetCell::fromText(value);
                } else if (type == QLatin1String("b")) {
                    cell.kind = SheetCell::Kind::Boolean;
                    cell.number = value.trimmed() == QLatin1String("1") ? 1 : 0;
                } else if (type == QLatin1String("e")) {
                    cell.kind = SheetCell::Kind::Error;
                    cell.text = value;
                } else if (type == QLatin1String("d")) {
                    const QDate date = QDate::fromString(value.left(10), QStringLiteral("yyyy-MM-dd"));
                    cell = date.isValid() ? SheetCell::fromDate(date) : SheetCell::fromText(value);
                } else {
                    bool ok = false;
                    const double number = value.trimmed().toDouble(&ok);
                    if (!ok)
                        cell = SheetCell::fromText(value);
                    else if (style >= 0 && style < dateStyles.size() && dateStyles.at(style)) {
                        const QDate date = dateFromSerial(number, date1904);
                        cell = date.isValid() ? SheetCell::fromDate(date) : SheetCell::fromNumber(number);
                    } else
                        cell = SheetCell::fromNumber(number);
                }
                if (cell.kind != SheetCell::Kind::Empty)
                    cells.append({column, cell});
            } else if (name == QLatin1String("row") && inRow) {
                inRow = false;
                if (!cells.isEmpty() && !onRow(rowNumber, cells)) {
                    m_cancelled = true;
                    return false;
                }
            }
        }
    }
    if (xml.hasError())
        return fail(QStringLiteral("无法读取 Excel 文件：") + xmlFailure(sheetPart, xml));
    return true;
}

// ---- .csv -----------------------------------------------------------------

QString CsvWorkbookReader::decode(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder gbk("GBK");
    return gbk.isValid() ? gbk.decode(bytes) : text;
}

QList<QStringList> CsvWorkbookReader::parse(const QString &text)
{
    // Spreadsheet programs of some regions separate by ";" or tab; the first
    // line tells which.
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    const QStringView firstLine = QStringView(text).left(lineEnd < 0 ? text.size() : lineEnd);
    QChar separator = QLatin1Char(',');
    if (!firstLine.contains(separator)) {
        if (firstLine.contains(QLatin1Char('\t')))
            separator = QLatin1Char('\t');
        else if (firstLine.contains(QLatin1Char(';')))
            separator = QLatin1Char(';');
    }

    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (quoted) {
            if (ch == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field.append(ch);
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field.append(ch);
            }
        } else if (ch == QLatin1Char('"') && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (ch == separator) {
            record.append(field);
            field.clear();
            fieldStarted = false;
        } else if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r')) {
            if (ch == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            record.append(field);
            records.append(record);
            record.clear();
            field.clear();
            fieldStarted = false;
        } else {
            field.append(ch);
            fieldStarted = true;
        }
    }
    if (fieldStarted || !field.isEmpty() || !record.isEmpty()) {
        record.append(field);
        records.append(record);
    }
    return records;
}

bool CsvWorkbookReader::readSheet(const QString &, const RowHandler &onRow)
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("无法打开文件：") + file.errorString());
    if (file.size() > XlsxWorkbookReader::MaxPartBytes)
        return fail(QStringLiteral("文件过大"));
    const QByteArray bytes = file.readAll();
    if (bytes.contains('\0'))
        return fail(QStringLiteral("不是 Excel 工作簿，也不是 CSV 文本文件"));
    const QList<QStringList> records = parse(decode(bytes));
    if (records.size() > MaxRows)
        return fail(QStringLiteral("工作表行数过多（%1 行）").arg(records.size()));
    SheetRow cells;
    for (qsizetype r = 0; r < records.size(); ++r) {
        cells.clear();
        const QStringList &fields = records.at(r);
        for (qsizetype c = 0; c < fields.size() && c < MaxColumns; ++c)
            if (!fields.at(c).isEmpty())
                cells.append({static_cast<int>(c), SheetCell::fromText(fields.at(c))});
        if (!cells.isEmpty() && !onRow(static_cast<int>(r), cells)) {
            m_cancelled = true;
            return false;
        }
    }
    return true;
}
