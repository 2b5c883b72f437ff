-- SPDX-License-Identifier: MIT
-- Resource database on SQLite. Codes and identifiers are text; bare numbers in the
-- component's statements meet them through SQLite's text affinity. to_number and
-- to_date are registered by the host on every connection.
--
-- Each release that changes the schema gives it a version: what a version adds stands
-- between "-- @since-begin N" and "-- @since-end", and a database of an earlier version is
-- brought up to date by running those statements, version by version (the specified
-- tables' data is never touched). Everything outside such a block is version 1, the schema
-- of corvan 0.1.0, which never changes.

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
-- @since-begin 2
-- The next record code is the largest value of a code. Codes of twenty digits are read from the
-- end of the primary key, where their text order is their numeric order; this index holds every
-- other code (none, as the component writes them), so that neither read passes every record.
-- It uses built-in functions only, so that any SQLite program can still write the table.
create index ix_h_btsdispatch_other_code on h_btsdispatch(discode)
  where not (length(discode) = 20 and discode not glob '*[^0-9]*');

-- The component's own: a relocation plan applied in one commit, read from a file
-- (its name and SHA-256 checksum), by whom and when (local time, yyyy-mm-dd hh:mi:ss),
-- and its number of rows; each of its relocations' journal entries names it.
create table corvan_plan (
  plancode  text not null primary key,
  title     text not null,
  filename  text not null,
  checksum  text not null,
  planuser  text not null,
  plantime  text not null,
  rowcount  integer not null check (rowcount > 0)
);

-- The component's own: what each relocation overwrote and deleted, keyed by the code of
-- its record in h_btsdispatch, so that it can be reversed and nothing is lost. The entry is
-- JSON text; reversedby names the record that reversed it, reverses the one it reverses.
-- A relocation plan applied as a whole names its plan and the plan's row.
create table corvan_journal (
  discode    text not null primary key,
  net        text not null,
  basecode   text not null,
  fromroom   text,
  toroom     text,
  reverses   text,
  reversedby text,
  entry      text not null,
  plancode   text references corvan_plan(plancode),
  planrow    integer
);
create index ix_corvan_journal_bts on corvan_journal(basecode, net);
create index ix_corvan_journal_plan on corvan_journal(plancode, planrow);

-- The component's own: the longitudes and latitudes a province spans, so that a
-- coordinate typed for a BTS can be checked against the province it stands in.
create table corvan_province_extent (
  pro_id  text not null primary key,
  lon_min real not null,
  lon_max real not null,
  lat_min real not null,
  lat_max real not null
);

-- Which schema versions the database went through: one row per version, written in the
-- transaction that brought it (a new database gets the version it was made at).
create table corvan_schema (
  version   integer not null primary key,
  applied   text not null,
  appliedby text,
  program   text not null
);
-- @since-end

-- @since-begin 3
-- When in its day each relocation was committed, as the committing program's clock read it
-- (local time, yyyy-mm-dd hh:mi:ss): the record's distime holds the day alone, so two moves
-- of one day are told apart and ordered by this. Entries written before it have none.
alter table corvan_journal add column entrytime text;
-- @since-end

-- @since-begin 4
-- The history list reads every column of a year's records but their text: from this index
-- alone, without a visit to each record, whose text fills most of the table.
create index ix_h_btsdispatch_list on h_btsdispatch(distime, discode, disuser, net, fromcity,
  tocity, fromroom, toroom, simplemode);
-- @since-end

-- @since-begin 5
-- (PostgreSQL's cities' locks: an SQLite file has one writer at a time, whatever its city.)
-- @since-end

-- @since-begin 6
-- The history list shows each record's time of day from the journal: read from this index
-- alone, by record code or all of them, never from the entries, whose text (what each
-- relocation overwrote and deleted, a few kilobytes) fills most of the table.
create index ix_corvan_journal_time on corvan_journal(discode, entrytime);
-- @since-end

-- @since-begin 7
-- (The history list's pages, newest first, come from ix_h_btsdispatch_list: it is ordered by
-- day, then by record code, already.)
-- @since-end

-- @since-begin 8
-- The component's own: plans reviewed before they are applied. Whether a province's plans need
-- a second person's approval before they change anything; written by the file's owner alone.
create table corvan_review_setting (
  pro_id   text not null primary key references com_province(pro_id),
  required integer not null check (required in (0, 1))
);

-- Each version of a reviewed plan as its author submitted it: the file (name, SHA-256
-- checksum), its rows as JSON text (headings first) so that the reviewer and the apply need
-- no file, the check's verdicts at submission (JSON), and the cities the rows touch (each
-- BTS's city and each target room's, comma-separated), which a reviewer must have the review
-- right for. Local time, yyyy-mm-dd hh:mi:ss.
create table corvan_review (
  reviewno  integer not null check (reviewno > 0),
  version   integer not null check (version > 0),
  title     text not null,
  filename  text not null,
  checksum  text not null,
  author    text not null,
  submitted text not null,
  rowcount  integer not null check (rowcount > 0),
  cities    text not null,
  sheet     text not null,
  verdicts  text not null,
  primary key (reviewno, version)
);

-- Every step of a review, in order: its state is what the last step left. An apply names the
-- plan it wrote. Nothing here is ever changed or deleted.
create table corvan_review_log (
  reviewno integer not null,
  step     integer not null check (step > 0),
  version  integer not null,
  action   text not null check (action in ('submit', 'approve', 'return', 'withdraw', 'apply',
                                           'overtaken', 'reverse')),
  actor    text not null,
  acttime  text not null,
  comment  text,
  plancode text references corvan_plan(plancode),
  primary key (reviewno, step),
  foreign key (reviewno, version) references corvan_review(reviewno, version)
);
create index ix_corvan_review_log_plan on corvan_review_log(plancode) where plancode is not null;

-- Each trigger stands on one line: a host that cuts this file at the ends of lines that end in
-- ';' still reads every statement whole.
create trigger corvan_review_kept before update on corvan_review begin select raise(abort, 'corvan: a submitted plan is never changed'); end;
create trigger corvan_review_not_deleted before delete on corvan_review begin select raise(abort, 'corvan: a submitted plan is never deleted'); end;
create trigger corvan_review_log_kept before update on corvan_review_log begin select raise(abort, 'corvan: a review''s log is never changed'); end;
create trigger corvan_review_log_not_deleted before delete on corvan_review_log begin select raise(abort, 'corvan: a review''s log is never deleted'); end;
-- @since-end

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
