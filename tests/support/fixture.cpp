// SPDX-License-Identifier: MIT
#include "fixture.h"

#include <QStringList>

#include "test_database.h"

namespace corvan::test {

namespace {

// viewname-independent field metadata: name, caption, type, group, display, emphasis,
// required, lookup.
const char* const BtsFields[][8] = {
    {"basecode", "基站编码", "char", "基本信息", "Y", "0", "Y", ""},
    {"basenum", "基站编号", "int", "基本信息", "Y", "1", "N", ""},
    {"basename", "基站名称", "char", "基本信息", "Y", "1", "N", ""},
    {"city", "所属地市", "custom", "位置信息", "Y", "0", "N", "city"},
    {"county", "所属区县", "custom", "位置信息", "Y", "0", "Y", "county"},
    {"belongroom", "所属机房", "char", "位置信息", "Y", "0", "N", ""},
    {"roomcode", "机房编码", "char", "位置信息", "N", "0", "Y", ""},
    {"belongbsc", "所属BSC", "char", "设备信息", "Y", "0", "Y", ""},
    {"carriers", "载频数", "int", "设备信息", "Y", "0", "Y", ""},
    {"remark", "备注", "char", "其他信息", "Y", "0", "Y", ""},
    {"photo", "站点照片", "pic", "其他信息", "Y", "1", "Y", ""},
};

QString literal(const char* text)
{
    const QString value = QString::fromUtf8(text);
    return value.isEmpty() ? QStringLiteral("null") : QLatin1Char('\'') + value + QLatin1Char('\'');
}

} // namespace

void Fixture::load(TestDatabase& db)
{
    db.exec(QStringLiteral("insert into com_province(pro_id,pro_name) values ('4','测试省')"));
    db.exec(QStringLiteral("insert into com_city(city_id,city_name,pro_id,showserial) values "
                           "('11','甲市','4',2),('12','乙市','4',1),('13','丙市','4',3)"));
    db.exec(QStringLiteral(
        "insert into com_county(county_id,county_name,city_id) values "
        "('1101','东区','11'),('1102','西区','11'),('1201','北县','12'),('1301','南县','13')"));
    db.exec(QStringLiteral("insert into host_user(username,fullname) values ('demo','演示用户')"));
    db.exec(QStringLiteral("insert into host_right(username,funcno,city_id) values "
                           "('demo','13','11'),('demo','13','12')"));
    db.exec(
        QStringLiteral("insert into res_baseroom(roomcode,roomname,roomno,city,county,gbts,cbts,dbts) values "
                       "('%1','一号机房','JF-001','11','1101','101','201',null),"
                       "('%2','二号机房','JF-002','11','1101',null,'202',null),"
                       "('%3','一号机房','JF-003','11','1102',null,null,null),"
                       "('%4','三号机房',null,'11','1102',null,null,null),"
                       "('%5','空机房','JF-005','12','1201',null,null,null),"
                       "('%6','远方机房','JF-006','99','9901',null,null,null)")
            .arg(roomCode(1), roomCode(2), roomCode(3), roomCode(4), roomCode(5), roomCode(6)));
    db.exec(QStringLiteral(
                "insert into res_gbts(basecode,basenum,basename,city,county,belongroom,belongbsc,carriers,"
                "remark) values "
                "('%1','101','甲一G基站','11','1101','一号机房','BSC1',6,'老站'),"
                "('%2','102','甲二G基站','11','1102',null,'BSC2',2,null)")
                .arg(btsCode(101), btsCode(102)));
    db.exec(QStringLiteral(
                "insert into res_cbts(basecode,basenum,basename,city,county,belongroom,belongbsc,carriers) "
                "values ('%1','201','甲一C基站','11','1101','一号机房','BSC8',1),"
                "('%2','202','甲二C基站','11','1101','二号机房','BSC8',3)")
                .arg(btsCode(201), btsCode(202)));

    QStringList meta;
    for (const char* view : {"v_res_gbts", "v_res_cbts", "v_res_dbts"}) {
        int serial = 0;
        for (const auto& f : BtsFields) {
            meta << QStringLiteral("('%1','%2',%3,'%4','%5','%6','%7','%8','%9',%10)")
                        .arg(QString::fromUtf8(view), QString::fromUtf8(f[0]), QString::number(++serial),
                             QString::fromUtf8(f[1]), QString::fromUtf8(f[2]), QString::fromUtf8(f[3]),
                             QString::fromUtf8(f[4]), QString::fromUtf8(f[5]), QString::fromUtf8(f[6]))
                        .arg(literal(f[7]));
        }
    }
    db.exec(
        QStringLiteral("insert into host_field(viewname,fieldname,serial,caption,datatype,groupname,display,"
                       "emphasis,required,lookup) values ") +
        meta.join(QLatin1Char(',')));
}

} // namespace corvan::test
