// SPDX-License-Identifier: MIT
#include "desktop/csv_reader.h"

#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace corvan::host {

bool CsvReader::decode(const QByteArray& bytes, QString* text, QString* error)
{
    static const QByteArray Bom("\xEF\xBB\xBF");
    if (bytes.startsWith(Bom)) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        *text = utf8(QByteArrayView(bytes).sliced(Bom.size()));
        if (!utf8.hasError())
            return true;
        *error = u"文件以 UTF-8 标记开头，内容却不是 UTF-8 编码"_s;
        return false;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *text = utf8(bytes);
    if (!utf8.hasError())
        return true;
    QStringDecoder gb18030("GB18030", QStringDecoder::Flag::Stateless);
    if (!gb18030.isValid()) {
        *error = u"文件不是 UTF-8 编码，而本机的 Qt 不能读 GB18030 编码"_s;
        return false;
    }
    *text = gb18030(bytes);
    if (!gb18030.hasError())
        return true;
    *error = u"文件既不是 UTF-8 编码也不是 GB18030 编码"_s;
    return false;
}

bool CsvReader::read(const QByteArray& bytes, QList<QStringList>* rows, QString* error)
{
    QString text;
    if (!decode(bytes, &text, error))
        return false;
    rows->clear();
    QStringList row;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    const auto endField = [&] {
        row << field;
        field.clear();
        wasQuoted = false;
    };
    const auto endRow = [&] {
        endField();
        // A line of nothing is an empty row, not a row of one empty field.
        if (row.size() == 1 && row.constFirst().isEmpty())
            row.clear();
        rows->append(row);
        row.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == u',') {
            endField();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            endRow();
        } else {
            field += c;
        }
    }
    if (quoted) {
        *error = u"文件在引号中结束（第 %1 行的引号没有配对）"_s.arg(rows->size() + 1);
        return false;
    }
    if (!field.isEmpty() || !row.isEmpty())
        endRow();
    while (!rows->isEmpty() && rows->last().isEmpty())
        rows->removeLast();
    return true;
}

} // namespace corvan::host
