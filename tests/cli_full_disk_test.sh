#!/usr/bin/env bash
# Changes of several files are all or nothing: a full disk (ENOSPC injected by strace
# at each write in turn) leaves the tree exactly as before, or, when the command still
# succeeds, exactly as an undisturbed run leaves it; a refused PAD import writes
# nothing, and its dry run says the same.
# usage: cli_full_disk_test.sh PATH/TO/vendrix-cli PATH/TO/share/demo
set -u
cli=$1
demo=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/support/check.sh"
export ASAN_OPTIONS=detect_leaks=0  # LeakSanitizer cannot run under ptrace

base=$work/base
cp -r "$demo/." "$base/"
"$cli" --data-dir "$base" company new "Acme Tools" >/dev/null
# Both site tables in step with the catalogue, so that only the change itself writes.
for app in "Tidy Notes" "Pixel Ruler"; do
  "$cli" --data-dir "$base" table set --app "$app" --site "Demo Form Get" post=Y >/dev/null
done
pad() {  # company, application, contact
  cat <<PAD
<?xml version="1.0" encoding="UTF-8"?>
<XML_DIZ_INFO>
  <Company_Info><Company_Name>$1</Company_Name>
    <Contact_Info><Contact_First_Name>$3</Contact_First_Name></Contact_Info></Company_Info>
  <Program_Info><Program_Name>$2</Program_Name><Program_Version>9.1</Program_Version></Program_Info>
  <Program_Descriptions><English><Char_Desc_45>New text</Char_Desc_45></English></Program_Descriptions>
</XML_DIZ_INFO>
PAD
}
pad "Zed Works" "Zed Tool" "Zed" >"$work/new.xml"
pad "Brightfield Software" "Tidy Notes" "Someone Else" >"$work/update.xml"
pad "Acme Tools" "Pixel Ruler" "Jo" >"$work/taken.xml"

tree() {
  (cd "$1" && find . ! -name vendrix.lock -printf '%p %s %m\n' | sort &&
    find . -type f ! -name vendrix.lock -print0 | sort -z | xargs -0 md5sum)
}
before=$(tree "$base")

# The refused import: the name belongs to another company. Nothing written, and the
# dry run refuses alike.
cp -a "$base" "$work/t"
err=$("$cli" --data-dir "$work/t" app import-pad "$work/taken.xml" --update 2>&1 >/dev/null)
rc=$?
dry=$("$cli" --data-dir "$work/t" app import-pad "$work/taken.xml" --update --dry-run 2>&1 >/dev/null)
check "an import of another company's application is refused" \
  "1:The application Pixel Ruler belongs to the company Brightfield Software" "$rc:${err%%, and*}"
check "its dry run says the same" "$err" "$dry"
check "the refused import wrote nothing" "$before" "$(tree "$work/t")"
rm -rf "$work/t"

# A list that cannot be read (here a FIFO in its place) is never saved over: the new
# name is refused and the list stays.
for list in "companies/companies.dat|company|new|Zed Co" \
  "data/Brightfield Software Apps.dat|app|new|Zed App|--company|Brightfield Software"; do
  IFS='|' read -ra words <<<"$list"
  cp -a "$base" "$work/t"
  rm "$work/t/${words[0]}"
  mkfifo "$work/t/${words[0]}"
  timeout 20 "$cli" --data-dir "$work/t" "${words[@]:1}" >/dev/null 2>&1
  rc=$?
  check "an unreadable ${words[0]##*/} is not saved over" "1:fifo" \
    "$rc:$(stat -c %F "$work/t/${words[0]}" | cut -c1-4)"
  rm -rf "$work/t"
done

if ! command -v strace >/dev/null || ! strace -o /dev/null true 2>/dev/null; then
  echo "strace cannot trace here; the full disk is not tried"
  checks_done
  exit
fi

ops="company|new|Zed Co
app|new|Zed App|--company|Brightfield Software
site|new|Zed Site
app|import-pad|$work/new.xml
app|import-pad|$work/update.xml|--update
app|delete|Tidy Notes|--company|Brightfield Software
company|delete|Acme Tools
site|delete|Demo Mail"
summary=""
while IFS='|' read -ra words; do
  rm -rf "$work/after"
  cp -a "$base" "$work/after"
  "$cli" --data-dir "$work/after" "${words[@]}" >/dev/null 2>&1 </dev/null
  after=$(tree "$work/after")
  [ "$after" != "$before" ] || summary+="${words[*]}: changed nothing"$'\n'
  bad=""
  injected=0
  for ((n = 1; n < 400; n++)); do
    rm -rf "$work/run"
    cp -a "$base" "$work/run"
    strace -f -y -o "$work/trace" -e trace=write -e "inject=write:error=ENOSPC:when=$n" \
      "$cli" --data-dir "$work/run" "${words[@]}" >/dev/null 2>&1 </dev/null
    rc=$?
    grep -q INJECTED "$work/trace" || break  # past the last write
    # Only a write into the tree counts (not the terminal's, nor the sanitizers' own).
    grep -q "write([0-9]*<$work/run/.*INJECTED" "$work/trace" || continue
    injected=$((injected + 1))
    now=$(tree "$work/run")
    if [ "$rc" -ne 0 ] && [ "$now" != "$before" ]; then
      bad+="ENOSPC at write #$n: exit $rc, the tree changed"$'\n'
    elif [ "$rc" -eq 0 ] && [ "$now" != "$after" ]; then
      bad+="ENOSPC at write #$n: exit 0, but not the undisturbed result"$'\n'
    fi
  done
  check "a full disk during ${words[*]} leaves the tree as before" "" "$bad"
  echo "${words[0]} ${words[1]}: $injected injected failures in the tree's files, every tree compared"
  [ "$injected" -gt 0 ] || summary+="${words[*]}: no write into the tree was failed"$'\n'
done <<<"$ops"
check "every change changes something undisturbed" "" "$summary"
checks_done
