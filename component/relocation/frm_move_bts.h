// SPDX-License-Identifier: MIT
#pragma once

#include <QMap>
#include <QString>
#include <QWidget>

#include "corvan/attr_table.h"

namespace corvan {

// The relocation wizard's window. It is opened modeless by the main window, which hands
// it the network letter, the BTS tables on show and the mode through showBts.
class frmMoveBts : public QWidget {
    Q_OBJECT

public:
    static const QString Caption;

    explicit frmMoveBts(QWidget* parent = nullptr);

    void showBts(const QString& net, const QMap<QString, AttrTable>& attrMap, bool simpleMode);

    QString net() const { return m_net; }
    const QMap<QString, AttrTable>& attrMap() const { return m_attrMap; }
    bool simpleMode() const { return m_simpleMode; }

private:
    QString m_net;
    QMap<QString, AttrTable> m_attrMap;
    bool m_simpleMode = false;
};

} // namespace corvan
