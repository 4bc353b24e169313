#!/usr/bin/env bash
# The desktop program holds its data tree while it is open on it: vendrix-cli's
# writing commands are refused, naming the program; reading ones still work; once
# the program has ended, writing works again.
# usage: gui_lock_test.sh PATH/TO/vendrix PATH/TO/vendrix-cli PATH/TO/share/demo
set -u
gui=$1
cli=$2
demo=$3
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -KILL $pid 2>/dev/null; rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/support/check.sh"

d="$work/d"
cp -r "$demo/." "$d/"
v() { "$cli" --data-dir "$d" "$@"; }

QT_QPA_PLATFORM=offscreen "$gui" --data-dir "$d" >"$work/gui.out" 2>&1 &
pid=$!
for _ in $(seq 300); do
  grep -q "the desktop program (process $pid)" "$d/vendrix.lock" 2>/dev/null && break
  sleep 0.1
done
v company set "$(v company list | head -n1)" CONTACT=Changed 2>"$work/err"
check "writing refused while the program is open" \
  "1:The data tree is in use by the desktop program (process $pid): close it first." \
  "$?:$(cat "$work/err")"
v submit --app "Tidy Notes" --yes >/dev/null 2>"$work/err"
check "a run refused while the program is open" "1:the desktop program" \
  "$?:$(grep -o "the desktop program" "$work/err")"
v company list >/dev/null
check "reading works while the program is open" 0 $?

kill -KILL $pid
wait $pid 2>/dev/null
pid=
v company set "$(v company list | head -n1)" CONTACT=Changed
check "writing works once the program has ended" 0 $?

# The start the benchmark times: the program ends by itself once its window is shown,
# and leaves the tree free.
QT_QPA_PLATFORM=offscreen timeout 120 "$gui" --data-dir "$d" --exit-when-shown >/dev/null 2>&1
check "--exit-when-shown ends the program once its window is shown" 0 $?
v company set "$(v company list | head -n1)" CONTACT=Again
check "writing works after it" 0 $?

checks_done
