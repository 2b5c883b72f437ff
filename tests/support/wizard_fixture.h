// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace corvan::test {

class TestDatabase;

// On top of Fixture: what a relocation of G BTS 101 (甲一G基站 in 一号机房 of 甲市) needs.
//   Rules: G modifies city, belongroom and remark, removes belongbsc and carriers, keeps basecode,
//   basenum, basename and county; key fields basenum,basename; city options from com_city.
//   Cells of BTS 101: four (CI 3021..3024, codes 301..304); six antennas and five feeders on them
//   (codes 401..406 and 501..505), and antenna 407 of another BTS's cell (CI 3031).
//   Field metadata for res_gcell.
class WizardFixture {
public:
    static void load(TestDatabase& db);

    // Every row of the tables a relocation touches, in a fixed order: equal dumps mean an
    // unchanged database.
    static QStringList dump(TestDatabase& db);
};

} // namespace corvan::test
