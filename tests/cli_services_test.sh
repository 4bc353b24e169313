#!/usr/bin/env bash
# The update, bhs and contribution commands against local peers.
# usage: cli_services_test.sh PATH/TO/vendrix-cli PATH/TO/share/demo PATH/TO/tests/peers
set -u
cli=$1
demo=$2
peers=$3
source "$(dirname "${BASH_SOURCE[0]}")/support/peer_test.sh"

py=/usr/bin/python3

cp -r "$demo/." "$work/d"
v() { "$cli" --data-dir "$work/d" "$@"; }
catalogue() { (cd "$work/d" && find sites cat -maxdepth 1 -type f -print0 | sort -z | xargs -0 md5sum); }

# Archives: a good one and hostile ones, served as raw replies.
"$py" - "$work" <<'PY'
import json, sys, zipfile
work = sys.argv[1]
def make(name, entries, link=None):
    with zipfile.ZipFile(f"{work}/{name}", "w") as z:
        for entry, data in entries:
            z.writestr(entry, data)
        if link:
            info = zipfile.ZipInfo(link)
            info.create_system = 3
            info.external_attr = 0o120777 << 16
            z.writestr(info, "/etc/passwd")
make("good.zip", [("Sites.dat", "Update One\r\nUpdate Two\r\n"),
                  ("Update One.ini", "[SETTINGS]\r\nUSE_EMAIL=1\r\n"),
                  ("Update Two.ini", "[SETTINGS]\r\n"),
                  ("Update One Cat1.cat", "Games\r\n")])
make("traversal.zip", [("Sites.dat", "Evil\r\n"), ("../../evil.ini", "x")])
make("link.zip", [("Sites.dat", "Evil\r\n")], link="Linked.ini")
routes = {}
for name in ("good", "traversal", "link"):
    body = open(f"{work}/{name}.zip", "rb").read()
    head = b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body)
    routes[f"/{name}/vendrix/engines/vxsites.zip"] = {"raw": (head + body).decode("latin-1")}
routes["/additem1.asp"] = {"raw": "HTTP/1.0 200 OK\r\n\r\n<option value=\"0\">pick</option>\r\n"
                                  "<option value=\"1201\">A&B Soft</option>\r\n"
                                  "<option value=\"88\">Other Co\r\n"}
routes["/additem2.asp"] = {"raw": "HTTP/1.0 200 OK\r\n\r\n<input value=\"4711\">\r\n"}
json.dump(routes, open(f"{work}/routes.json", "w"))
PY
start_peer http_peer.py --routes "$work/routes.json"
base="http://127.0.0.1:$port"

# Update.
before=$(catalogue)
for bad in traversal link; do
  v update --url "$base/$bad/vendrix/engines/vxsites.zip" >/dev/null 2>&1
  check "$bad archive refused" 1 $?
  check "$bad archive changes nothing" "$before" "$(catalogue)"
done
check "nothing outside the tree" "" "$(ls "$work"/evil.ini "$work/d/evil.ini" 2>/dev/null)"
v update --file "$work/traversal.zip" >/dev/null 2>&1
check "hostile file refused" 1 $?

v settings set UpdateURL="$base/good/vendrix/engines/vxsites.zip"
out=$(v update 2>"$work/err"); rc=$?
check "update exit" 0 $rc
check "update progress" "Connecting to Halvane Server" "$(echo "$out" | head -1)"
check "update done" "Data Update Complete" "$(echo "$out" | tail -1)"
check "restart message" "You must now restart Vendrix!" "$(tail -1 "$work/err")"
check "sites after update" "Update One
Update Two" "$(v site list)"
check "category file" "Games" "$(tr -d '\r' <"$work/d/cat/Update One Cat1.cat")"
check "updates folder empty" "" "$(ls -A "$work/d/sites/updates")"

# BHS: a company whose name holds "&".
v company new "A&B Soft" >/dev/null
v company set "A&B Soft" CADDR="1 Main St" CCITY=Springfield CSTATE=IL CCOUNTRY=USA CZIP=62701 \
  CPHONE=555-0100 CEMAIL=jo@ab.example CCMAIL=info@ab.example
v settings set BHSServer="127.0.0.1:$port"
check "no id yet" "" "$(v bhs show --company "A&B Soft" 2>/dev/null)"
out=$(v bhs new --company "A&B Soft" Address2="Suite 5" 2>&1); rc=$?
check "bhs new exit" 0 $rc
check "bhs new message" "Your BHS ID# is: 4711" "$out"
req=$(grep -l "POST /additem2.asp" "$work"/requests/*.bin | head -1)
check "form arrives intact, with the company's public address" \
  "A&B Soft|Suite 5|IL/USA|none|info@ab.example" "$("$py" - "$req" <<'PY'
import sys, urllib.parse
raw = open(sys.argv[1], "rb").read()
form = urllib.parse.parse_qs(raw.split(b"\r\n\r\n", 1)[1].decode("latin-1"))
print("|".join(form[k][0] for k in ("name", "Address2", "State", "FTPSite", "email")))
PY
)"
check "bhs id saved" "4711" "$(v bhs show --company "A&B Soft" 2>/dev/null)"
check "browse lists" "$(printf '1201\tA&B Soft\n88\tOther Co')" \
  "$(v bhs browse --company "A&B Soft")"
err=$(v bhs browse --company "A&B Soft" --use 88 2>&1 >/dev/null); rc=$?
check "browse --use keeps an existing id without --force" \
  "1:The company A&B Soft already has the BHS ID# 4711; give --force to replace it with 88.:4711" \
  "$rc:$err:$(v bhs show --company "A&B Soft" 2>/dev/null)"
err=$(v bhs browse --company "A&B Soft" --use 88 --force 2>&1 >/dev/null)
check "browse --use --force shows the name question it answers" \
  "The name you selected does not exactly match the name in your Vendrix company field. Do you still want to use the selected BHS company for the ID? Yes (--force)" \
  "$(printf '%s\n' "$err" | grep '^The name')"
check "browse --use" "88" "$(v bhs show --company "A&B Soft" 2>/dev/null)"
v bhs browse --company "A&B Soft" --use 5 >/dev/null 2>&1
check "unknown id refused" 1 $?
v settings set BHSServer="127.0.0.1:1"
err=$(v bhs browse --company "A&B Soft" 2>&1); rc=$?
check "no server names where and why" "1:Could not connect to BHS! (127.0.0.1:1: " "$rc:${err:0:40}"

# Contribution of a demo site through the user's mail server (aiosmtpd with AUTH).
start_peer smtp_peer.py aiosmtpd --out "$work/mail" --auth "editor:s3cret&pw" --auth-in-clear
printf 's3cret&pw\n' >"$work/password"
v settings set SMTP="127.0.0.1:$port" SMTPSecurity=None SMTPUser=editor \
  "SMTPPassword=@$work/password" ContributeAddress=sites@maker.example >/dev/null
v company set "A&B Soft" CONTACT="Jo Bloggs"
out=$(v site contribute "Update One" --company "A&B Soft" 2>&1); rc=$?
check "contribute exit" "0:Submission Sent. Thank You!" "$rc:$out"
mail="$work/mail/msg-1.eml"
check "contribution subject" "New Site Submission for: Update One" \
  "$("$py" "$peers/smtp_check.py" "$mail" subject)"
check "contribution recipient" "sites@maker.example" "$("$py" "$peers/smtp_check.py" "$mail" to)"
check "contribution files" "Update One.ini
Update One Cat1.cat" "$("$py" "$peers/smtp_check.py" "$mail" attachments)"
check "no password on the terminal" "" "$(echo "$out" | grep -c 's3cret' | grep -v '^0$')"
v company set "A&B Soft" CEMAIL=nobody
out=$(v site contribute "Update One" --company "A&B Soft" 2>&1); rc=$?
check "contact needed" "1:You do not have your company contact info filled in. Please do so now!" \
  "$rc:$out"
check "nothing more sent" "" "$(ls "$work/mail/msg-2.eml" 2>/dev/null)"
v site contribute "No Such Site" --company "A&B Soft" >/dev/null 2>&1
check "unknown site refused" 1 $?

checks_done
