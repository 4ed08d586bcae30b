#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite, with a
# PostgreSQL and a MariaDB server of its own on 127.0.0.1 that are stopped
# afterwards.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/deps.sh"
install_deps

build="${VESKO_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --parallel "$(nproc)"

work=$(mktemp -d /tmp/vesko-test.XXXXXX)
pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
mariadb_pid=
cleanup() {
  if [ -f "$work/pg/postmaster.pid" ]; then
    runuser -u postgres -- "$pgbin/pg_ctl" -D "$work/pg" -m fast -w stop >/dev/null 2>&1 || true
  fi
  if [ -n "$mariadb_pid" ]; then
    kill "$mariadb_pid" 2>/dev/null || true
    wait "$mariadb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# PostgreSQL refuses to run as root: a cluster of its own, owned by postgres,
# listening on loopback only.
chown postgres "$work"
port=$(free_port)
echo vesko-test > "$work/pwfile"
chown postgres "$work/pwfile"
runuser -u postgres -- "$pgbin/initdb" -D "$work/pg" -U postgres --pwfile="$work/pwfile" \
  -A scram-sha-256 -E UTF8 --locale=C.UTF-8 >/dev/null
runuser -u postgres -- "$pgbin/pg_ctl" -D "$work/pg" -l "$work/pg.log" -w \
  -o "-c listen_addresses=127.0.0.1 -p $port -k $work" start >/dev/null
export VESKO_TEST_PG_HOST=127.0.0.1 VESKO_TEST_PG_PORT=$port
export VESKO_TEST_PG_USER=postgres VESKO_TEST_PG_PASSWORD=vesko-test

# MariaDB runs as mysql from a data directory of its own, with a private
# socket for setting it up and a loopback port for the tests; no option file
# of the machine is read.
mkdir "$work/maria"
chown mysql "$work/maria"
chmod 711 "$work"
maria_options=(--no-defaults --user=mysql --datadir="$work/maria/data"
  --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci
  --innodb-buffer-pool-size=32M --innodb-log-file-size=8M)
mariadb-install-db "${maria_options[@]}" --auth-root-authentication-method=socket \
  --skip-test-db >"$work/maria/install.log" 2>&1
maria_port=$(free_port)
/usr/sbin/mariadbd "${maria_options[@]}" --socket="$work/maria/sock" --port="$maria_port" \
  --bind-address=127.0.0.1 --skip-name-resolve --log-error="$work/maria/error.log" \
  --pid-file="$work/maria/pid" >/dev/null 2>&1 &
mariadb_pid=$!
for _ in $(seq 300); do
  mariadb-admin --no-defaults --socket="$work/maria/sock" ping >/dev/null 2>&1 && break
  kill -0 "$mariadb_pid" 2>/dev/null || { cat "$work/maria/error.log"; exit 1; }
  sleep 0.1
done
mariadb --no-defaults --socket="$work/maria/sock" -e "
  create user vesko@'%' identified by 'vesko-test';
  grant all on *.* to vesko@'%';
  create database vesko_test;"
export VESKO_TEST_MARIADB_HOST=127.0.0.1 VESKO_TEST_MARIADB_PORT=$maria_port
export VESKO_TEST_MARIADB_USER=vesko VESKO_TEST_MARIADB_PASSWORD=vesko-test VESKO_TEST_MARIADB_DATABASE=vesko_test

# ODBC drivers registered in a test-local driver file.
mkdir -p "$work/odbc"
odbcdir=$(dirname "$(find /usr/lib -name libsqlite3odbc.so -print -quit)")
cat > "$work/odbc/odbcinst.ini" <<INI
[SQLite3]
Driver=$odbcdir/libsqlite3odbc.so

[PostgreSQL Unicode]
Driver=$odbcdir/psqlodbcw.so

[MariaDB]
Driver=$odbcdir/libmaodbc.so
INI
: > "$work/odbc/odbc.ini"
export ODBCSYSINI="$work/odbc" ODBCINI="$work/odbc/odbc.ini"

export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --timeout 600 "$@"
