#include "maintenance/StockImport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <minizip/unzip.h>
#include <minizip/zip.h>

using namespace Qt::StringLiterals;

// Mutates valid workbooks (bit flips, overwritten bytes, cut-off ends, and
// for .xlsx damaged XML inside an intact zip) and reads each result: every
// one must end with success or a failure with a reason, never a crash or a
// hang. LWJXC_FUZZ_ITERATIONS sets the mutations per workbook (300 by
// default, for ctest; thousands in a long run under AddressSanitizer) and
// LWJXC_FUZZ_SEED the start of the sequence. .xls files are read by the
// helper lwjxc-xlsread (LWJXC_XLSREAD): a sanitized helper that stops on a
// fault of freexl must show here as a refused file, not a failed test.
class TestWorkbookFuzz : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mutatedWorkbooksFailCleanly_data();
    void mutatedWorkbooksFailCleanly();

private:
    static QByteArray readFile(const QString &path);
    // The parts of a zip archive, in order.
    static QList<QPair<QByteArray, QByteArray>> unzipParts(const QString &path);
    static bool zipParts(const QString &path, const QList<QPair<QByteArray, QByteArray>> &parts);
    static QByteArray mutateBytes(QByteArray bytes, QRandomGenerator &random);

    QTemporaryDir m_dir;
    int m_iterations = 300;
    quint32 m_seed = 13;
};

void TestWorkbookFuzz::initTestCase()
{
    if (qEnvironmentVariableIsSet("LWJXC_FUZZ_ITERATIONS"))
        m_iterations = qEnvironmentVariableIntValue("LWJXC_FUZZ_ITERATIONS");
    if (qEnvironmentVariableIsSet("LWJXC_FUZZ_SEED"))
        m_seed = static_cast<quint32>(qEnvironmentVariableIntValue("LWJXC_FUZZ_SEED"));
    qInfo("%d mutations per workbook, seed %u", m_iterations, m_seed);
}

QByteArray TestWorkbookFuzz::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QPair<QByteArray, QByteArray>> TestWorkbookFuzz::unzipParts(const QString &path)
{
    QList<QPair<QByteArray, QByteArray>> parts;
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip)
        return parts;
    for (int more = unzGoToFirstFile(zip); more == UNZ_OK; more = unzGoToNextFile(zip)) {
        char name[512];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK ||
            unzOpenCurrentFile(zip) != UNZ_OK)
            break;
        QByteArray content(static_cast<qsizetype>(info.uncompressed_size), '\0');
        unzReadCurrentFile(zip, content.data(), static_cast<unsigned>(content.size()));
        unzCloseCurrentFile(zip);
        parts.append({QByteArray(name), content});
    }
    unzClose(zip);
    return parts;
}

bool TestWorkbookFuzz::zipParts(const QString &path, const QList<QPair<QByteArray, QByteArray>> &parts)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    for (const auto &[name, content] : parts) {
        if (zipOpenNewFileInZip64(zip, name.constData(), nullptr, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0) !=
            ZIP_OK)
            return zipClose(zip, nullptr), false;
        zipWriteInFileInZip(zip, content.constData(), static_cast<unsigned>(content.size()));
        zipCloseFileInZip(zip);
    }
    return zipClose(zip, nullptr) == ZIP_OK;
}

QByteArray TestWorkbookFuzz::mutateBytes(QByteArray bytes, QRandomGenerator &random)
{
    if (bytes.isEmpty())
        return bytes;
    static const QByteArray tokens[] = {"<",
                                        ">",
                                        "\"",
                                        "/",
                                        "&",
                                        "99999999",
                                        "-1",
                                        "r=\"XFD1048577\"",
                                        "<c t=\"s\"><v>70000</v></c>",
                                        "\xFF\xFF\xFF\xFF",
                                        "\0\0\0\0"};
    const int mutations = 1 + static_cast<int>(random.bounded(8));
    for (int m = 0; m < mutations && !bytes.isEmpty(); ++m) {
        const auto at = static_cast<qsizetype>(random.bounded(static_cast<quint32>(bytes.size())));
        switch (random.bounded(5)) {
        case 0: // one bit
            bytes[at] = static_cast<char>(bytes.at(at) ^ (1 << random.bounded(8)));
            break;
        case 1: // a byte
            bytes[at] = static_cast<char>(random.bounded(256));
            break;
        case 2: // a 16 or 32-bit field at its extreme
            for (qsizetype i = at; i < qMin(at + 4, bytes.size()); ++i)
                bytes[i] = random.bounded(2) ? '\xFF' : '\x7F';
            break;
        case 3: { // a token that readers treat specially
            const QByteArray &token = tokens[random.bounded(static_cast<quint32>(std::size(tokens)))];
            bytes.insert(at, token);
            break;
        }
        default: // cut off
            bytes.truncate(at);
            break;
        }
    }
    return bytes;
}

void TestWorkbookFuzz::mutatedWorkbooksFailCleanly_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("insideZip");
    const QString data = qEnvironmentVariable("LWJXC_TEST_DATA") + u"/import/"_s;
    QTest::newRow("xls BIFF8 bytes") << data + u"good.xls"_s << false;
    QTest::newRow("xls BIFF5 bytes") << data + u"biff5.xls"_s << false;
    QTest::newRow("xlsx bytes") << data + u"good.xlsx"_s << false;
    QTest::newRow("xlsx parts") << data + u"good.xlsx"_s << true;
    QTest::newRow("xlsx inline parts") << data + u"inline.xlsx"_s << true;
}

void TestWorkbookFuzz::mutatedWorkbooksFailCleanly()
{
    QFETCH(QString, file);
    QFETCH(bool, insideZip);
    const QByteArray original = readFile(file);
    QVERIFY(!original.isEmpty());
    const auto parts = insideZip ? unzipParts(file) : QList<QPair<QByteArray, QByteArray>>();
    QVERIFY(!insideZip || parts.size() >= 4);

    QRandomGenerator random(m_seed + static_cast<quint32>(qHash(file)) + insideZip);
    const QString mutated = m_dir.filePath(QFileInfo(file).fileName());
    int failures = 0;
    QElapsedTimer slowest;
    qint64 slowestMs = 0;
    for (int i = 0; i < m_iterations; ++i) {
        QFile::remove(mutated);
        if (insideZip) {
            auto changed = parts;
            auto &part =
                changed[static_cast<qsizetype>(random.bounded(static_cast<quint32>(changed.size())))];
            part.second = mutateBytes(part.second, random);
            QVERIFY(zipParts(mutated, changed));
        } else {
            QFile out(mutated);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(mutateBytes(original, random));
        }
        slowest.start();
        const StockImport::Reading reading = StockImport::read(mutated, {});
        slowestMs = qMax(slowestMs, slowest.elapsed());
        if (!reading.ok) {
            ++failures;
            QVERIFY2(!reading.failure.isEmpty(), qPrintable(u"mutation %1 failed without a reason"_s.arg(i)));
            QVERIFY(reading.rows.isEmpty());
        }
    }
    qInfo("%d of %d mutations refused; slowest read %lld ms", failures, m_iterations, slowestMs);
}

QTEST_GUILESS_MAIN(TestWorkbookFuzz)
#include "tst_workbookfuzz.moc"
