// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

namespace corvan {

class PropertyGrid;
class mdlPubVar;

// Where a BTS has been and what went into or out of a room: one list, the BTS's
// relocations under one heading and the room's under another, newest first. Choosing a
// line opens its record in the history window.
class frmTrack : public QDialog {
    Q_OBJECT

public:
    static const QString Caption;

    frmTrack(mdlPubVar& context, const QString& net, const QString& basecode, const QString& btsName,
             const QString& roomCode, const QString& roomName, QWidget* parent = nullptr);

    PropertyGrid* list() const { return m_smTrack; }

signals:
    void recordChosen(const QString& discode);

private:
    mdlPubVar& m_context;
    PropertyGrid* m_smTrack = nullptr;
};

} // namespace corvan
