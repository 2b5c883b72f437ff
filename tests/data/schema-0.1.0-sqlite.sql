-- SPDX-License-Identifier: MIT
-- Resource database on SQLite. Codes and identifiers are text; bare numbers in the
-- component's statements meet them through SQLite's text affinity. to_number and
-- to_date are registered by the host on every connection.

create table com_province (
  pro_id     text not null primary key,
  pro_name   text not null unique
);

create table com_city (
  city_id    text not null primary key,
  city_name  text not null,
  pro_id     text not null references com_province(pro_id),
  showserial integer
);
create index ix_com_city_pro on com_city(pro_id, showserial);
create index ix_com_city_name on com_city(city_name);

create table com_county (
  county_id   text not null primary key,
  county_name text not null,
  city_id     text not null references com_city(city_id)
);
create index ix_com_county_city on com_county(city_id);

-- Counties under the column name the field rules filter by ("city"), so a rule can offer
-- the counties of the record's own city.
create view v_com_county as
  select county_id, county_name, city_id as city from com_county;

create table res_baseroom (
  roomcode  text not null primary key,
  roomname  text not null,
  roomno    text,
  city      text,
  county    text,
  address   text,
  roomtype  text,
  gbts      text,
  cbts      text,
  dbts      text
);
create index ix_res_baseroom_city on res_baseroom(city, roomname);
create index ix_res_baseroom_order on res_baseroom(city, county, roomno);
create index ix_res_baseroom_gbts on res_baseroom(gbts);
create index ix_res_baseroom_cbts on res_baseroom(cbts);
create index ix_res_baseroom_dbts on res_baseroom(dbts);

-- @network-begin
create table res_@bts (
  basecode   text not null primary key,
  basenum    text,
  basename   text,
  city       text,
  county     text,
  belongroom text,
  belongbsc  text,
  vendor     text,
  btstype    text,
  carriers   integer,
  longitude  real,
  latitude   real,
  opendate   text,
  status     text,
  shared     text,
  remark     text,
  photo      blob
);
-- The number is unique within a network once given; a cleared number may repeat. The partial
-- index cannot serve "basenum=12" on SQLite, so a plain one does the lookups.
create unique index ux_res_@bts_basenum on res_@bts(basenum) where basenum is not null and basenum <> '';
create index ix_res_@bts_basenum on res_@bts(basenum);
create index ix_res_@bts_city on res_@bts(city, basename);

create table res_@cell (
  cellcode  text not null primary key,
  cellname  text,
  ci        text,
  lac       text,
  city      text,
  county    text,
  bts       text,
  covertype text,
  remark    text
);
create index ix_res_@cell_bts on res_@cell(city, bts);
create index ix_res_@cell_ci on res_@cell(city, ci);

create table res_@ant (
  antcode  text not null primary key,
  antname  text,
  ci       text,
  city     text,
  anttype  text,
  azimuth  integer,
  height   real,
  downtilt integer
);
create index ix_res_@ant_ci on res_@ant(city, ci);

create table res_@antline (
  linecode   text not null primary key,
  lineid     text,
  ci         text,
  city       text,
  linetype   text,
  linelength real
);
create index ix_res_@antline_ci on res_@antline(city, ci);

-- The room of a BTS is the room whose network column holds the BTS's number.
create view v_res_@bts as
  select b.*, r.roomcode as roomcode
  from res_@bts b left join res_baseroom r on r.@bts = b.basenum and b.basenum <> '';
-- @network-end

create view v_res_bts as
  select 'G' as net, basecode, basenum, basename, city, county, belongroom, roomcode from v_res_gbts
  union all
  select 'C' as net, basecode, basenum, basename, city, county, belongroom, roomcode from v_res_cbts
  union all
  select 'D' as net, basecode, basenum, basename, city, county, belongroom, roomcode from v_res_dbts;

create table gui_option (
  g_name  text not null primary key,
  g_value text
);

create table tabledictionarynew (
  tablename        text not null,
  enfield          text not null,
  chfield          text,
  getrule          text,
  customselectrule text,
  primary key (tablename, enfield)
);

create table tablebaseinfo (
  queryfromview text not null primary key,
  tablename     text,
  chname        text,
  judgeunique   text
);

create table h_btsdispatch (
  discode    text not null primary key,
  distime    text,
  disuser    text,
  net        text,
  fromcity   text,
  tocity     text,
  fromroom   text,
  toroom     text,
  simplemode text,
  disinfo    text
);
create index ix_h_btsdispatch_time on h_btsdispatch(distime);

-- The host's own metadata: how a resource record is shown (captions, types, groups,
-- flags) and which coded columns are displayed through a lookup.
create table host_field (
  viewname  text not null,
  fieldname text not null,
  serial    integer not null,
  caption   text not null,
  datatype  text not null check (datatype in ('char', 'custom', 'num', 'int', 'date', 'pic')),
  groupname text,
  display   text not null default 'Y' check (display in ('Y', 'N')),
  emphasis  text not null default '0' check (emphasis in ('0', '1')),
  -- 'N' marks a field that must not be empty.
  required  text not null default 'Y' check (required in ('Y', 'N')),
  lookup    text check (lookup in ('city', 'county')),
  primary key (viewname, fieldname)
);

create table host_user (
  username text not null primary key,
  fullname text
);

-- Rights per user and function number; function 13 lists the cities a user may query.
create table host_right (
  username text not null references host_user(username),
  funcno   text not null,
  city_id  text not null references com_city(city_id),
  primary key (username, funcno, city_id)
);
