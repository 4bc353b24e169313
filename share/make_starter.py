#!/usr/bin/env python3
"""Writes the starter catalogue under share/starter (Windows-1252 text, CR LF lines).

Three example sites, one of each kind (a web form, an FTP upload with a zip archive,
an e-mail), for a new user to copy and adapt, and the default scripts the Site
Builder's "Default Script" buttons load. The addresses are those of the local demo
download sites (share/demo-sites), so the examples can be tried before a real site
is set up. The package installs the tree and an archive of its catalogue that
"Update Data Files" (or vendrix-cli update --file) takes. Run it again after
changing it; the tree is committed.
"""
import os
import shutil

from tree_text import site_lines, write_lines

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "starter")
DEMO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo")


def write(rel, lines):
    write_lines(ROOT, rel, lines)


def site(name, **settings):
    write(f"sites/{name}.ini", site_lines({"SITES_WEB_URL": "http://127.0.0.1:8080/", **settings}))


def main():
    shutil.rmtree(ROOT, ignore_errors=True)
    form = "Example Web Form"
    site(form, USE_CAT1="1", USE_HTTP_POST="1",
         HTTP_NEW_SCRIPT_URL="http://127.0.0.1:8080/submit/new",
         HTTP_UPDATE_SCRIPT_URL="http://127.0.0.1:8080/submit/update")
    fields = ("company=%COMPNAME%&email=%CONTEMAIL%&program=%APPNAME%&version=%APPVERSION%"
              "&platform=%APPPLAT%&status=%APPSTATUS%&cat=%SITECAT1%&size=%APPSIZE32%"
              "&desc=%APPSHORTDESC%")
    write(f"sites/{form} HTTP_NEW.scp", [fields])
    write(f"sites/{form} HTTP_UPDATE.scp", [fields])
    # Each line: the value the site's form takes, then after "> the label shown.
    write(f"cat/{form} Cat1.cat", ['10">Business', '12">Games', '15">Utilities',
                                   '21">Desktop Enhancements'])

    ftp = "Example FTP Upload"
    site(ftp, SITE_SYSTEM="1", USE_FTP_UPLOAD="1", USE_ZIP_FILE="1", USE_8X3_FILENAME="1",
         FTP_SERVER="127.0.0.1:2121", LOGIN_NAME="anonymous", REMOTE_PATH="/incoming/",
         LOGIN_PASSWORD="%CONTEMAIL%", ADD_FILE_TO_ZIP="0", INCLUDE_IN_ZIP="1",
         FTP_FILENAME="%8PLUS3%.txt")
    ftp_script = ["Program: %APPNAME% %APPVERSION%", "Company: %COMPNAME% (%COMPURL%)",
                  "Contact: %CONTNAME% <%CONTEMAIL%>", "", "%APPSHORTDESC%"]
    write(f"sites/{ftp} FTP_NEW.scp", ftp_script)

    mail = "Example E-mail"
    site(mail, SITE_SYSTEM="1", USE_EMAIL="1", EMAIL_ATTACH_GIF="1",
         EMAIL_ATTACH_APPLICATION="1", EMAIL_TONAME="submit@[127.0.0.1]",
         EMAIL_SUBJECT="New program: %APPNAME% %APPVERSION%",
         EMAIL_TONAME_UPDATE="update@[127.0.0.1]", EMAIL_SUBJECT_UPDATE="Update: %APPNAME%")
    new_mail = ["Please list our program %APPNAME% %APPVERSION%.", "",
                "Company: %COMPNAME% (%COMPURL%)", "Contact: %CONTNAME% <%CONTEMAIL%>",
                "Download: %APP32DL1%", "", "%APPLONGDESC%"]
    write(f"sites/{mail} EMAIL_NEW.scp", new_mail)
    write(f"sites/{mail} EMAIL_UPDATE.scp",
          ["%APPNAME% is now at version %APPVERSION%.", "", "Download: %APP32DL1%"])

    write("sites/Sites.dat", [form, ftp, mail])
    for name in ("FTP_DEF_SCRIPT.SCP", "EMAIL_DEF_SCRIPT_NEW.SCP", "EMAIL_DEF_SCRIPT_UPDATE.SCP"):
        os.makedirs(os.path.join(ROOT, "scripts"), exist_ok=True)
        shutil.copyfile(os.path.join(DEMO, "data", name), os.path.join(ROOT, "scripts", name))


if __name__ == "__main__":
    main()
