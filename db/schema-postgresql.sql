-- SPDX-License-Identifier: MIT
-- Resource database on PostgreSQL. Codes and identifiers are text; the function here and
-- the casts at the end let the component's statements run unchanged: a bare number meets a
-- text column through an implicit cast, and to_number takes one argument. The function
-- comes first, as an index below is made on it.
--
-- Each release that changes the schema gives it a version: what a version adds stands
-- between "-- @since-begin N" and "-- @since-end", and a database of an earlier version is
-- brought up to date by running those statements, version by version (the specified
-- tables' data is never touched). Everything outside such a block is version 1, the schema
-- of corvan 0.1.0, which never changes.

create or replace function to_number(text) returns numeric
  language sql immutable strict as
$$ select case when $1 ~ '^\s*[-+]?([0-9]+\.?[0-9]*|\.[0-9]+)\s*$' then trim($1)::numeric end $$;

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
  longitude  numeric,
  latitude   numeric,
  opendate   text,
  status     text,
  shared     text,
  remark     text,
  photo      bytea
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
  height   numeric,
  downtilt integer
);
create index ix_res_@ant_ci on res_@ant(city, ci);

create table res_@antline (
  linecode   text not null primary key,
  lineid     text,
  ci         text,
  city       text,
  linetype   text,
  linelength numeric
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
  distime    date,
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
-- Every relocation reads the next record code as max(to_number(discode)) while it holds the
-- writers' lock: from this index that is one step, where a scan of every record would make
-- each commit, and every user waiting behind it, slower as the history grows.
create index ix_h_btsdispatch_number on h_btsdispatch(to_number(discode));

-- The component's own: a relocation plan applied in one commit, read from a file
-- (its name and SHA-256 checksum), by whom and when, and its number of rows; each of its
-- relocations' journal entries names it.
create table corvan_plan (
  plancode  text not null primary key,
  title     text not null,
  filename  text not null,
  checksum  text not null,
  planuser  text not null,
  plantime  timestamp(0) not null,
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

-- A binary value written back from the journal, as a hex text: the same statement text
-- runs on SQLite, where the host registers the function.
create function corvan_blob(text) returns bytea language sql immutable strict
  as $$ select decode($1, 'hex') $$;

-- The component's own: the longitudes and latitudes a province spans, so that a
-- coordinate typed for a BTS can be checked against the province it stands in.
create table corvan_province_extent (
  pro_id  text not null primary key,
  lon_min double precision not null,
  lon_max double precision not null,
  lat_min double precision not null,
  lat_max double precision not null
);

-- Which schema versions the database went through: one row per version, written in the
-- transaction that brought it (a new database gets the version it was made at).
create table corvan_schema (
  version   integer not null primary key,
  applied   timestamp(0) not null,
  appliedby text,
  program   text not null
);
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

-- Casts live in the database, not the schema: create them once.
do $$
begin
  if not exists (select 1 from pg_cast where castsource = 'integer'::regtype and casttarget = 'text'::regtype) then
    create cast (integer as text) with inout as implicit;
  end if;
  if not exists (select 1 from pg_cast where castsource = 'bigint'::regtype and casttarget = 'text'::regtype) then
    create cast (bigint as text) with inout as implicit;
  end if;
  if not exists (select 1 from pg_cast where castsource = 'numeric'::regtype and casttarget = 'text'::regtype) then
    create cast (numeric as text) with inout as implicit;
  end if;
end
$$;

-- @since-begin 2
-- Who may do what. The server, not the client, decides: corvan_reader reads every table and
-- view; corvan_relocator reads too and may relocate a BTS, but only where host_right gives
-- the login role function 13 for the city. Nobody but the owner writes rights or metadata.
-- Roles, like the casts, belong to the server: they are made once and outlive this schema.
do $$
begin
  if not exists (select 1 from pg_roles where rolname = 'corvan_reader') then
    create role corvan_reader nologin;
  end if;
exception when duplicate_object or unique_violation then
  null; -- the schema of another database made it a moment ago
end
$$;

do $$
begin
  if not exists (select 1 from pg_roles where rolname = 'corvan_relocator') then
    create role corvan_relocator nologin in role corvan_reader;
  end if;
exception when duplicate_object or unique_violation then
  null;
end
$$;

do $$
begin
  execute format('grant usage on schema %I to corvan_reader', current_schema());
end
$$;

revoke all on com_province, com_city, com_county, v_com_county, res_baseroom, v_res_bts, gui_option,
  tabledictionarynew, tablebaseinfo, h_btsdispatch, host_field, host_user, host_right from public;
grant select on com_province, com_city, com_county, v_com_county, res_baseroom, v_res_bts, gui_option,
  tabledictionarynew, tablebaseinfo, h_btsdispatch, host_field, host_user, host_right to corvan_reader;

-- A relocation writes exactly these: the BTS row (every column but its code), the network
-- column of the old and the new room, deletes the BTS's cells, antennas and feeders, and adds
-- its record. Records are never changed afterwards.
grant update (gbts, cbts, dbts) on res_baseroom to corvan_relocator;
grant insert on h_btsdispatch to corvan_relocator;

-- Row-level security on the writes: a row may be changed only while its city is one of the
-- user's, and only into one of the user's cities. Every product role still reads every row
-- (the next record code is the largest of all). The subqueries are bound to host_right when
-- the policy is made, so no table of the same name elsewhere on a search path can stand in.
-- The owner is not subject to the policies.
alter table res_baseroom enable row level security;
create policy corvan_read on res_baseroom for select using (true);
create policy corvan_city_right on res_baseroom for update
  using (city in (select city_id from host_right where username = session_user::text and funcno = '13'))
  with check (city in (select city_id from host_right where username = session_user::text and funcno = '13'));

-- A record names who made it and both cities, which must all be the user's own.
alter table h_btsdispatch enable row level security;
create policy corvan_read on h_btsdispatch for select using (true);
create policy corvan_city_right on h_btsdispatch for insert
  with check (disuser = session_user::text
              and fromcity in (select city_id from host_right where username = session_user::text and funcno = '13')
              and tocity in (select city_id from host_right where username = session_user::text and funcno = '13'));

-- The journal of each relocation goes with its record, and a reversal marks the record it
-- reversed: both only where the record's cities are the user's.
revoke all on corvan_journal, corvan_province_extent from public;
grant select on corvan_journal, corvan_province_extent to corvan_reader;
grant insert on corvan_journal to corvan_relocator;
grant update (reversedby) on corvan_journal to corvan_relocator;
alter table corvan_journal enable row level security;
create policy corvan_read on corvan_journal for select using (true);
create policy corvan_city_right on corvan_journal for insert
  with check (exists (select 1 from h_btsdispatch h where h.discode = corvan_journal.discode
              and h.fromcity in (select city_id from host_right where username = session_user::text and funcno = '13')
              and h.tocity in (select city_id from host_right where username = session_user::text and funcno = '13')));
create policy corvan_city_right_update on corvan_journal for update
  using (exists (select 1 from h_btsdispatch h where h.discode = corvan_journal.discode
         and h.fromcity in (select city_id from host_right where username = session_user::text and funcno = '13')
         and h.tocity in (select city_id from host_right where username = session_user::text and funcno = '13')));

-- A plan is written by its own user, under the next code (read as the records' under the
-- writers' lock, so nobody can push the codes to their end); the journal entries that name
-- it are written in the transaction that wrote it, so nobody can add relocations to
-- another's plan afterwards. Plans are never changed.
revoke all on corvan_plan, corvan_schema from public;
grant select on corvan_plan, corvan_schema to corvan_reader;
grant insert on corvan_plan to corvan_relocator;
alter table corvan_plan enable row level security;
create policy corvan_read on corvan_plan for select using (true);
create policy corvan_own_plan on corvan_plan for insert with check (planuser = session_user::text);

create or replace function corvan_plan_check() returns trigger language plpgsql security definer as
$$
declare
  next_code text;
begin
  select (coalesce(max(to_number(plancode)), 0) + 1)::text into next_code from corvan_plan;
  next_code := lpad(next_code, 20, '0');
  if new.plancode is distinct from next_code then
    raise exception 'corvan: the next plan code is %, not %', next_code, new.plancode
      using errcode = 'check_violation';
  end if;
  return new;
end
$$;
create trigger corvan_plan_rule before insert on corvan_plan
  for each row when (not pg_catalog.has_table_privilege(current_user, 'corvan_plan', 'TRIGGER'))
  execute function corvan_plan_check();

create or replace function corvan_plan_entry_check() returns trigger language plpgsql security definer as
$$
begin
  if new.plancode is not null and (coalesce(new.planrow, 0) < 1 or not exists (
       select 1 from corvan_plan p where p.plancode = new.plancode and p.xmin = pg_current_xact_id()::xid)) then
    raise exception 'corvan: journal entry % names plan %, which its transaction did not write', new.discode,
      new.plancode using errcode = 'insufficient_privilege';
  end if;
  return new;
end
$$;
create trigger corvan_plan_entry_rule before insert on corvan_journal
  for each row when (new.plancode is not null
                     and not pg_catalog.has_table_privilege(current_user, 'corvan_journal', 'TRIGGER'))
  execute function corvan_plan_entry_check();
do $$
begin
  execute format('alter function corvan_plan_check() set search_path = %I, pg_catalog, pg_temp', current_schema());
  execute format('alter function corvan_plan_entry_check() set search_path = %I, pg_catalog, pg_temp',
                 current_schema());
end
$$;
revoke all on function corvan_plan_check(), corvan_plan_entry_check() from public;

-- @network-begin
revoke all on res_@bts, res_@cell, res_@ant, res_@antline, v_res_@bts from public;
grant select on res_@bts, res_@cell, res_@ant, res_@antline, v_res_@bts to corvan_reader;
-- Column by column: a column added to the table stays the owner's until it is named here.
grant update (basenum, basename, city, county, belongroom, belongbsc, vendor, btstype, carriers, longitude,
              latitude, opendate, status, shared, remark, photo) on res_@bts to corvan_relocator;
grant delete on res_@cell, res_@ant, res_@antline to corvan_relocator;
-- A reversal puts back the cells, antennas and feeders a relocation deleted.
grant insert on res_@cell, res_@ant, res_@antline to corvan_relocator;

alter table res_@bts enable row level security;
create policy corvan_read on res_@bts for select using (true);
create policy corvan_city_right on res_@bts for update
  using (city in (select city_id from host_right where username = session_user::text and funcno = '13'))
  with check (city in (select city_id from host_right where username = session_user::text and funcno = '13'));

alter table res_@cell enable row level security;
create policy corvan_read on res_@cell for select using (true);
create policy corvan_city_right on res_@cell for delete
  using (city in (select city_id from host_right where username = session_user::text and funcno = '13'));
create policy corvan_city_right_insert on res_@cell for insert
  with check (city in (select city_id from host_right where username = session_user::text and funcno = '13'));

alter table res_@ant enable row level security;
create policy corvan_read on res_@ant for select using (true);
create policy corvan_city_right on res_@ant for delete
  using (city in (select city_id from host_right where username = session_user::text and funcno = '13'));
create policy corvan_city_right_insert on res_@ant for insert
  with check (city in (select city_id from host_right where username = session_user::text and funcno = '13'));

alter table res_@antline enable row level security;
create policy corvan_read on res_@antline for select using (true);
create policy corvan_city_right on res_@antline for delete
  using (city in (select city_id from host_right where username = session_user::text and funcno = '13'));
create policy corvan_city_right_insert on res_@antline for insert
  with check (city in (select city_id from host_right where username = session_user::text and funcno = '13'));
-- @network-end

-- corvan_add_user: how the owner adds a user (or changes one). Makes the login role when it
-- does not exist (that needs CREATEROLE), sets its password unless it is null, makes it a
-- relocator (or, with may_relocate false, a reader) and gives it exactly these cities of
-- function 13. Examples:
--   select corvan_add_user('li', 'a long passphrase', array['11','12']);
--   select corvan_add_user('wang', null, array['11'], false);  -- reads only; no password yet
-- The password travels in the statement: where the server logs statements, give null here and
-- set the password with psql's \password, which sends it already hashed.
create or replace function corvan_add_user(user_name text, user_password text, user_cities text[],
                                           may_relocate boolean default true)
  returns void language plpgsql as
$$
begin
  if coalesce(user_name, '') = '' then
    raise exception 'corvan_add_user: the user needs a name';
  end if;
  begin
    if not exists (select 1 from pg_roles where rolname = user_name) then
      execute format('create role %I login', user_name);
    end if;
    if user_password is not null then
      execute format('alter role %I password %L', user_name, user_password);
    end if;
  exception when others then
    -- Raised anew so that the statement holding the password is not sent back as context.
    raise exception using errcode = sqlstate, message = 'corvan_add_user: ' || sqlerrm;
  end;
  if may_relocate then
    execute format('grant corvan_relocator to %I', user_name);
  else
    execute format('grant corvan_reader to %I', user_name);
    if pg_has_role(user_name, 'corvan_relocator', 'member') then
      execute format('revoke corvan_relocator from %I', user_name);
    end if;
  end if;
  insert into host_user(username) values (user_name) on conflict (username) do nothing;
  delete from host_right where username = user_name and funcno = '13';
  insert into host_right(username, funcno, city_id)
    select distinct user_name, '13', city from unnest(user_cities) as city;
end
$$;
revoke all on function corvan_add_user(text, text, text[], boolean) from public;
-- @since-end
