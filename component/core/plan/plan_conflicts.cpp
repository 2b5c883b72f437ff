// SPDX-License-Identifier: MIT
#include "core/plan/plan_conflicts.h"

#include <QSet>
#include <QStringList>

namespace corvan {

namespace {

QString lineList(const QList<int>& lines)
{
    QStringList texts;
    for (int line : lines)
        texts << QString::number(line);
    return texts.join(QStringLiteral("、"));
}

void refuse(QList<QString>& refusals, qsizetype row, const QString& why)
{
    if (refusals[row].isEmpty())
        refusals[row] = why;
}

} // namespace

QString PlanConflicts::sameBts(int line)
{
    return QStringLiteral("与第 %1 行是同一个基站，一个基站在计划中只能调整一次").arg(line);
}

QString PlanConflicts::sameTarget(const QList<int>& lines)
{
    return QStringLiteral("与第 %1 行把同一网络的基站调入同一机房").arg(lineList(lines));
}

QString PlanConflicts::swapped(int line)
{
    return QStringLiteral("与第 %1 行互换机房（两个基站各占着对方的目标机房），无法在一个计划中按行执行，"
                          "请经空闲机房分两次调整")
        .arg(line);
}

QString PlanConflicts::ring(const QList<int>& lines)
{
    return QStringLiteral(
               "与第 %1 行轮流占用彼此的目标机房，无法在一个计划中按行执行，请经空闲机房分两次调整")
        .arg(lineList(lines));
}

QString PlanConflicts::laterFrees(const QString& net, const QString& number, int line)
{
    return QStringLiteral("目标机房中的%1网基站 %2 到第 %3 行才调出，请把第 %3 行放在本行之前")
        .arg(net, number)
        .arg(line);
}

QList<QString> PlanConflicts::find(const QList<Move>& moves)
{
    QList<QString> refusals(moves.size());
    const auto key = [](const QString& net, const QString& code) {
        return net + QLatin1Char('\n') + code;
    };

    // The same BTS twice: both rows, each naming the other.
    QMap<QString, qsizetype> firstOfBts;
    for (qsizetype i = 0; i < moves.size(); ++i) {
        const auto first = firstOfBts.constFind(key(moves.at(i).net, moves.at(i).bts));
        if (first == firstOfBts.cend()) {
            firstOfBts.insert(key(moves.at(i).net, moves.at(i).bts), i);
            continue;
        }
        refuse(refusals, i, sameBts(moves.at(*first).line));
        refuse(refusals, *first, sameBts(moves.at(i).line));
    }
    // One room, one BTS of a network: every row of a shared target names the others.
    QMap<QString, QList<qsizetype>> byTarget;
    for (qsizetype i = 0; i < moves.size(); ++i)
        byTarget[key(moves.at(i).net, moves.at(i).toRoom)] << i;
    for (const QList<qsizetype>& rows : std::as_const(byTarget)) {
        if (rows.size() < 2)
            continue;
        for (qsizetype i : rows) {
            QList<int> others;
            for (qsizetype j : rows)
                if (j != i)
                    others << moves.at(j).line;
            refuse(refusals, i, sameTarget(others));
        }
    }
    // Which row moves the BTS of a number out of its room.
    QMap<QString, qsizetype> mover;
    for (qsizetype i = 0; i < moves.size(); ++i)
        if (!moves.at(i).number.isEmpty())
            mover.insert(key(moves.at(i).net, moves.at(i).number), i);
    const auto freer = [&](qsizetype i) -> qsizetype {
        const Move& move = moves.at(i);
        if (move.targetHolder.isEmpty() || move.targetHolder == move.number)
            return -1;
        return mover.value(key(move.net, move.targetHolder), -1);
    };
    for (qsizetype i = 0; i < moves.size(); ++i) {
        const qsizetype j = freer(i);
        if (j < 0 || j < i)
            continue;
        // Follow who frees whose room: back to this row is a ring no order can run.
        QList<qsizetype> chain{i};
        QSet<qsizetype> visited{i};
        qsizetype next = j;
        while (next >= 0 && !visited.contains(next)) {
            chain << next;
            visited.insert(next);
            next = freer(next);
        }
        if (next == i) {
            for (qsizetype member : chain) {
                QList<int> others;
                for (qsizetype other : chain)
                    if (other != member)
                        others << moves.at(other).line;
                refuse(refusals, member, chain.size() == 2 ? swapped(others.constFirst()) : ring(others));
            }
            continue;
        }
        refuse(refusals, i, laterFrees(moves.at(i).net, moves.at(i).targetHolder, moves.at(j).line));
    }
    return refusals;
}

} // namespace corvan
