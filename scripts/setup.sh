#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the host and the tests need.
# As root it calls apt-get directly, otherwise through sudo. Packages already
# there are not fetched again.
set -euo pipefail

packages=(
  cmake ninja-build g++ g++-multilib ccache pkg-config
  qt6-base-dev libqt6sql6-sqlite libqt6sql6-odbc
  libgtest-dev libbenchmark-dev libsqlite3-dev
  odbcinst libsqliteodbc
  postgresql libqt6sql6-psql
  clang-14 libclang-rt-14-dev
  fonts-wqy-microhei
  libxlsxwriter-dev qt6-translations-l10n
  python3 python3-openpyxl poppler-utils
  xvfb openbox x11-utils
  debootstrap lintian desktop-file-utils appstream dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  apt_get=(apt-get)
else
  apt_get=(sudo apt-get)
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${apt_get[@]}" update -q
"${apt_get[@]}" install -y -q --no-install-recommends "${missing[@]}"
