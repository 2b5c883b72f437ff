// SPDX-License-Identifier: MIT
#include "core/relocation/cell_loader.h"

#include "core/context/item_keys.h"
#include "core/context/mdl_pub_var.h"
#include "core/context/resource_view.h"
#include "core/context/sql_literal.h"
#include "corvan/controls/property_item.h"
#include "corvan/controls/property_items.h"

#include <memory>

namespace corvan {

const QString CellLoader::AntennaGroupCaption = QStringLiteral("天线");
const QString CellLoader::FeederGroupCaption = QStringLiteral("馈线");
const QString CellLoader::DetailMenuCaption = QStringLiteral("查看详细属性");

namespace {

const QString CellPrefix = QStringLiteral("小区");

// " ci='a' or ci='b'": every condition starts with a blank, which the statements' texts
// rely on.
QString ciConditions(const QList<CellEntry>& cells)
{
    QString where;
    for (qsizetype m = 0; m < cells.size(); ++m) {
        where += QStringLiteral(" ci='") + sqlText(cells.at(m).ci) + QLatin1Char('\'');
        if (m + 1 < cells.size())
            where += QStringLiteral(" or");
    }
    return where;
}

// A read-only row per field of the cell's table, in field order; false when the grid
// refuses a row.
bool fillCellGrid(PropertyItems& grid, const AttrTable& table)
{
    grid.ClearItems();
    for (int j = 1; j <= table.FieldCount(); ++j) {
        PropertyItem* item =
            grid.AddItem(0, table.at(AttrTable::FieldName, j), table.at(AttrTable::Caption, j), ITEM_TEXT);
        if (!item)
            return false;
        item->setValue(table.at(AttrTable::DisplayValue, j));
    }
    return true;
}

PropertyItem* addLineRow(PropertyItems& grid, const QString& key, const QString& caption,
                         const QString& value)
{
    PropertyItem* item = grid.AddItem(0, key, caption, ITEM_TEXT);
    if (item)
        item->setValue(value);
    return item;
}

} // namespace

QString CellLoader::cellStatement(const QString& net, const QString& city, const QString& number)
{
    const QString n = networkName(net);
    if (n.isEmpty())
        return {};
    return QStringLiteral("select cellcode,ci,cellname from res_") + n + QStringLiteral("cell") +
           QStringLiteral(" where city='") + sqlText(city) + QLatin1Char('\'') +
           QStringLiteral(" and bts='") + sqlText(number) + QLatin1Char('\'');
}

QString CellLoader::antennaStatement(const QString& net, const QString& city, const QList<CellEntry>& cells)
{
    const QString n = networkName(net);
    if (n.isEmpty() || cells.isEmpty())
        return {};
    return QStringLiteral("select * from res_") + n + QStringLiteral("ant where city='") + sqlText(city) +
           QStringLiteral("' and (") + ciConditions(cells) + QLatin1Char(')');
}

QString CellLoader::feederStatement(const QString& net, const QString& city, const QList<CellEntry>& cells)
{
    const QString n = networkName(net);
    if (n.isEmpty() || cells.isEmpty())
        return {};
    // No blank before the parenthesis here, unlike the antenna statement: statement texts
    // stay exactly as sites know them from their traces.
    return QStringLiteral("select * from res_") + n + QStringLiteral("antline where city='") + sqlText(city) +
           QStringLiteral("' and(") + ciConditions(cells) + QLatin1Char(')');
}

LoadedCells CellLoader::viewCell(const mdlPubVar& context, const QString& net, const QString& city,
                                 const QString& number,
                                 const std::function<PropertyItems&(int index)>& cellGrid,
                                 PropertyItems& lineGrid)
{
    LoadedCells loaded;
    lineGrid.ClearItems();
    auto rs = context.db().open(cellStatement(net, city, number));
    if (!rs)
        return loaded;
    loaded.cellCount = rs->RecordCount();
    loaded.cellList.reserve(loaded.cellCount);
    loaded.cellMap.reserve(loaded.cellCount);
    const QString view = QStringLiteral("res_") + networkName(net) + QStringLiteral("cell");
    int index = 0;
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext(), ++index) {
        const CellEntry cell{rs->Text(QStringLiteral("cellcode")), rs->Text(QStringLiteral("ci")),
                             rs->Text(QStringLiteral("cellname"))};
        loaded.cellList.append(cell);
        AttrTable table;
        if (!ResourceView::GetResourceData(context, view, cell.cellcode, &table))
            return loaded;
        loaded.cellMap.append({cell.cellcode, table});
        if (!cellGrid || !fillCellGrid(cellGrid(index), table))
            return loaded;
    }
    viewLine(context, net, city, loaded, lineGrid);
    return loaded;
}

void CellLoader::viewLine(const mdlPubVar& context, const QString& net, const QString& city,
                          LoadedCells& loaded, PropertyItems& lineGrid)
{
    lineGrid.AddItem(0, ItemKey::AntennaGroup, AntennaGroupCaption, ITEM_GROUP);
    if (loaded.cellList.isEmpty())
        return;

    auto antennas = context.db().open(antennaStatement(net, city, loaded.cellList));
    if (!antennas)
        return;
    // The counts grow with the list, so a failure part way never leaves a count that
    // promises entries the list does not hold.
    loaded.lineList.reserve(antennas->RecordCount());
    for (antennas->MoveFirst(); !antennas->isEOF(); antennas->MoveNext()) {
        const QString code = antennas->Text(QStringLiteral("antcode"));
        const QString ci = antennas->Text(QStringLiteral("ci"));
        const QString label = AntennaGroupCaption + QString::number(loaded.antCount + 1);
        if (!addLineRow(lineGrid, ItemKey::Antenna + code, CellPrefix + ci + AntennaGroupCaption, label))
            return;
        loaded.lineList.append({LineEntry::Kind::Antenna, code, ci, label});
        ++loaded.antCount;
    }

    lineGrid.AddItem(0, ItemKey::FeederGroup, FeederGroupCaption, ITEM_GROUP);
    auto feeders = context.db().open(feederStatement(net, city, loaded.cellList));
    if (!feeders)
        return;
    loaded.lineList.reserve(loaded.antCount + feeders->RecordCount());
    for (feeders->MoveFirst(); !feeders->isEOF(); feeders->MoveNext()) {
        const QString code = feeders->Text(QStringLiteral("linecode"));
        const QString ci = feeders->Text(QStringLiteral("ci"));
        const QString lineId = feeders->Text(QStringLiteral("lineid"));
        if (!addLineRow(lineGrid, ItemKey::Feeder + code, CellPrefix + ci + FeederGroupCaption, lineId))
            return;
        loaded.lineList.append({LineEntry::Kind::Feeder, code, ci, lineId});
        ++loaded.lineCount;
    }

    PropertyItem* holder = lineGrid.AddItem(0, ItemKey::Menu, QString(), ITEM_MENU);
    if (!holder)
        return;
    holder->Children().AddItem(0, ItemKey::MenuEntry, DetailMenuCaption, ITEM_MENUENTRY);
    holder->setVisible(false);
}

} // namespace corvan
