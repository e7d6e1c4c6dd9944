#include "WorkbookReader.h"

#include "SheetDateFormat.h"
#include "XlsCellStream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <freexl.h>
#include <minizip/unzip.h>

#include <cmath>
#include <cstring>

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

QString XlsWorkbookReader::helperProgram()
{
    const QString chosen = qEnvironmentVariable("LWJXC_XLSREAD");
    if (!chosen.isEmpty())
        return chosen;
    // Next to the program in a build tree, in libexec/lwjxc once installed.
    const QString dir = QCoreApplication::applicationDirPath();
    const QStringList candidates{dir + QStringLiteral("/lwjxc-xlsread"),
                                 dir + QStringLiteral("/../libexec/lwjxc/lwjxc-xlsread")};
    for (const QString &candidate : candidates)
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    return QString();
}

namespace {

// Takes the helper's frames apart as they arrive; a frame cut by the end of
// what arrived so far waits for the rest.
class FrameReader
{
public:
    enum class Status { NeedMore, Row, SheetName, Failure, End, Broken };

    void append(const QByteArray &bytes) { m_buffer.append(bytes); }
    bool isEmpty() const { return m_position >= m_buffer.size(); }

    // The next complete frame. A row is handed over (Row) once the frame
    // after its last cell has arrived.
    Status next()
    {
        for (;;) {
            if (m_position >= m_buffer.size())
                return compact(Status::NeedMore);
            const qsizetype start = m_position;
            const char type = m_buffer.at(m_position++);
            switch (type) {
            case 'N':
                if (!readText(&sheetName))
                    return rewind(start);
                return m_broken ? Status::Broken : Status::SheetName;
            case 'R':
            case 'E':
            case 'F': {
                if (m_inRow) {
                    // The row before is complete: hand it over first.
                    m_inRow = false;
                    m_position = start;
                    return Status::Row;
                }
                if (type == 'E')
                    return Status::End;
                if (type == 'F') {
                    if (!take(&failureCode) || !take(&failureDetail))
                        return rewind(start);
                    return Status::Failure;
                }
                quint32 number = 0;
                if (!take(&number))
                    return rewind(start);
                if (number >= static_cast<quint32>(WorkbookReader::MaxRows) ||
                    (m_rowSeen && static_cast<int>(number) <= row))
                    return Status::Broken;
                row = static_cast<int>(number);
                m_rowSeen = true;
                m_inRow = true;
                cells.clear();
                break;
            }
            case 'n':
            case 'b':
            case 'd':
            case 't':
            case 'e': {
                quint16 column = 0;
                if (!m_inRow)
                    return Status::Broken;
                if (!take(&column))
                    return rewind(start);
                if (!cells.isEmpty() && column <= cells.last().column)
                    return Status::Broken;
                SheetCell cell;
                if (type == 'n' || type == 'b') {
                    double value = 0;
                    if (!take(&value))
                        return rewind(start);
                    cell = SheetCell::fromNumber(value);
                    if (type == 'b')
                        cell.kind = SheetCell::Kind::Boolean;
                } else if (type == 'd') {
                    qint64 day = 0;
                    if (!take(&day))
                        return rewind(start);
                    cell = SheetCell::fromDate(QDate::fromJulianDay(day));
                } else {
                    QString text;
                    if (!readText(&text))
                        return rewind(start);
                    cell = SheetCell::fromText(text);
                    if (type == 'e')
                        cell.kind = SheetCell::Kind::Error;
                }
                if (m_broken)
                    return Status::Broken;
                cells.append({column, cell});
                break;
            }
            default:
                return Status::Broken;
            }
        }
    }

    int row = -1;
    SheetRow cells;
    QString sheetName;
    qint32 failureCode = 0;
    quint32 failureDetail = 0;

private:
    template <typename T> bool take(T *value)
    {
        if (m_buffer.size() - m_position < static_cast<qsizetype>(sizeof(T)))
            return false;
        std::memcpy(value, m_buffer.constData() + m_position, sizeof(T));
        m_position += sizeof(T);
        return true;
    }
    bool readText(QString *text)
    {
        quint32 size = 0;
        if (!take(&size))
            return false;
        if (size > XlsCellStream::MaxTextBytes) {
            m_broken = true;
            return true;
        }
        if (m_buffer.size() - m_position < static_cast<qsizetype>(size))
            return false;
        *text = QString::fromUtf8(m_buffer.constData() + m_position, size);
        m_position += size;
        return true;
    }
    // A frame not complete yet: read again from its start when more came.
    Status rewind(qsizetype start)
    {
        if (m_broken)
            return Status::Broken;
        // Cells already taken from this row stay; the frame is read again.
        m_position = start;
        return compact(Status::NeedMore);
    }
    Status compact(Status status)
    {
        m_buffer.remove(0, m_position);
        m_position = 0;
        return status;
    }

    QByteArray m_buffer;
    qsizetype m_position = 0;
    bool m_inRow = false;
    bool m_rowSeen = false;
    bool m_broken = false;
};

QString xlsFailure(qint32 code, quint32 detail, const QString &sheetName)
{
    switch (code) {
    case XlsCellStream::Password:
        return QStringLiteral("工作簿设有密码保护，请先在 Excel 中取消密码");
    case XlsCellStream::SheetDirectory:
        return QStringLiteral("无法读取 Excel 文件：工作表目录已损坏");
    case XlsCellStream::SheetDamaged:
        return QStringLiteral("无法读取工作表“%1”：文件已损坏").arg(sheetName);
    case XlsCellStream::TooManyRows:
        return QStringLiteral("工作表行数过多（%1 行）").arg(detail);
    case XlsCellStream::CellDamaged:
        return QStringLiteral("第 %1 行的单元格无法读取：文件已损坏").arg(qint64(detail) + 1);
    default:
        return QStringLiteral("无法读取 Excel 文件：") + freexlReason(code);
    }
}

} // namespace

bool XlsWorkbookReader::readSheet(const QString &sheetName, const RowHandler &onRow)
{
    if (!QFileInfo::exists(m_path))
        return fail(QStringLiteral("无法读取 Excel 文件：") + freexlReason(FREEXL_FILE_NOT_FOUND));
    const QString program = helperProgram();
    if (program.isEmpty())
        return fail(QStringLiteral("无法读取该文件：找不到读取 .xls 的组件 lwjxc-xlsread，请重新安装本软件"));

    // freexl runs in a process of its own: a damaged or hostile workbook
    // that upsets it ends that process, not the program.
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.setProgram(program);
    helper.setArguments({m_path, sheetName});
    helper.start(QIODevice::ReadOnly);
    if (!helper.waitForStarted(helperTimeoutMs))
        return fail(
            QStringLiteral("无法读取该文件：读取 .xls 的组件无法启动（%1）").arg(helper.errorString()));
    const auto stop = qScopeGuard([&helper] {
        if (helper.state() != QProcess::NotRunning) {
            helper.kill();
            helper.waitForFinished(helperTimeoutMs);
        }
    });
    const QString damaged =
        QStringLiteral("无法读取该文件：读取时出错，文件可能已损坏，或不是正常的 Excel 工作簿。"
                       "请在 Excel 中打开后另存为新文件再导入");

    FrameReader frames;
    QElapsedTimer quiet;
    quiet.start();
    for (;;) {
        const QByteArray arrived = helper.readAllStandardOutput();
        if (!arrived.isEmpty()) {
            frames.append(arrived);
            quiet.restart();
        }
        for (bool more = true; more;) {
            switch (frames.next()) {
            case FrameReader::Status::NeedMore:
                more = false;
                break;
            case FrameReader::Status::SheetName:
                m_sheetNames.append(frames.sheetName);
                break;
            case FrameReader::Status::Row:
                if (!onRow(frames.row, frames.cells)) {
                    m_cancelled = true;
                    return false;
                }
                break;
            case FrameReader::Status::Failure:
                if (frames.failureCode == XlsCellStream::NoSheet)
                    return failNoSheet(sheetName);
                return fail(xlsFailure(frames.failureCode, frames.failureDetail, sheetName));
            case FrameReader::Status::End:
                return true;
            case FrameReader::Status::Broken:
                return fail(damaged);
            }
        }
        if (helper.state() == QProcess::NotRunning) {
            if (helper.bytesAvailable() > 0)
                continue;
            // Ended without saying how: it crashed or was killed.
            return fail(damaged);
        }
        if (quiet.hasExpired(helperTimeoutMs))
            return fail(QStringLiteral("无法读取该文件：读取超时，文件可能已损坏"));
        if (!helper.waitForReadyRead(250) && helper.state() == QProcess::Running)
            continue;
    }
}

// ---- .xlsx ----------------------------------------------------------------

namespace {

// One part of a zip archive as it is unpacked, piece by piece: a sheet of
// 100,000 rows never sits whole in memory. The unpacked size is limited (a
// zip bomb stops there); the checksum is checked by finish().
class ZipPartDevice final : public QIODevice
{
public:
    ZipPartDevice(unzFile zip, const QString &name) : m_zip(zip), m_name(name)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    ~ZipPartDevice() override
    {
        if (!m_closed)
            unzCloseCurrentFile(m_zip);
    }
    bool isSequential() const override { return true; }
    // Why unpacking stopped; empty while all is well.
    QString failure() const { return m_failure; }
    // Closes the part after it was read to its end; false, with failure(),
    // when it was damaged.
    bool finish()
    {
        m_closed = true;
        if (unzCloseCurrentFile(m_zip) != UNZ_OK && m_failure.isEmpty())
            m_failure = QStringLiteral("压缩包中的“%1”校验失败，文件已损坏").arg(m_name);
        return m_failure.isEmpty();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (!m_failure.isEmpty())
            return -1;
        const int got =
            unzReadCurrentFile(m_zip, data, static_cast<unsigned>(qMin<qint64>(maxSize, 1 << 20)));
        if (got < 0) {
            m_failure = QStringLiteral("压缩包中的“%1”已损坏").arg(m_name);
            return -1;
        }
        m_unpacked += got;
        if (m_unpacked > XlsxWorkbookReader::MaxPartBytes) {
            m_failure = QStringLiteral("“%1”解压后过大").arg(m_name);
            return -1;
        }
        return got;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    unzFile m_zip;
    QString m_name;
    QString m_failure;
    qint64 m_unpacked = 0;
    bool m_closed = false;
};

// One opened zip archive; small parts are read whole, the sheet as a stream.
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

    // The part to unpack; null when it is missing (error stays empty) or
    // cannot be unpacked (error says why).
    std::unique_ptr<ZipPartDevice> stream(const QString &name, QString *error)
    {
        error->clear();
        const QByteArray wanted = name.toUtf8();
        // Part names are case-insensitive in the format.
        if (unzLocateFile(m_zip, wanted.constData(), 2) != UNZ_OK)
            return nullptr;
        if (unzOpenCurrentFile(m_zip) != UNZ_OK) {
            *error = QStringLiteral("压缩包中的“%1”无法解压").arg(name);
            return nullptr;
        }
        return std::make_unique<ZipPartDevice>(m_zip, name);
    }

    // The part's bytes; false when it is missing (error stays empty) or
    // cannot be unpacked (error says why).
    bool read(const QString &name, QByteArray *bytes, QString *error)
    {
        bytes->clear();
        const auto part = stream(name, error);
        if (!part)
            return false;
        *bytes = part->readAll();
        if (!part->finish()) {
            *error = part->failure();
            bytes->clear();
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
                    dateStyles.append(isDateNumberFormat(id, customFormats.value(id)));
                }
            } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = false;
            }
        }
        if (!bytes.isEmpty() && xml.hasError())
            return fail(QStringLiteral("无法读取 Excel 文件：") + xmlFailure(stylesPart, xml));
    }

    bytes.clear();
    const auto sheet = zip.stream(sheetPart, &error);
    if (!sheet)
        return fail(QStringLiteral("无法读取 Excel 文件：") +
                    (error.isEmpty() ? QStringLiteral("缺少工作表“%1”的内容").arg(sheetName) : error));

    QXmlStreamReader xml(sheet.get());
    SheetRow cells;
    int rowNumber = -1; // 0-based, of the row being read
    int nextColumn = 0; // for cells without a reference
    bool inRow = false;
    // The cell being read.
    int column = 0;
    int style = 0;
    // The cell's kind by its "t" attribute: shared string, inline string,
    // formula string, boolean, error, ISO date; number when there is none.
    char type = 0;
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
                const QStringView kind = attributes.value(QLatin1String("t"));
                type = kind == QLatin1String("s")           ? 's'
                       : kind == QLatin1String("inlineStr") ? 'i'
                       : kind == QLatin1String("str")       ? 'f'
                       : kind == QLatin1String("b")         ? 'b'
                       : kind == QLatin1String("e")         ? 'e'
                       : kind == QLatin1String("d")         ? 'd'
                                                            : 0;
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
                if (type == 's') {
                    bool ok = false;
                    const int index = value.trimmed().toInt(&ok);
                    if (!ok || index < 0 || index >= sharedStrings.size())
                        return fail(QStringLiteral("无法读取 Excel 文件：第 %1 行引用了不存在的文字")
                                        .arg(rowNumber + 1));
                    cell = SheetCell::fromText(sharedStrings.at(index));
                } else if (type == 'i') {
                    cell = SheetCell::fromText(inlineText);
                } else if (type == 'f') {
                    cell = SheetCell::fromText(value);
                } else if (type == 'b') {
                    cell.kind = SheetCell::Kind::Boolean;
                    cell.number = value.trimmed() == QLatin1String("1") ? 1 : 0;
                } else if (type == 'e') {
                    cell.kind = SheetCell::Kind::Error;
                    cell.text = value;
                } else if (type == 'd') {
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
    // A damaged zip stream shows as broken XML: its own reason is the better one.
    if (!sheet->failure().isEmpty())
        return fail(QStringLiteral("无法读取 Excel 文件：") + sheet->failure());
    if (xml.hasError())
        return fail(QStringLiteral("无法读取 Excel 文件：") + xmlFailure(sheetPart, xml));
    if (!sheet->finish())
        return fail(QStringLiteral("无法读取 Excel 文件：") + sheet->failure());
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
