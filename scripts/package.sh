#!/usr/bin/env bash
# Builds the Debian package into build/ (build/scrivlet_VERSION_ARCH.deb)
# from the normal build, then checks it: the desktop entry and the AppStream
# metadata with their validators, the whole package with lintian.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# The dates in the package are the last commit's, so one commit gives one package.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && git rev-parse --git-dir >/dev/null 2>&1; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  export SOURCE_DATE_EPOCH
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target scrivlet scrivlet-cli scrivlet_package_files
rm -f build/scrivlet_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(echo build/scrivlet_*.deb)

desktop-file-validate build/packaging/*.desktop
appstreamcli validate --no-net build/packaging/*.metainfo.xml
# lintian warns when it runs as root, as CI does; its findings are what count.
lintian --fail-on error,warning --display-info "$deb" 2> >(grep -v 'running with root privileges' >&2)
echo "Package: $deb"
