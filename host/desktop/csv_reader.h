// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace corvan::host {

// Reads a comma-separated file as a spreadsheet program writes it: fields in double quotes
// may hold commas, line breaks and doubled quotes. The text is UTF-8 (with or without a
// byte-order mark) or, when the bytes are no UTF-8, GB18030, what a Chinese spreadsheet
// program writes by default. Line r of the file is row r - 1; trailing empty rows go.
class CsvReader {
public:
    static bool read(const QByteArray& bytes, QList<QStringList>* rows, QString* error);
    // The bytes as text, by the rules above; false when they are neither encoding.
    static bool decode(const QByteArray& bytes, QString* text, QString* error);
};

} // namespace corvan::host
