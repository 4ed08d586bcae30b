#!/usr/bin/env bash
# Makes the Debian package from this build with CPack and checks it without
# installing it: its files, its control fields, the menu entry and lintian.
# Arguments: the build folder and the project's version.
set -euo pipefail
build=$1 version=$2
work=$(mktemp -d /tmp/vesko-package.XXXXXX)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null
deb=$(ls "$work"/out/*.deb)
dpkg-deb -x "$deb" "$work/root"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# The program and what the menu needs, never a site file: vesko.ini and
# brinfo.ini belong to the desk, the pick lists to the administrator.
diff -u - <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ || $6 ~ /^\.\/opt\/vesko/ {print $1, $2, $6}') <<'LIST' || fail "file list"
drwxr-xr-x root/root ./opt/vesko/
drwxr-xr-x root/root ./opt/vesko/set_info/
drwxr-xr-x root/root ./opt/vesko/set_info/bg_info/
drwxr-xr-x root/root ./opt/vesko/set_info/bg_info/field_list/
-rwxr-xr-x root/root ./opt/vesko/vesko
-rw-r--r-- root/root ./usr/share/applications/vesko.desktop
-rw-r--r-- root/root ./usr/share/doc/vesko/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/vesko/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/vesko.svg
-rw-r--r-- root/root ./usr/share/lintian/overrides/vesko
LIST

# A field and its text, or the packages a relation names among others.
while read -r name kind want; do
  have=$(dpkg-deb -f "$deb" "$name")
  if [ "$kind" = is ]; then
    [ "$have" = "$want" ] || fail "$name is '$have', not '$want'"
  else
    for p in $want; do
      grep -Eq "(^|, )$p( |,|$)" <<<"$have" || fail "$name lacks $p: $have"
    done
  fi
done <<FIELDS
Package is vesko
Version is $version
Architecture is $(dpkg --print-architecture)
Depends names libqt6widgets6 libpq5 libsqlite3-0 libodbc2 fonts-wqy-zenhei qt6-qpa-plugins qt6-translations-l10n adduser acl
Recommends names unixodbc odbc-postgresql libsqliteodbc odbc-mariadb
FIELDS
dpkg-deb -I "$deb" postinst postrm >/dev/null || fail "maintainer scripts missing"

changelog=$(gunzip -c "$work/root/usr/share/doc/vesko/changelog.gz" | dpkg-parsechangelog -l - -S Version)
[ "$changelog" = "$version" ] || fail "changelog is at $changelog, not $version"

entry="$work/root/usr/share/applications/vesko.desktop"
desktop-file-validate "$entry" || fail "desktop entry does not validate"
grep -qx 'Exec=/opt/vesko/vesko' "$entry" || fail "menu entry does not start /opt/vesko/vesko"
icon=$(sed -n 's/^Icon=//p' "$entry")
[ -f "$work/root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon $icon"

lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

exit "$failed"
