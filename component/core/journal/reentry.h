// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace corvan {

class mdlPubVar;

// The cells, antennas and feeders a relocation deleted, as the user needs them to enter
// them again: one table per kind, every stored column under the host's caption.
class Reentry {
public:
    struct Table {
        QString name;        // "小区", "天线", "馈线"
        QStringList columns; // the host's captions
        QList<QStringList> rows;
    };
    // The three tables of a journalled record; none when it has no journal entry.
    static QList<Table> tables(const mdlPubVar& context, const QString& discode);
};

} // namespace corvan
