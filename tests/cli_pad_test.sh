#!/usr/bin/env bash
# PAD files through vendrix-cli: the change table of a dry run, the import, the
# export read by Python's XML parser, the round trip on the demo application, and a
# PAD file fetched from a loopback web server.
# usage: cli_pad_test.sh PATH/TO/vendrix-cli PATH/TO/share/demo PATH/TO/tests/peers
set -u
cli=$1
demo=$2
peers=$3
source "$(dirname "${BASH_SOURCE[0]}")/support/peer_test.sh"

v() { "$cli" --data-dir "$work/d" "$@"; }
w() { "$cli" --data-dir "$work/demo" "$@"; }
cp -r "$demo/." "$work/demo"

cat >"$work/tidy.xml" <<'PAD'
<?xml version="1.0" encoding="UTF-8"?>
<XML_DIZ_INFO>
  <Company_Info>
    <Company_Name>Acme Tools</Company_Name>
    <Contact_Info><Contact_First_Name>Jo</Contact_First_Name><Contact_Last_Name>Bloggs</Contact_Last_Name></Contact_Info>
  </Company_Info>
  <Program_Info>
    <Program_Name>Café Tool</Program_Name>
    <Program_Version>1.5</Program_Version>
    <Program_Type>Freeware</Program_Type>
  </Program_Info>
  <Program_Descriptions><English>
    <Char_Desc_45>A tool that does a great many things for you, daily</Char_Desc_45>
  </English></Program_Descriptions>
</XML_DIZ_INFO>
PAD

# The dry run shows what would change and writes nothing.
out=$(v app import-pad "$work/tidy.xml" --dry-run); rc=$?
check "dry run exit" 0 $rc
check "dry run table" "Not stored: Char_Desc_45 is 51 characters; the short description holds 46.
New company Acme Tools, new application Café Tool
Field	Old value	New value
CONAME		Acme Tools
CONTACT		Jo Bloggs
NAME		Café Tool
VERSION		1.5
STATUS		Freeware" "$out"
check "dry run writes no profile" "" "$(ls -A "$work/d/data"; ls -A "$work/d/companies")"

# The import stores the values; a second one needs --update.
v app import-pad "$work/tidy.xml" >/dev/null; check "import exit" 0 $?
check "imported version" "VERSION=1.5" "$(v app show "Café Tool" --company "Acme Tools" | grep ^VERSION=)"
check "imported company" "CONTACT=Jo Bloggs" "$(v company show "Acme Tools" | grep ^CONTACT=)"
sed -i 's/1\.5/1.6/' "$work/tidy.xml"
err=$(v app import-pad "$work/tidy.xml" 2>&1 >/dev/null); rc=$?
check "existing application refused" "1:The application Café Tool exists already; it is changed only when you choose to update it. Add --update to change it." "$rc:$err"
v app import-pad "$work/tidy.xml" --update >/dev/null; check "update exit" 0 $?
check "updated version" "VERSION=1.6" "$(v app show "Café Tool" --company "Acme Tools" | grep ^VERSION=)"

# Refused files name their reason.
printf '<?xml version="1.0"?>\n<!DOCTYPE XML_DIZ_INFO [<!ENTITY x SYSTEM "file:///etc/passwd">]>\n<XML_DIZ_INFO>&x;</XML_DIZ_INFO>\n' >"$work/dtd.xml"
err=$(v app import-pad "$work/dtd.xml" 2>&1); rc=$?
check "DTD refused" "1:The PAD file declares a DTD (<!DOCTYPE>); it is refused." "$rc:$err"
head -c $((5 << 20)) /dev/zero | tr '\0' ' ' >"$work/big.xml"
err=$(v app import-pad "$work/big.xml" 2>&1); rc=$?
check "5 MiB refused" "1:The PAD file is larger than 4 MiB; it is refused." "$rc:$err"

# The export: every element of the format, read by Python's XML parser.
w app export-pad "Tidy Notes" --out "$work/tidy-out.xml"; check "export exit" 0 $?
cat >"$work/elements.txt" <<'LIST'
MASTER_PAD_VERSION_INFO/MASTER_PAD_VERSION MASTER_PAD_VERSION_INFO/MASTER_PAD_EDITOR
MASTER_PAD_VERSION_INFO/MASTER_PAD_INFO Company_Info/Company_Name Company_Info/Address_1
Company_Info/Address_2 Company_Info/City_Town Company_Info/State_Province
Company_Info/Zip_Postal_Code Company_Info/Country Company_Info/Company_WebSite_URL
Company_Info/Contact_Info/Author_First_Name Company_Info/Contact_Info/Author_Last_Name
Company_Info/Contact_Info/Author_Email Company_Info/Contact_Info/Contact_First_Name
Company_Info/Contact_Info/Contact_Last_Name Company_Info/Contact_Info/Contact_Email
Company_Info/Support_Info/Sales_Email Company_Info/Support_Info/Support_Email
Company_Info/Support_Info/General_Email Company_Info/Support_Info/Sales_Phone
Company_Info/Support_Info/Support_Phone Company_Info/Support_Info/General_Phone
Company_Info/Support_Info/Fax_Phone Program_Info/Program_Name Program_Info/Program_Version
Program_Info/Program_Release_Month Program_Info/Program_Release_Day
Program_Info/Program_Release_Year Program_Info/Program_Cost_Dollars
Program_Info/Program_Cost_Other_Code Program_Info/Program_Cost_Other Program_Info/Program_Type
Program_Info/Program_Release_Status Program_Info/Program_Install_Support
Program_Info/Program_OS_Support Program_Info/Program_Language Program_Info/Program_Change_Info
Program_Info/Program_Specific_Category Program_Info/Program_Category_Class
Program_Info/Program_System_Requirements Program_Info/File_Info/Filename_Versioned
Program_Info/File_Info/Filename_Previous Program_Info/File_Info/Filename_Generic
Program_Info/File_Info/Filename_Long Program_Info/File_Info/File_Size_Bytes
Program_Info/File_Info/File_Size_K Program_Info/File_Info/File_Size_MB
Program_Info/Expire_Info/Has_Expire_Info Program_Info/Expire_Info/Expire_Count
Program_Info/Expire_Info/Expire_Based_On Program_Info/Expire_Info/Expire_Other_Info
Program_Info/Expire_Info/Expire_Month Program_Info/Expire_Info/Expire_Day
Program_Info/Expire_Info/Expire_Year Program_Descriptions/English/Keywords
Program_Descriptions/English/Char_Desc_45 Program_Descriptions/English/Char_Desc_80
Program_Descriptions/English/Char_Desc_250 Program_Descriptions/English/Char_Desc_450
Program_Descriptions/English/Char_Desc_2000 Web_Info/Application_URLs/Application_Info_URL
Web_Info/Application_URLs/Application_Order_URL Web_Info/Application_URLs/Application_Screenshot_URL
Web_Info/Application_URLs/Application_Icon_URL Web_Info/Application_URLs/Application_XML_File_URL
Web_Info/Download_URLs/Primary_Download_URL Web_Info/Download_URLs/Secondary_Download_URL
Web_Info/Download_URLs/Additional_Download_URL_1 Web_Info/Download_URLs/Additional_Download_URL_2
Permissions/Distribution_Permissions Permissions/EULA
LIST
out=$(/usr/bin/python3 - "$work/tidy-out.xml" "$work/elements.txt" <<'PY'
import sys
import xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
wanted = open(sys.argv[2]).read().split()
missing = [p for p in wanted if root.find(p) is None]
print(root.tag, len(wanted), "missing:", " ".join(missing) or "none")
size = int(root.findtext("Program_Info/File_Info/File_Size_Bytes"))
k = root.findtext("Program_Info/File_Info/File_Size_K")
mb = root.findtext("Program_Info/File_Info/File_Size_MB")
print(root.findtext("MASTER_PAD_VERSION_INFO/MASTER_PAD_EDITOR"),
      root.findtext("Program_Info/Program_Release_Year"),
      "sizes", "agree" if k == str((size + 512) // 1024) and mb == "%.2f" % (size / 1048576) else k + " " + mb,
      root.findtext("Program_Descriptions/English/Char_Desc_2000").count("&"))
PY
)
check "export parsed by xml.etree" "XML_DIZ_INFO 72 missing: none
Vendrix 2.08 2026 sizes agree 1" "$out"

# The round trip: the export imported again changes nothing in the demo tree, and
# gives the same values in a fresh one.
before=$(w app show "Tidy Notes"; w company show)
check "round trip: no changes" "Company Brightfield Software, application Tidy Notes
No field changes." "$(w app import-pad "$work/tidy-out.xml" --update)"
check "round trip: profile unchanged" "$before" "$(w app show "Tidy Notes"; w company show)"
"$cli" --data-dir "$work/fresh" app import-pad "$work/tidy-out.xml" >/dev/null
carried='^(FILENAME|8CHAR|VERSION|DAY|MONTH|YEAR|PLATFORM|SIZE32|PRICE|STATUS|EVAL|XDAYS|installer|APPURL|DL[1-4]_32|SHOT|GIF|SHORTDESC|PADURL|CONAME|CONTACT|CEMAIL|CPHONE|CADDR|CCITY|CSTATE|CZIP|CCOUNTRY|CURL|CCMAIL)='
check "round trip into a fresh tree" "$(w app show "Tidy Notes" | grep -E "$carried")" \
  "$("$cli" --data-dir "$work/fresh" app show "Tidy Notes" | grep -E "$carried")"
check "round trip long description" "$(cat "$work/demo/data/Tidy Notes.lds")" \
  "$(cat "$work/fresh/data/Tidy Notes.lds")"

# A link at the export's path is not replaced.
ln -s "$work/tidy.xml" "$work/link.xml"
w app export-pad "Tidy Notes" --out "$work/link.xml" 2>/dev/null; check "link refused" 1 $?
check "link kept" "link" "$([ -L "$work/link.xml" ] && echo link)"

# From a web address, through the HTTP client.
mkdir -p "$work/www"
/usr/bin/python3 - "$work/tidy.xml" "$work/www/routes.json" <<'PY'
import json, sys
body = open(sys.argv[1], encoding="utf-8").read().replace("Café Tool", "Web Tool")
raw = "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n" + body
big = {"head": "HTTP/1.0 200 OK", "body_bytes": 5 << 20}
move = lambda to: {"raw": "HTTP/1.0 301 Moved Permanently\r\nLocation: " + to + "\r\n\r\nmoved"}
json.dump({"/pad.xml": {"raw": raw}, "/big.xml": big, "/old/pad.xml": move("../pad.xml"),
           "/loop.xml": move("/loop.xml"), "/nowhere.xml": {"raw": "HTTP/1.0 302 Found\r\n\r\n"}}, open(sys.argv[2], "w"))
PY
start_peer http_peer.py --routes "$work/www/routes.json"
v app import-pad "http://127.0.0.1:$port/pad.xml" >/dev/null; check "import from a URL" 0 $?
check "URL import stored" "VERSION=1.6" "$(v app show "Web Tool" --company "Acme Tools" | grep ^VERSION=)"
err=$(v app import-pad "http://127.0.0.1:$port/big.xml" 2>&1); rc=$?
check "a 5 MiB reply is refused" "1:The PAD file is larger than 4 MiB; it is refused." "$rc:$err"
err=$(v app import-pad "http://127.0.0.1:$port/none.xml" 2>&1); rc=$?
check "a missing page is refused" "1:151: 404 Not Found" "$rc:$err"
# Redirects: a moved file is followed (a relative Location too); a loop, a redirect
# that names no address, are refused by name.
for row in "old/pad.xml|0|" \
  "loop.xml|1|163: too many redirects (more than 5, the last to http://127.0.0.1:$port/loop.xml)" \
  "nowhere.xml|1|163: a redirect without a Location (http://127.0.0.1:$port/nowhere.xml)"; do
  IFS='|' read -r path code text <<<"$row"
  err=$(v app import-pad "http://127.0.0.1:$port/$path" --update 2>&1 >/dev/null); rc=$?
  check "redirect $path" "$code:$text" "$rc:$err"
done

checks_done
