// SPDX-License-Identifier: MIT
#include "wizard_fixture.h"

#include "fixture.h"
#include "test_database.h"

namespace corvan::test {

void WizardFixture::load(TestDatabase& db)
{
    Fixture::load(db);
    db.exec(QStringLiteral(
        "insert into gui_option(g_name,g_value) values "
        "('GBtsDispatchModify','city,belongroom,remark'),('GBtsDispatchRemove','belongbsc,carriers'),"
        "('GBtsDispatchChangeless','basecode,basenum,basename,county'),"
        "('GBtsDispatchNoDisplay','photo'),"
        "('CBtsDispatchModify','city,belongroom'),('CBtsDispatchRemove','remark')"));
    db.exec(
        QStringLiteral("insert into tabledictionarynew(tablename,enfield,getrule,customselectrule) values "
                       "('res_gbts','city','select city_id,city_name from com_city where pro_id=''4'' order "
                       "by showserial',null),"
                       "('res_cbts','city','select city_id,city_name from com_city where pro_id=''4'' order "
                       "by showserial',null)"));
    db.exec(QStringLiteral("insert into tablebaseinfo(queryfromview,judgeunique) values "
                           "('v_res_gbts','basenum,basename'),('v_res_cbts','basenum,basename')"));
    db.exec(QStringLiteral("insert into res_gcell(cellcode,cellname,ci,lac,city,county,bts) values "
                           "('%1','甲一小区1','3021','101','11','1101','101'),"
                           "('%2',null,'3022','101','11','1101','101'),"
                           "('%3','甲一小区3','3023','101','11','1101','101'),"
                           "('%4','甲一小区4','3024','101','11','1101','101'),"
                           "('%5','甲二小区1','3031','102','11','1102','102')")
                .arg(Fixture::roomCode(301), Fixture::roomCode(302), Fixture::roomCode(303),
                     Fixture::roomCode(304), Fixture::roomCode(305)));
    db.exec(QStringLiteral("insert into res_gant(antcode,antname,ci,city) values "
                           "('%1','A1','3021','11'),('%2','A2','3021','11'),('%3','A3','3022','11'),"
                           "('%4','A4','3023','11'),('%5','A5','3024','11'),('%6','A6','3024','11'),"
                           "('%7','A7','3031','11')")
                .arg(Fixture::roomCode(401), Fixture::roomCode(402), Fixture::roomCode(403),
                     Fixture::roomCode(404), Fixture::roomCode(405), Fixture::roomCode(406),
                     Fixture::roomCode(407)));
    db.exec(QStringLiteral("insert into res_gantline(linecode,lineid,ci,city) values "
                           "('%1','L-01','3021','11'),('%2','L-02','3022','11'),('%3',null,'3023','11'),"
                           "('%4','L-04','3024','11'),('%5','L-05','3024','11')")
                .arg(Fixture::roomCode(501), Fixture::roomCode(502), Fixture::roomCode(503),
                     Fixture::roomCode(504), Fixture::roomCode(505)));
    db.exec(
        QStringLiteral("insert into host_field(viewname,fieldname,serial,caption,datatype,groupname,display,"
                       "emphasis,required,lookup) values "
                       "('res_gcell','cellcode',1,'小区编码','char','基本信息','Y','0','Y',null),"
                       "('res_gcell','cellname',2,'小区名称','char','基本信息','Y','1','Y',null),"
                       "('res_gcell','ci',3,'小区CI','char','基本信息','Y','1','N',null),"
                       "('res_gcell','city',4,'所属地市','custom','位置信息','Y','0','N','city'),"
                       "('res_gcell','bts',5,'所属基站编号','char','位置信息','Y','0','N',null)"));
}

QStringList WizardFixture::dump(TestDatabase& db)
{
    QStringList all;
    const char* const queries[] = {
        "select basecode,basenum,basename,city,county,belongroom,belongbsc,carriers,remark from res_gbts "
        "order by basecode",
        "select basecode,basenum,basename,city,county,belongroom,belongbsc,carriers,remark from res_cbts "
        "order by basecode",
        "select roomcode,gbts,cbts,dbts from res_baseroom order by roomcode",
        "select cellcode,ci,bts from res_gcell order by cellcode",
        "select antcode,ci from res_gant order by antcode",
        "select linecode,lineid from res_gantline order by linecode",
        "select discode,distime,disuser,net,fromcity,tocity,fromroom,toroom,simplemode,disinfo from "
        "h_btsdispatch "
        "order by discode"};
    for (const char* sql : queries)
        all << db.rows(QString::fromUtf8(sql));
    return all;
}

} // namespace corvan::test
