#pragma once

#include <QString>

// Reads a printed PDF back with pdftotext (poppler-utils), as an operator's
// viewer would show it, so print tests check every title and figure whole.
namespace PdfReadBack {

// The text in layout mode exactly as extracted; empty when pdftotext cannot
// read the file.
QString rawText(const QString &path);
// The same with Kangxi radicals read as the ideographs they look like.
QString text(const QString &path);
// The text with every blank and line break removed ("商 品 进 货" -> "商品进货").
QString withoutBlanks(QString text);

} // namespace PdfReadBack
