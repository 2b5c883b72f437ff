// SPDX-License-Identifier: MIT
#include "data/demo_database.h"

#include "data/schema.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <array>
#include <memory>
#include <numeric>
#include <span>
#include <sqlite3.h>
#include <vector>

namespace corvan::host {

namespace {

using namespace Qt::StringLiterals;

constexpr int MaxRooms = 1'000'000;
constexpr QStringView ProvinceId = u"4";
constexpr QStringView ProvinceName = u"云江省";

// SplitMix64: tiny, fast, and the same sequence on every platform and standard library,
// which the standard distributions do not promise.
class Random {
public:
    explicit Random(quint64 seed) : state_(seed) {}
    quint64 next()
    {
        quint64 z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(qsizetype n) { return static_cast<int>(next() % static_cast<quint64>(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool percent(int p) { return below(100) < p; }
    template <std::size_t N> int weighted(const std::array<int, N>& weights)
    {
        int roll = below(std::accumulate(weights.begin(), weights.end(), 0));
        for (std::size_t i = 0; i < N; ++i) {
            if (roll < weights[i])
                return static_cast<int>(i);
            roll -= weights[i];
        }
        return static_cast<int>(N) - 1;
    }

private:
    quint64 state_;
};

template <typename... Parts> QString cat(const Parts&... parts)
{
    QString s;
    (s.append(parts), ...);
    return s;
}

QString padded(qint64 n, qsizetype width)
{
    const QString digits = QString::number(n);
    return digits.size() >= width ? digits : QString(width - digits.size(), u'0') + digits;
}

QString code20(qint64 n)
{
    return padded(n, 20);
}

const QVariant Null;

struct CityDef {
    QStringView id;
    QStringView name;
    QStringView counties; // blank separated
    int weight;
    int lonMicro; // centre, millionths of a degree
    int latMicro;
};

constexpr CityDef Cities[] = {
    {u"11", u"云州市", u"云城区 东湖区 西山区 南台区 北岭县 青石县", 20, 113'020'000, 28'190'000},
    {u"12", u"江城市", u"江城区 临江区 白鹭县 双河县", 11, 112'450'000, 27'860'000},
    {u"13", u"青阳市", u"青阳区 龙泉区 石桥县 桃源县 梅岭县", 12, 113'610'000, 27'420'000},
    {u"14", u"临川市", u"临川区 金溪县 崇安县", 8, 114'310'000, 27'950'000},
    {u"15", u"安平市", u"安平区 永安区 平和县 长泰县", 10, 112'880'000, 26'930'000},
    {u"16", u"宁远市", u"宁远区 新田县 蓝山县 道口县", 9, 111'620'000, 26'420'000},
    {u"17", u"白沙市", u"白沙区 沙洲区 清水县", 8, 110'980'000, 27'730'000},
    {u"18", u"枫林市", u"枫林区 红叶县 溪口县 南坪县", 11, 114'020'000, 28'830'000},
    {u"19", u"石门市", u"石门区 峡江县 古城县", 11, 111'470'000, 29'410'000},
};
constexpr int CityCount = static_cast<int>(std::size(Cities));

// Blank separated, split once per load.
constexpr QStringView Streets =
    u"人民路 解放路 中山路 建设路 新华路 和平路 胜利路 文化路 光明路 朝阳路 长江路 "
    u"黄河路 滨江路 迎宾大道 工业大道 学府路 青年路 东风路 红旗路 健康路 五一路 八一路 "
    u"公园路 体育路 湖滨路 环城路 站前路 兴业街 府前街 书院街";
constexpr QStringView Places =
    u"火车站 汽车站 人民医院 中心医院 第一中学 实验小学 师范学院 工业园 开发区 科技园 "
    u"农贸市场 电信大楼 移动大厦 体育馆 图书馆 国际酒店 步行街 中心广场 市政府 公安局 "
    u"邮政局 自来水厂 热电厂 水库 高速收费站 服务区 物流园 大学城 新村 花园小区";
constexpr QStringView Villages =
    u"张家村 李家村 王庄 刘家湾 陈家坪 杨柳村 黄土岭 马家堡 石板桥 大树坪 河口镇 新街镇 "
    u"高坪镇 龙岗镇 白石镇 三岔镇";

QStringList words(QStringView list)
{
    return list.toString().split(u' ');
}

struct NetworkDef {
    QStringView lower;
    QStringView upper;
    int roomShare; // percent of rooms with a BTS of this network
    qint64 basenumBase;
    QStringView vendors; // blank separated, in step with the types
    QStringView types;
    QStringView controller;
    int carriersMin;
    int carriersMax;
};

constexpr NetworkDef Networks[] = {
    {u"g", u"G", 85, 1'000'000, u"华为 爱立信 诺基亚 中兴", u"BTS3012 RBS2206 BS240 ZXG10-B8018", u"BSC", 2,
     12},
    {u"c", u"C", 70, 2'000'000, u"中兴 华为 阿朗", u"ZXC10-BTSB CBTS3612 MODCELL4.0", u"BSC", 1, 3},
    {u"d", u"D", 50, 3'000'000, u"华为 中兴 大唐 普天", u"DBS3900 ZXTR-B328 TDB18A PBS5200", u"RNC", 3, 9},
};
constexpr int NetworkCount = static_cast<int>(std::size(Networks));

// Appends rows to one table: on SQLite through a native statement prepared once (Qt's binding
// costs more than SQLite's insert), elsewhere in multi-row INSERTs, since one round trip per
// row would dominate the load. The first error sticks: later rows are refused, and finish()
// reports it, so a caller may check only there.
class TableWriter {
public:
    TableWriter(const QSqlDatabase& db, Engine engine, const QString& table, const QString& columns)
        : table_(table), head_(cat(u"insert into "_s, table, u"("_s, columns, u") values "_s)), query_(db)
    {
        if (engine == Engine::PostgreSQL)
            return;
        const QString sql =
            cat(head_, u"("_s, QStringList(columns.count(u',') + 1, u"?"_s).join(u','), u")"_s);
        // Drivers that do not hand out a SQLite handle get the multi-row statements too.
        const QVariant handle = db.driver()->handle();
        if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
            sqlite3* native = *static_cast<sqlite3* const*>(handle.constData());
            if (sqlite3_prepare_v2(native, sql.toUtf8().constData(), -1, &native_, nullptr) != SQLITE_OK)
                error_ = QString::fromUtf8(sqlite3_errmsg(native));
        }
    }
    ~TableWriter() { sqlite3_finalize(native_); }
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    bool add(std::initializer_list<QVariant> values)
    {
        if (!error_.isEmpty())
            return false;
        ++rows_;
        if (native_)
            return addNative(values);
        buffer_ += pending_ == 0 ? u"("_s : u",("_s;
        bool first = true;
        for (const QVariant& v : values) {
            if (!first)
                buffer_ += u',';
            first = false;
            appendLiteral(v);
        }
        buffer_ += u')';
        return ++pending_ < 1000 && buffer_.size() < 1'000'000 ? true : flush();
    }

    bool finish()
    {
        const bool ok = flush();
        query_.finish();
        sqlite3_finalize(native_);
        native_ = nullptr;
        return ok;
    }

    const QString& table() const { return table_; }
    qint64 rows() const { return rows_; }
    QString error() const { return cat(u"Cannot write "_s, table_, u": "_s, error_); }

private:
    bool addNative(std::initializer_list<QVariant> values)
    {
        int i = 0;
        for (const QVariant& v : values) {
            ++i;
            if (v.isNull()) {
                sqlite3_bind_null(native_, i);
            } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong) {
                sqlite3_bind_int64(native_, i, v.toLongLong());
            } else if (v.typeId() == QMetaType::Double) {
                sqlite3_bind_double(native_, i, v.toDouble());
            } else if (v.typeId() == QMetaType::QString) {
                // The text stays in the caller's variant until the step below is done.
                const QString& s = *static_cast<const QString*>(v.constData());
                sqlite3_bind_text16(native_, i, s.utf16(), static_cast<int>(s.size() * 2), SQLITE_STATIC);
            } else {
                error_ = u"unexpected value type "_s + QString::fromLatin1(v.typeName());
                return false;
            }
        }
        const int rc = sqlite3_step(native_);
        sqlite3_reset(native_);
        if (rc != SQLITE_DONE) {
            error_ = QString::fromUtf8(sqlite3_errstr(rc));
            return false;
        }
        return true;
    }

    bool flush()
    {
        if (!error_.isEmpty())
            return false;
        if (pending_ == 0)
            return true;
        const bool ok = query_.exec(head_ + buffer_);
        if (!ok)
            error_ = query_.lastError().text();
        buffer_.clear();
        pending_ = 0;
        return ok;
    }

    void appendLiteral(const QVariant& v)
    {
        if (v.isNull()) {
            buffer_ += u"null"_s;
            return;
        }
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
            buffer_ += QString::number(v.toLongLong());
            return;
        case QMetaType::Double:
            buffer_ += QString::number(v.toDouble(), 'g', 15);
            return;
        default:
            buffer_ += u'\'';
            buffer_ += v.toString().replace(u'\'', u"''"_s);
            buffer_ += u'\'';
        }
    }

    QString table_;
    QString head_;
    QSqlQuery query_;
    sqlite3_stmt* native_ = nullptr;
    QString buffer_;
    int pending_ = 0;
    qint64 rows_ = 0;
    QString error_;
};

struct FieldMeta {
    QStringView field;
    QStringView caption;
    QStringView type;
    QStringView group;
    QStringView flags; // display ('Y'/'N'), emphasis ('0'/'1'), required ('N' = must not be empty)
    QStringView lookup;
};

constexpr FieldMeta BtsFields[] = {
    {u"basecode", u"基站编码", u"char", u"基本信息", u"Y0Y", {}},
    {u"basenum", u"基站编号", u"int", u"基本信息", u"Y1N", {}},
    {u"basename", u"基站名称", u"char", u"基本信息", u"Y1N", {}},
    {u"opendate", u"开通日期", u"date", u"基本信息", u"Y0Y", {}},
    {u"status", u"运行状态", u"char", u"基本信息", u"Y0Y", {}},
    {u"city", u"所属地市", u"custom", u"位置信息", u"Y0N", u"city"},
    {u"county", u"所属区县", u"custom", u"位置信息", u"Y0Y", u"county"},
    {u"belongroom", u"所属机房", u"char", u"位置信息", u"Y0N", {}},
    {u"roomcode", u"机房编码", u"char", u"位置信息", u"N0Y", {}},
    {u"longitude", u"经度", u"num", u"位置信息", u"Y0Y", {}},
    {u"latitude", u"纬度", u"num", u"位置信息", u"Y0Y", {}},
    {u"belongbsc", u"所属BSC", u"char", u"设备信息", u"Y0Y", {}},
    {u"vendor", u"设备厂家", u"custom", u"设备信息", u"Y0Y", {}},
    {u"btstype", u"设备型号", u"char", u"设备信息", u"Y0Y", {}},
    {u"carriers", u"载频数", u"int", u"设备信息", u"Y0Y", {}},
    {u"shared", u"是否共享", u"custom", u"设备信息", u"Y0Y", {}},
    {u"remark", u"备注", u"char", u"其他信息", u"Y0Y", {}},
    {u"photo", u"站点照片", u"pic", u"其他信息", u"Y0Y", {}},
};
constexpr FieldMeta CellFields[] = {
    {u"cellcode", u"小区编码", u"char", u"基本信息", u"Y0Y", {}},
    {u"cellname", u"小区名称", u"char", u"基本信息", u"Y1Y", {}},
    {u"ci", u"小区CI", u"char", u"基本信息", u"Y1N", {}},
    {u"lac", u"位置区码", u"char", u"基本信息", u"Y0Y", {}},
    {u"city", u"所属地市", u"custom", u"位置信息", u"Y0N", u"city"},
    {u"county", u"所属区县", u"custom", u"位置信息", u"Y0Y", u"county"},
    {u"bts", u"所属基站编号", u"char", u"位置信息", u"Y0N", {}},
    {u"covertype", u"覆盖类型", u"char", u"其他信息", u"Y0Y", {}},
    {u"remark", u"备注", u"char", u"其他信息", u"Y0Y", {}},
};
constexpr FieldMeta AntennaFields[] = {
    {u"antcode", u"天线编码", u"char", u"基本信息", u"Y0Y", {}},
    {u"antname", u"天线名称", u"char", u"基本信息", u"Y1Y", {}},
    {u"ci", u"所属小区CI", u"char", u"位置信息", u"Y0N", {}},
    {u"city", u"所属地市", u"custom", u"位置信息", u"Y0N", u"city"},
    {u"anttype", u"天线类型", u"char", u"设备信息", u"Y0Y", {}},
    {u"azimuth", u"方位角", u"int", u"设备信息", u"Y0Y", {}},
    {u"height", u"挂高(米)", u"num", u"设备信息", u"Y0Y", {}},
    {u"downtilt", u"下倾角", u"int", u"设备信息", u"Y0Y", {}},
};
constexpr FieldMeta FeederFields[] = {
    {u"linecode", u"馈线编码", u"char", u"基本信息", u"Y0Y", {}},
    {u"lineid", u"馈线编号", u"char", u"基本信息", u"Y1Y", {}},
    {u"ci", u"所属小区CI", u"char", u"位置信息", u"Y0N", {}},
    {u"city", u"所属地市", u"custom", u"位置信息", u"Y0N", u"city"},
    {u"linetype", u"馈线类型", u"char", u"设备信息", u"Y0Y", {}},
    {u"linelength", u"馈线长度(米)", u"num", u"设备信息", u"Y0Y", {}},
};

struct RoomName {
    QString stem; // the part a BTS, its cells and antennas are named after
    QString name;
    QString type;
    QString address;
};

QVariant text(QStringView s)
{
    return s.toString();
}

class DemoLoad {
public:
    DemoLoad(const QSqlDatabase& db, const DemoOptions& options)
        : db_(db), engine_(engineOf(db)), options_(options), rng_(options.seed), streets_(words(Streets)),
          places_(words(Places)), villages_(words(Villages))
    {
        for (const CityDef& city : Cities)
            counties_ << words(city.counties);
        for (int n = 0; n < NetworkCount; ++n) {
            vendors_[n] = words(Networks[n].vendors);
            types_[n] = words(Networks[n].types);
            ciNext_[n].fill(10001, CityCount);
        }
        lastRoom_.resize(CityCount);
        cityStreet_.fill(0, CityCount * streets_.size());
        countyPlace_.fill(0, CityCount * MaxCounties * places_.size());
        countyVillage_.fill(0, CityCount * MaxCounties * villages_.size());
    }

    bool run(QString* error);
    const std::vector<std::unique_ptr<TableWriter>>& writers() const { return writers_; }

private:
    static constexpr int MaxCounties = 10;

    TableWriter* writer(const QString& table, const QString& columns)
    {
        writers_.push_back(std::make_unique<TableWriter>(db_, engine_, table, columns));
        return writers_.back().get();
    }
    bool done(TableWriter* w)
    {
        if (w->finish())
            return true;
        error_ = w->error();
        return false;
    }
    bool writeReferenceData();
    bool writeMetadata();
    static void writeFieldMeta(TableWriter* meta, const QString& view, std::span<const FieldMeta> fields,
                               int network);
    bool writeRooms();
    RoomName roomName(int city, int county);
    bool writeBts(int n, const RoomName& room, int city, int county, const QString& basenum, qint64 serial);
    QString countyId(int city, int county) const { return cat(Cities[city].id, padded(county + 1, 2)); }

    QSqlDatabase db_;
    Engine engine_;
    DemoOptions options_;
    Random rng_;
    QString error_;
    std::vector<std::unique_ptr<TableWriter>> writers_;
    const QStringList streets_;
    const QStringList places_;
    const QStringList villages_;
    QList<QStringList> counties_;
    QStringList vendors_[NetworkCount];
    QStringList types_[NetworkCount];
    QList<int> ciNext_[NetworkCount]; // per city
    qint64 cellSerial_[NetworkCount] = {};
    qint64 antSerial_[NetworkCount] = {};
    qint64 lineSerial_[NetworkCount] = {};
    // How many rooms already carry a street, place or village name, so the next gets a number.
    QList<int> cityStreet_;
    QList<int> countyPlace_;
    QList<int> countyVillage_;
    QList<RoomName> lastRoom_; // per city
    TableWriter* rooms_ = nullptr;
    TableWriter* bts_[NetworkCount] = {};
    TableWriter* cells_[NetworkCount] = {};
    TableWriter* ants_[NetworkCount] = {};
    TableWriter* lines_[NetworkCount] = {};
};

bool DemoLoad::writeReferenceData()
{
    // Each table is complete before the next, so PostgreSQL finds the rows its keys refer to.
    TableWriter* province = writer(u"com_province"_s, u"pro_id,pro_name"_s);
    province->add({text(ProvinceId), text(ProvinceName)});
    if (!done(province))
        return false;
    // The province spans its cities' centres with room to spare for the BTSs around them
    // (a quarter of a degree) and for sites yet to come.
    int lonMin = Cities[0].lonMicro, lonMax = lonMin, latMin = Cities[0].latMicro, latMax = latMin;
    for (const CityDef& c : Cities) {
        lonMin = std::min(lonMin, c.lonMicro);
        lonMax = std::max(lonMax, c.lonMicro);
        latMin = std::min(latMin, c.latMicro);
        latMax = std::max(latMax, c.latMicro);
    }
    constexpr int Margin = 1'000'000;
    TableWriter* extent = writer(u"corvan_province_extent"_s, u"pro_id,lon_min,lon_max,lat_min,lat_max"_s);
    extent->add({text(ProvinceId), (lonMin - Margin) / 1e6, (lonMax + Margin) / 1e6, (latMin - Margin) / 1e6,
                 (latMax + Margin) / 1e6});
    if (!done(extent))
        return false;
    TableWriter* cities = writer(u"com_city"_s, u"city_id,city_name,pro_id,showserial"_s);
    for (int c = 0; c < CityCount; ++c)
        cities->add({text(Cities[c].id), text(Cities[c].name), text(ProvinceId), c + 1});
    if (!done(cities))
        return false;
    TableWriter* counties = writer(u"com_county"_s, u"county_id,county_name,city_id"_s);
    for (int c = 0; c < CityCount; ++c) {
        for (int k = 0; k < counties_[c].size(); ++k)
            counties->add({countyId(c, k), counties_[c][k], text(Cities[c].id)});
    }
    return done(counties);
}

void DemoLoad::writeFieldMeta(TableWriter* meta, const QString& view, std::span<const FieldMeta> fields,
                              int network)
{
    int serial = 0;
    for (const FieldMeta& f : fields) {
        QString caption = f.caption.toString();
        if (network == 2 && f.field == u"belongbsc")
            caption = u"所属RNC"_s;
        else if (network == 2 && f.field == u"carriers")
            caption = u"载波数"_s;
        meta->add({view, text(f.field), ++serial, caption, text(f.type), text(f.group),
                   text(f.flags.mid(0, 1)), text(f.flags.mid(1, 1)), text(f.flags.mid(2, 1)),
                   f.lookup.isEmpty() ? Null : text(f.lookup)});
    }
}

bool DemoLoad::writeMetadata()
{
    // Which BTS fields a relocation changes, clears, keeps and hides, a little different per network.
    const QString modify[] = {u"city,county,belongroom,longitude,latitude"_s,
                              u"city,county,belongroom,longitude,latitude,shared"_s,
                              u"city,county,belongroom,belongbsc,longitude,latitude"_s};
    const QString remove[] = {u"belongbsc,remark"_s, u"belongbsc,remark"_s, u"remark"_s};
    const QString keep[] = {u"basecode,basenum,basename,vendor,btstype,carriers,opendate,shared"_s,
                            u"basecode,basenum,basename,vendor,btstype,carriers,opendate,status"_s,
                            u"basecode,basenum,basename,vendor,btstype,carriers,opendate,status,shared"_s};
    TableWriter* options = writer(u"gui_option"_s, u"g_name,g_value"_s);
    for (int n = 0; n < NetworkCount; ++n) {
        const QString prefix = cat(Networks[n].upper, u"BtsDispatch"_s);
        options->add({prefix + u"Modify"_s, modify[n]});
        options->add({prefix + u"Remove"_s, remove[n]});
        options->add({prefix + u"Changeless"_s, keep[n]});
        options->add({prefix + u"NoDisplay"_s, u"photo"_s});
    }
    options->add({u"GBtsDispatchExtra"_s, u"status"_s}); // any other row of the family hides its fields
    if (!done(options))
        return false;

    TableWriter* rules =
        writer(u"tabledictionarynew"_s, u"tablename,enfield,chfield,getrule,customselectrule"_s);
    TableWriter* keys = writer(u"tablebaseinfo"_s, u"queryfromview,tablename,chname,judgeunique"_s);
    const QString cityRule = cat(u"select city_id,city_name from com_city where pro_id='"_s, ProvinceId,
                                 u"' order by showserial"_s);
    for (int n = 0; n < NetworkCount; ++n) {
        const QString table = cat(u"res_"_s, Networks[n].lower, u"bts"_s);
        rules->add({table, u"city"_s, u"所属地市"_s, cityRule, Null});
        rules->add(
            {table, u"county"_s, u"所属区县"_s, Null, u"county_id,county_name;v_com_county;city,city"_s});
        rules->add({table, u"shared"_s, u"是否共享"_s, u"YN"_s, Null});
        rules->add(
            {table, u"vendor"_s, u"设备厂家"_s, cat(u"select distinct vendor,vendor from "_s, table), Null});
        rules->add({table, u"belongbsc"_s, n == 2 ? u"所属RNC"_s : u"所属BSC"_s, Null,
                    cat(u"distinct belongbsc,belongbsc;"_s, table, u";city,city"_s)});
        keys->add({cat(u"v_res_"_s, Networks[n].lower, u"bts"_s), table, cat(Networks[n].upper, u"网基站"_s),
                   u"basenum,basename"_s});
    }
    if (!done(rules) || !done(keys))
        return false;

    TableWriter* meta =
        writer(u"host_field"_s,
               u"viewname,fieldname,serial,caption,datatype,groupname,display,emphasis,required,lookup"_s);
    for (int n = 0; n < NetworkCount; ++n) {
        const QStringView l = Networks[n].lower;
        writeFieldMeta(meta, cat(u"v_res_"_s, l, u"bts"_s), BtsFields, n);
        writeFieldMeta(meta, cat(u"res_"_s, l, u"cell"_s), CellFields, n);
        writeFieldMeta(meta, cat(u"res_"_s, l, u"ant"_s), AntennaFields, n);
        writeFieldMeta(meta, cat(u"res_"_s, l, u"antline"_s), FeederFields, n);
    }
    if (!done(meta))
        return false;

    // "admin" sees every city; "demo" every city but the last, so rights can be seen at work.
    // "reviewer" may review plans for every city and relocate none: the second person a plan
    // of "admin" or "demo" waits for.
    TableWriter* users = writer(u"host_user"_s, u"username,fullname"_s);
    users->add({u"admin"_s, u"系统管理员"_s});
    users->add({u"demo"_s, u"演示用户"_s});
    users->add({u"reviewer"_s, u"计划审核员"_s});
    if (!done(users))
        return false;
    TableWriter* rights = writer(u"host_right"_s, u"username,funcno,city_id"_s);
    for (int c = 0; c < CityCount; ++c) {
        rights->add({u"admin"_s, u"13"_s, text(Cities[c].id)});
        if (c + 1 < CityCount)
            rights->add({u"demo"_s, u"13"_s, text(Cities[c].id)});
        rights->add({u"reviewer"_s, u"14"_s, text(Cities[c].id)});
    }
    if (!done(rights))
        return false;
    if (!options_.reviewRequired)
        return true;
    TableWriter* setting = writer(u"corvan_review_setting"_s, u"pro_id,required"_s);
    // "1" is true to both engines: a boolean literal on the server, an integer in the file.
    setting->add({text(ProvinceId), u"1"_s});
    return done(setting);
}

RoomName DemoLoad::roomName(int city, int county)
{
    const QString& countyName = counties_[city][county];
    const qsizetype countyKey = city * MaxCounties + county;
    const int street = rng_.below(streets_.size());
    int& streetNo = cityStreet_[city * streets_.size() + street];
    // A second room at the same place gets a number, so names stay mostly unique at any scale.
    auto numbered = [](int n) {
        return n > 1 ? QString::number(n) + u"号"_s : QString();
    };
    // At a place, on a street, in a village, a place's hub, a county street's access room.
    static constexpr QStringView suffix[] = {u"通信机房", u"基站机房", u"基站机房", u"汇聚机房", u"接入机房"};
    static constexpr QStringView type[] = {u"综合机房", u"基站机房", u"基站机房", u"汇聚机房", u"接入机房"};
    const int pattern = rng_.weighted(std::array{30, 30, 20, 10, 10});
    const bool onStreet = pattern == 1 || pattern == 4;
    RoomName r;
    if (onStreet) {
        r.stem = cat(pattern == 4 ? countyName : QString(), streets_[street], QString::number(++streetNo),
                     u"号"_s);
    } else if (pattern == 2) {
        const int village = rng_.below(villages_.size());
        const int n = ++countyVillage_[countyKey * villages_.size() + village];
        r.stem = cat(countyName, villages_[village], numbered(n));
    } else {
        const int place = rng_.below(places_.size());
        const int n = ++countyPlace_[countyKey * places_.size() + place];
        r.stem = cat(countyName, places_[place], numbered(n));
    }
    r.name = cat(r.stem, suffix[pattern]);
    r.type = type[pattern].toString();
    const int houseNo = onStreet ? streetNo : rng_.between(1, 300);
    r.address = cat(countyName, streets_[street], QString::number(houseNo), u"号"_s);
    return r;
}

bool DemoLoad::writeRooms()
{
    rooms_ =
        writer(u"res_baseroom"_s, u"roomcode,roomname,roomno,city,county,address,roomtype,gbts,cbts,dbts"_s);
    for (int n = 0; n < NetworkCount; ++n) {
        const QString l = Networks[n].lower.toString();
        bts_[n] =
            writer(u"res_"_s + l + u"bts"_s, u"basecode,basenum,basename,city,county,belongroom,belongbsc,"
                                             u"vendor,btstype,carriers,longitude,latitude,opendate,status,"
                                             u"shared,remark"_s);
        cells_[n] =
            writer(u"res_"_s + l + u"cell"_s, u"cellcode,cellname,ci,lac,city,county,bts,covertype"_s);
        ants_[n] =
            writer(u"res_"_s + l + u"ant"_s, u"antcode,antname,ci,city,anttype,azimuth,height,downtilt"_s);
        lines_[n] = writer(u"res_"_s + l + u"antline"_s, u"linecode,lineid,ci,city,linetype,linelength"_s);
    }
    std::array<int, CityCount> cityWeights{};
    for (std::size_t c = 0; c < cityWeights.size(); ++c)
        cityWeights[c] = Cities[c].weight;

    const int total = options_.rooms;
    qint64 btsSerial[NetworkCount] = {};
    int reported = 0;
    for (int i = 1; i <= total; ++i) {
        const int city = rng_.weighted(cityWeights);
        const int county = rng_.below(counties_[city].size());
        // Now and then a room repeats the name of the city's previous one, as real data does.
        const bool repeat = rng_.percent(1) && !lastRoom_[city].name.isEmpty();
        const RoomName room = repeat ? lastRoom_[city] : roomName(city, county);
        lastRoom_[city] = room;

        QString basenum[NetworkCount];
        QVariant held[NetworkCount];
        for (int n = 0; n < NetworkCount; ++n) {
            if (rng_.percent(Networks[n].roomShare)) {
                basenum[n] = QString::number(Networks[n].basenumBase + ++btsSerial[n]);
                held[n] = basenum[n];
            }
        }
        const QVariant roomNo = rng_.percent(1) ? Null : QVariant(u"JF-"_s + padded(i, 7));
        if (!rooms_->add({code20(i), room.name, roomNo, text(Cities[city].id), countyId(city, county),
                          room.address, room.type, held[0], held[1], held[2]}))
            return done(rooms_);
        for (int n = 0; n < NetworkCount; ++n) {
            if (!basenum[n].isEmpty() && !writeBts(n, room, city, county, basenum[n], btsSerial[n]))
                return false;
        }
        const int percent = static_cast<int>(static_cast<qint64>(i) * 99 / total);
        if (percent != reported && options_.progress) {
            reported = percent;
            options_.progress(percent);
        }
    }
    return true;
}

bool DemoLoad::writeBts(int n, const RoomName& room, int city, int county, const QString& basenum,
                        qint64 serial)
{
    static const QStringView statuses[] = {u"在网", u"工程", u"停用"};
    static const QStringView remarks[] = {u"租用铁塔", u"与联通共址", u"需要整改", u"业主协调困难"};
    static const QStringView covers[] = {u"宏站", u"室内分布", u"微蜂窝", u"拉远站"};
    static const QStringView antennaTypes[] = {u"定向", u"全向", u"电调", u"美化"};
    static const QStringView feederTypes[] = {u"7/8\"", u"1/2\"", u"5/4\""};

    const NetworkDef& net = Networks[n];
    const CityDef& c = Cities[city];
    const QString cityId = c.id.toString();
    const QString countyCode = countyId(city, county);

    const int vendor = rng_.below(vendors_[n].size());
    const QString controller = cat(c.name.chopped(1), net.controller, padded(rng_.between(1, 4), 2));
    const int carriers = rng_.between(net.carriersMin, net.carriersMax);
    const double longitude = (c.lonMicro + rng_.between(-250'000, 250'000)) / 1e6;
    const double latitude = (c.latMicro + rng_.between(-250'000, 250'000)) / 1e6;
    const QString opened = cat(QString::number(rng_.between(2002, 2012)), u"-"_s,
                               padded(rng_.between(1, 12), 2), u"-"_s, padded(rng_.between(1, 28), 2));
    const QVariant status = text(statuses[rng_.weighted(std::array{90, 6, 4})]);
    const QVariant shared = rng_.percent(30) ? u"Y"_s : u"N"_s;
    const QVariant remark = rng_.percent(10) ? text(remarks[rng_.below(std::size(remarks))]) : Null;
    if (!bts_[n]->add({code20(serial), basenum, cat(room.stem, net.upper, u"网基站"_s), cityId, countyCode,
                       room.name, controller, vendors_[n].at(vendor), types_[n].at(vendor), carriers,
                       longitude, latitude, opened, status, shared, remark}))
        return done(bts_[n]);

    const QString lac = QString::number((n + 1) * 10000 + c.id.toInt() * 100 + county + 1);
    const int cellCount = 1 + rng_.weighted(std::array{10, 15, 45, 15, 10, 5});
    for (int s = 1; s <= cellCount; ++s) {
        const QString ci = QString::number(ciNext_[n][city]++);
        const QString label = cat(room.stem, net.upper, u"-"_s, QString::number(s));
        const QVariant cellName = rng_.percent(2) ? Null : QVariant(label);
        const QVariant cover = text(covers[rng_.weighted(std::array{60, 25, 10, 5})]);
        if (!cells_[n]->add(
                {code20(++cellSerial_[n]), cellName, ci, lac, cityId, countyCode, basenum, cover}))
            return done(cells_[n]);

        const int antennas = 1 + rng_.weighted(std::array{30, 50, 20});
        for (int a = 1; a <= antennas; ++a) {
            const QVariant type = text(antennaTypes[rng_.weighted(std::array{55, 10, 25, 10})]);
            const int azimuth = ((s - 1) * 360 / cellCount + rng_.between(-10, 10) + 360) % 360;
            const double height = rng_.between(30, 120) / 2.0;
            const int downtilt = rng_.between(0, 12);
            if (!ants_[n]->add({code20(++antSerial_[n]), cat(label, u"天线"_s, QString::number(a)), ci,
                                cityId, type, azimuth, height, downtilt}))
                return done(ants_[n]);
        }
        const int feeders = 1 + rng_.weighted(std::array{30, 50, 20});
        for (int f = 1; f <= feeders; ++f) {
            const qint64 serialNo = ++lineSerial_[n];
            const QVariant lineId = rng_.percent(2) ? Null : QVariant(u"KX"_s + padded(serialNo, 8));
            const QVariant type = text(feederTypes[rng_.weighted(std::array{60, 30, 10})]);
            const double length = rng_.between(50, 800) / 10.0;
            if (!lines_[n]->add({code20(serialNo), lineId, ci, cityId, type, length}))
                return done(lines_[n]);
        }
    }
    return true;
}

bool DemoLoad::run(QString* error)
{
    bool ok = writeReferenceData() && writeMetadata() && writeRooms();
    for (const auto& w : writers_)
        ok = ok && done(w.get());
    if (!ok && error)
        *error = error_;
    return ok;
}

// Every table the load writes; all must be empty before it starts.
const QStringList& demoTables()
{
    static const QStringList tables = [] {
        QStringList t{u"com_province"_s,  u"corvan_province_extent"_s,
                      u"com_city"_s,      u"com_county"_s,
                      u"gui_option"_s,    u"tabledictionarynew"_s,
                      u"tablebaseinfo"_s, u"host_field"_s,
                      u"host_user"_s,     u"host_right"_s,
                      u"res_baseroom"_s};
        for (const NetworkDef& net : Networks) {
            for (const QStringView kind : {u"bts", u"cell", u"ant", u"antline"})
                t << cat(u"res_"_s, net.lower, kind);
        }
        return t;
    }();
    return tables;
}

// An index is built from all rows at once far faster than it is kept up to date row by row, so
// the secondary indexes of the tables being filled go for the load and come back at its end,
// inside the same transaction. The keys stay: they guard the rows as they arrive. Returns the
// statements that recreate the indexes.
bool setIndexesAside(QSqlDatabase& db, QStringList* recreate, QString* error)
{
    const QString tables = u"('"_s + demoTables().join(u"','"_s) + u"')"_s;
    QSqlQuery query(db);
    const bool listed =
        engineOf(db) == Engine::PostgreSQL
            ? query.exec(u"select indexname, indexdef from pg_indexes i where schemaname = current_schema() "
                         u"and tablename in "_s +
                         tables +
                         u" and not exists (select 1 from pg_constraint c where c.conname = i.indexname) "
                         u"order by indexname"_s)
            : query.exec(u"select name, sql from sqlite_master where type = 'index' and sql is not null "
                         u"and tbl_name in "_s +
                         tables + u" order by name"_s);
    if (!listed) {
        *error = u"Cannot read the indexes: "_s + query.lastError().text();
        return false;
    }
    QStringList names;
    while (query.next()) {
        names << query.value(0).toString();
        *recreate << query.value(1).toString();
    }
    query.finish();
    for (const QString& name : names) {
        if (!query.exec(u"drop index "_s + name)) {
            *error = u"Cannot set aside an index: "_s + query.lastError().text();
            return false;
        }
    }
    return true;
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

bool createDemoData(QSqlDatabase db, const DemoOptions& options, DemoReport* report, QString* error)
{
    if (options.rooms < 1 || options.rooms > MaxRooms)
        return fail(error, u"The number of rooms must lie between 1 and %1, not %2"_s.arg(MaxRooms).arg(
                               options.rooms));
    if (!db.isOpen())
        return fail(error, u"The database is not open"_s);
    {
        QSqlQuery probe(db);
        for (const QString& table : demoTables()) {
            if (!probe.exec(u"select 1 from "_s + table + u" limit 1"_s))
                return fail(error, u"The database lacks the schema: "_s + probe.lastError().text());
            if (probe.next())
                return fail(error, u"The database already holds data: table "_s + table + u" is not empty"_s);
        }
    }
    if (options.progress)
        options.progress(0);

    // The load is one transaction; on SQLite nothing needs to reach the disk before its end.
    QString synchronous;
    if (engineOf(db) == Engine::SQLite) {
        QSqlQuery pragma(db);
        if (pragma.exec(u"pragma synchronous"_s) && pragma.next())
            synchronous = pragma.value(0).toString();
        pragma.exec(u"pragma synchronous=OFF"_s);
    }
    QString failure;
    DemoReport written;
    bool ok = db.transaction();
    if (!ok)
        failure = u"Cannot begin a transaction: "_s + db.lastError().text();
    QStringList indexes;
    ok = ok && setIndexesAside(db, &indexes, &failure);
    if (ok) {
        DemoLoad load(db, options);
        ok = load.run(&failure);
        for (const auto& w : load.writers())
            written.rowCounts[w->table()] += w->rows();
    }
    for (const QString& statement : std::as_const(indexes)) {
        QSqlQuery query(db);
        if (ok && !query.exec(statement)) {
            ok = false;
            failure =
                cat(u"Cannot rebuild an index: "_s, query.lastError().text(), u"\nStatement: "_s, statement);
        }
    }
    if (ok && !db.commit()) {
        ok = false;
        failure = u"Cannot commit the demo data: "_s + db.lastError().text();
    }
    if (!ok)
        db.rollback();
    if (!synchronous.isEmpty())
        QSqlQuery(db).exec(u"pragma synchronous="_s + synchronous);
    if (!ok)
        return fail(error, failure);
    if (report)
        *report = written;
    if (options.progress)
        options.progress(100);
    if (error)
        error->clear();
    return true;
}

} // namespace corvan::host
