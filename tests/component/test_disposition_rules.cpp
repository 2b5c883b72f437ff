// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>

#include "entry/cls_main.h"
#include "core/mdl_pub_var.h"
#include "core/disposition_rules.h"
#include "support/test_host.h"

using namespace corvan;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

struct Field {
    const char* name;
    const char* type;
    const char* display;
};

AttrTable table(std::initializer_list<Field> fields)
{
    AttrTable t;
    for (const Field& f : fields) {
        const int j = t.appendField();
        t.set(AttrTable::FieldName, j, QString::fromUtf8(f.name));
        t.set(AttrTable::Caption, j, QString::fromUtf8(f.name).toUpper());
        t.set(AttrTable::DataType, j, QString::fromUtf8(f.type));
        t.set(AttrTable::Display, j, QString::fromUtf8(f.display));
    }
    return t;
}

const AttrTable Bts = table({{"basecode", "char", "Y"},
                             {"basenum", "int", "Y"},
                             {"basename", "char", "Y"},
                             {"city", "custom", "Y"},
                             {"belongroom", "char", "Y"},
                             {"belongbsc", "char", "Y"},
                             {"remark", "char", "N"},
                             {"photo", "pic", "Y"},
                             {"vendor", "char", "y"}});

TEST(DispositionRules, StatementNamesTheNetworkRows)
{
    EXPECT_EQ(DispositionRules::statement(QStringLiteral("G")),
              QStringLiteral("select g_name,g_value from gui_option where g_name ='GBtsDispatchModify' or g_name "
                             "like 'GBtsDispatch%'"));
    EXPECT_EQ(DispositionRules::statement(QStringLiteral("d")),
              QStringLiteral("select g_name,g_value from gui_option where g_name ='DBtsDispatchModify' or g_name "
                             "like 'DBtsDispatch%'"));
    EXPECT_EQ(DispositionRules::statement(QStringLiteral("X")), QString());
    EXPECT_EQ(DispositionRules::statement(QStringLiteral("G' or '1'='1")), QString());
}

TEST(DispositionRules, FirstMatchingRuleDecidesAndUnlistedFieldsAreKept)
{
    const QStringList rules{QStringLiteral("M:city,belongroom,basenum"), QStringLiteral("R:belongbsc,city"),
                            QStringLiteral("N:vendor")};
    EXPECT_EQ(DispositionRules::dispose(Bts, rules),
              (QStringList{QStringLiteral("C"), QStringLiteral("M"), QStringLiteral("C"), QStringLiteral("M"),
                           QStringLiteral("M"), QStringLiteral("R"), QString(), QString(), QString()}));

    // The same two rows in the other order: the row returned first wins for city.
    const QStringList swapped{QStringLiteral("R:belongbsc,city"), QStringLiteral("M:city,belongroom,basenum")};
    EXPECT_EQ(DispositionRules::dispose(Bts, swapped).at(3), QStringLiteral("R"));

    // No rows at all: every shown field is kept, hidden ones stay empty.
    EXPECT_EQ(DispositionRules::dispose(Bts, {}),
              (QStringList{QStringLiteral("C"), QStringLiteral("C"), QStringLiteral("C"), QStringLiteral("C"),
                           QStringLiteral("C"), QStringLiteral("C"), QString(), QString(), QString()}));
}

TEST(DispositionRules, PlainSubstringMatchesPartsOfNamesAndMarkers)
{
    const AttrTable t = table({{"name", "char", "Y"}, {"M", "char", "Y"}, {"room", "char", "Y"}});
    // "name" is part of "basename"; "M" is the marker itself; "room" is part of "belongroom".
    const QStringList rules{QStringLiteral("O:basename"), QStringLiteral("M:belongroom")};
    EXPECT_EQ(DispositionRules::dispose(t, rules),
              (QStringList{QStringLiteral("O"), QStringLiteral("M"), QStringLiteral("M")}));
    // A picture or a field not flagged "Y" is never shown, whatever the rules say.
    EXPECT_EQ(DispositionRules::dispose(Bts, {QStringLiteral("M:photo,remark,vendor")}).mid(6),
              (QStringList{QString(), QString(), QString()}));
}

class DispositionRulesDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = std::make_unique<TestHost>(db);
        component.initEnv(host->objectArray());
    }
    void TearDown() override { mdlPubVar::instance().reset(); }

    TestDatabase db;
    std::unique_ptr<TestHost> host;
    clsMain component;
};

TEST_F(DispositionRulesDbTest, ReadMarksEachOptionRowOfTheNetwork)
{
    db.exec(QStringLiteral("insert into gui_option(g_name,g_value) values "
                           "('GBtsDispatchModify','city,belongroom'),('GBtsDispatchRemove','belongbsc'),"
                           "('GBtsDispatchChangeless','basenum'),('GBtsDispatchNoDisplay','remark'),"
                           "('GBtsDispatchExtra',null),('CBtsDispatchModify','vendor'),"
                           "('gBtsDispatchRemove','basename')"));
    bool ok = false;
    QStringList rules = DispositionRules::read(QStringLiteral("G"), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(host->recorder()->statements(), QStringList{DispositionRules::statement(QStringLiteral("G"))});
    std::sort(rules.begin(), rules.end());
    // The other network's row and the lower-case name (like is case-sensitive on the
    // server; SQLite's like is not, and the marker then tells it apart) never count as
    // this network's modify or remove row.
    QStringList expected{QStringLiteral("C:basenum"), QStringLiteral("M:city,belongroom"),
                         QStringLiteral("N:remark"), QStringLiteral("O:"), QStringLiteral("R:belongbsc")};
    if (!db.isPostgresql())
        expected.append(QStringLiteral("O:basename"));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(rules, expected);

    EXPECT_TRUE(DispositionRules::read(QStringLiteral("D"), &ok).isEmpty());
    EXPECT_TRUE(ok);

    host->recorder()->failWhen([](const QString&) { return true; });
    EXPECT_TRUE(DispositionRules::read(QStringLiteral("G"), &ok).isEmpty());
    EXPECT_FALSE(ok);
}

} // namespace
