#!/usr/bin/env bash
# An update killed (SIGKILL, injected by strace) at every call that writes, renames,
# links, removes or flushes: after the next start the catalogue is wholly the old
# one or wholly the new one, and no hidden staging file or folder is left.
# usage: cli_update_kill_test.sh PATH/TO/vendrix-cli
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/support/check.sh"
export ASAN_OPTIONS=detect_leaks=0  # LeakSanitizer cannot run under ptrace

if ! command -v strace >/dev/null || ! strace -o /dev/null true 2>/dev/null; then
  echo "strace cannot trace here; skipped"
  exit 0
fi

# The old catalogue: two sites, the user's own site, a category list each.
base=$work/base
mkdir -p "$base/sites/updates" "$base/cat"
printf 'Old1\r\nOld2\r\n' >"$base/sites/Sites.dat"
printf 'Mine\r\n' >"$base/sites/User_Sites.dat"
for s in Old1 Old2 Mine; do
  printf '[SETTINGS]\r\nold\r\n' >"$base/sites/$s.ini"
  printf 'Games\r\n' >"$base/cat/$s Cat1.cat"
done
printf 'old script\r\n' >"$base/sites/Old1 HTTP_NEW.scp"

# The new one replaces Old1, adds New1 and New2 and leaves Old2 and Mine alone.
mkdir "$work/zip"
printf 'Old1\r\nNew1\r\nNew2\r\n' >"$work/zip/Sites.dat"
for s in Old1 New1 New2; do
  printf '[SETTINGS]\r\nnew\r\n' >"$work/zip/$s.ini"
  printf 'Tools\r\n' >"$work/zip/$s Cat1.cat"
  printf 'new script\r\n' >"$work/zip/$s HTTP_NEW.scp"
done
(cd "$work/zip" && /usr/bin/python3 -c '
import os, zipfile
with zipfile.ZipFile("../new.zip", "w") as z:
    for n in sorted(os.listdir(".")): z.write(n)')

catalogue() {
  (cd "$1" && find sites cat -path sites/updates -prune -o -type f -print0 | sort -z |
    xargs -0 md5sum)
}
leftovers() { (cd "$1" && find . -name '.*' ! -name . | sort); }

cp -a "$base" "$work/run"
old=$(catalogue "$work/run")
"$cli" --data-dir "$work/run" update --file "$work/new.zip" >/dev/null
new=$(catalogue "$work/run")
check "the update replaces the catalogue" "true" "$([ "$old" != "$new" ] && echo true)"

kills=0
for call in write rename renameat link linkat unlink unlinkat mkdir chmod fsync syncfs rmdir; do
  bad=""
  for ((n = 1; ; n++)); do
    rm -rf "$work/run"
    cp -a "$base" "$work/run"
    # (through sh, so that this shell reports no killed job)
    rc=$(sh -c '"$@" >/dev/null 2>&1; echo $?' sh strace -f -o /dev/null \
      -e "inject=$call:signal=SIGKILL:when=$n" \
      "$cli" --data-dir "$work/run" update --file "$work/new.zip")
    [ "$rc" -eq 137 ] || break  # the update ran past its last such call
    kills=$((kills + 1))
    "$cli" --data-dir "$work/run" site list >/dev/null 2>&1
    # The replaced catalogue is removed by a process of its own: wait for it.
    for _ in $(seq 600); do
      [ -e "$work/run/.catalogue-trash" ] || break
      sleep 0.1
    done
    now=$(catalogue "$work/run")
    left=$(leftovers "$work/run")
    if [ "$now" != "$old" ] && [ "$now" != "$new" ]; then
      bad+="kill at $call #$n left a mixed catalogue:"$'\n'"$now"$'\n'
    fi
    [ -z "$left" ] || bad+="kill at $call #$n left:"$'\n'"$left"$'\n'
  done
  check "a kill at any $call leaves the old or the new catalogue and nothing hidden" "" "$bad"
done
echo "$kills kills"

# The double fault: an I/O error on each flush, alone and then with a kill at each
# rename or removal (among them a rollback's steps). The update's word and the next start's
# agree with what is on disk, and the catalogue is wholly old or wholly new.
faults=0
bad=""
for ((n = 1; ; n++)); do
  ran=no
  for kill in none rename:{1..5} unlink:{1..3}; do
    rm -rf "$work/run"
    cp -a "$base" "$work/run"
    inject=(-e "inject=fsync:error=EIO:when=$n")
    [ "$kill" == none ] || inject+=(-e "inject=${kill%:*}:signal=SIGKILL:when=${kill#*:}")
    out=$(sh -c '"$@" 2>&1; echo "rc=$?"' sh strace -f -o "$work/trace" "${inject[@]}" \
      "$cli" --data-dir "$work/run" update --file "$work/new.zip")
    if ! grep -q 'fsync(.*INJECTED' "$work/trace"; then
      [ "$kill" == none ] && break  # past the last flush
      continue                      # killed before the flush
    fi
    ran=yes
    faults=$((faults + 1))
    start=$("$cli" --data-dir "$work/run" site list 2>&1 >/dev/null)
    for _ in $(seq 600); do
      [ -e "$work/run/.catalogue-trash" ] || break
      sleep 0.1
    done
    now=$(catalogue "$work/run")
    left=$(leftovers "$work/run")
    what="EIO at fsync #$n, kill at $kill"
    if [ "$now" != "$old" ] && [ "$now" != "$new" ]; then bad+="$what: a mixed catalogue"$'\n'; fi
    [ -z "$left" ] || bad+="$what left: $left"$'\n'
    if grep -q "not changed" <<<"$out" && [ "$now" != "$old" ]; then
      bad+="$what: said not changed, but the catalogue is new"$'\n'
    fi
    if grep -q "was finished" <<<"$start" && [ "$now" != "$new" ]; then
      bad+="$what: the start said finished, but the catalogue is old"$'\n'
    fi
  done
  [ "$ran" == yes ] || break
done
check "an I/O error on a flush, with or without a kill after it, leaves no mixed catalogue" "" "$bad"
echo "$faults double faults"
checks_done
