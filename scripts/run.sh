#!/usr/bin/env bash
# Builds the program and starts it. Without a display it converts a copy of
# the sample PDFs with the console tool instead and shows what came out.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/scrivlet
fi
echo "No display: converting the samples with scrivlet-cli."
rm -rf build/samples-run
cp -r samples build/samples-run
status=0
build/bin/scrivlet-cli --overwrite build/samples-run || status=$?
echo "(exit status $status: 1 means some file failed, as the damaged sample does)"
for txt in $(find build/samples-run -name '*.txt' | sort); do
  echo "===== $txt"
  iconv -f CP932 -t UTF-8 "$txt"
done
