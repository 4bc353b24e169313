#!/usr/bin/env bash
# The built package as a new user meets it: unpacked into a scratch root (dpkg -x),
# run as a user whose home is a scratch folder, with no data tree given. It writes
# nothing but that user's data folder, takes the example sites installed with it,
# posts to them (the local demo download sites), offers the default scripts, and its
# manual pages carry a date and fit 80 columns.
# usage: package_test.sh PATH/TO/vendrix_VERSION_ARCH.deb SOURCE_DIR
set -u
deb=$1
src=$2
work=$(mktemp -d)
source "$src/share/demo-sites/demo-sites.sh"
trap 'demo_sites_stop; chmod -R u+w "$work"; rm -rf "$work"' EXIT
source "$src/tests/support/check.sh"

root="$work/root"
dpkg -x "$deb" "$root"
chmod -R a-w "$root"  # as installed: the user cannot write there
cli="$root/usr/bin/vendrix-cli"
export HOME="$work/home" XDG_DATA_HOME= VENDRIX_DATA=
mkdir -p "$HOME"
data="$HOME/.local/share/vendrix"
before=$(cd "$root" && find . | sort)

check "--version" "vendrix-cli $(dpkg-deb --field "$deb" Version)" "$("$cli" --version)"
check "a reading command creates no data tree" ":0" \
  "$("$cli" company list):$(find "$HOME" -mindepth 1 | wc -l)"

# The example sites, installed from the archive the package holds.
"$cli" update --file "$root/usr/share/vendrix/starter/vxsites.zip" >/dev/null
check "the example sites" "Example E-mail Example FTP Upload Example Web Form" \
  "$("$cli" site list | paste -sd' ')"
check "the data tree is the user's data folder" "cat companies data files images reports sites" \
  "$(ls "$data" | grep -v '\.' | paste -sd' ')"
check "the default scripts are offered" "yes" \
  "$(cmp -s "$root/usr/share/vendrix/starter/scripts/FTP_DEF_SCRIPT.SCP" \
      "$src/share/starter/scripts/FTP_DEF_SCRIPT.SCP" && echo yes)"

# A company and an application of the demo tree post to the example sites, which
# point at the demo download sites on this machine.
cp -r "$src/share/demo/companies/." "$data/companies/"
cp "$src/share/demo/data/Brightfield Software Apps.dat" "$src/share/demo/data/Tidy Notes".{dat,lds,nts} \
  "$data/data/"
cp -r "$src/share/demo/dist" "$data/"
"$cli" app set "Tidy Notes" PATH="$data/dist/tidynote.exe" GIFPATH="$data/dist/icon.gif" >/dev/null
demo_sites_start "$work/received" || exit 1
demo_sites_point "$data" "$cli"
"$cli" table set --app "Tidy Notes" --site "Example Web Form" cat1=Utilities >/dev/null
"$cli" submit --app "Tidy Notes" --yes >"$work/out" 2>"$work/err"
check "the example sites take the submission" "0:Succeeded: 3  Failed: 0" \
  "$?:$(grep -o 'Succeeded.*' "$work/err")"
check "the FTP example uploads into its folder" "yes" \
  "$(ls "$work/received/ftp/incoming/"*.zip >/dev/null 2>&1 && echo yes)"
check "the mail example ends with the footer" "yes" \
  "$(grep -rlq 'auto-submitted by Vendrix' "$work/received/mail" && echo yes)"
check "nothing was written into the installed files" "$before" "$(cd "$root" && find . | sort)"
check "nothing was written outside the data folder" "$data" \
  "$(find "$HOME" -mindepth 1 -maxdepth 3 -newer "$deb" -not -path "$data*" -not -path "$HOME/.local" -not -path "$HOME/.local/share" -print; echo "$data")"

# Manual pages: dated, within 80 columns, no warnings.
for page in vendrix vendrix-cli; do
  text=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>"$work/man.err")
  check "$page(1) renders without warnings" "" "$(cat "$work/man.err")"
  check "$page(1) fits 80 columns" "" "$(LC_ALL=C.UTF-8 bash -c 'while IFS= read -r l; do [ ${#l} -gt 80 ] && printf "%s\\n" "$l"; done; true' <<<"$text")"
  check "$page(1) is dated" "1" "$(tail -1 <<<"$text" | grep -cE '[0-9]{4}-[0-9]{2}-[0-9]{2}')"
done
check "the manual is installed" "yes" \
  "$([ -f "$root/usr/share/vendrix/manual/index.html" ] && echo yes)"
check "the doc folder keeps only copyright and changelog" "changelog.gz copyright" \
  "$(ls "$root/usr/share/doc/vendrix" | paste -sd' ')"

checks_done
