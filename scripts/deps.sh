# Debian packages the build, the tests and the program need; sourced by the
# run and test scripts.
vesko_packages=(
  cmake ninja-build g++ pkg-config python3
  qt6-base-dev qt6-qpa-plugins libgl-dev
  libsqlite3-dev libpq-dev unixodbc-dev libicu-dev
  postgresql odbc-postgresql libsqliteodbc
  mariadb-server odbc-mariadb
  xvfb xauth imagemagick fonts-wqy-zenhei
)

install_deps() {
  local missing=()
  for p in "${vesko_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

# Qt's own texts (buttons, menus, message-box details) in Chinese.
vesko_packages+=(qt6-translations-l10n)

# Making the Debian package and checking it.
vesko_packages+=(dpkg-dev lintian desktop-file-utils)
