// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace corvan::test {

class TestDatabase;

// A small province the component's tests know by heart, on either engine:
//   province 4 测试省; cities 12 乙市 (shown first), 11 甲市, 13 丙市; user demo may see 11 and 12.
//   Rooms of 甲市: 一号机房 (JF-001, county 1101 东区, G BTS 101 and C BTS 201), 二号机房 (JF-002,
//   1101, C BTS 202), a second 一号机房 (JF-003, 1102 西区), 三号机房 (no number, 1102).
//   Room of 乙市: 空机房 (JF-005, 1201 北县, no BTS). A room of an unknown city 99.
//   A G BTS 102 of 甲市 stands in no room. Field metadata for the three BTS views.
class Fixture {
public:
    static void load(TestDatabase& db);

    static QString roomCode(int n) { return QStringLiteral("%1").arg(n, 20, 10, QLatin1Char('0')); }
    static QString btsCode(int number) { return roomCode(number); }
};

} // namespace corvan::test
