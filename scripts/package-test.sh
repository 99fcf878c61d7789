#!/usr/bin/env bash
# Builds the Debian package, installs it, converts the samples with
# /usr/bin/scrivlet-cli as an ordinary user whose settings are in
# ~/.config/Scrivlet, and removes the package again, checking that nothing
# of it is left but that user's settings. Replaces any installed scrivlet.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/package.sh
deb=$(realpath build/scrivlet_*.deb)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
user=nobody

work=$(mktemp -d)
installed=""
cleanup() {
  [ -z "$installed" ] || $sudo dpkg -r scrivlet >/dev/null || true # after a failed check
  $sudo rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"
echo "Installing $deb"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
installed=yes
files=$(dpkg -L scrivlet)

# The user's home with settings that ask for a header of its own.
home=$work/home
mkdir -p "$home/.config/Scrivlet" "$home/samples"
printf '[envs]\r\nOWConfirm=False\r\nCRLF=True\r\nsubFolder=True\r\n[headfoot]\r\nuse0=True\r\nformat0=[%%P of %%A]\r\nuse1=False\r\nformat1=\r\n' \
  >"$home/.config/Scrivlet/Scrivlet.ini"
cp -r samples/. "$home/samples/"
find "$home/samples" -name '*.txt' -delete
$sudo chown -R "$user" "$home"
status=0
$sudo runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin scrivlet-cli "$home/samples" \
  >"$work/log" 2>"$work/err" || status=$?
cat "$work/log"
fail() { echo "package test: $*" >&2; exit 1; }
[ "$status" -eq 1 ] || fail "exit status $status, expected 1 (the damaged sample fails)"
pdfs=$(cd samples && find . -name '*.pdf' | sort)
[ "$(wc -l <"$work/log")" -eq "$(wc -l <<<"$pdfs")" ] || fail "expected one log line per sample"
while IFS= read -r pdf; do
  [ "$pdf" = ./damaged.pdf ] || [ -s "$home/samples/${pdf%.pdf}.txt" ] || fail "no text from $pdf"
done <<<"$pdfs"
head -c 40 "$home/samples/welcome.txt" | grep -aq '\[1 of ' || fail "the header of ~/.config/Scrivlet/Scrivlet.ini was not used"
man -w scrivlet-cli >/dev/null 2>&1 || ! command -v man >/dev/null || fail "no manual page for scrivlet-cli"

echo "Removing the package"
$sudo dpkg -r scrivlet >/dev/null
installed=""
state=$(dpkg-query -W -f='${db:Status-Abbrev}' scrivlet 2>/dev/null || true)
[ -z "$state" ] || [[ $state == un* ]] || fail "dpkg still holds scrivlet ($state)"
while IFS= read -r f; do
  [ -d "$f" ] || [ ! -e "$f" ] || fail "$f is left behind"
done <<<"$files"
[ ! -e /usr/share/scrivlet ] || fail "/usr/share/scrivlet is left behind"
[ -s "$home/.config/Scrivlet/Scrivlet.ini" ] || fail "the user's settings are gone"
echo "package test: installed, converted the samples as $user, removed"
