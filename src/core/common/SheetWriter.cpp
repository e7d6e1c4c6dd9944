#include "SheetWriter.h"

#include "BiffWriter.h"
#include "CsvSheetWriter.h"
#include "XlsxSheetWriter.h"

std::unique_ptr<SheetWriter> SheetWriter::create(Format format)
{
    switch (format) {
    case Format::Xls:
        return std::make_unique<BiffWriter>();
    case Format::Xlsx:
        return std::make_unique<XlsxSheetWriter>();
    case Format::Csv:
        return std::make_unique<CsvSheetWriter>();
    }
    return nullptr;
}

QString SheetWriter::suffix(Format format)
{
    switch (format) {
    case Format::Xls:
        return QStringLiteral("xls");
    case Format::Xlsx:
        return QStringLiteral("xlsx");
    case Format::Csv:
        return QStringLiteral("csv");
    }
    return QString();
}
