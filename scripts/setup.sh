#!/usr/bin/env bash
# Installs, as root on Debian 12, the packages the build and the tests need
# that are not there yet.
set -euo pipefail
packages=(g++ make cmake pkg-config zlib1g-dev libgtest-dev qt6-base-dev poppler-data aglfn fonts-urw-base35
          fonts-ipaexfont-gothic qt6-translations-l10n nettle-dev libdeflate-dev qpdf
          # the Debian package: manual pages, icons, packing and its checks
          scdoc librsvg2-bin dpkg-dev file lintian desktop-file-utils appstream
          "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
