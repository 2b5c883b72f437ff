// SPDX-License-Identifier: MIT
#include "core/plan/plan_snapshot.h"

#include <QRegularExpression>
#include <QSet>

#include "core/context/field_names.h"
#include "core/context/sql_literal.h"
#include "core/relocation/field_rules.h"
#include "core/relocation/move_bts_state.h"

namespace corvan {

namespace {

const QString Lit = QStringLiteral("'((?:[^']|'')*)'");

bool matched(const QRegularExpression& re, const QString& sql, QRegularExpressionMatch* m)
{
    *m = re.match(sql);
    return m->hasMatch();
}

QRegularExpression shape(const QString& pattern)
{
    return QRegularExpression(QLatin1Char('^') + QString(pattern).replace(QStringLiteral("{v}"), Lit) +
                              QLatin1Char('$'));
}

QString unquote(const QString& text)
{
    return QString(text).replace(QStringLiteral("''"), QStringLiteral("'"));
}

// The texts of " ci='a' or ci='b'".
QStringList ciList(const QString& conditions)
{
    static const QRegularExpression Ci(QStringLiteral("ci=") + Lit);
    QStringList out;
    for (auto it = Ci.globalMatch(conditions); it.hasNext();)
        out << unquote(it.next().captured(1));
    return out;
}

// A table of a network, or an empty one: never a copy, whose indexes would be built for nothing.
template <typename Table> const Table& of(const QHash<QString, Table>& tables, const QString& n)
{
    static const Table None;
    const auto table = tables.constFind(n);
    return table == tables.cend() ? None : *table;
}

QString cell(const QVector<QVariant>& row, int column)
{
    return column < 0 ? QString() : variantText(row.value(column));
}

} // namespace

int PlanSnapshot::Table::column(const QString& name) const
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString PlanSnapshot::Table::text(const QString& key, const QString& name) const
{
    const auto row = rows.constFind(key);
    return row == rows.cend() ? QString() : cell(*row, column(name));
}

void PlanSnapshot::Table::add(const RecordSet& rs, const QString& keyColumn)
{
    if (columns.isEmpty())
        for (int i = 0; i < rs.FieldCount(); ++i)
            columns << rs.FieldName(i);
    indexes.clear();
    RecordSet walk = rs;
    const int key = walk.FieldIndex(keyColumn);
    for (walk.MoveFirst(); !walk.isEOF(); walk.MoveNext()) {
        QVector<QVariant> row;
        row.reserve(columns.size());
        for (const QString& name : std::as_const(columns))
            row << walk.Value(name);
        const QString code = walk.Text(key);
        if (!rows.contains(code)) {
            position.insert(code, order.size());
            order << code;
        }
        rows.insert(code, row);
    }
}

void PlanSnapshot::Table::set(const QString& key, int column, const QVariant& value)
{
    const auto row = rows.find(key);
    if (row == rows.end() || column < 0)
        return;
    if (const auto index = indexes.find(column); index != indexes.end()) {
        if (!row->value(column).isNull())
            index->remove(cell(*row, column), key);
        if (!value.isNull())
            index->insert(variantText(value), key);
    }
    (*row)[column] = value;
}

void PlanSnapshot::Table::remove(const QString& key)
{
    const auto row = rows.constFind(key);
    if (row == rows.cend())
        return;
    for (auto index = indexes.begin(); index != indexes.end(); ++index)
        index->remove(cell(*row, index.key()), key);
    rows.erase(row);
}

QStringList PlanSnapshot::Table::where(const QList<std::pair<QString, QString>>& equal) const
{
    QVector<int> at;
    for (const auto& [name, value] : equal) {
        at << column(name);
        if (at.last() < 0)
            return {};
    }
    if (at.isEmpty())
        return {};
    auto index = indexes.find(at.first());
    if (index == indexes.end()) {
        QMultiHash<QString, QString> built;
        for (auto row = rows.cbegin(); row != rows.cend(); ++row)
            if (!row->value(at.first()).isNull())
                built.insert(cell(*row, at.first()), row.key());
        index = indexes.insert(at.first(), built);
    }
    QStringList keys;
    for (auto it = index->constFind(equal.first().second);
         it != index->cend() && it.key() == equal.first().second; ++it) {
        const QVector<QVariant>& row = *rows.constFind(it.value());
        bool all = true;
        for (qsizetype i = 1; all && i < equal.size(); ++i)
            all = !row.at(at.at(i)).isNull() && cell(row, at.at(i)) == equal.at(i).second;
        if (all)
            keys << it.value();
    }
    std::sort(keys.begin(), keys.end(),
              [this](const QString& a, const QString& b) { return position.value(a) < position.value(b); });
    return keys;
}

PlanSnapshot::PlanSnapshot(QObject* reads, QObject* parent) : QObject(parent), m_reads(reads) {}

bool PlanSnapshot::readInto(Table& table, const QString& head, const QString& column,
                            const QStringList& values, const QString& keyColumn, QString* error)
{
    auto* data = qobject_cast<DataService*>(m_reads);
    if (!data) {
        *error = QStringLiteral("the host offers no data service");
        return false;
    }
    QStringList distinct = QSet<QString>(values.cbegin(), values.cend()).values();
    distinct.sort();
    for (qsizetype at = 0; at < distinct.size(); at += SqlListLimit) {
        const QString sql = head + column + QStringLiteral(" in (") +
                            sqlTextList(distinct.mid(at, SqlListLimit)) + QLatin1Char(')');
        auto rs = data->OpenRecordset(sql, QLatin1String(SystemDatabase));
        if (!rs) {
            *error = data->LastError();
            return false;
        }
        table.add(*rs, keyColumn);
    }
    return true;
}

bool PlanSnapshot::loadBts(const QHash<QString, QStringList>& numbersByNet, QString* error)
{
    for (const QString& letter : NetworkLetters) {
        const QString n = letter.toLower();
        const QStringList numbers = numbersByNet.value(letter);
        if (numbers.isEmpty())
            continue;
        Table& bts = m_bts[n];
        if (!readInto(bts, QStringLiteral("select * from res_") + n + QStringLiteral("bts where "),
                      QStringLiteral("basenum"), numbers, QStringLiteral("basecode"), error))
            return false;
        m_btsAsRead[n] = bts;
        // Every room that holds one of the numbers, whatever its city.
        if (!readInto(m_rooms, QStringLiteral("select * from res_baseroom where "), n + QStringLiteral("bts"),
                      numbers, QStringLiteral("roomcode"), error))
            return false;
        for (const QString& number : numbers)
            m_numbers[n].insert(number);
        QSet<QString>& cities = m_cellCities[n];
        QSet<QString>& found = m_cellNumbers[n];
        const int city = bts.column(QStringLiteral("city"));
        const int number = bts.column(QStringLiteral("basenum"));
        for (const auto& row : std::as_const(bts.rows)) {
            cities << cell(row, city);
            found << cell(row, number);
        }
        if (found.isEmpty())
            continue;
        // By city first, as the tables are indexed.
        const QString cityIn =
            QStringLiteral("city in (") + sqlTextList(cities.values()) + QStringLiteral(") and ");
        Table& cells = m_cells[n];
        if (!readInto(cells,
                      QStringLiteral("select * from res_") + n + QStringLiteral("cell where ") + cityIn,
                      QStringLiteral("bts"), found.values(), QStringLiteral("cellcode"), error))
            return false;
        m_cellsAsRead[n] = cells;
        QStringList cis;
        const int ci = cells.column(QStringLiteral("ci"));
        for (const auto& row : std::as_const(cells.rows))
            cis << cell(row, ci);
        if (!readInto(m_antennas[n],
                      QStringLiteral("select * from res_") + n + QStringLiteral("ant where ") + cityIn,
                      QStringLiteral("ci"), cis, QStringLiteral("antcode"), error) ||
            !readInto(m_feeders[n],
                      QStringLiteral("select * from res_") + n + QStringLiteral("antline where ") + cityIn,
                      QStringLiteral("ci"), cis, QStringLiteral("linecode"), error))
            return false;
    }
    return true;
}

bool PlanSnapshot::loadRooms(const QStringList& roomCodes, QString* error)
{
    QStringList wanted;
    for (const QString& code : roomCodes)
        if (!m_rooms.rows.contains(code))
            wanted << code;
    if (wanted.isEmpty())
        return true;
    return readInto(m_rooms, QStringLiteral("select * from res_baseroom where "), QStringLiteral("roomcode"),
                    wanted, QStringLiteral("roomcode"), error);
}

void PlanSnapshot::relocated(const MoveBtsState& state)
{
    const QString n = state.tableLetter();
    const auto table = m_bts.find(n);
    if (table == m_bts.end())
        return;
    for (const BtsField& field : state.fields) {
        if (!field.written())
            continue;
        // As the update statement writes it: an empty number is null, the room row its name.
        const bool roomName = field.name == FieldName::BelongRoom &&
                              (field.type == QLatin1String("char") || field.type == QLatin1String("custom"));
        table->set(state.btsCode, table->column(field.name),
                   field.value.isEmpty() && field.isNumber() ? QVariant()
                   : roomName                                ? QVariant(state.newRoomName)
                                                             : QVariant(field.value));
    }
    if (state.movesRoom()) {
        const int holder = m_rooms.column(n + QStringLiteral("bts"));
        const BtsField* number = state.fields.find(FieldName::BaseNum);
        m_rooms.set(state.newRoomCode, holder, number ? number->value : QString());
        m_rooms.set(state.oldRoomCode, holder, QVariant());
    }
    for (const CellTable& gone : state.cellMap)
        m_cells[n].remove(gone.cellcode);
    for (const LineEntry& line : state.lineList)
        (line.kind == LineEntry::Kind::Antenna ? m_antennas[n] : m_feeders[n]).remove(line.code);
}

std::unique_ptr<RecordSet> PlanSnapshot::rowsOf(const Table& table, const QStringList& columns,
                                                const QStringList& keys)
{
    QVector<int> at;
    for (const QString& name : columns)
        at << table.column(name);
    QVector<QVector<QVariant>> rows;
    for (const QString& key : keys) {
        const auto found = table.rows.constFind(key);
        if (found == table.rows.cend())
            continue;
        const QVector<QVariant>& row = *found;
        QVector<QVariant> out;
        for (const int i : std::as_const(at))
            out << (i < 0 ? QVariant() : row.value(i));
        rows << out;
    }
    return std::make_unique<RecordSet>(columns, std::move(rows));
}

// The plan's BTSs by number and code, and the rooms that hold them.
std::unique_ptr<RecordSet> PlanSnapshot::answerBts(const QString& sql) const
{
    static const QRegularExpression ByNumber =
        shape(QStringLiteral("select basecode,city,basename from res_([gcd])bts where basenum={v}"));
    static const QRegularExpression RoomOfNumber =
        shape(QStringLiteral("select roomcode,roomname from res_baseroom where ([gcd])bts={v}"));
    static const QRegularExpression RoomByName = shape(QStringLiteral(
        "select a\\.roomcode from res_baseroom a,res_([gcd])bts b where b\\.basenum=a\\.\\1bts "
        "and b\\.city={v} and b\\.basename={v}"));
    static const QRegularExpression RoomByCode =
        shape(QStringLiteral("select a\\.roomcode from res_baseroom a,res_([gcd])bts b where "
                             "b\\.basenum=a\\.\\1bts and b\\.basenum<>'' and b\\.basecode={v}"));
    static const QRegularExpression BtsColumn =
        shape(QStringLiteral("select (basenum|\\*) from res_([gcd])bts where basecode={v}"));

    QRegularExpressionMatch m;
    const auto matches = [&](const QRegularExpression& re) {
        return matched(re, sql, &m);
    };
    const auto requested = [this](const QString& n, const QString& number) {
        return m_numbers.value(n).contains(number);
    };

    if (matches(ByNumber) && requested(m.captured(1), unquote(m.captured(2))))
        return rowsOf(of(m_bts, m.captured(1)),
                      {QStringLiteral("basecode"), QStringLiteral("city"), QStringLiteral("basename")},
                      of(m_bts, m.captured(1)).where({{QStringLiteral("basenum"), unquote(m.captured(2))}}));
    if (matches(RoomOfNumber) && requested(m.captured(1), unquote(m.captured(2))))
        return rowsOf(m_rooms, {QStringLiteral("roomcode"), QStringLiteral("roomname")},
                      m_rooms.where({{m.captured(1) + QStringLiteral("bts"), unquote(m.captured(2))}}));
    if (matches(RoomByName) && m_bts.contains(m.captured(1))) {
        // Rooms holding a BTS of that city and name: the plan's BTSs are the ones it knows.
        const Table& table = of(m_bts, m.captured(1));
        QStringList rooms;
        for (const QString& key : table.where({{QStringLiteral("city"), unquote(m.captured(2))},
                                               {QStringLiteral("basename"), unquote(m.captured(3))}}))
            rooms += m_rooms.where(
                {{m.captured(1) + QStringLiteral("bts"), table.text(key, QStringLiteral("basenum"))}});
        return rowsOf(m_rooms, QStringList{QStringLiteral("roomcode")}, rooms);
    }
    if (matches(RoomByCode) && of(m_bts, m.captured(1)).rows.contains(unquote(m.captured(2)))) {
        const QString number =
            of(m_bts, m.captured(1)).text(unquote(m.captured(2)), QStringLiteral("basenum"));
        return rowsOf(m_rooms, QStringList{QStringLiteral("roomcode")},
                      number.isEmpty() ? QStringList()
                                       : m_rooms.where({{m.captured(1) + QStringLiteral("bts"), number}}));
    }
    if (matches(BtsColumn) && of(m_bts, m.captured(2)).rows.contains(unquote(m.captured(3)))) {
        const Table& table = of(m_bts, m.captured(2));
        return rowsOf(table, m.captured(1) == QLatin1String("*") ? table.columns : QStringList{m.captured(1)},
                      {unquote(m.captured(3))});
    }
    return nullptr;
}

// A room's columns, and a room as an option of a city's room row.
std::unique_ptr<RecordSet> PlanSnapshot::answerRooms(const QString& sql) const
{
    static const QRegularExpression RoomOption =
        shape(QStringLiteral("select roomcode,roomname from res_baseroom +where city={v} and roomcode={v}"));
    static const QRegularExpression RoomColumn =
        shape(QStringLiteral("select (\\*|county|[gcd]bts) from res_baseroom where roomcode={v}"));

    QRegularExpressionMatch m;
    const auto matches = [&](const QRegularExpression& re) {
        return matched(re, sql, &m);
    };

    if (matches(RoomOption) && m_rooms.rows.contains(unquote(m.captured(2)))) {
        const QString code = unquote(m.captured(2));
        return rowsOf(m_rooms, {QStringLiteral("roomcode"), QStringLiteral("roomname")},
                      m_rooms.text(code, QStringLiteral("city")) == unquote(m.captured(1)) ? QStringList{code}
                                                                                           : QStringList());
    }
    if (matches(RoomColumn) && m_rooms.rows.contains(unquote(m.captured(2))))
        return rowsOf(m_rooms,
                      m.captured(1) == QLatin1String("*") ? m_rooms.columns : QStringList{m.captured(1)},
                      {unquote(m.captured(2))});
    return nullptr;
}

// The cells of a BTS, and the antennas or feeders of its cells.
std::unique_ptr<RecordSet> PlanSnapshot::answerCells(const QString& sql) const
{
    static const QRegularExpression Cells =
        shape(QStringLiteral("select cellcode,ci,cellname from res_([gcd])cell where city={v} and bts={v}"));
    static const QRegularExpression Lines = shape(QStringLiteral(
        "select \\* from res_([gcd])(ant|antline) where city={v} and ?\\(((?: ci={v}(?: or)?)+)\\)"));

    QRegularExpressionMatch m;
    const auto matches = [&](const QRegularExpression& re) {
        return matched(re, sql, &m);
    };

    if (matches(Cells) && m_cellCities.value(m.captured(1)).contains(unquote(m.captured(2))) &&
        m_cellNumbers.value(m.captured(1)).contains(unquote(m.captured(3))))
        return rowsOf(of(m_cells, m.captured(1)),
                      {QStringLiteral("cellcode"), QStringLiteral("ci"), QStringLiteral("cellname")},
                      of(m_cells, m.captured(1))
                          .where({{QStringLiteral("city"), unquote(m.captured(2))},
                                  {QStringLiteral("bts"), unquote(m.captured(3))}}));
    if (matches(Lines)) {
        const QString n = m.captured(1);
        const Table& lines = m.captured(2) == QLatin1String("ant") ? of(m_antennas, n) : of(m_feeders, n);
        const QString city = unquote(m.captured(3));
        QStringList keys;
        QSet<QString> cis;
        for (const QString& ci : ciList(m.captured(4)))
            cis << ci;
        // Only the cells of the plan's BTSs had their lines read.
        for (const QString& ci : std::as_const(cis)) {
            if (of(m_cellsAsRead, n)
                    .where({{QStringLiteral("ci"), ci}, {QStringLiteral("city"), city}})
                    .isEmpty())
                return nullptr;
            keys += lines.where({{QStringLiteral("ci"), ci}, {QStringLiteral("city"), city}});
        }
        std::sort(keys.begin(), keys.end(), [&lines](const QString& a, const QString& b) {
            return lines.position.value(a) < lines.position.value(b);
        });
        return rowsOf(lines, lines.columns, keys);
    }
    return nullptr;
}

std::unique_ptr<RecordSet> PlanSnapshot::answer(const QString& sql) const
{
    if (auto rows = answerBts(sql))
        return rows;
    if (auto rows = answerRooms(sql))
        return rows;
    return answerCells(sql);
}

std::unique_ptr<RecordSet> PlanSnapshot::adjustedCount(const QString& sql, const RecordSet& counted) const
{
    static const QRegularExpression Count =
        shape(QStringLiteral("select count\\(\\*\\) from v_res_([gcd])bts where(.*)"));
    static const QRegularExpression Piece(QStringLiteral("^ *(\\w+)=(?:") + Lit +
                                          QStringLiteral("|([^ ]+))(?: and|$)"));
    const QRegularExpressionMatch m = Count.match(sql);
    if (!m.hasMatch() || counted.RecordCount() != 1 || !m_bts.contains(m.captured(1)))
        return std::make_unique<RecordSet>(counted);
    // The conditions, each a column equal to a text or a number.
    struct Condition {
        QString column;
        QString text;
        bool number;
    };
    QList<Condition> conditions;
    QString rest = m.captured(2);
    while (!rest.trimmed().isEmpty()) {
        const QRegularExpressionMatch piece = Piece.match(rest);
        if (!piece.hasMatch())
            return std::make_unique<RecordSet>(counted);
        const bool number = piece.captured(3).size() > 0;
        conditions << Condition{piece.captured(1), number ? piece.captured(3) : unquote(piece.captured(2)),
                                number};
        rest = rest.mid(piece.capturedLength(0));
    }
    const auto matching = [&](const Table& table) {
        int count = 0;
        for (const auto& row : table.rows) {
            bool all = true;
            for (const Condition& c : std::as_const(conditions)) {
                const int at = table.column(c.column);
                const QVariant value = at < 0 ? QVariant() : row.value(at);
                if (at < 0 || value.isNull()) {
                    all = false;
                } else if (c.number) {
                    bool ok = false;
                    const double stored = variantText(value).toDouble(&ok);
                    all = all && ok && stored == c.text.toDouble();
                } else {
                    all = all && variantText(value) == c.text;
                }
            }
            count += all ? 1 : 0;
        }
        return count;
    };
    // What the database counted, less the plan's BTSs as they were, plus them as the earlier
    // rows leave them.
    RecordSet walk = counted;
    walk.MoveFirst();
    const qint64 count = walk.Text(0).toLongLong() - matching(of(m_btsAsRead, m.captured(1))) +
                         matching(of(m_bts, m.captured(1)));
    return std::make_unique<RecordSet>(QStringList{counted.FieldName(0)},
                                       QVector<QVector<QVariant>>{{QVariant(count)}});
}

std::unique_ptr<RecordSet> PlanSnapshot::OpenRecordset(const QString& sql, const QString& database,
                                                       qint32 options)
{
    if (auto known = answer(sql))
        return known;
    const auto kept = m_kept.constFind(sql);
    if (kept != m_kept.cend())
        return adjustedCount(sql, *kept);
    auto* data = qobject_cast<DataService*>(m_reads);
    if (!data)
        return nullptr;
    auto rows = data->OpenRecordset(sql, database, options);
    if (!rows) {
        m_error = data->LastError();
        return nullptr;
    }
    m_kept.insert(sql, *rows);
    return adjustedCount(sql, *rows);
}

bool PlanSnapshot::ExecuteSql(const QString&, const QString& sql)
{
    m_error = QStringLiteral("a plan's check writes nothing: ") + sql;
    return false;
}

QString PlanSnapshot::LastError() const
{
    return m_error;
}

} // namespace corvan
