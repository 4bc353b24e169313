#!/usr/bin/env bash
# Drives vendrix-cli as a release pipeline would and checks outputs and exit codes.
# usage: cli_test.sh PATH/TO/vendrix-cli PATH/TO/share/demo PATH/TO/tests/peers
set -u
cli=$1
demo=$2
peers=$3
source "$(dirname "${BASH_SOURCE[0]}")/support/peer_test.sh"

v() { "$cli" --data-dir "$work/d" "$@"; }

# A company from scratch.
v company new Acme >/dev/null
check "new company exit" 0 $?
check "company show keys" "CONAME BHSID CONTACT CTITLE CEMAIL CPHONE CFAX CADDR CCITY CSTATE CZIP CCOUNTRY CURL CCMAIL" \
  "$(v company show Acme | cut -d= -f1 | tr '\n' ' ' | sed 's/ $//')"
err=$(v company new "a/b" 2>&1 >/dev/null); rc=$?
check "slash refused" 1 $rc
check "slash message" 'A name may not contain "/" or control characters, and may not be "." or "..".' "$err"
v company new Acme 2>/dev/null; check "duplicate refused" 1 $?
v company set Acme CONTACT="Jo Bloggs" CEMAIL=jo@acme.example
check "company set" "CONTACT=Jo Bloggs" "$(v company show Acme | grep ^CONTACT=)"
v company set Acme NOPE=1 2>/dev/null; check "unknown key is a usage error" 2 $?

# Applications, with a long description read from a file and UTF-8 on the terminal.
printf 'First line\nSecond line\n' >"$work/desc.txt"
v app new "Café Tool" >/dev/null; check "new app" 0 $?
v app set "Café Tool" VERSION=1.2 PLATFORM="Windows 95" STATUS=Shareware LONGDESC=@"$work/desc.txt"
check "app show version" "VERSION=1.2" "$(v app show "Café Tool" | grep ^VERSION=)"
check "app file is Windows-1252" "NAME=Caf$(printf '\xe9') Tool" \
  "$(grep -a '^NAME=' "$work/d/data/Café Tool.dat" | tr -d '\r')"
check "long description CR LF" "$(printf 'First line\r\nSecond line\r')" "$(cat "$work/d/data/Café Tool.lds")"
printf 'Caf\xc3\xa9 notes\n' >"$work/notes.txt"
v app set "Café Tool" NOTES=@"$work/notes.txt"
check "notes file read as UTF-8" "$(printf 'Caf\xe9 notes\r')" "$(cat "$work/d/data/Café Tool.nts")"
printf 'ok\nab\xe4\xb8\xadc\n' >"$work/wide.txt"
err=$(v app set "Café Tool" LONGDESC=@"$work/wide.txt" 2>&1)
check "a character Windows-1252 cannot hold is refused with its place" \
  "1:$work/wide.txt, line 2, column 3: a character that Windows-1252 cannot hold (the file is read as UTF-8)." "$?:$err"
check "app list" "Café Tool" "$(v app list --company Acme)"
# A file given with @ is UTF-8 text, stored in Windows-1252 exactly or refused whole.
printf 'Crème brûlée\n' >"$work/desc8.txt"
v app set "Café Tool" LONGDESC=@"$work/desc8.txt"
check "@file text stored in Windows-1252" "$(printf 'Cr\xe8me br\xfbl\xe9e\r')" "$(cat "$work/d/data/Café Tool.lds")"
printf '\xe2\x9c\x93 \xe6\x97\xa5\n' >"$work/tick.txt"
err=$(v app set "Café Tool" LONGDESC=@"$work/tick.txt" 2>&1); rc=$?
check "@file outside Windows-1252 refused" \
  "1:$work/tick.txt, line 1, column 1: a character that Windows-1252 cannot hold (the file is read as UTF-8)." "$rc:$err"
check "nothing stored after the refusal" "$(printf 'Cr\xe8me br\xfbl\xe9e\r')" "$(cat "$work/d/data/Café Tool.lds")"
v app set "Café Tool" LONGDESC=@"$work/desc.txt"
err=$(v app set "Café Tool" DAY=1x VERSION=9 2>&1); rc=$?
check "digits-only field refused" "1:DAY holds digits only." "$rc:$err"
check "nothing saved after a refusal" "VERSION=1.2" "$(v app show "Café Tool" | grep ^VERSION=)"
err=$(v app set "Café Tool" 8CHAR=../../x 2>&1); rc=$?
check "8-character rule" "1:You can only have alpha-numeric values in this field." "$rc:$err"
v app set "Café Tool" 8CHAR=CAFE; check "8-character name lower-cased" "8CHAR=cafe" "$(v app show "Café Tool" | grep ^8CHAR=)"
err=$(v company new "Ωmega" 2>&1); rc=$?
check "name outside Windows-1252 refused" "1:\"?mega\" holds characters that Windows-1252 cannot hold; use others." "$rc:$err"
check "nothing added" "Acme" "$(v company list)"
mkdir -p "$work/u/companies"
printf '%s\r\nGood\r\n' "$(head -c 300 /dev/zero | tr '\0' a)" >"$work/u/companies/companies.dat"
out=$("$cli" --data-dir "$work/u" company list 2>/dev/null); rc=$?
check "an unusable list entry does not stop the start" "0:Good" "$rc:$out"

# Settings.
err=$(v settings set PORT=8o8o 2>&1); rc=$?
check "port refused" "1:Proxy Port must be a whole number from 1 to 65535!" "$rc:$err"
err=$(v settings set PORT=70000 2>&1); rc=$?
check "port out of range" "1:Proxy Port must be a whole number from 1 to 65535!" "$rc:$err"
before=$(cat "$work/d/settings.dat" 2>/dev/null)
err=$(v settings set HTTPTimeOut=3 2>&1); rc=$?
check "time-out outside its range refused" \
  "1:The setting HTTPTimeOut=3 cannot be used: HTTPTimeOut is a whole number from 10 to 60." "$rc:$err"
err=$(v settings set SMTP=mail.example FTPRetries=-1 2>&1); rc=$?
check "retries outside their range refused" "1:FTPRetries" "$rc:$(echo "$err" | grep -o FTPRetries | head -n1)"
check "nothing written after a refusal" "$before" "$(cat "$work/d/settings.dat" 2>/dev/null)"
v settings set SMTP=mail.example FTPRetries=50 UseGridLines=1
check "settings in range" "FTPRetries=50" "$(v settings show | grep ^FTPRetries)"
check "grid lines" "UseGridLines=1" "$(v settings show | grep ^UseGridLines)"
check "post retries by default" "PostRetries=2" "$(v settings show | grep ^PostRetries)"
err=$(v settings set PostRetries=6 2>&1); rc=$?
check "post retries outside their range refused" \
  "1:The setting PostRetries=6 cannot be used: PostRetries is a whole number from 0 to 5." "$rc:$err"
v settings set PostRetries=0
check "post retries set" "PostRetries=0" "$(v settings show | grep ^PostRetries)"
printf '[SETTINGS]\r\nSMTP=keep\r\nFTPRetries=99\r\n' >"$work/d/settings.dat"
v settings set UseGridLines=0
check "grid lines written alone" "$(printf '[SETTINGS]\r\nSMTP=keep\r\nFTPRetries=99\r\nUseGridLines=0\r')" \
  "$(cat "$work/d/settings.dat")"

# Sites and the table on the demo tree.
cp -r "$demo/." "$work/demo"
w() { "$cli" --data-dir "$work/demo" "$@"; }
check "site list" 6 "$(w site list | wc -l)"
w site new "My Own Site" >/dev/null; check "site new" 0 $?
w site set "My Own Site" USE_HTTP_POST=1 SITE_TYPE=1 HTTP_NEW_SCRIPT_URL=http://127.0.0.1:8080/x
check "site set" "SITE_TYPE=1" "$(w site show "My Own Site" | grep ^SITE_TYPE=)"
w site set "My Own Site" BOGUS=1 2>/dev/null; check "site unknown key" 2 $?
printf 'a=%%APPNAME%%\n' >"$work/script.txt"
w site script "My Own Site" HTTP_NEW --from "$work/script.txt"
check "script saved" "a=%APPNAME%" "$(w site script "My Own Site" HTTP_NEW)"
check "user sites file" "My Own Site" "$(tr -d '\r' <"$work/demo/sites/User_Sites.dat")"
row=$(w table show --app "Tidy Notes" | grep '^My Own Site')
check "table row" "$(printf 'My Own Site\tFree 16-32\tNew\tN/A\tN/A\tY\tN\tN\tN\tUnknown\tN')" "$row"
err=$(w table set --app "Tidy Notes" --site "My Own Site" post=Y 2>&1); rc=$?
check "incompatible post refused" \
  '1:Cannot change post to yes. Applications "Platform" or "Status" is not compatible with engines settings!' \
  "$rc:$err"
w table set --app "Tidy Notes" --site "Demo Form Post" submit=Update cat1=Games lastpost=1/2/2026
check "table set" "$(printf 'Demo Form Post\tAll 16-32\tUpdate\tGames\tN/A\tY\tN\tN\tN\t1/2/2026\tY')" \
  "$(w table show --app "Tidy Notes" | grep '^Demo Form Post')"
w table set --app "Tidy Notes" --site "Demo Form Post" cat1=Nope 2>/dev/null; check "unknown category" 1 $?
w site delete "My Own Site"; check "site delete" 6 "$(w site list | wc -l)"

# Expansion, checks and the dry run.
check "expand" "Tidy Notes 2.1 Win9x/NT" "$(w expand --site "Demo Form Post" '%APPNAME% %APPVERSION% %APPPLAT%')"
err=$(w expand '%appname%' 2>&1); rc=$?
check "expand error" "1:Error! -> [appname]" "$rc:$err"
# Each script is checked with its own site's categories: the demo's all expand.
w check >"$work/check.txt" 2>/dev/null; rc=$?
check "check passes the demo scripts" "0:" "$rc:$(cut -f1,2 "$work/check.txt")"
mail_script="$work/demo/sites/Demo Mail EMAIL_NEW.scp"
cp "$mail_script" "$work/mail.scp.bak"
printf 'Hello %%NOSUCH%%\r\n' >"$mail_script"
w check >"$work/check.txt"; rc=$?
check "check finds a faulty script" "1:Demo Mail	Error! -> [NOSUCH]" "$rc:$(cut -f1,2 "$work/check.txt")"
mv "$work/mail.scp.bak" "$mail_script"
w app set "Tidy Notes" PATH="$work/demo/dist/tidynote.exe"
w preview --site "Demo FTP Upload" >"$work/preview.txt"
check "preview ftp login" "FTP 127.0.0.1:2121 user anonymous password ****" "$(grep '^FTP' "$work/preview.txt")"
check "preview zip built, outside the data tree" "tidynote.zip tidynote.txt ::0" \
  "$(grep -o 'Zipping File: .*/tidynote.zip\|Adding To Zip File: .*/tidynote.txt' "$work/preview.txt" |
    sed 's,.*/,,' | tr '\n' ' ')::$(ls "$work/demo/files" 2>/dev/null | grep -c 'tidynote\.')"
w preview --site "Demo Form Post" 2>/dev/null | grep -q "data: program=Tidy%20Notes&version=2.1&email=mira%40brightfield.example"
check "preview http data" 0 $?
w mass-change "%APPPLAT%" "%APPSTATUS%" >/dev/null 2>&1
check "mass change" "platform=%APPSTATUS%" "$(grep -o 'platform=%APPSTATUS%' "$work/demo/sites/Demo Form Post HTTP_NEW.scp")"
err=$(w mass-change "%APPSTATUS%" "anything" 2>&1); rc=$?
check "mass change to a typed text refused" '1:The to-text must be one of the %VARIABLE% texts ("%COMPNAME%", ...).' "$rc:$err"
check "nothing rewritten" "platform=%APPSTATUS%" "$(grep -o 'platform=%APPSTATUS%' "$work/demo/sites/Demo Form Post HTTP_NEW.scp")"
w site set "Demo FTP Upload" USE_ZIP_FILE=1 INCLUDE_IN_ZIP=1 ADD_FILE_TO_ZIP=0
w site set "Demo FTP Upload" USE_ZIP_FILE=0
check "site set follows the zip option rule" "ADD_FILE_TO_ZIP=1 INCLUDE_IN_ZIP=0" \
  "$(w site show "Demo FTP Upload" | grep -E '^(ADD_FILE_TO_ZIP|INCLUDE_IN_ZIP)=' | tr '\n' ' ' | sed 's/ $//')"
err=$(w table set --app "Tidy Notes" --site "Demo Form Post" lastpost="1±2" 2>&1); rc=$?
check "table delimiter refused" "1:The Last Post text may not contain the character ±, which separates the fields of the site table." "$rc:$err"

# Network diagnostics against local peers.
printf '%s' '{"/ok": {"raw": "HTTP/1.0 200 OK\r\nServer: peer\r\n\r\nhello"}, "/gone": {"raw": "HTTP/1.0 404 Not Found\r\n\r\n"}}' >"$work/routes.json"
start_peer http_peer.py --routes "$work/routes.json"
out=$("$cli" net http get "http://127.0.0.1:$port/ok" --out "$work/got.txt"); rc=$?
check "net http get" "0:connected: 0 OK|header: Server: peer|start of body|end of body: 5 bytes|disconnected: 0 OK|status: HTTP/1.0 200 OK" "$rc:$(echo "$out" | tr '\n' '|' | sed 's/|$//')"
check "net http file" "hello" "$(cat "$work/got.txt")"
err=$("$cli" net http post "http://127.0.0.1:$port/gone" --data "a=1" 2>&1 >/dev/null); rc=$?
check "net http 404" "1:151: 404 Not Found" "$rc:$err"
mkdir -p "$work/ftproot"
start_peer ftp_peer.py --root "$work/ftproot"
"$cli" net ftp-upload --host "127.0.0.1:$port" --user demo --password secret --local "$work/got.txt" --remote up.txt --passive >"$work/ftp.out"
check "net ftp-upload" "0:hello" "$?:$(cat "$work/ftproot/up.txt")"
check "password masked" "CLIENT: PASS ****" "$(grep 'PASS' "$work/ftp.out")"
err=$("$cli" net ftp-upload --host "127.0.0.1:$port" --user demo --password wrong --local "$work/got.txt" --remote x.txt 2>&1 >/dev/null); rc=$?
check "net ftp-upload refused" "1:141: 530 Authentication failed." "$rc:$err"

"$cli" >/dev/null 2>&1; check "no command is a usage error" 2 $?
# Every command the help names is one the program knows.
unknown=""
for cmd in $("$cli" help | sed -n 's/^  \([a-z-]*\) .*/\1/p; s/^  \([a-z-]*\)$/\1/p' | sort -u); do
  if v "$cmd" 2>&1 | grep -q "unknown command"; then unknown="$unknown $cmd"; fi
done
check "help names only known commands" "" "$unknown"
check "help shows expand's site as optional" 1 "$("$cli" help | grep -c '^  expand \[--site S\]')"

# Commands find the company that holds the application, whichever sorts first.
h() { "$cli" --data-dir "$work/h" "$@"; }
h company new Beta >/dev/null && h app new Tool >/dev/null && h company new '"Acme"' >/dev/null
h app set Tool VERSION=2; check "the company holding the app is found" "0:VERSION=2" "$?:$(h app show Tool | grep ^VERSION=)"
check "table finds it too" 0 "$(h table show --app Tool >/dev/null; echo $?)"
printf 'Tool\r\n' >"$work/h/data/\"Acme\" Apps.dat"
err=$(h app set Tool VERSION=3 2>&1); rc=$?
check "several holders are named" '1:The application Tool is held by several companies ("Acme", Beta); choose one with --company.' "$rc:$err"
check "--company still chooses" "0" "$(h app set Tool VERSION=3 --company Beta; echo $?)"

# Values that could not be read back as given are refused where they are entered.
h site new Secret >/dev/null
h site set Secret LOGIN_PASSWORD=pw
check "a site file holding a password is its owner's alone" 600 "$(stat -c %a "$work/h/sites/Secret.ini")"
err=$(h site set Secret EMAIL_SUBJECT="$(printf 'a\nb')" 2>&1); rc=$?
check "a line break in a site setting is refused" \
  "1:EMAIL_SUBJECT holds one line only: line breaks are not allowed." "$rc:$err"
err=$(h company set Beta CTITLE="$(head -c 1500 /dev/zero | tr '\0' x)" CONTACT=Jo 2>&1); rc=$?
check "a company value past 1023 characters is refused" "1:CTITLE holds at most 1023 characters." "$rc:$err"
check "and nothing of the command is saved" "CONTACT=" "$(h company show Beta | grep ^CONTACT=)"

# KEY=@FILE for every key: the file is UTF-8 text, and a key of one line does not take
# the file's final line break (a password file written by an editor).
printf 'secret\n' >"$work/pw.txt"
h site set Secret LOGIN_PASSWORD=@"$work/pw.txt"
check "a password from a file without its line break" "LOGIN_PASSWORD=secret" \
  "$(grep -a '^LOGIN_PASSWORD=' "$work/h/sites/Secret.ini" | tr -d '\r')"
printf 'Jo\xc3\xa9 Bloggs\r\n' >"$work/contact.txt"
h company set Beta CONTACT=@"$work/contact.txt"
check "a company value from a file is read as UTF-8" "$(printf 'CONTACT=Jo\xe9 Bloggs')" \
  "$(grep -a '^CONTACT=' "$work/h/companies/Beta.dat" | tr -d '\r')"
printf 'Jo\xe9\n' >"$work/latin.txt"
err=$(h company set Beta CONTACT=@"$work/latin.txt" 2>&1); rc=$?
check "bytes that are no UTF-8 are refused with their place" \
  "1:$work/latin.txt, line 1, column 3: a character that Windows-1252 cannot hold (the file is read as UTF-8)." \
  "$rc:$err"
printf 'one\ntwo\n' >"$work/two.txt"
err=$(h company set Beta CONTACT=@"$work/two.txt" 2>&1); rc=$?
check "only the final line break goes" "1:CONTACT holds one line only: line breaks are not allowed." "$rc:$err"
printf 'Games\r\nTools\r\n' >"$work/cats.txt"
h site set Secret CAT1=@"$work/cats.txt"
check "a list from a file keeps its lines" "CAT1=Games CAT1=Tools" \
  "$(h site show Secret | grep ^CAT1= | tr '\n' ' ' | sed 's/ $//')"

checks_done
