#include "PdfReadBack.h"

#include <QProcess>
#include <QRegularExpression>

namespace PdfReadBack {

QString rawText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                                QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString text(const QString &path)
{
    // CJK fonts share glyphs between ideographs and their Kangxi radicals
    // (人 and ⼈); the extraction may name either, compatibility
    // normalisation brings them together.
    QString result = rawText(path);
    for (QChar &c : result) {
        if (c.unicode() >= 0x2E80 && c.unicode() <= 0x2FDF)
            c = QString(c).normalized(QString::NormalizationForm_KC).at(0);
    }
    return result;
}

QString withoutBlanks(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

} // namespace PdfReadBack
