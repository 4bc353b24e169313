#!/usr/bin/env bash
# Package manifests through vendrix-cli on the demo tree as shipped: every channel
# with the packed .nupkg, the precheck's findings, a profile that breaks winget's rules
# (nothing written, exit 3), and new keys kept by app set.
# usage: cli_manifest_test.sh PATH/TO/vendrix-cli PATH/TO/share/demo
set -u
cli=$1
demo=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/support/check.sh"

w() { "$cli" --data-dir "$work/demo" "$@"; }
cp -r "$demo/." "$work/demo"

w manifest all --app "Tidy Notes" --out "$work/out" --pack >"$work/written.txt"
check "all, packed, on the demo as shipped" "0 7" "$? $(wc -l <"$work/written.txt")"
check "the nupkg unpacks" "tidynotes.nuspec" \
  "$(unzip -Z1 "$work/out/chocolatey/tidynotes.2.1.nupkg" | grep -x tidynotes.nuspec)"
check "written again: unchanged" "0" \
  "$(w manifest all --app "Tidy Notes" --out "$work/out" --pack | grep -vc unchanged)"

tags=$(printf 't%d,' $(seq 1 16))$(printf 'x%.0s' $(seq 1 41))
w app set "Tidy Notes" TAGS="$tags" DL1_32=http://brightfield.example/dl/tidynote-2.1-setup.exe \
  >/dev/null
w manifest winget --app "Tidy Notes" --out "$work/bad" >"$work/findings.txt" 2>/dev/null
check "broken rules: exit 3, nothing written" "3 no" "$? $([ -e "$work/bad/manifests" ] && echo yes || echo no)"
check "the findings name field, rule and value" \
  "Tags:at most 16 tags:17 tags|Tags:each tag at most 40 characters:$(printf 'x%.0s' $(seq 1 41))|InstallerUrl:an https:// address:http://brightfield.example/dl/tidynote-2.1-setup.exe" \
  "$(cut -f2- "$work/findings.txt" | tr '\t' ':' | paste -sd'|')"
w precheck --app "Tidy Notes" --offline >"$work/precheck.txt" 2>/dev/null
check "precheck adds them" "3" "$(grep -c $'^error\twinget\t' "$work/precheck.txt")"
check "app set keeps the new keys" "inno" "$(w app show "Tidy Notes" | sed -n 's/^INSTKIND=//p')"
checks_done
