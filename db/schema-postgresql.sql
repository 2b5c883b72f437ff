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

-- The rules a product role cannot get round, whatever client it uses. Row-level security
-- above says whose rows a role may write; what follows says what those rows may say and
-- in what company, checked by the server in triggers. They bind every role that is not the
-- owner (nor a superuser): the owner can drop any of them anyway, and a migration or a
-- bulk load (rooms before the BTSs they hold, old records with their own codes) must not
-- be held to the order a relocation keeps. Checks that must see a whole relocation run at
-- its commit (deferred constraint triggers): its statements come in the specified order,
-- and in the middle of it two rooms briefly hold the same BTS.

-- Whether the rules bind the current role on a table: the roles that may make triggers on
-- it (its owner, a superuser) could set the rules aside anyway. One built-in call, inlined
-- into each trigger's condition, so that a bulk load by the owner pays next to nothing.
create or replace function corvan_subject(regclass) returns boolean language sql stable as
$$ select not pg_catalog.has_table_privilege(current_user, $1, 'TRIGGER') $$;

-- The writers' lock. Every transaction of the host locks this table first, in a mode that
-- needs a write privilege on it, which only relocators have: a reader, or a role with no
-- part in the product, cannot take it and so cannot hold up anyone's commit.
create table corvan_writer_lock ();
revoke all on corvan_writer_lock from public;
grant update on corvan_writer_lock to corvan_relocator;

-- What a transaction of a product role overwrote and deleted, as the server saw it: the
-- first version of each BTS row and room it updated and every cell, antenna and feeder it
-- deleted. A journal entry is checked against it at commit, which also clears what
-- transactions that have ended left. A transaction may hold several relocations (a plan's
-- rows, a plan's reversal), each ending with its journal entry: the entry claims what was
-- captured since the one before (discode), and a row a later relocation changes again is
-- captured anew, as that relocation found it.
create table corvan_capture (
  xact    xid8 not null,
  tab     text not null,
  code    text not null,
  was     jsonb not null,
  discode text
);
create unique index ux_corvan_capture_open on corvan_capture(xact, tab, code) where discode is null;
create index ix_corvan_capture_claimed on corvan_capture(xact, tab, code, discode);
revoke all on corvan_capture from public;

-- The cells, antennas and feeders a journalled relocation deleted, kept from other uses of
-- their codes while the relocation can still be reversed, so that its reversal can put
-- them back. Written from the journal entry, released when the entry is marked reversed.
create table corvan_reserved (
  tab     text not null,
  code    text not null,
  discode text not null,
  xact    xid8 not null,
  primary key (tab, code, discode)
);
create index ix_corvan_reserved_discode on corvan_reserved(discode);
revoke all on corvan_reserved from public;

create or replace function corvan_capture_row() returns trigger language plpgsql security definer as
$$
begin
  insert into corvan_capture(xact, tab, code, was)
    values (pg_current_xact_id(), tg_table_name, to_jsonb(old) ->> tg_argv[0], to_jsonb(old))
    on conflict (xact, tab, code) where discode is null do nothing;
  return null;
end
$$;

-- A table's columns and their types' numbers.
create or replace function corvan_columns(tab regclass) returns jsonb language plpgsql stable as
$$
begin
  return (select jsonb_object_agg(attname, atttypid) from pg_catalog.pg_attribute
           where attrelid = tab and attnum > 0 and not attisdropped);
end
$$;

-- Whether a row as a journal entry holds it ({"columns": [...]} and one row of values) is
-- the row the server holds (server, as to_jsonb gives it): the first column that differs,
-- or null. Each value is compared as its column's type reads it, as it would be written
-- back; times to the millisecond, the most a client may have kept. Names are the engine's
-- own, case and all: a column the table does not have is skipped (nothing can write it
-- back), a name given twice differs. types: corvan_columns of the table.
create or replace function corvan_row_differs(tab regclass, types jsonb, columns jsonb, vals jsonb, server jsonb)
  returns text language plpgsql stable as
$$
declare
  other jsonb := '{}';  -- values of other types, compared through the table's row type
  seen text[] := '{}';
  name text;
  key text;
  typ oid;
  v jsonb;
  a text;
  b text;
  typed jsonb;
begin
  if jsonb_typeof(columns) is distinct from 'array' or jsonb_typeof(vals) is distinct from 'array' then
    return '(no row)';
  end if;
  for i in 0 .. jsonb_array_length(columns) - 1 loop
    name := columns ->> i;
    if name is null or name = any (seen) then
      return coalesce(name, '(a column without a name)');
    end if;
    seen := seen || name;
    continue when i >= jsonb_array_length(vals) or not types ? name;
    key := name;
    typ := (types ->> key)::oid;
    v := vals -> i;
    a := v #>> '{}';
    b := server ->> key;
    if jsonb_typeof(v) = 'object' then
      -- The server's text is in the session's bytea_output form, which bytea reads back.
      if typ <> 'bytea'::regtype or not v ? 'base64' or b is null or decode(v ->> 'base64', 'base64') <> b::bytea then
        return key;
      end if;
    elsif a is null or b is null then
      if a is distinct from b then
        return key;
      end if;
    elsif typ in ('text'::regtype, 'varchar'::regtype, 'bpchar'::regtype, 'name'::regtype) then
      if a <> b then
        return key;
      end if;
    elsif typ in ('int4'::regtype, 'int8'::regtype, 'int2'::regtype, 'numeric'::regtype, 'float4'::regtype,
                  'float8'::regtype) then
      if a::numeric <> b::numeric then
        return key;
      end if;
    elsif typ = 'bool'::regtype then
      if a::boolean <> b::boolean then
        return key;
      end if;
    elsif typ = 'date'::regtype then
      if a::date <> b::date then
        return key;
      end if;
    elsif typ in ('timestamp'::regtype, 'timestamptz'::regtype) then
      if abs(extract(epoch from a::timestamptz - b::timestamptz)) >= 0.001 then
        return key;
      end if;
    elsif typ = 'time'::regtype then
      if abs(extract(epoch from a::time - b::time)) >= 0.001 then
        return key;
      end if;
    else
      other := other || jsonb_build_object(key, case when typ in ('json'::regtype, 'jsonb'::regtype) then a::jsonb
                                                      else v end);
    end if;
  end loop;
  if other <> '{}' then
    execute format('select to_jsonb(jsonb_populate_record(null::%s, $1))', tab) into typed using other;
    for key in select jsonb_object_keys(other) loop
      if (typed -> key) <> (server -> key) then
        return key;
      end if;
    end loop;
  end if;
  return null;
end
$$;

-- A room's network column names a BTS of that network standing in the room's city, and no
-- other room names it. Empty text and null name nothing (a BTS whose number was cleared
-- leaves the empty text in its new room).
create or replace function corvan_number_check(n text, num text) returns void language plpgsql as
$$
declare
  rooms text[];
  room_city text;
  bts_city text;
  numbered int;
begin
  if coalesce(num, '') = '' then
    return;
  end if;
  execute format('select array_agg(roomcode order by roomcode), min(city) from res_baseroom where %I = $1',
                 n || 'bts') into rooms, room_city using num;
  if rooms is null then
    return;
  end if;
  if cardinality(rooms) > 1 then
    raise exception 'corvan: % BTS % is held by more than one room (%)', upper(n), num,
      array_to_string(rooms, ', ') using errcode = 'check_violation';
  end if;
  execute format('select city from %I where basenum = $1', 'res_' || n || 'bts') into bts_city using num;
  get diagnostics numbered = row_count;
  if numbered = 0 then
    raise exception 'corvan: room % holds % BTS %, and no % BTS has that number', rooms[1], upper(n), num,
      upper(n) using errcode = 'check_violation';
  end if;
  if bts_city is distinct from room_city then
    raise exception 'corvan: room % of city % cannot hold % BTS % of city %', rooms[1], room_city, upper(n),
      num, bts_city using errcode = 'check_violation';
  end if;
end
$$;

create or replace function corvan_room_check() returns trigger language plpgsql security definer as
$$
declare
  r res_baseroom;
begin
  select * into r from res_baseroom where roomcode = new.roomcode;
  if found then
    if old.gbts is distinct from new.gbts then perform corvan_number_check('g', r.gbts); end if;
    if old.cbts is distinct from new.cbts then perform corvan_number_check('c', r.cbts); end if;
    if old.dbts is distinct from new.dbts then perform corvan_number_check('d', r.dbts); end if;
  end if;
  return null;
end
$$;

-- A BTS that changes its number or city leaves no room naming what it no longer is.
create or replace function corvan_bts_check() returns trigger language plpgsql security definer as
$$
declare
  n text := substr(tg_table_name, 5, 1);
  num text;
begin
  perform corvan_number_check(n, old.basenum);
  execute format('select basenum from %I where basecode = $1', tg_table_name) into num using new.basecode;
  perform corvan_number_check(n, num);
  return null;
end
$$;

-- A record's code is the next one: the largest + 1 in twenty digits, as the component
-- reads it under the writers' lock, so no record can push the codes to their end. The
-- rooms it names belong to its cities; a BTS that stood in no room names none.
create or replace function corvan_record_check() returns trigger language plpgsql security definer as
$$
declare
  next_code text;
begin
  select (coalesce(max(to_number(discode)), 0) + 1)::text into next_code from h_btsdispatch;
  if length(next_code) <= 20 then
    next_code := lpad(next_code, 20, '0');
  end if;
  if new.discode is distinct from next_code then
    raise exception 'corvan: the next record code is %, not %', next_code, new.discode
      using errcode = 'check_violation';
  end if;
  if coalesce(new.fromroom, '') <> ''
     and not exists (select 1 from res_baseroom where roomcode = new.fromroom and city = new.fromcity) then
    raise exception 'corvan: the record''s room % is not a room of its city %', new.fromroom, new.fromcity
      using errcode = 'check_violation';
  end if;
  if coalesce(new.toroom, '') <> ''
     and not exists (select 1 from res_baseroom where roomcode = new.toroom and city = new.tocity) then
    raise exception 'corvan: the record''s room % is not a room of its city %', new.toroom, new.tocity
      using errcode = 'check_violation';
  end if;
  return new;
end
$$;

-- A journal entry is what its relocation did, checked at commit against what the server
-- saw: its record was written in the same transaction, for its network; its BTS stands in
-- one of the record's cities and was changed by that transaction (its row, one of its
-- rooms, or rows it lists as deleted); the BTS row before and after, the rooms' network
-- column before and every deleted row it lists are the server's own; an entry reversing
-- another is the one that marked it reversed. A reversal can then write back nothing the
-- relocating user could not have written.
create or replace function corvan_journal_check() returns trigger language plpgsql security definer as
$$
declare
  x xid8 := pg_current_xact_id();
  j corvan_journal;
  h h_btsdispatch;
  e jsonb;
  n text;
  bts jsonb;
  bts_before jsonb;
  changed boolean;
  differs text;
  room jsonb;
  rooms text[] := '{}';
  this_code text;
  held jsonb;
  kind record;
  cols jsonb;
  pos int;
  deleted jsonb;
  old_row jsonb;
  types jsonb;
begin
  -- What ended transactions captured; rows another session is clearing are skipped, never waited for.
  delete from corvan_capture where ctid = any (array(
    select ctid from corvan_capture where xact < pg_snapshot_xmin(pg_current_snapshot()) for update skip locked));
  select * into j from corvan_journal where discode = new.discode;
  if not found then
    return null;
  end if;
  select * into h from h_btsdispatch where discode = j.discode and xmin = x::xid;
  if not found then
    raise exception 'corvan: journal entry % goes with no record written in its transaction', j.discode
      using errcode = 'insufficient_privilege';
  end if;
  if j.net not in ('G', 'C', 'D') or j.net is distinct from h.net
     or coalesce(j.fromroom, '') <> coalesce(h.fromroom, '') or coalesce(j.toroom, '') <> coalesce(h.toroom, '') then
    raise exception 'corvan: journal entry % does not match its record''s network and rooms', j.discode
      using errcode = 'insufficient_privilege';
  end if;
  n := lower(j.net);
  execute format('select to_jsonb(b) from %I b where basecode = $1', 'res_' || n || 'bts')
    into bts using j.basecode;
  select was into bts_before from corvan_capture
   where xact = x and tab = 'res_' || n || 'bts' and code = j.basecode and discode = j.discode;
  changed := found;
  bts_before := coalesce(bts_before, bts);
  if bts is null or not coalesce((bts ->> 'city') in (h.fromcity, h.tocity), false)
     or not coalesce((bts_before ->> 'city') in (h.fromcity, h.tocity), false) then
    raise exception 'corvan: journal entry % names % BTS % of city %, not of its record''s cities % and %',
      j.discode, j.net, j.basecode, coalesce(bts_before ->> 'city', '(none)'), h.fromcity, h.tocity
      using errcode = 'insufficient_privilege';
  end if;
  e := j.entry::jsonb;
  types := corvan_columns(('res_' || n || 'bts')::regclass);
  differs := corvan_row_differs(('res_' || n || 'bts')::regclass, types, e #> '{bts,columns}',
                                e #> '{bts,before}', bts_before);
  if differs is null then
    differs := corvan_row_differs(('res_' || n || 'bts')::regclass, types, e #> '{bts,columns}',
                                  e #> '{bts,after}', bts);
  end if;
  if differs is not null then
    raise exception 'corvan: journal entry % does not hold % BTS % as its transaction found and left it (column %)',
      j.discode, j.net, j.basecode, differs using errcode = 'insufficient_privilege';
  end if;
  for room in select * from jsonb_array_elements(case when jsonb_typeof(e -> 'rooms') = 'array' then e -> 'rooms' else '[]' end) loop
    this_code := room ->> 'roomcode';
    if this_code is null or this_code = any (rooms) or not coalesce(this_code in (h.fromroom, h.toroom), false) then
      raise exception 'corvan: journal entry % names room % which is not one of its record''s', j.discode,
        this_code using errcode = 'insufficient_privilege';
    end if;
    rooms := rooms || this_code;
    select was -> (n || 'bts') into held from corvan_capture
     where xact = x and tab = 'res_baseroom' and code = this_code and discode = j.discode;
    if found then
      changed := true;
    else
      select to_jsonb(b) -> (n || 'bts') into held from res_baseroom b where roomcode = this_code;
    end if;
    if coalesce(room -> 'value', 'null') <> coalesce(held, 'null') then
      raise exception 'corvan: journal entry % does not hold what room % held before', j.discode, this_code
        using errcode = 'insufficient_privilege';
    end if;
  end loop;
  for kind in select * from (values ('cells', 'cell', 'cellcode'), ('antennas', 'ant', 'antcode'),
                                    ('feeders', 'antline', 'linecode')) k(key, suffix, codecol) loop
    continue when e -> kind.key is null;
    cols := e -> kind.key -> 'columns';
    types := corvan_columns(('res_' || n || kind.suffix)::regclass);
    select min(o) - 1 into pos from jsonb_array_elements_text(case when jsonb_typeof(cols) = 'array' then cols else '[]' end)
      with ordinality c(name, o) where lower(name) = kind.codecol;
    for deleted in select * from jsonb_array_elements(case when jsonb_typeof(e -> kind.key -> 'rows') = 'array'
                                                           then e -> kind.key -> 'rows' else '[]' end) loop
      this_code := deleted ->> pos;
      old_row := null;
      select was into old_row from corvan_capture
       where xact = x and tab = 'res_' || n || kind.suffix and code = this_code and discode = j.discode;
      differs := case when old_row is null then '(not deleted)'
                      else corvan_row_differs(('res_' || n || kind.suffix)::regclass, types, cols, deleted,
                                              old_row) end;
      if differs is not null then
        raise exception 'corvan: journal entry % lists % % which its transaction did not delete as listed (%)',
          j.discode, kind.key, coalesce(this_code, '(no code)'), differs using errcode = 'insufficient_privilege';
      end if;
      changed := true;
    end loop;
  end loop;
  if not changed then
    raise exception 'corvan: journal entry % names % BTS % which its transaction did not change', j.discode,
      j.net, j.basecode using errcode = 'insufficient_privilege';
  end if;
  if coalesce(j.reverses, '') <> '' and not exists (
       select 1 from corvan_journal reversed where reversed.discode = j.reverses and reversed.net = j.net
          and reversed.basecode = j.basecode and reversed.reversedby = j.discode) then
    raise exception 'corvan: journal entry % reverses % without marking it reversed', j.discode, j.reverses
      using errcode = 'insufficient_privilege';
  end if;
  return null;
end
$$;

create or replace function corvan_journal_reserve() returns trigger language plpgsql security definer as
$$
declare
  e jsonb := new.entry::jsonb;
  n text := lower(new.net);
  kind record;
  cols jsonb;
  pos int;
begin
  if n not in ('g', 'c', 'd') then
    return null;
  end if;
  for kind in select * from (values ('cells', 'cell', 'cellcode'), ('antennas', 'ant', 'antcode'),
                                    ('feeders', 'antline', 'linecode')) k(key, suffix, codecol) loop
    cols := e -> kind.key -> 'columns';
    continue when jsonb_typeof(cols) is distinct from 'array' or jsonb_typeof(e -> kind.key -> 'rows') is distinct from 'array';
    select min(o) - 1 into pos from jsonb_array_elements_text(cols) with ordinality c(name, o)
      where lower(name) = kind.codecol;
    continue when pos is null;
    insert into corvan_reserved(tab, code, discode, xact)
      select 'res_' || n || kind.suffix, r.value ->> pos, new.discode, pg_current_xact_id()
        from jsonb_array_elements(e -> kind.key -> 'rows') r where r.value ->> pos is not null
      on conflict do nothing;
  end loop;
  return null;
end
$$;

-- A journal entry claims what its transaction captured since the entry before it: that is
-- what its own relocation changed.
create or replace function corvan_capture_claim() returns trigger language plpgsql security definer as
$$
begin
  update corvan_capture set discode = new.discode where xact = pg_current_xact_id() and discode is null;
  return null;
end
$$;

-- A reversal mark is set once, from empty, to the record of a reversal of that very entry,
-- by that reversal's own transaction; nothing else of an entry ever changes.
create or replace function corvan_mark_check() returns trigger language plpgsql security definer as
$$
begin
  if (new.discode, new.net, new.basecode, new.fromroom, new.toroom, new.reverses, new.entry)
     is distinct from (old.discode, old.net, old.basecode, old.fromroom, old.toroom, old.reverses, old.entry) then
    raise exception 'corvan: journal entry % changes only by its reversal mark', old.discode
      using errcode = 'insufficient_privilege';
  end if;
  if new.reversedby is not distinct from old.reversedby then
    return new;
  end if;
  if coalesce(old.reversedby, '') <> '' or coalesce(new.reversedby, '') = ''
     or not exists (select 1 from corvan_journal x where x.discode = new.reversedby and x.reverses = old.discode
                      and x.xmin = pg_current_xact_id()::xid) then
    raise exception 'corvan: journal entry % is marked reversed once, by the transaction of the reversal that reverses it',
      old.discode using errcode = 'insufficient_privilege';
  end if;
  return new;
end
$$;

-- An entry marked reversed, or taken away by the owner, keeps nothing any more.
create or replace function corvan_journal_release() returns trigger language plpgsql security definer as
$$
begin
  if tg_op = 'DELETE' or coalesce(new.reversedby, '') <> '' then
    delete from corvan_reserved where discode = old.discode;
  end if;
  return null;
end
$$;

-- A cell, antenna or feeder added under a kept code is refused, unless it belongs to the
-- relocated BTS as the BTS stands now: the reversal takes such a row for the BTS's own,
-- deletes it and puts the deleted one back, so it blocks nothing (and a user may enter
-- again what a relocation deleted). The reversal's own inserts come after the release.
create or replace function corvan_code_check() returns trigger language plpgsql security definer as
$$
declare
  codecol text := tg_argv[0];
  n text := substr(tg_table_name, 5, 1);
  new_code text := to_jsonb(new) ->> codecol;
  now_row jsonb;
  kept record;
  bts record;
  standing int;
  own boolean;
begin
  execute format('select to_jsonb(t) from %I t where %I = $1', tg_table_name, codecol) into now_row
    using new_code;
  if now_row is null then
    return null;
  end if;
  for kept in select r.discode, j.basecode from corvan_reserved r join corvan_journal j on j.discode = r.discode
               where r.tab = tg_table_name and r.code = new_code and r.xact <> pg_current_xact_id() loop
    execute format('select city, basenum from %I where basecode = $1', 'res_' || n || 'bts') into bts
      using kept.basecode;
    get diagnostics standing = row_count;
    -- A relocation whose BTS is gone cannot be reversed: it keeps nothing.
    continue when standing = 0;
    if tg_table_name = 'res_' || n || 'cell' then
      own := now_row ->> 'city' = bts.city and now_row ->> 'bts' = bts.basenum;
    else
      execute format('select exists (select 1 from %I where city = $1 and bts = $2 and ci = $3)', 'res_' || n || 'cell')
        into own using bts.city, bts.basenum, now_row ->> 'ci';
      own := own and now_row ->> 'city' = bts.city;
    end if;
    if not coalesce(own, false) then
      raise exception 'corvan: the code % of % is kept for relocation %, which deleted it and can still be reversed',
        new_code, tg_table_name, kept.discode using errcode = 'check_violation';
    end if;
  end loop;
  return null;
end
$$;

create trigger corvan_capture after update on res_baseroom
  for each row when (corvan_subject('res_baseroom')) execute function corvan_capture_row('roomcode');
create constraint trigger corvan_room_rule after update on res_baseroom deferrable initially deferred
  for each row when (corvan_subject('res_baseroom') and (old.gbts is distinct from new.gbts
    or old.cbts is distinct from new.cbts or old.dbts is distinct from new.dbts))
  execute function corvan_room_check();

create trigger corvan_record_rule before insert on h_btsdispatch
  for each row when (corvan_subject('h_btsdispatch')) execute function corvan_record_check();

create trigger corvan_reserve after insert on corvan_journal
  for each row execute function corvan_journal_reserve();
create trigger corvan_claim after insert on corvan_journal
  for each row execute function corvan_capture_claim();
create constraint trigger corvan_journal_rule after insert on corvan_journal deferrable initially deferred
  for each row when (corvan_subject('corvan_journal')) execute function corvan_journal_check();
create trigger corvan_mark_rule before update on corvan_journal
  for each row when (corvan_subject('corvan_journal')) execute function corvan_mark_check();
create trigger corvan_release after update on corvan_journal
  for each row when (old.reversedby is distinct from new.reversedby) execute function corvan_journal_release();
create trigger corvan_release_deleted after delete on corvan_journal
  for each row execute function corvan_journal_release();

-- @network-begin
create trigger corvan_capture after update on res_@bts
  for each row when (corvan_subject('res_@bts')) execute function corvan_capture_row('basecode');
create constraint trigger corvan_number_rule after update on res_@bts deferrable initially deferred
  for each row when (corvan_subject('res_@bts')
    and (old.basenum is distinct from new.basenum or old.city is distinct from new.city))
  execute function corvan_bts_check();
create trigger corvan_capture after delete on res_@cell
  for each row when (corvan_subject('res_@cell')) execute function corvan_capture_row('cellcode');
create trigger corvan_capture after delete on res_@ant
  for each row when (corvan_subject('res_@ant')) execute function corvan_capture_row('antcode');
create trigger corvan_capture after delete on res_@antline
  for each row when (corvan_subject('res_@antline')) execute function corvan_capture_row('linecode');
create constraint trigger corvan_code_rule after insert on res_@cell deferrable initially deferred
  for each row when (corvan_subject('res_@cell')) execute function corvan_code_check('cellcode');
create constraint trigger corvan_code_rule after insert on res_@ant deferrable initially deferred
  for each row when (corvan_subject('res_@ant')) execute function corvan_code_check('antcode');
create constraint trigger corvan_code_rule after insert on res_@antline deferrable initially deferred
  for each row when (corvan_subject('res_@antline')) execute function corvan_code_check('linecode');
-- @network-end

-- The trigger functions run with the owner's rights; they (and the helpers they call) find
-- tables in this schema only, never in a temporary one a session made to stand in for them.
do $$
declare
  f text;
begin
  foreach f in array array['corvan_capture_row()', 'corvan_room_check()', 'corvan_bts_check()',
                           'corvan_record_check()', 'corvan_journal_check()', 'corvan_journal_reserve()',
                           'corvan_mark_check()', 'corvan_journal_release()', 'corvan_code_check()',
                           'corvan_capture_claim()'] loop
    execute format('alter function %s set search_path = %I, pg_catalog, pg_temp', f, current_schema());
  end loop;
  foreach f in array array['corvan_capture_row()', 'corvan_row_differs(regclass, jsonb, jsonb, jsonb, jsonb)',
                           'corvan_columns(regclass)', 'corvan_number_check(text, text)', 'corvan_room_check()',
                           'corvan_bts_check()', 'corvan_record_check()', 'corvan_journal_check()',
                           'corvan_journal_reserve()', 'corvan_mark_check()', 'corvan_journal_release()',
                           'corvan_code_check()', 'corvan_capture_claim()'] loop
    execute format('revoke all on function %s from public', f);
  end loop;
end
$$;
-- @since-end

-- @since-begin 3
-- When in its day each relocation was committed (local time, yyyy-mm-dd hh:mi:ss): the
-- record's distime holds the day alone, so two moves of one day are told apart and ordered
-- by this. Entries written before it have none.
alter table corvan_journal add column entrytime text;

-- A product role cannot date a relocation: whatever its client sends, the entry gets the
-- server's clock at the start of the relocation's transaction, in the session's time zone.
-- Nobody but the owner may change it afterwards (the relocator's update grant names
-- reversedby alone).
create or replace function corvan_journal_time() returns trigger language plpgsql as
$$
begin
  new.entrytime := to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS');
  return new;
end
$$;
create trigger corvan_time_rule before insert on corvan_journal
  for each row when (corvan_subject('corvan_journal')) execute function corvan_journal_time();
do $$
begin
  execute format('alter function corvan_journal_time() set search_path = %I, pg_catalog, pg_temp',
                 current_schema());
end
$$;
revoke all on function corvan_journal_time() from public;
-- @since-end

-- @since-begin 4
-- The history list reads every column of a year's records but their text: from this index
-- alone, without a visit to each record, whose text fills most of the table.
create index ix_h_btsdispatch_list on h_btsdispatch(distime)
  include (discode, disuser, net, fromcity, tocity, fromroom, toroom, simplemode);
-- @since-end

-- @since-begin 5
-- The cities' locks. A transaction of the host locks the rows of the cities it writes here
-- (select ... for update, in the order of their codes), after taking the writers' lock in a
-- mode that desks of this version share with each other: desks of other cities never wait for
-- it, two desks never deadlock, and an older desk, which takes the writers' lock whole, still
-- waits for every one of them. A row's lock needs the update privilege, which only relocators
-- have, and row-level security lets a role lock only a city it may relocate in: a reader or
-- another city's relocator cannot hold a city up. Every city has its row.
create table corvan_city_lock (
  city_id text not null primary key
);
insert into corvan_city_lock(city_id) select city_id from com_city;
revoke all on corvan_city_lock from public;
grant select, update on corvan_city_lock to corvan_relocator;
grant select on corvan_city_lock to corvan_reader;
alter table corvan_city_lock enable row level security;
create policy corvan_read on corvan_city_lock for select using (true);
create policy corvan_city_right on corvan_city_lock for update
  using (city_id in (select city_id from host_right where username = session_user::text and funcno = '13'));

create or replace function corvan_city_lock_row() returns trigger language plpgsql security definer as
$$
begin
  insert into corvan_city_lock(city_id) values (new.city_id) on conflict do nothing;
  return null;
end
$$;
create trigger corvan_city_lock_row after insert or update of city_id on com_city
  for each row execute function corvan_city_lock_row();
do $$
begin
  execute format('alter function corvan_city_lock_row() set search_path = %I, pg_catalog, pg_temp',
                 current_schema());
end
$$;
revoke all on function corvan_city_lock_row() from public;

-- Record and plan codes while cities are locked apart: drawn from sequences kept above the
-- largest code in their tables, so that desks of two cities committing at once never take the
-- same code and no desk waits for another's transaction to learn the next one. The host answers
-- the component's "select max(to_number(discode)) from h_btsdispatch" (and the plan's) with
-- corvan_next_code(...) - 1. A code drawn by a transaction that rolled back is not drawn again:
-- the codes have a gap there. A code written another way (an older desk, a bulk load) moves the
-- sequence on past it.
create sequence corvan_record_code;
create sequence corvan_plan_code;
-- The codes the sequences handed to each open transaction: a record or plan may take the next
-- code after the largest, as before, or one the server drew for that very transaction, never
-- one a client made up.
create table corvan_code_drawn (
  xact xid8 not null,
  tab  text not null,
  code text not null
);
revoke all on corvan_code_drawn from public;
select setval('corvan_record_code', (coalesce((select max(to_number(discode)) from h_btsdispatch), 0) + 1)::bigint, false);
select setval('corvan_plan_code', (coalesce((select max(to_number(plancode)) from corvan_plan), 0) + 1)::bigint, false);
create or replace function corvan_next_code(tab text) returns numeric language plpgsql security definer as
$$
declare
  seq regclass;
  taken numeric;
  code numeric;
begin
  if tab = 'h_btsdispatch' then
    seq := 'corvan_record_code';
    select max(to_number(discode)) into taken from h_btsdispatch;
  elsif tab = 'corvan_plan' then
    seq := 'corvan_plan_code';
    select max(to_number(plancode)) into taken from corvan_plan;
  else
    raise exception 'corvan: no code sequence for %', tab using errcode = 'invalid_parameter_value';
  end if;
  code := nextval(seq);
  if taken is not null and code <= taken then
    perform setval(seq, (taken + 1)::bigint);
    code := taken + 1;
  end if;
  insert into corvan_code_drawn(xact, tab, code) values (pg_current_xact_id(), tab, lpad(code::text, 20, '0'));
  return code;
end
$$;

-- Whether the code is one the server drew for this transaction; it is then used up.
create or replace function corvan_code_taken(tab text, new_code text) returns boolean language plpgsql
  security definer as
$$
begin
  delete from corvan_code_drawn where xact = pg_current_xact_id() and corvan_code_drawn.tab = corvan_code_taken.tab
    and code = new_code;
  return found;
end
$$;

create or replace function corvan_record_check() returns trigger language plpgsql security definer as
$$
declare
  next_code text;
  drawn boolean := corvan_code_taken('h_btsdispatch', new.discode);
begin
  select (coalesce(max(to_number(discode)), 0) + 1)::text into next_code from h_btsdispatch;
  if length(next_code) <= 20 then
    next_code := lpad(next_code, 20, '0');
  end if;
  if new.discode is distinct from next_code and not drawn then
    raise exception 'corvan: the next record code is %, not %', next_code, new.discode
      using errcode = 'check_violation';
  end if;
  if coalesce(new.fromroom, '') <> ''
     and not exists (select 1 from res_baseroom where roomcode = new.fromroom and city = new.fromcity) then
    raise exception 'corvan: the record''s room % is not a room of its city %', new.fromroom, new.fromcity
      using errcode = 'check_violation';
  end if;
  if coalesce(new.toroom, '') <> ''
     and not exists (select 1 from res_baseroom where roomcode = new.toroom and city = new.tocity) then
    raise exception 'corvan: the record''s room % is not a room of its city %', new.toroom, new.tocity
      using errcode = 'check_violation';
  end if;
  return new;
end
$$;

create or replace function corvan_plan_check() returns trigger language plpgsql security definer as
$$
declare
  next_code text;
  drawn boolean := corvan_code_taken('corvan_plan', new.plancode);
begin
  select (coalesce(max(to_number(plancode)), 0) + 1)::text into next_code from corvan_plan;
  next_code := lpad(next_code, 20, '0');
  if new.plancode is distinct from next_code and not drawn then
    raise exception 'corvan: the next plan code is %, not %', next_code, new.plancode
      using errcode = 'check_violation';
  end if;
  return new;
end
$$;
do $$
declare
  f text;
begin
  foreach f in array array['corvan_next_code(text)', 'corvan_code_taken(text, text)', 'corvan_record_check()',
                           'corvan_plan_check()'] loop
    execute format('alter function %s set search_path = %I, pg_catalog, pg_temp', f, current_schema());
  end loop;
end
$$;
revoke all on function corvan_next_code(text) from public;
revoke all on function corvan_code_taken(text, text) from public;
grant execute on function corvan_next_code(text) to corvan_relocator;
-- @since-end

-- @since-begin 6
-- The history list shows each record's time of day from the journal: read from this index
-- alone, by record code or all of them, never from the entries, whose text (what each
-- relocation overwrote and deleted, a few kilobytes) fills most of the table.
create index ix_corvan_journal_time on corvan_journal(discode, entrytime);
-- @since-end

-- @since-begin 7
-- The history list reads a page at a time, newest first: by day, then by record code. Ordered
-- so, this index hands a page over without the records after it, from the index alone; it
-- takes the place of the one that held the day alone.
create index ix_h_btsdispatch_page on h_btsdispatch(distime, discode)
  include (disuser, net, fromcity, tocity, fromroom, toroom, simplemode);
drop index ix_h_btsdispatch_list;
-- @since-end

-- @since-begin 8
-- Plans reviewed before they are applied. Whether a province's plans need a second person's
-- approval before they change anything: the owner's to say.
create table corvan_review_setting (
  pro_id   text not null primary key references com_province(pro_id),
  required boolean not null
);

-- Each version of a reviewed plan as its author submitted it: the file (name, SHA-256
-- checksum), its rows as JSON text (headings first) so that the reviewer and the apply need
-- no file, the check's verdicts at submission (JSON), and the cities the rows touch (each
-- BTS's city and each target room's, comma-separated), which a reviewer must have the review
-- right for and an applied record must stay within. Local time, yyyy-mm-dd hh:mi:ss.
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
-- plan it wrote. Nothing here is ever changed or deleted: product roles may only add rows.
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

-- Reviewers read everything and may add a review's steps, nothing else; the owner makes them
-- with corvan_add_reviewer, which also gives them the review right (function 14) per city.
do $$
begin
  if not exists (select 1 from pg_roles where rolname = 'corvan_reviewer') then
    create role corvan_reviewer nologin in role corvan_reader;
  end if;
exception when duplicate_object or unique_violation then
  null;
end
$$;
revoke all on corvan_review_setting, corvan_review, corvan_review_log from public;
grant select on corvan_review_setting, corvan_review, corvan_review_log to corvan_reader;
grant insert on corvan_review, corvan_review_log to corvan_relocator;
grant insert on corvan_review_log to corvan_reviewer;

-- A version is submitted by its author under the review's next number (or the review's next
-- version), dated by the server, and only together with its submit step (checked at commit).
create or replace function corvan_review_check() returns trigger language plpgsql security definer as
$$
declare
  expected integer;
begin
  if new.author is distinct from session_user::text then
    raise exception 'corvan: a plan is submitted by %, not by %', session_user, new.author
      using errcode = 'insufficient_privilege';
  end if;
  new.submitted := to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS');
  if new.version = 1 then
    select coalesce(max(reviewno), 0) + 1 into expected from corvan_review;
    if new.reviewno is distinct from expected then
      raise exception 'corvan: the next review is %, not %', expected, new.reviewno using errcode = 'check_violation';
    end if;
  else
    perform 1 from corvan_review where reviewno = new.reviewno and version = 1 for update;
    select max(version) + 1 into expected from corvan_review where reviewno = new.reviewno;
    if new.version is distinct from expected then
      raise exception 'corvan: the next version of review % is %, not %', new.reviewno, expected, new.version
        using errcode = 'check_violation';
    end if;
  end if;
  return new;
end
$$;
create trigger corvan_review_rule before insert on corvan_review
  for each row when (corvan_subject('corvan_review')) execute function corvan_review_check();

create or replace function corvan_review_submitted() returns trigger language plpgsql security definer as
$$
begin
  if not exists (select 1 from corvan_review_log l where l.reviewno = new.reviewno and l.version = new.version
                   and l.action = 'submit' and l.xmin = pg_current_xact_id()::xid) then
    raise exception 'corvan: version % of review % was written without its submit step', new.version,
      new.reviewno using errcode = 'check_violation';
  end if;
  return null;
end
$$;
create constraint trigger corvan_review_submitted after insert on corvan_review
  deferrable initially deferred
  for each row when (corvan_subject('corvan_review')) execute function corvan_review_submitted();

-- A step of a review: the next one, by the login that takes it, dated by the server, and one
-- the review's state allows that login. The review's first version is locked meanwhile, so two
-- desks acting on one review take turns and the second is told the review changed.
create or replace function corvan_review_log_check() returns trigger language plpgsql security definer as
$$
declare
  author text;
  latest corvan_review%rowtype;
  last_action text;
  expected integer;
  missing text;
  applied text;
  plan_checksum text;
  plan_rows integer;
begin
  select r.author into author from corvan_review r where r.reviewno = new.reviewno and r.version = 1 for update;
  if not found then
    raise exception 'corvan: there is no review %', new.reviewno using errcode = 'foreign_key_violation';
  end if;
  if new.actor is distinct from session_user::text then
    raise exception 'corvan: a step of review % is taken by %, not by %', new.reviewno, session_user, new.actor
      using errcode = 'insufficient_privilege';
  end if;
  new.acttime := to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS');
  select coalesce(max(step), 0) + 1 into expected from corvan_review_log where reviewno = new.reviewno;
  if new.step is distinct from expected then
    raise exception 'corvan: review % changed meanwhile: its next step is %, not %', new.reviewno, expected,
      new.step using errcode = 'check_violation';
  end if;
  select * into latest from corvan_review where reviewno = new.reviewno order by version desc limit 1;
  if new.version is distinct from latest.version then
    raise exception 'corvan: the step of review % names version %, and its latest is %', new.reviewno,
      new.version, latest.version using errcode = 'check_violation';
  end if;
  select l.action into last_action from corvan_review_log l where l.reviewno = new.reviewno
    order by l.step desc limit 1;
  if not (coalesce(last_action, '') = any (case new.action
            when 'submit' then array['', 'submit', 'overtaken', 'return', 'withdraw']
            when 'approve' then array['submit', 'overtaken']
            when 'return' then array['submit', 'overtaken']
            when 'withdraw' then array['submit', 'overtaken', 'approve', 'return']
            when 'apply' then array['approve']
            when 'overtaken' then array['approve']
            when 'reverse' then array['apply']
          end)) then
    raise exception 'corvan: review % cannot take the step % after %', new.reviewno, new.action,
      coalesce(last_action, 'nothing') using errcode = 'check_violation';
  end if;
  if new.action in ('submit', 'withdraw') and session_user::text is distinct from author then
    raise exception 'corvan: only %, who submitted review %, may take the step %', author, new.reviewno,
      new.action using errcode = 'insufficient_privilege';
  end if;
  if new.action = 'submit' and (not exists (
        select 1 from corvan_review r where r.reviewno = new.reviewno and r.version = new.version
          and r.xmin = pg_current_xact_id()::xid) or exists (
        select 1 from corvan_review_log l where l.reviewno = new.reviewno and l.version = new.version)) then
    raise exception 'corvan: a submit step comes with a version of its own, written with it'
      using errcode = 'check_violation';
  end if;
  if new.action in ('return', 'overtaken') and coalesce(btrim(new.comment), '') = '' then
    raise exception 'corvan: the step % of review % needs a comment', new.action, new.reviewno
      using errcode = 'check_violation';
  end if;
  if new.action in ('approve', 'return') and session_user::text = author then
    raise exception 'corvan: % cannot review a plan of their own', author using errcode = 'insufficient_privilege';
  end if;
  -- A decision needs the review right for every city of the plan; an apply, or the finding that
  -- the database overtook the plan, the right to relocate there.
  if new.action in ('approve', 'return', 'apply', 'overtaken') then
    missing := (select string_agg(c, ',') from unnest(string_to_array(latest.cities, ',')) c
                 where not exists (select 1 from host_right h where h.username = session_user::text
                                     and h.funcno = case when new.action in ('approve', 'return') then '14'
                                                         else '13' end
                                     and h.city_id = c));
    if missing is not null then
      raise exception 'corvan: % has no right to % review % in the cities %', session_user, new.action,
        new.reviewno, missing using errcode = 'insufficient_privilege';
    end if;
  end if;
  if new.action = 'apply' then
    select p.checksum, p.rowcount into plan_checksum, plan_rows from corvan_plan p
      where p.plancode = new.plancode and p.xmin = pg_current_xact_id()::xid;
    if not found or plan_checksum is distinct from latest.checksum or plan_rows is distinct from latest.rowcount then
      raise exception 'corvan: review % is applied only by the plan its transaction writes from its rows',
        new.reviewno using errcode = 'check_violation';
    end if;
  elsif new.action = 'reverse' then
    select l.plancode into applied from corvan_review_log l where l.reviewno = new.reviewno and l.action = 'apply'
      order by l.step desc limit 1;
    if new.plancode is distinct from applied or exists (
         select 1 from corvan_journal j where j.plancode = applied and j.reversedby is null) then
      raise exception 'corvan: review % is reversed only with every relocation of its plan %', new.reviewno,
        applied using errcode = 'check_violation';
    end if;
  elsif new.plancode is not null then
    raise exception 'corvan: the step % names no plan', new.action using errcode = 'check_violation';
  end if;
  return new;
end
$$;
create trigger corvan_review_log_rule before insert on corvan_review_log
  for each row when (corvan_subject('corvan_review_log')) execute function corvan_review_log_check();

-- At the commit of a plan: where its province requires review, it is the apply of an approved
-- review; such a plan wrote one relocation per row of the approved version, each within the
-- cities the reviewer approved.
create or replace function corvan_plan_review_check() returns trigger language plpgsql security definer as
$$
declare
  approved corvan_review%rowtype;
  entries integer;
  outside text;
begin
  select r.* into approved from corvan_review_log l
    join corvan_review r on r.reviewno = l.reviewno and r.version = l.version
    where l.plancode = new.plancode and l.action = 'apply';
  if not found then
    if exists (select 1 from corvan_review_setting s where s.required and (
                 s.pro_id in (select c.pro_id from corvan_journal j join h_btsdispatch h on h.discode = j.discode
                                join com_city c on c.city_id in (h.fromcity, h.tocity)
                               where j.plancode = new.plancode)
                 or not exists (select 1 from corvan_journal j where j.plancode = new.plancode))) then
      raise exception 'corvan: plan % is applied without an approved review, which its province requires',
        new.plancode using errcode = 'insufficient_privilege';
    end if;
    return null;
  end if;
  select count(*) into entries from corvan_journal j where j.plancode = new.plancode;
  if entries <> approved.rowcount then
    raise exception 'corvan: plan % of review % wrote % relocations for % approved rows', new.plancode,
      approved.reviewno, entries, approved.rowcount using errcode = 'check_violation';
  end if;
  outside := (select string_agg(distinct c, ',') from corvan_journal j join h_btsdispatch h on h.discode = j.discode
                cross join lateral unnest(array[h.fromcity, h.tocity]) c
               where j.plancode = new.plancode and not (c = any (string_to_array(approved.cities, ','))));
  if outside is not null then
    raise exception 'corvan: plan % of review % relocated in the cities %, which its reviewer did not approve',
      new.plancode, approved.reviewno, outside using errcode = 'insufficient_privilege';
  end if;
  return null;
end
$$;
create constraint trigger corvan_plan_review after insert on corvan_plan
  deferrable initially deferred
  for each row when (corvan_subject('corvan_plan')) execute function corvan_plan_review_check();

do $$
declare
  f text;
begin
  foreach f in array array['corvan_review_check()', 'corvan_review_submitted()', 'corvan_review_log_check()',
                           'corvan_plan_review_check()'] loop
    execute format('alter function %s set search_path = %I, pg_catalog, pg_temp', f, current_schema());
  end loop;
end
$$;
revoke all on function corvan_review_check(), corvan_review_submitted(), corvan_review_log_check(),
  corvan_plan_review_check() from public;

-- corvan_add_reviewer: how the owner makes a login a reviewer of exactly these cities (function
-- 14), beside whatever else it may do. The login must exist (corvan_add_user makes it):
--   select corvan_add_reviewer('zhao', array['11','12']);
create or replace function corvan_add_reviewer(user_name text, user_cities text[]) returns void
  language plpgsql as
$$
begin
  if not exists (select 1 from pg_roles where rolname = user_name) then
    raise exception 'corvan_add_reviewer: there is no login %; make it with corvan_add_user first', user_name;
  end if;
  execute format('grant corvan_reviewer to %I', user_name);
  insert into host_user(username) values (user_name) on conflict (username) do nothing;
  delete from host_right where username = user_name and funcno = '14';
  insert into host_right(username, funcno, city_id)
    select distinct user_name, '14', city from unnest(user_cities) as city;
end
$$;
revoke all on function corvan_add_reviewer(text, text[]) from public;
-- @since-end
