#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# One entry point for a fresh Debian machine:
#   ./dev.sh run    install what is missing, build, open the main window on the demo database
#   ./dev.sh test   install what is missing, build (plain and sanitized), run every test
#   ./dev.sh package  install what is missing, build, make the Debian packages in build/
# The test servers listen on CORVAN_PG_PORT (plain build, default 55439) and CORVAN_PG_PORT_ASAN
# (sanitized build, default 55438), so that two checkouts can test side by side; the failover
# and standby tests start a server pair of their own 2000 and 3000 ports above those.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite
          libqt6sql6-psql libsqlite3-dev libpq-dev sqlite3 libgtest-dev librapidcheck-dev postgresql postgresql-client
          fonts-noto-cjk libgl-dev libxlsxwriter-dev poppler-utils unzip dpkg-dev file openssl
          qt6-translations-l10n xvfb clang-format libminizip-dev)
JOBS=$(nproc 2>/dev/null || echo 2)

need_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [[ $(id -u) -ne 0 ]] && sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

build() { # build DIR [cmake options...]
    local dir=$1; shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j"$JOBS"
}

case "${1:-}" in
run)
    need_packages
    build build
    shift
    if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
        echo "dev.sh: no display to open the window on (set DISPLAY, or QT_QPA_PLATFORM=offscreen)" >&2
        exit 2
    fi
    exec build/bin/corvan --user demo "$@"
    ;;
test)
    need_packages
    build build -DCORVAN_PG_PORT="${CORVAN_PG_PORT:-55439}"
    (cd build && ctest --output-on-failure -j1)
    # The same suite again under the address and undefined-behaviour sanitizers.
    build build-asan -DCORVAN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCORVAN_PG_PORT="${CORVAN_PG_PORT_ASAN:-55438}"
    (cd build-asan && ctest --output-on-failure -j1)
    ;;
package)
    need_packages
    build build
    (cd build && cpack -G DEB)
    ;;
*)
    echo "usage: ./dev.sh run [corvan options] | ./dev.sh test | ./dev.sh package" >&2
    exit 2
    ;;
esac
