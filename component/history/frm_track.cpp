// SPDX-License-Identifier: MIT
#include "history/frm_track.h"

#include <QVBoxLayout>

#include "core/context/item_keys.h"
#include "core/context/mdl_pub_var.h"
#include "core/history/track.h"
#include "corvan/controls/property_grid.h"
#include "ui/busy_cursor.h"

namespace corvan {

const QString frmTrack::Caption = QStringLiteral("调整轨迹");

namespace {
const QString NoneFound = QStringLiteral("（没有调整记录）");
} // namespace

frmTrack::frmTrack(mdlPubVar& context, const QString& net, const QString& basecode, const QString& btsName,
                   const QString& roomCode, const QString& roomName, QWidget* parent)
    : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmTrack"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Caption);
    m_smTrack = new PropertyGrid(this);
    m_smTrack->setObjectName(QStringLiteral("smTrack"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_smTrack);
    resize(560, 480);

    BusyCursor busy;
    PropertyItems& items = m_smTrack->Items();
    // A record may show under both headings; the second line of it gets its own key.
    const auto section = [&](const QString& group, const QString& caption, const QList<Track::Item>& found) {
        items.AddItem(0, group, caption, ITEM_GROUP);
        if (found.isEmpty())
            items.AddItem(0, group + QStringLiteral(":none"), NoneFound, ITEM_TEXT);
        for (const Track::Item& item : found) {
            QString key = ItemKey::code(item.discode);
            if (items.HasItem(key))
                key = ItemKey::code(item.discode) + QLatin1Char(':') + group;
            items.AddItem(0, key, item.caption, ITEM_OPTION);
        }
    };
    if (!basecode.isEmpty())
        section(QStringLiteral("G:BTS"),
                net + QStringLiteral("网基站 ") + btsName + QStringLiteral(" 的调整轨迹"),
                Track::ofBts(m_context, net, basecode, roomCode));
    section(QStringLiteral("G:ROOM"), QStringLiteral("机房 ") + roomName + QStringLiteral(" 的调入调出记录"),
            Track::ofRoom(m_context, roomCode));
    connect(m_smTrack, &PropertyGrid::ItemChosen, this, [this](PropertyItem* item) {
        if (item && item->Key().startsWith(ItemKey::Code))
            emit recordChosen(ItemKey::codeOf(item->Key()).section(QLatin1Char(':'), 0, 0));
    });
}

} // namespace corvan
