#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12. Idempotent: installs only what is missing.
set -euo pipefail

# xdg-utils: xdg-open, through which the program opens its help pages and web addresses.
packages=(
  g++ cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins
  libtomcrypt-dev libjpeg62-turbo-dev libgtest-dev libgmock-dev libbenchmark-dev libtbb-dev
  clang-14 libclang-rt-14-dev
  xvfb xauth fonts-dejavu-core adwaita-icon-theme locales
  xdotool openbox jq x11-utils
  poppler-utils
  xdg-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
  $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
fi

# A comma-decimal locale, so the tests can show that saved numbers do not depend on it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8 2>/dev/null || echo "setup: could not make de_DE.UTF-8 (its test will be skipped)"
fi
