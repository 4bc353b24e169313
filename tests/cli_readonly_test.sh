#!/usr/bin/env bash
# Commands that only read change nothing (a site table behind the catalogue is put
# right in memory only), work the same on a tree they may not write to, never wait on
# a FIFO put in place of one of the tree's files, and never make a run refuse.
# usage: cli_readonly_test.sh PATH/TO/vendrix-cli PATH/TO/share/demo
set -u
cli=$1
demo=$2
work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/support/check.sh"

d=$work/d
cp -r "$demo/." "$d/"
v() { "$cli" --data-dir "$d" "$@"; }
v app set "Tidy Notes" PATH="$d/dist/tidynote.exe" >/dev/null
v app export-pad "Tidy Notes" --out "$work/tidy.xml" >/dev/null
run="$d/reports/Tidy Notes/2026-01-01-00-00-00-01"
mkdir -p "$run"
printf '{"app":"Tidy Notes","sites":[]}\n' >"$run/run.json"
printf '<html></html>\r\n' >"$run/MainReport.htm"
printf 'Demo Form Get\xb12.1\xb101/01/2026 10:00\xb1New\xb1HTTP\r\n' >"$d/data/Tidy Notes.hst"
v company list >/dev/null  # the lock file exists from here on
chmod -R a+rX "$work"

# Every entry with its size, time and mode, and every file's digest.
tree() {
  (cd "$d" && find . ! -name vendrix.lock -printf '%p %s %T@ %m\n' | sort &&
    find . -type f ! -name vendrix.lock -print0 | sort -z | xargs -0 md5sum)
}

# One reading command a line, its words split at "|". Pixel Ruler has no site table
# yet: it is behind the catalogue.
reads="company|list
company|show
app|list
app|show|Pixel Ruler
app|export-pad|Pixel Ruler|--out|-
app|import-pad|$work/tidy.xml|--update|--dry-run
settings|show
site|list
site|show|Demo Form Get
table|show|--app|Pixel Ruler
history|--app|Tidy Notes
check|--app|Pixel Ruler
precheck|--app|Pixel Ruler|--offline
expand|--app|Pixel Ruler|%APPNAME% %VERSION%
preview|--app|Pixel Ruler
reports|list
reports|show|--app|Tidy Notes|--json"

nobody=
if [ "$(id -u)" -eq 0 ] && setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
  nobody="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
before=$(tree)
changed=""
differ=""
while IFS='|' read -ra words; do
  # (the preview's scratch folder has a new name each time)
  out=$(v "${words[@]}" 2>&1 | sed 's/vendrix-preview-[A-Za-z0-9]*/vendrix-preview/g'; exit "${PIPESTATUS[0]}")
  rc=$?
  now=$(tree)
  [ "$now" == "$before" ] || changed+="${words[*]}"$'\n'
  before=$now
  if [ -n "$nobody" ]; then
    ro=$($nobody "$cli" --data-dir "$d" "${words[@]}" 2>&1 |
      sed 's/vendrix-preview-[A-Za-z0-9]*/vendrix-preview/g'; exit "${PIPESTATUS[0]}")
    [ "$?:$ro" == "$rc:$out" ] || differ+="${words[*]}: $rc:$out"$'\n'"  read-only: $?:$ro"$'\n'
  else
    echo "not root: the read-only tree is not tried"
  fi
done <<<"$reads"
check "reading commands change nothing" "" "$changed"
check "reading commands answer the same on a read-only tree" "" "$differ"
[ -n "$nobody" ] && ! $nobody "$cli" --data-dir "$d" company set "Brightfield Software" \
  CONTACT=X >/dev/null 2>&1
check "a writing command is refused on it" 0 $?

# A FIFO in place of each kind of file: the command says so instead of waiting.
fifos="data/Tidy Notes.hst|history|--app|Tidy Notes
reports/Tidy Notes/2026-01-01-00-00-00-01/run.json|reports|show|--app|Tidy Notes|--json
companies/Brightfield Software.dat|company|show|Brightfield Software
data/Tidy Notes.dat|app|show|Tidy Notes
data/Tidy Notes.lds|app|show|Tidy Notes
data/Tidy Notes_SITES.dat|table|show|--app|Tidy Notes
settings.dat|settings|show
sites/Sites.dat|site|list
sites/Demo Form Get.ini|site|show|Demo Form Get
cat/Demo Form Get Cat1.cat|table|show|--app|Tidy Notes
vendrix.lock|company|list"
blocked=""
while IFS='|' read -ra words; do
  file="$d/${words[0]}"
  saved=$work/saved
  rm -f "$saved"
  [ -e "$file" ] && mv "$file" "$saved"
  mkfifo "$file"
  timeout 20 "$cli" --data-dir "$d" "${words[@]:1}" >/dev/null 2>"$work/err"
  rc=$?
  [ "$rc" -ne 124 ] || blocked+="${words[0]}: blocked"$'\n'
  rm -f "$file"
  [ -e "$saved" ] && mv "$saved" "$file"
done <<<"$fifos"
check "a FIFO in place of a file never blocks a command" "" "$blocked"
mkfifo "$work/pad.xml"
timeout 20 "$cli" --data-dir "$d" app import-pad "$work/pad.xml" --dry-run >/dev/null 2>&1
check "nor a PAD file" yes "$([ $? -ne 124 ] && echo yes)"

# A read during a run never makes the run refuse: runs start while history is read
# in a loop.
(
  while [ ! -e "$work/stop" ]; do v history --app "Tidy Notes" >/dev/null 2>&1; done
) &
reader=$!
refused=0
for _ in $(seq 10); do
  v submit --app "Tidy Notes" --only "Demo Form Get" --yes --again >/dev/null 2>"$work/err"
  grep -q "in use by\|being read" "$work/err" && refused=$((refused + 1))
  v table set --app "Tidy Notes" --site "Demo Form Get" post=N >/dev/null 2>"$work/err" ||
    refused=$((refused + 1))
done
touch "$work/stop"
wait $reader
check "no run or writer refused while history is read in a loop" 0 "$refused"
checks_done
