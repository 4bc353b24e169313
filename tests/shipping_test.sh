#!/bin/bash
# What ships beside the programs: the manual pages name every command of vendrix-cli's
# table and render without warnings, the bash completion completes commands, options
# and the data tree's names, the desktop entry and AppStream data validate, the manual
# has no broken link, and an install puts each file in its place.
# usage: shipping_test.sh VENDRIX_CLI SOURCE_DIR BUILD_DIR
set -uo pipefail
cli=$1 src=$2 build=$3
source "$src/tests/support/check.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# --- manual pages -------------------------------------------------------------------
man_text=$(MANWIDTH=200 man --warnings -l "$build/man/vendrix-cli.1" 2>"$tmp/man.err")
check "vendrix-cli(1) renders without warnings" "" "$(cat "$tmp/man.err")"
missing=""
while IFS=$'\t' read -r command _; do
  grep -q "^   $command\$" <<<"$man_text" || missing+=" $command"
done < <("$cli" help --completion-words)
check "vendrix-cli(1) has a section for every command" "" "$missing"
# Every usage line of the help is in the manual page, word for word.
missing=""
while IFS= read -r line; do
  line=$(sed 's/^ *//; s/ *$//' <<<"$line")
  [ -z "$line" ] && continue
  grep -qF -- "$line" <<<"$man_text" || missing+="[$line]"
done < <("$cli" help | sed -n '3,/^$/p')
check "every usage line is in vendrix-cli(1)" "" "$missing"
check "vendrix-cli(1) lists the exit codes" "0 1 2 3 130" \
  "$(sed -n '/^EXIT STATUS/,/^FILES/p' <<<"$man_text" | grep -oE '^ +[0-9]+( |$)' | xargs)"
vendrix_text=$(man --warnings -l "$build/man/vendrix.1" 2>"$tmp/man.err" | head -3)
check "vendrix(1) renders" "" "$(cat "$tmp/man.err")"
grep -q "VENDRIX(1)" <<<"$vendrix_text"
check "vendrix(1) has its title" 0 $?

# --- bash completion ----------------------------------------------------------------
cp -r "$src/share/demo" "$tmp/tree"
complete_words() {
  bash -c '
    source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _vendrix_cli; printf "%s\n" "${COMPREPLY[@]}"' _ \
    "$src/share/bash-completion/vendrix-cli" "$@" | sort | paste -sd" "
}
export PATH="$(dirname "$cli"):$PATH"
check "su<Tab> completes to submit" "submit" "$(complete_words vendrix-cli su)"
check "a command's words" "delete list show" "$(complete_words vendrix-cli reports '')"
check "a command's options" "--again --app --company --json --only --parallel --yes" \
  "$(complete_words vendrix-cli submit --)"
check "an option's choices" "preview submission" \
  "$(complete_words vendrix-cli expand --mode '')"
check "the data tree's applications" "Pixel\\ Ruler Tidy\\ Notes" \
  "$(complete_words vendrix-cli --data-dir "$tmp/tree" submit --app '')"
check "the data tree's companies" "Brightfield\\ Software" \
  "$(complete_words vendrix-cli --data-dir "$tmp/tree" company show B)"
check "the data tree's sites" "Demo\\ Form\\ Get Demo\\ Form\\ Post" \
  "$(complete_words vendrix-cli --data-dir "$tmp/tree" table set --site 'Demo Form')"
mkdir -p "$tmp/tree/reports/Tidy Notes/2026-01-02 03.04.05"
: >"$tmp/tree/reports/Tidy Notes/2026-01-02 03.04.05/index.html"
runs=$(complete_words vendrix-cli --data-dir "$tmp/tree" reports show --app "Tidy Notes" --run '')
check "the application's report runs" "$("$cli" --data-dir "$tmp/tree" reports list --app "Tidy Notes" 2>/dev/null | sed 's/ /\\ /g' | sort | paste -sd" ")" "$runs"

# Names with spaces and quotes, as bash hands them over; script kinds, settings keys;
# and completion writes nothing, not even the data tree it looks into.
check "a name after an escaped space" "$runs" \
  "$(complete_words vendrix-cli --data-dir "$tmp/tree" reports show --app 'Tidy\ Notes' --run '')"
check "a name inside an opened quote" "Demo Form Get Demo Form Post" \
  "$(complete_words vendrix-cli --data-dir "$tmp/tree" site show '"Demo Fo')"
check "script kinds" "EMAIL_NEW EMAIL_UPDATE" \
  "$(complete_words vendrix-cli --data-dir "$tmp/tree" site script 'Demo\ Mail' E)"
check "settings keys" "SMTP= SMTPPassword= SMTPSecurity= SMTPUser=" \
  "$(complete_words vendrix-cli --data-dir "$tmp/tree" settings set SM)"
check "typed text is never run" "" \
  "$(complete_words vendrix-cli --data-dir '$(touch '"$tmp"'/ran)' company show '';
     ls "$tmp/ran" 2>/dev/null)"
mkdir "$tmp/xdg"
XDG_DATA_HOME="$tmp/xdg" VENDRIX_DATA= complete_words vendrix-cli company show '' >/dev/null
XDG_DATA_HOME="$tmp/xdg" VENDRIX_DATA= complete_words vendrix-cli site show '' >/dev/null
check "completion creates no data tree" "" "$(ls -A "$tmp/xdg")"

# --- desktop entry and AppStream data -----------------------------------------------
check "the desktop entry validates" "" \
  "$(desktop-file-validate "$src/share/com.halvane.vendrix.desktop" 2>&1)"
appstreamcli validate --no-net "$src/share/metainfo/com.halvane.vendrix.metainfo.xml" \
  >"$tmp/as.out" 2>&1
check "the AppStream data validates" "0" "$?"

# --- the user manual ----------------------------------------------------------------
if [ -f "$build/manual/index.html" ]; then
  /usr/bin/python3 "$src/docs/manual/build_manual.py" --check "$build/manual"
  check "the manual has no broken link" 0 $?
  # The manual names only what the program has: its options always, its menus, windows,
  # tabs, columns and controls when the GUI tests have written their names.
  facts=$(ls "$build"/screenshots/facts-*.tsv 2>/dev/null | head -1)
  /usr/bin/python3 "$src/docs/manual/build_manual.py" --check-facts "$src/docs/manual" "$cli" \
    "${facts:-none}"
  check "the manual names only what the program has" 0 $?
  cp -r "$src/docs/manual" "$tmp/manual-src"
  printf '\nUse **File → Nothing**, the **Frobnicate** tab and `submit --frob`.\n' \
    >>"$tmp/manual-src/sites.md"
  wrong=$(/usr/bin/python3 "$src/docs/manual/build_manual.py" --check-facts "$tmp/manual-src" \
    "$cli" "${facts:-none}" 2>&1 | grep -c '^  sites:')
  check "the manual check finds a name the program lacks" "$([ -n "$facts" ] && echo 3 || echo 1)" \
    "$wrong"
  grep -q "%CONTCOUNTRY%" "$build/manual/scripts.html"
  check "the manual lists the variables" 0 $?
else
  echo "SKIP the manual was not built (pandoc missing)"
fi

# --- install ------------------------------------------------------------------------
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null 2>&1
check "cmake --install succeeds" 0 $?
for f in bin/vendrix-cli share/man/man1/vendrix-cli.1.gz share/man/man1/vendrix.1.gz \
  share/bash-completion/completions/vendrix-cli share/doc/vendrix/copyright \
  share/vendrix/starter/vxsites.zip share/vendrix/starter/scripts/FTP_DEF_SCRIPT.SCP; do
  [ -f "$tmp/prefix/$f" ]
  check "installed $f" 0 $?
done
if [ -x "$build/src/ui/vendrix" ]; then
  for f in share/applications/com.halvane.vendrix.desktop \
    share/metainfo/com.halvane.vendrix.metainfo.xml \
    share/icons/hicolor/scalable/apps/vendrix.svg \
    share/icons/hicolor/48x48/apps/vendrix.png share/icons/hicolor/128x128/apps/vendrix.png \
    share/icons/hicolor/256x256/apps/vendrix.png; do
    [ -f "$tmp/prefix/$f" ]
    check "installed $f" 0 $?
  done
fi
if [ -f "$build/manual/index.html" ]; then
  [ -f "$tmp/prefix/share/vendrix/manual/index.html" ]
  check "installed the manual" 0 $?
fi

checks_done
