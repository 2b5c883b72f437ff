// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include "corvan/services.h"

namespace corvan::host {

// Reads one worksheet of an .xlsx workbook (Office Open XML, as Excel, WPS, LibreOffice and
// libxlsxwriter write it) into texts: the package through minizip, its parts through Qt's
// XML reader. Shared strings, inline strings, formula results, numbers, booleans and dates
// (serial numbers in a date format, in the 1900 or the 1904 date system) become the text a
// spreadsheet shows in its general format. A sheet's row r (from 1) is row r - 1 of the
// result, so a row keeps its number; empty rows between stay, trailing ones go.
//
// The reader is a module of its own, loaded by the sheet service when a workbook is read,
// so that a host that never reads a plan never loads it. It unpacks with the system's
// minizip, the one libxlsxwriter uses: a second copy of minizip under the same names (as
// QuaZip carries) would have one of them call the other's functions in one process.
class XlsxReader {
public:
    // The worksheet named sheet, else the first. False with one line in *error when the bytes
    // are no workbook or hold more than a worksheet can.
    static bool read(const QByteArray& bytes, const QString& sheet, TextSheet* out, QString* error);

    // A number as a spreadsheet shows it in general format (up to 15 significant digits, no
    // exponent for whole numbers below 10^15).
    static QString numberText(double value);
    // A serial date of the 1900 (or 1904) date system as yyyy-mm-dd, with hh:mm:ss after a
    // blank when it holds a time of day.
    static QString dateText(double serial, bool date1904);

    // What the reader refuses to unpack: a part larger than this is no plan.
    static constexpr qint64 MaxPartBytes = 256 * 1024 * 1024;
};

// The module's entry point: XlsxReader::read.
using ReadXlsx = bool (*)(const QByteArray* bytes, const QString* sheet, TextSheet* out, QString* error);
inline constexpr char ReadXlsxSymbol[] = "corvan_read_xlsx";
inline constexpr char ReaderModule[] = "libcorvan-xlsx-reader.so";

} // namespace corvan::host
