#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What an installed corvan looks like, checked from outside the source tree.
#   install_test.sh staged    cmake --install into a fresh prefix: every file in its place,
#                             RUNPATHs relative, the staged corvan runs on its own plug-in,
#                             the manual page lists exactly the options of --help, each
#                             installed header compiles alone, the development libraries
#                             export only the classes their headers mark
#   install_test.sh package   the Debian packages from CPack: their file lists, version and
#                             dependencies; the runtime package extracted runs from there
#   install_test.sh example   examples/ built against the staged install, run headless
# The build tells the script where things are through CORVAN_* variables (tests/CMakeLists.txt);
# CORVAN_LIBRARIES lists the installed libraries by SONAME.
set -euo pipefail

: "${CORVAN_BUILD_DIR:?}" "${CORVAN_SOURCE_DIR:?}" "${CORVAN_VERSION:?}" "${CORVAN_WORK_DIR:?}"
: "${CORVAN_BINDIR:?}" "${CORVAN_LIBDIR:?}" "${CORVAN_PLUGINDIR:?}" "${CORVAN_DATADIR:?}" "${CORVAN_LIBRARIES:?}"
stage=$CORVAN_WORK_DIR/stage
export QT_QPA_PLATFORM=offscreen

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check_file() { [ -f "$1" ] || fail "missing $1"; }
finish() { ((failures == 0)) || { echo "$failures check(s) failed" >&2; exit 1; }; echo "all checks passed"; }

# The files of the runtime package, relative to the prefix.
runtime_files() {
  echo "$CORVAN_BINDIR/corvan"
  echo "$CORVAN_PLUGINDIR/libprjCorvan.so"
  for soname in $CORVAN_LIBRARIES; do echo "$CORVAN_LIBDIR/$soname"; done
  echo "$CORVAN_DATADIR/corvan/schema-sqlite.sql"
  echo "$CORVAN_DATADIR/corvan/schema-postgresql.sql"
  echo "$CORVAN_DATADIR/applications/corvan.desktop"
  echo "$CORVAN_DATADIR/icons/hicolor/scalable/apps/corvan.svg"
  echo "$CORVAN_DATADIR/metainfo/corvan.metainfo.xml"
  echo "$CORVAN_DATADIR/man/man1/corvan.1.gz"
  echo "$CORVAN_DATADIR/doc/corvan/copyright"
}
dev_files() {
  for header in services.h component.h record_set.h attr_table.h controls/sheet.h; do
    echo "include/corvan/$header"
  done
  echo "$CORVAN_LIBDIR/libcorvan-controls.so"
  echo "$CORVAN_LIBDIR/libcorvan-items.so"
  echo "${CORVAN_LIBDIR%/corvan}/cmake/Corvan/CorvanConfig.cmake"
  echo "${CORVAN_LIBDIR%/corvan}/pkgconfig/corvan.pc"
  echo "$CORVAN_DATADIR/doc/corvan-dev/copyright"
}

# corvan from PREFIX: its version, a demo database and a screenshot made on the plug-in
# under PREFIX, and not one file loaded from the build folder.
run_corvan() {
  local prefix=$1 scratch=$2
  local corvan=$prefix/$CORVAN_BINDIR/corvan
  rm -rf "$scratch" && mkdir -p "$scratch/home"
  local version
  version=$(HOME=$scratch/home "$corvan" --version) || fail "$corvan --version failed"
  [ "$version" = "corvan $CORVAN_VERSION" ] || fail "$corvan --version says '$version'"
  HOME=$scratch/home "$corvan" --create-demo --scale 20 --database "$scratch/demo.sqlite" >"$scratch/create.txt" ||
    fail "$corvan --create-demo failed"
  grep -q "^Created demo database: $scratch/demo.sqlite\$" "$scratch/create.txt" || fail "--create-demo said: $(cat "$scratch/create.txt")"
  HOME=$scratch/home LD_DEBUG=files LD_DEBUG_OUTPUT=$scratch/ld "$corvan" --database "$scratch/demo.sqlite" \
    --user demo --screenshot "$scratch/shot.png" >"$scratch/shot.txt" 2>"$scratch/shot.err" ||
    fail "$corvan --screenshot failed: $(cat "$scratch/shot.err")"
  head -c 8 "$scratch/shot.png" 2>/dev/null | grep -q PNG || fail "$corvan --screenshot wrote no PNG"
  grep -qh "file=$prefix/$CORVAN_PLUGINDIR/libprjCorvan.so " "$scratch"/ld.* ||
    fail "$corvan did not load the plug-in under $prefix"
  if grep -hE "file=$CORVAN_BUILD_DIR/(lib|plugins)/" "$scratch"/ld.* | head -3 | grep .; then
    fail "$corvan loaded files from the build folder"
  fi
}

# Every option --help names, the manual page describes, and no other.
options_of_help() { "$1" --help | grep -oE '^ +(-h, )?--[a-z-]+' | grep -oE -- '--[a-z-]+' | sort -u; }
options_of_manual() {
  zcat "$1" | sed -n '/^\.SH OPTIONS/,/^\.SH /p' | sed -n '/^\.TP/{n;p}' | sed 's/\\-/-/g' |
    grep -oE -- '--[a-z-]+' | sort -u
}

staged() {
  rm -rf "$stage"
  cmake --install "$CORVAN_BUILD_DIR" --prefix "$stage" >/dev/null
  while read -r file; do check_file "$stage/$file"; done < <(runtime_files; dev_files)
  # Each library under its SONAME, a link to the versioned file.
  for soname in $CORVAN_LIBRARIES; do
    local file=$stage/$CORVAN_LIBDIR/$soname
    [ "$(readelf -d "$file" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')" = "$soname" ] || fail "$file has another SONAME"
    [ -L "$file" ] || fail "$file is not a link to the versioned library"
  done
  # RUNPATHs are relative to the binary, so the tree runs wherever it is.
  while read -r elf; do
    local runpath
    runpath=$(readelf -d "$elf" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
    case "$runpath" in
      '$ORIGIN'*) ;;
      *) fail "$elf has the RUNPATH '$runpath'" ;;
    esac
  done < <(find "$stage" -type f \( -name 'lib*.so*' -o -path "*/$CORVAN_BINDIR/*" \))
  run_corvan "$stage" "$CORVAN_WORK_DIR/staged-run"

  local help manual
  help=$(options_of_help "$stage/$CORVAN_BINDIR/corvan")
  manual=$(options_of_manual "$stage/$CORVAN_DATADIR/man/man1/corvan.1.gz")
  [ -n "$help" ] || fail "--help lists no options"
  [ "$help" = "$manual" ] || fail "options of --help and of the manual page differ:
$(diff <(echo "$help") <(echo "$manual") || true)"
  zcat "$stage/$CORVAN_DATADIR/man/man1/corvan.1.gz" | grep -q "^\.TH CORVAN 1 .*\"corvan $CORVAN_VERSION\"" ||
    fail "the manual page does not name version $CORVAN_VERSION"

  # The desktop entry, its icon and the AppStream metadata refer to each other by name.
  local desktop=$stage/$CORVAN_DATADIR/applications/corvan.desktop
  grep -qx 'Name=基站调整' "$desktop" || fail "the desktop entry is not named 基站调整"
  grep -qx 'Exec=corvan' "$desktop" || fail "the desktop entry does not start corvan"
  grep -qx 'Icon=corvan' "$desktop" || fail "the desktop entry's icon is not corvan"
  grep -q '^Comment=' "$desktop" && grep -q '^Comment\[zh_CN\]=' "$desktop" ||
    fail "the desktop entry lacks an English or a Chinese comment"
  grep -q '<launchable type="desktop-id">corvan.desktop</launchable>' \
    "$stage/$CORVAN_DATADIR/metainfo/corvan.metainfo.xml" || fail "the metadata does not launch corvan.desktop"
  grep -q "<release version=\"$CORVAN_VERSION\"" "$stage/$CORVAN_DATADIR/metainfo/corvan.metainfo.xml" ||
    fail "the metadata has no release $CORVAN_VERSION"

  # Each installed header compiles alone, with nothing but Qt's headers and the staged ones.
  local header qt_flags
  qt_flags=$(pkg-config --cflags Qt6Widgets)
  while read -r header; do
    # shellcheck disable=SC2086
    printf '#include <corvan/%s>\n' "${header#"$stage"/include/corvan/}" |
      c++ -std=c++20 -fPIC -fsyntax-only -Werror $qt_flags -I"$stage/include" -x c++ - \
        2>"$CORVAN_WORK_DIR/header.err" || fail "$header does not compile alone: $(head -3 "$CORVAN_WORK_DIR/header.err")"
  done < <(find "$stage/include/corvan" -name '*.h' | sort)
  # The development libraries export the classes their headers mark, and nothing else of ours.
  local library exported own='^((typeinfo|typeinfo name|vtable|VTT) for )?corvan::'
  for library in items:'PropertyItems?' controls:'(PropertyGrid|Sheet)'; do
    exported=$(nm -DC --defined-only "$stage/$CORVAN_LIBDIR/libcorvan-${library%%:*}.so" | cut -d' ' -f3- |
      grep -E "$own" || true)
    grep -qE "${own}${library#*:}::" <<<"$exported" || fail "libcorvan-${library%%:*} exports no ${library#*:}"
    grep -vE "${own}${library#*:}(::|\$)" <<<"$exported" | grep . &&
      fail "libcorvan-${library%%:*} exports more than its marked classes"
  done
  # The component and the host live inside the plug-in and the program: the plug-in shows
  # a host its factory, the reader module its one function, the program nothing of ours.
  local module entries
  for module in "$CORVAN_PLUGINDIR/libprjCorvan.so":'qt_plugin_instance qt_plugin_query_metadata_v2' \
    "$CORVAN_LIBDIR/libcorvan-xlsx-reader.so":'corvan_read_xlsx' "$CORVAN_BINDIR/corvan":''; do
    exported=$(nm -DC --defined-only "$stage/${module%%:*}" | cut -d' ' -f3- | grep -E "$own|^(corvan|qt_plugin)_" || true)
    entries=$(tr ' ' '\n' <<<"${module#*:}" | grep . || true)
    [ "$exported" = "$entries" ] || fail "${module%%:*} exports '$(echo $exported)', not '${module#*:}'"
  done
  # The private library folder holds the shared libraries above and the reader, nothing more.
  local name known
  known=" libcorvan-xlsx-reader $(for soname in $CORVAN_LIBRARIES; do echo -n "${soname%%.so*} "; done)"
  while read -r name; do
    [[ $known == *" ${name%%.so*} "* ]] || fail "$CORVAN_LIBDIR holds $name, which is no installed library"
  done < <(find "$stage/$CORVAN_LIBDIR" -maxdepth 1 -name '*.so*' -printf '%f\n')

  # pkg-config finds the staged controls library and plug-in.
  local pc_dir=$stage/${CORVAN_LIBDIR%/corvan}/pkgconfig
  [ "$(PKG_CONFIG_PATH=$pc_dir pkg-config --modversion corvan)" = "$CORVAN_VERSION" ] || fail "pkg-config: wrong version"
  check_file "$(PKG_CONFIG_PATH=$pc_dir pkg-config --variable=plugin corvan)"
  PKG_CONFIG_PATH=$pc_dir pkg-config --libs corvan | grep -q -- "-L$stage/$CORVAN_LIBDIR .*-lcorvan-controls" ||
    fail "pkg-config --libs: $(PKG_CONFIG_PATH=$pc_dir pkg-config --libs corvan)"
  finish
}

package() {
  local out=$CORVAN_WORK_DIR/deb
  rm -rf "$out" && mkdir -p "$out"
  cpack -G DEB --config "$CORVAN_BUILD_DIR/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; fail "cpack failed"; finish; }
  local arch runtime dev
  arch=$(dpkg --print-architecture)
  runtime=$out/corvan_${CORVAN_VERSION}_$arch.deb
  dev=$out/corvan-dev_${CORVAN_VERSION}_$arch.deb
  check_file "$runtime"
  check_file "$dev"
  [ -f "$runtime" ] && [ -f "$dev" ] || finish

  local listing
  listing=$(dpkg-deb -c "$runtime" | awk '{print $6}')
  while read -r file; do
    grep -qx "./usr/$file" <<<"$listing" || fail "corvan.deb lacks /usr/$file"
  done < <(runtime_files)
  grep -q '^./usr/include/' <<<"$listing" && fail "corvan.deb holds headers"
  listing=$(dpkg-deb -c "$dev" | awk '{print $6}')
  while read -r file; do
    grep -qx "./usr/$file" <<<"$listing" || fail "corvan-dev.deb lacks /usr/$file"
  done < <(dev_files)

  [ "$(dpkg-deb -f "$runtime" Version)" = "$CORVAN_VERSION" ] || fail "corvan.deb has the version $(dpkg-deb -f "$runtime" Version)"
  local depends
  depends=$(dpkg-deb -f "$runtime" Depends)
  # Found by dpkg-shlibdeps, and the SQL driver corvan loads by name.
  for dep in libqt6widgets6 libqt6sql6 libxlsxwriter4 libminizip1 libqt6sql6-sqlite; do
    grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "corvan.deb does not depend on $dep: $depends"
  done
  dpkg-deb -f "$dev" Depends | grep -q "corvan (= $CORVAN_VERSION)" || fail "corvan-dev.deb does not depend on corvan $CORVAN_VERSION"

  # Unpacked anywhere, the runtime package runs on its own files alone.
  rm -rf "$out/root" && dpkg-deb -x "$runtime" "$out/root"
  run_corvan "$out/root/usr" "$CORVAN_WORK_DIR/package-run"
  finish
}

example() {
  [ -f "$stage/$CORVAN_BINDIR/corvan" ] || { fail "no staged install at $stage"; finish; }
  local build=$CORVAN_WORK_DIR/example
  rm -rf "$build"
  # Only the staged install: the example must not need the source tree's headers.
  cmake -S "$CORVAN_SOURCE_DIR/examples" -B "$build" -DCMAKE_PREFIX_PATH="$stage" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CORVAN_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CORVAN_LAUNCHER} \
    >"$CORVAN_WORK_DIR/example-configure.log" || { cat "$CORVAN_WORK_DIR/example-configure.log" >&2; fail "configure"; finish; }
  cmake --build "$build" -j2 >"$CORVAN_WORK_DIR/example-build.log" 2>&1 ||
    { cat "$CORVAN_WORK_DIR/example-build.log" >&2; fail "build"; finish; }
  if grep -rl --include=flags.make --include=build.ninja -- "$CORVAN_SOURCE_DIR/include" "$build"; then
    fail "the example was compiled with the source tree's headers"
  fi

  local db=$CORVAN_WORK_DIR/example.sqlite out
  rm -f "$db"
  out=$("$build/corvan-example-host" --check "$db" 2>"$CORVAN_WORK_DIR/example.err") ||
    fail "corvan-example-host failed: $(cat "$CORVAN_WORK_DIR/example.err")"
  echo "$out"
  grep -qx 'initEnv: the component took the services of corvan example host' <<<"$out" || fail "no initEnv"
  grep -qx 'ShowMainForm: "基站调整" is shown; cities: 全部 东城市 西城市' <<<"$out" ||
    fail "the main window did not list the example's cities"
  grep -qx 'clearEnv: no window of the component is left' <<<"$out" || fail "no clearEnv"
  # A second run opens the database the first one made.
  "$build/corvan-example-host" --check "$db" >/dev/null 2>&1 || fail "corvan-example-host failed on its own database"
  finish
}

case "${1:-}" in
  staged | package | example) "$1" ;;
  *) echo "usage: $0 staged|package|example" >&2; exit 2 ;;
esac
