#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite, with a
# PostgreSQL server of its own on 127.0.0.1 that is stopped afterwards.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/deps.sh"
install_deps

build="${VESKO_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --parallel "$(nproc)"

work=$(mktemp -d /tmp/vesko-test.XXXXXX)
pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
cleanup() {
  if [ -f "$work/pg/postmaster.pid" ]; then
    runuser -u postgres -- "$pgbin/pg_ctl" -D "$work/pg" -m fast -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# PostgreSQL refuses to run as root: a cluster of its own, owned by postgres,
# listening on loopback only.
chown postgres "$work"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
echo vesko-test > "$work/pwfile"
chown postgres "$work/pwfile"
runuser -u postgres -- "$pgbin/initdb" -D "$work/pg" -U postgres --pwfile="$work/pwfile" \
  -A scram-sha-256 -E UTF8 --locale=C.UTF-8 >/dev/null
runuser -u postgres -- "$pgbin/pg_ctl" -D "$work/pg" -l "$work/pg.log" -w \
  -o "-c listen_addresses=127.0.0.1 -p $port -k $work" start >/dev/null
export VESKO_TEST_PG_HOST=127.0.0.1 VESKO_TEST_PG_PORT=$port
export VESKO_TEST_PG_USER=postgres VESKO_TEST_PG_PASSWORD=vesko-test

# ODBC drivers registered in a test-local driver file.
mkdir -p "$work/odbc"
odbcdir=$(dirname "$(find /usr/lib -name libsqlite3odbc.so -print -quit)")
cat > "$work/odbc/odbcinst.ini" <<INI
[SQLite3]
Driver=$odbcdir/libsqlite3odbc.so

[PostgreSQL Unicode]
Driver=$odbcdir/psqlodbcw.so
INI
: > "$work/odbc/odbc.ini"
export ODBCSYSINI="$work/odbc" ODBCINI="$work/odbc/odbc.ini"

export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --timeout 600 "$@"
