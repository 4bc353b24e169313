"""What share/make_demo.py and share/make_starter.py both write: files of Windows-1252
lines ended by CR LF, and a site's settings file with every key in the catalogue's order."""
import os

SITE_DEFAULTS = [
    ("BYTE_FORMAT", "1"), ("SITES_WEB_URL", ""), ("USE_CAT1", "0"), ("USE_CAT2", "0"),
    ("SITE_TYPE", "2"), ("SITE_SYSTEM", "3"), ("USE_HTTP_POST", "0"), ("HTTP_POST_TYPE", "1"),
    ("HTTP_NEW_SCRIPT_URL", ""), ("HTTP_UPDATE_SCRIPT_URL", ""),
    ("MUF_Windows31", "Windows 3.1"), ("MUF_Windows95", "Windows 95"),
    ("MUF_WindowsNT", "Windows NT"), ("MUF_Windows95NT", "Windows 95 and NT"),
    ("MUF_Author", "Author"), ("MUF_Distributor", "Distributor"), ("MUF_Dealer", "Dealer"),
    ("MUF_User", "User"), ("MUF_FeatureLimitDemo", "Feature Limit Demo"),
    ("MUF_TimeLimitDemo", "Time Limit Demo"), ("MUF_PublicDomain", "Public Domain"),
    ("MUF_Freeware", "Freeware"), ("MUF_Shareware", "Shareware"), ("MUF_Beta", "Beta"),
    ("MUF_NoInstallFeature", "No Install Feature"),
    ("MUF_InstallFeatureOnly", "Install Feature Only"),
    ("MUF_UnInstallFeatureOnly", "Uninstall Feature Only"),
    ("MUF_InstallUninstall", "Install/Uninstall"),
    ("USE_FTP_UPLOAD", "0"), ("USE_ZIP_FILE", "0"), ("USE_8X3_FILENAME", "0"),
    ("FTP_SERVER", ""), ("LOGIN_NAME", ""), ("REMOTE_PATH", ""), ("LOGIN_PASSWORD", ""),
    ("ADD_FILE_TO_ZIP", "1"), ("INCLUDE_IN_ZIP", "0"), ("ADDED_TEXT_BOTH", "0"),
    ("FTP_FILENAME", ""), ("USE_EMAIL", "0"), ("EMAIL_SEND_COPY", "0"),
    ("EMAIL_ATTACH_GIF", "0"), ("EMAIL_ATTACH_ICO", "0"), ("EMAIL_ATTACH_SCREEN", "0"),
    ("EMAIL_ATTACH_OTHER", "0"), ("EMAIL_ATTACH_APPLICATION", "0"), ("EMAIL_TONAME", ""),
    ("EMAIL_SUBJECT", ""), ("EMAIL_TONAME_UPDATE", ""), ("EMAIL_SUBJECT_UPDATE", ""),
]


def write_lines(root, rel, lines):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        for line in lines:
            f.write(line.encode("cp1252") + b"\r\n")


def site_lines(settings):
    """[SETTINGS] with every key, the given values over the defaults."""
    return ["[SETTINGS]"] + [f"{k}={settings.get(k, d)}" for k, d in SITE_DEFAULTS]
