#include "SheetReadBack.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

const char *kXlsScript = R"(
import sys, os, json, xlrd
book = xlrd.open_workbook(sys.argv[1], logfile=open(os.devnull, 'w'))
sheet = book.sheet_by_index(0)
rows = []
for r in range(sheet.nrows):
    row = []
    for c in range(sheet.ncols):
        t = sheet.cell_type(r, c)
        row.append(None if t in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK) else sheet.cell_value(r, c))
    rows.append(row)
print(json.dumps({"codepage": book.codepage or 0, "encoding": book.encoding or "", "rows": rows}))
)";

const char *kXlsxScript = R"(
import sys, json, re, zipfile
import xml.etree.ElementTree as ET
ns = {'m': 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'}
z = zipfile.ZipFile(sys.argv[1])
shared = []
if 'xl/sharedStrings.xml' in z.namelist():
    for si in ET.fromstring(z.read('xl/sharedStrings.xml')).findall('m:si', ns):
        shared.append(''.join(t.text or '' for t in si.iter('{%s}t' % ns['m'])))
sheet = ET.fromstring(z.read('xl/worksheets/sheet1.xml'))
cells = {}
for c in sheet.iter('{%s}c' % ns['m']):
    ref = c.get('r')
    m = re.match(r'([A-Z]+)(\d+)', ref)
    col = 0
    for ch in m.group(1):
        col = col * 26 + ord(ch) - 64
    row = int(m.group(2)) - 1
    t = c.get('t')
    v = c.find('m:v', ns)
    if t == 'inlineStr':
        value = ''.join(x.text or '' for x in c.iter('{%s}t' % ns['m']))
    elif t == 's':
        value = shared[int(v.text)]
    elif t == 'str':
        value = v.text or ''
    elif v is not None:
        value = float(v.text)
    else:
        continue
    cells[(row, col - 1)] = value
nrows = max([r for r, c in cells] + [-1]) + 1
ncols = max([c for r, c in cells] + [-1]) + 1
rows = [[cells.get((r, c)) for c in range(ncols)] for r in range(nrows)]
print(json.dumps({"codepage": 0, "encoding": "utf-8", "rows": rows}))
)";

SheetReadBack runScript(const char *script, const QString &path)
{
    SheetReadBack result;
    const QString python = SheetReadBack::python();
    if (python.isEmpty()) {
        result.error = QStringLiteral("no python3 with xlrd (install python3-xlrd)");
        return result;
    }
    QProcess process;
    process.start(python, {QStringLiteral("-c"), QString::fromUtf8(script), path});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        result.error = QString::fromUtf8(process.readAllStandardError());
        return result;
    }
    const QJsonObject root = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    result.codepage = root.value(QStringLiteral("codepage")).toInt();
    result.encoding = root.value(QStringLiteral("encoding")).toString();
    for (const QJsonValue &rowValue : root.value(QStringLiteral("rows")).toArray()) {
        QVariantList row;
        for (const QJsonValue &cell : rowValue.toArray()) {
            if (cell.isString())
                row << cell.toString();
            else if (cell.isDouble())
                row << cell.toDouble();
            else
                row << QVariant();
        }
        result.rows << row;
    }
    result.ok = true;
    return result;
}

} // namespace

int SheetReadBack::columnCount(int row) const
{
    if (row >= rows.size())
        return 0;
    const QVariantList &cells = rows.at(row);
    int count = static_cast<int>(cells.size());
    while (count > 0 && (cells.at(count - 1).isNull() || cells.at(count - 1).toString().isEmpty()))
        --count;
    return count;
}

QString SheetReadBack::python()
{
    static const QString found = [] {
        for (const QString &candidate : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
            QProcess probe;
            probe.start(candidate, {QStringLiteral("-c"), QStringLiteral("import xlrd")});
            if (probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit &&
                probe.exitCode() == 0)
                return candidate;
        }
        return QString();
    }();
    return found;
}

SheetReadBack SheetReadBack::xls(const QString &path)
{
    return runScript(kXlsScript, path);
}

SheetReadBack SheetReadBack::xlsx(const QString &path)
{
    return runScript(kXlsxScript, path);
}

SheetReadBack SheetReadBack::csv(const QString &path)
{
    SheetReadBack result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    QByteArray bytes = file.readAll();
    if (!bytes.startsWith("\xEF\xBB\xBF")) {
        result.error = QStringLiteral("no UTF-8 byte-order mark");
        return result;
    }
    const QString text = QString::fromUtf8(bytes.mid(3));
    // RFC 4180: quoted fields may hold commas, doubled quotes and line breaks.
    QVariantList row;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    auto endField = [&] {
        row << (field.isEmpty() && !wasQuoted ? QVariant() : QVariant(field));
        field.clear();
        wasQuoted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
            wasQuoted = true;
        } else if (c == u',') {
            endField();
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            endField();
            result.rows << row;
            row.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty()) {
        endField();
        result.rows << row;
    }
    result.ok = true;
    return result;
}

SheetReadBack SheetReadBack::read(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    SheetReadBack result = suffix == QLatin1String("xlsx")  ? xlsx(path)
                           : suffix == QLatin1String("csv") ? csv(path)
                                                            : xls(path);
    qsizetype width = 0;
    for (const QVariantList &row : std::as_const(result.rows))
        width = std::max(width, row.size());
    for (QVariantList &row : result.rows) {
        while (row.size() < width)
            row << QVariant();
    }
    return result;
}
