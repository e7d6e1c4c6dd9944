#pragma once

#include <QtGlobal>

// What the .xls reading helper (lwjxc-xlsread) writes to its standard output
// for the program: frames of a type byte and fixed-size numbers in the
// machine's byte order; texts are UTF-8 with their byte count before them.
//
//   'N' u32 n, n bytes        the name of a worksheet, one frame per sheet
//   'R' u32 row               a row (0-based) begins; its cells follow:
//   'n' u16 column, f64       a number
//   'd' u16 column, i64       a date (Julian day)
//   't' u16 column, u32 n, n bytes   a text
//   'b' u16 column, f64       a boolean, 1 or 0
//   'e' u16 column, u32 n, n bytes   a formula's error value ("#DIV/0!")
//   'F' i32 code, u32 detail  the reading failed: a freexl code (negative) or
//                             a Failure; detail is the row or row count
//   'E'                       the sheet was read to its end
//
// The helper is started as: lwjxc-xlsread FILE SHEET, the sheet found
// regardless of case.
namespace XlsCellStream {

enum Failure : qint32 {
    Usage = 1,
    Password,
    SheetDirectory,
    NoSheet,
    SheetDamaged,
    TooManyRows,
    CellDamaged,
};

// A text longer than this cannot come from a cell (Excel holds 32,767
// characters): the stream is broken.
constexpr quint32 MaxTextBytes = 1u << 20;

} // namespace XlsCellStream
