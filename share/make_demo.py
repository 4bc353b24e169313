#!/usr/bin/env python3
"""Writes the demo data tree under share/demo (Windows-1252 text, CR LF lines).

Run it again after changing it; the tree is committed so that scripts/run and the
tests need nothing but a copy.
"""
import os
import shutil

from tree_text import site_lines, write_lines

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo")


def write(rel, lines):
    write_lines(ROOT, rel, lines)


def ini(rel, section_items):
    lines = []
    for section, items in section_items:
        lines.append(f"[{section}]")
        lines.extend(f"{k}={v}" for k, v in items)
    write(rel, lines)


COMPANY = [
    ("CONAME", "Brightfield Software"), ("BHSID", ""), ("CONTACT", "Mira Holt"),
    ("CTITLE", "Founder"), ("CEMAIL", "mira@brightfield.example"), ("CPHONE", "+44 20 7946 0000"),
    ("CFAX", ""), ("CADDR", "12 Quay Street"), ("CCITY", "Bristol"), ("CSTATE", "Avon"),
    ("CZIP", "BS1 4DJ"), ("CCOUNTRY", "GB"), ("CURL", "https://brightfield.example/"),
    ("CCMAIL", "sales@brightfield.example"),
]


def app(name, **v):
    keys = ["FILENAME", "NAME", "8CHAR", "VERSION", "DAY", "MONTH", "YEAR", "PLATFORM", "DSTATUS",
            "SIZE32", "INSTSIZE32", "SIZE16", "INSTSIZE16", "PRICE", "STATUS", "EVAL", "XDATE",
            "XDAYS", "installer", "APPURL", "DL1_32", "DL2_32", "DL3_32", "DL4_32", "DL1_16",
            "DL2_16", "DL3_16", "DL4_16", "SHOT", "GIF", "ICO", "PATH", "ICOPATH", "GIFPATH",
            "SCREENPATH", "OTHERPATH", "SHORTDESC", "PADURL", "LICENSE", "LICENSEURL", "PKGID",
            "TAGS", "INSTKIND", "SILENT", "PKGEXE", "RELNOTES"]
    v["NAME"] = name
    ini(f"data/{name}.dat", [("COMPANY", COMPANY), ("APPINFO", [(k, v.get(k, "")) for k in keys])])


def site(name, cat1=None, cat2=None, scripts=None, **settings):
    write(f"sites/{name}.ini", site_lines(settings))
    if cat1:
        write(f"cat/{name} Cat1.cat", cat1)
    if cat2:
        write(f"cat/{name} Cat2.cat", cat2)
    for kind, lines in (scripts or {}).items():
        write(f"sites/{name} {kind}.scp", lines)


shutil.rmtree(ROOT, ignore_errors=True)
ini("companies/Brightfield Software.dat", [("COMPANY", COMPANY)])
write("companies/companies.dat", ["Brightfield Software"])
write("data/Brightfield Software Apps.dat", ["Tidy Notes", "Pixel Ruler"])

app("Tidy Notes", FILENAME="tidynote.zip", **{"8CHAR": "tidynote"}, VERSION="2.1", DAY="14",
    MONTH="11", YEAR="26", PLATFORM="Windows 95 and NT", DSTATUS="Author", SIZE32="2048",
    INSTSIZE32="4300800", PRICE="19.95", STATUS="Shareware", EVAL="30 days", XDAYS="30",
    installer="Install/Uninstall", APPURL="https://brightfield.example/tidynotes/",
    DL1_32="https://brightfield.example/dl/tidynote-2.1-setup.exe",
    SHOT="https://brightfield.example/tidynotes/shot.png",
    GIF="https://brightfield.example/tidynotes/icon.gif",
    # A path inside the data folder: the package manifests read it from there.
    PATH="dist/tidynote.exe",
    SHORTDESC="Notes that file themselves - 100% keyboard",
    # What the package managers ask for besides.
    LICENSE="Proprietary (shareware, 30-day trial)",
    LICENSEURL="https://brightfield.example/tidynotes/licence.html",
    TAGS="notes, note-taking, search, tags, productivity", INSTKIND="inno",
    PKGEXE="TidyNotes.exe",
    RELNOTES="Instant search now finds words inside tags; HTML export keeps line breaks.")
write("data/Tidy Notes.lds", [
    "Tidy Notes keeps your notes in order without folders: type, and every note finds its "
    "place by the words in it.",
    "",
    "Features: instant search, tags, export to plain text & HTML, a tray icon for quick notes.",
])
write("data/Tidy Notes.nts", ["Registration code for reviewers: TIDY-REVIEW-2026"])

app("Pixel Ruler", FILENAME="pxruler.zip", **{"8CHAR": "pxruler"}, VERSION="1.0.3", DAY="2",
    MONTH="6", YEAR="26", PLATFORM="Windows 95", DSTATUS="Author", SIZE32="245760",
    INSTSIZE32="512000", PRICE="0.00", STATUS="Freeware", installer="No Install Feature",
    APPURL="https://brightfield.example/pixelruler/",
    DL1_32="https://brightfield.example/dl/pxruler.zip",
    SHORTDESC="An on-screen ruler for designers")
write("data/Pixel Ruler.lds", ["A ruler that floats over every window and measures in pixels."])
write("data/Pixel Ruler.nts", [])

write("data/FTP_DEF_SCRIPT.SCP", [
    "%APPNAME% %APPVERSION%", "%COMPNAME% <%CONTEMAIL%>", "", "%APPSHORTDESC%", "",
    "%APPLONGDESC%",
])
write("data/EMAIL_DEF_SCRIPT_NEW.SCP", [
    "Please list our program %APPNAME% %APPVERSION%.", "", "Company: %COMPNAME% (%COMPURL%)",
    "Contact: %CONTNAME% <%CONTEMAIL%>", "Download: %APP32DL1%", "Price: $%APPPRICE%", "",
    "%APPLONGDESC%",
])
write("data/EMAIL_DEF_SCRIPT_UPDATE.SCP", [
    "Please update the listing of %APPNAME% to version %APPVERSION%.", "",
    "Download: %APP32DL1%", "Contact: %CONTNAME% <%CONTEMAIL%>",
])

CATS = ['10">Business', '12">Games', '15">Utilities', '21">Desktop Enhancements']
site("Demo Form Post", cat1=CATS, SITES_WEB_URL="http://127.0.0.1:8080/", USE_CAT1="1",
     USE_HTTP_POST="1", HTTP_POST_TYPE="1",
     HTTP_NEW_SCRIPT_URL="http://127.0.0.1:8080/submit/new",
     HTTP_UPDATE_SCRIPT_URL="http://127.0.0.1:8080/submit/update",
     MUF_Windows95NT="Win9x/NT", MUF_Shareware="SW", MUF_Freeware="FW",
     scripts={
         "HTTP_NEW": ["company=%COMPNAME%&email=%CONTEMAIL%&program=%APPNAME%&version=%APPVERSION%"
                      "&platform=%APPPLAT%&status=%APPSTATUS%&cat=%SITECAT1%&size=%APPSIZE32%"
                      "&desc=%APPSHORTDESC%"],
         "HTTP_UPDATE": ["program=%APPNAME%&version=%APPVERSION%&email=%CONTEMAIL%"],
     })
site("Demo Form Get", cat1=CATS, cat2=['1">Windows 95', '2">Windows NT', '3">Both'],
     SITES_WEB_URL="http://127.0.0.1:8080/get/", BYTE_FORMAT="2", USE_CAT1="1", USE_CAT2="1",
     USE_HTTP_POST="1", HTTP_POST_TYPE="2",
     HTTP_NEW_SCRIPT_URL="http://127.0.0.1:8080/get/add?",
     HTTP_UPDATE_SCRIPT_URL="http://127.0.0.1:8080/get/add?",
     scripts={"HTTP_NEW": ["name=%APPNAME%&ver=%APPVERSION%&kb=%APPSIZE32%&c1=%SITECAT1%"
                           "&c2=%SITECAT2%&url=%APPURL%"],
              "HTTP_UPDATE": ["name=%APPNAME%&ver=%APPVERSION%&update=1"]})
site("Demo FTP Upload", SITES_WEB_URL="http://127.0.0.1:8080/ftp-info", SITE_SYSTEM="1",
     USE_FTP_UPLOAD="1", USE_ZIP_FILE="1", USE_8X3_FILENAME="1", FTP_SERVER="127.0.0.1:2121",
     LOGIN_NAME="anonymous", REMOTE_PATH="/incoming/", LOGIN_PASSWORD="%CONTEMAIL%",
     ADD_FILE_TO_ZIP="0", INCLUDE_IN_ZIP="1", FTP_FILENAME="%8PLUS3%.txt",
     scripts={"FTP_NEW": ["Program: %APPNAME% %APPVERSION%", "Author: %COMPNAME%",
                          "File: %FBBSDESC%", "", "%APPLONGDESC%"]})
site("Demo Mail", SITES_WEB_URL="http://127.0.0.1:8080/mail-info", USE_EMAIL="1",
     EMAIL_SEND_COPY="1", EMAIL_ATTACH_GIF="1", EMAIL_ATTACH_APPLICATION="1",
     EMAIL_TONAME="submit@[127.0.0.1]", EMAIL_SUBJECT="New program: %APPNAME% %APPVERSION%",
     EMAIL_TONAME_UPDATE="update@[127.0.0.1]", EMAIL_SUBJECT_UPDATE="Update: %APPNAME%",
     scripts={"EMAIL_NEW": ["Please list %APPNAME% %APPVERSION% by %COMPNAME%.", "",
                            "%APPLONGDESC%"],
              "EMAIL_UPDATE": ["%APPNAME% is now at version %APPVERSION%."]})
site("Demo All Three", cat1=CATS, SITES_WEB_URL="http://127.0.0.1:8080/all/", USE_CAT1="1",
     BYTE_FORMAT="3", USE_HTTP_POST="1", HTTP_NEW_SCRIPT_URL="http://127.0.0.1:8080/closed/new",
     HTTP_UPDATE_SCRIPT_URL="http://127.0.0.1:8080/closed/update", USE_FTP_UPLOAD="1",
     FTP_SERVER="127.0.0.1:2121", LOGIN_NAME="demo", LOGIN_PASSWORD="demo",
     REMOTE_PATH="\\uploads/", FTP_FILENAME="%APPNAME%.TXT", USE_EMAIL="1",
     EMAIL_TONAME="all@[127.0.0.1]", EMAIL_SUBJECT="", EMAIL_ATTACH_GIF="1",
     scripts={"HTTP_NEW": ["prog=%APPNAME%&mb=%APPSIZE32%&cat=%SITECAT1%"],
              "HTTP_UPDATE": ["prog=%APPNAME%&v=%APPVERSION%"],
              "FTP_NEW": ["%APPNAME% %APPVERSION%", "%APPSHORTDESC%"],
              "EMAIL_NEW": ["%APPNAME% %APPVERSION%", "%APPURL%"],
              "EMAIL_UPDATE": ["%APPNAME% %APPVERSION% (update)"]})
site("Freeware Corner", SITE_TYPE="1", SITES_WEB_URL="http://127.0.0.1:8080/free/",
     USE_EMAIL="1", EMAIL_TONAME="free@[127.0.0.1]", EMAIL_SUBJECT="%APPNAME%",
     scripts={"EMAIL_NEW": ["%APPNAME% - %APPSHORTDESC%"]})
write("sites/Sites.dat", sorted(["Demo All Three", "Demo FTP Upload", "Demo Form Get",
                                 "Demo Form Post", "Demo Mail", "Freeware Corner"],
                                key=str.lower))
write("sites/User_Sites.dat", [])

# Tidy Notes is marked for every demo site it fits, with its categories chosen. The
# demo sites answer Demo All Three's form with a refusal, so one site fails.
SEP = "\xb1"
write("data/Tidy Notes_SITES.dat", [SEP.join(fields) for fields in [
    ("Demo All Three", "New", "Utilities", "N/A", "Unknown", "Y"),
    ("Demo FTP Upload", "New", "N/A", "N/A", "Unknown", "Y"),
    ("Demo Form Get", "New", "Utilities", "Both", "Unknown", "Y"),
    ("Demo Form Post", "Update", "Utilities", "N/A", "Unknown", "Y"),
    ("Demo Mail", "New", "N/A", "N/A", "Unknown", "Y"),
    ("Freeware Corner", "New", "N/A", "N/A", "Unknown", "N"),
]])
for d in ("files", "reports", "images", "sites/updates"):
    os.makedirs(os.path.join(ROOT, d), exist_ok=True)
    open(os.path.join(ROOT, d, ".keep"), "w").close()
os.makedirs(os.path.join(ROOT, "dist"), exist_ok=True)
with open(os.path.join(ROOT, "dist", "tidynote.exe"), "wb") as f:
    f.write(b"MZ demo program for Tidy Notes\r\n" * 64)
with open(os.path.join(ROOT, "dist", "icon.gif"), "wb") as f:
    f.write(b"GIF89a\x01\x00\x01\x00\x00\x00\x00;")
