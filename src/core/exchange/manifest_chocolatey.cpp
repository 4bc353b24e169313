#include "exchange/manifest_chocolatey.h"

#include <openssl/evp.h>
#include <zip.h>

#include <memory>
#include <pugixml.hpp>
#include <sstream>

#include "base/error.h"
#include "exchange/manifest_rules.h"

namespace vendrix {
namespace {

std::string Xml(const pugi::xml_document& doc) {
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_indent | pugi::format_write_bom * 0, pugi::encoding_utf8);
  return out.str();
}

void Element(pugi::xml_node parent, const char* name, const std::string& text) {
  parent.append_child(name).text().set(text.c_str());
}

void Declare(pugi::xml_document& doc) {
  auto decl = doc.prepend_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "utf-8";
}

// Chocolatey's tags: separated by blanks, so a tag's own blanks become hyphens.
std::string TagList(const ManifestFacts& f) {
  std::string out;
  for (auto tag : f.tags) {
    for (char& c : tag) {
      if (c == ' ') c = '-';
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    out += (out.empty() ? "" : " ") + tag;
  }
  return out;
}

std::string Description(const ManifestFacts& f) {
  std::string text = f.description.empty() ? f.shortDescription : f.description;
  if (f.licenseUrl.empty() && !f.license.empty()) text += "\n\nLicence: " + f.license;
  return text;
}

// A PowerShell text in single quotes: its own single quotes doubled.
std::string Quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string InstallScript(const ManifestFacts& f) {
  std::string s = "$ErrorActionPreference = 'Stop'\r\n";
  s += "$toolsDir = \"$(Split-Path -Parent $MyInvocation.MyCommand.Definition)\"\r\n\r\n";
  s += "$packageArgs = @{\r\n";
  s += "  packageName    = $env:ChocolateyPackageName\r\n";
  auto line = [&](const char* key, const std::string& value) {
    std::string padded = key;
    padded.resize(14, ' ');
    s += "  " + padded + " = " + value + "\r\n";
  };
  const bool portable = f.kind == InstallerKind::Portable;
  const bool zipped = f.zipped;
  if (zipped || portable) line("unzipLocation", "$toolsDir");
  if (!portable) {
    const bool msi =
        f.kind == InstallerKind::Msi || (f.kind == InstallerKind::Zip && f.pkgExe.size() >= 4 &&
                                         (f.pkgExe.substr(f.pkgExe.size() - 4) == ".msi" ||
                                          f.pkgExe.substr(f.pkgExe.size() - 4) == ".MSI"));
    line("fileType", Quoted(msi ? "msi" : "exe"));
  }
  line("url", Quoted(f.installerUrl));
  line("checksum", Quoted(f.sha256));
  line("checksumType", Quoted("sha256"));
  if (!portable) {
    if (f.kind == InstallerKind::Zip) line("file", "Join-Path $toolsDir " + Quoted(f.pkgExe));
    line("silentArgs", Quoted(f.silent));
    line("validExitCodes", f.kind == InstallerKind::Msi ? "@(0, 3010, 1641)" : "@(0)");
  }
  s += "}\r\n\r\n";
  if (portable && zipped) {
    s += "Install-ChocolateyZipPackage @packageArgs\r\n";
  } else if (portable) {
    s += "Get-ChocolateyWebFile @packageArgs -FileFullPath (Join-Path $toolsDir " +
         Quoted(f.installerFile) + ")\r\n";
  } else if (f.kind == InstallerKind::Zip) {
    s += "Install-ChocolateyZipPackage @packageArgs\r\n";
    s += "Install-ChocolateyInstallPackage @packageArgs\r\n";
  } else {
    s += "Install-ChocolateyPackage @packageArgs\r\n";
  }
  return s;
}

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};

}  // namespace

std::vector<ManifestFile> ChocolateyFiles(const ManifestFacts& f) {
  const std::string id = LowerPackageName(f);
  pugi::xml_document doc;
  Declare(doc);
  auto package = doc.append_child("package");
  package.append_attribute("xmlns") = "http://schemas.microsoft.com/packaging/2015/06/nuspec.xsd";
  auto meta = package.append_child("metadata");
  Element(meta, "id", id);
  Element(meta, "version", f.version);
  Element(meta, "title", f.packageName);
  Element(meta, "authors", f.publisher);
  Element(meta, "projectUrl", f.packageUrl.empty() ? f.publisherUrl : f.packageUrl);
  if (!f.licenseUrl.empty()) {
    Element(meta, "licenseUrl", f.licenseUrl);
    Element(meta, "requireLicenseAcceptance", "false");
  }
  Element(meta, "tags", TagList(f));
  if (!f.shortDescription.empty()) Element(meta, "summary", f.shortDescription);
  Element(meta, "description", Description(f));
  if (!f.releaseNotes.empty()) Element(meta, "releaseNotes", f.releaseNotes);
  auto files = package.append_child("files").append_child("file");
  files.append_attribute("src") = "tools\\**";
  files.append_attribute("target") = "tools";
  const std::string folder = "chocolatey/" + id + "/";
  return {{folder + id + ".nuspec", Xml(doc)},
          {folder + "tools/chocolateyinstall.ps1", InstallScript(f)}};
}

ManifestFile ChocolateyPackage(const ManifestFacts& f, const std::vector<ManifestFile>& files) {
  const std::string id = LowerPackageName(f);
  const std::string folder = "chocolatey/" + id + "/";
  // The core properties part's name is made from the nuspec, so it is the same each time.
  std::string partName;
  {
    const std::string& seed = files.empty() ? id : files[0].bytes;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(seed.data(), seed.size(), digest, &length, EVP_sha256(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    for (unsigned int i = 0; i < 16 && i < length; ++i) {
      partName += kHex[digest[i] >> 4];
      partName += kHex[digest[i] & 15];
    }
  }
  const std::string corePath = "package/services/metadata/core-properties/" + partName + ".psmdcp";

  pugi::xml_document types;
  Declare(types);
  auto t = types.append_child("Types");
  t.append_attribute("xmlns") = "http://schemas.openxmlformats.org/package/2006/content-types";
  auto def = [&](const char* ext, const char* type) {
    auto d = t.append_child("Default");
    d.append_attribute("Extension") = ext;
    d.append_attribute("ContentType") = type;
  };
  def("rels", "application/vnd.openxmlformats-package.relationships+xml");
  def("nuspec", "application/octet");
  def("ps1", "application/octet");
  def("psmdcp", "application/vnd.openxmlformats-package.core-properties+xml");

  pugi::xml_document rels;
  Declare(rels);
  auto r = rels.append_child("Relationships");
  r.append_attribute("xmlns") = "http://schemas.openxmlformats.org/package/2006/relationships";
  auto rel = [&](const char* type, const std::string& target, const char* rid) {
    auto x = r.append_child("Relationship");
    x.append_attribute("Type") = type;
    x.append_attribute("Target") = target.c_str();
    x.append_attribute("Id") = rid;
  };
  rel("http://schemas.microsoft.com/packaging/2010/07/manifest", "/" + id + ".nuspec", "R1");
  rel("http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties",
      "/" + corePath, "R2");

  pugi::xml_document core;
  Declare(core);
  auto cp = core.append_child("coreProperties");
  cp.append_attribute("xmlns:dc") = "http://purl.org/dc/elements/1.1/";
  cp.append_attribute("xmlns:dcterms") = "http://purl.org/dc/terms/";
  cp.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
  cp.append_attribute("xmlns") =
      "http://schemas.openxmlformats.org/package/2006/metadata/core-properties";
  Element(cp, "dc:creator", f.publisher);
  Element(cp, "dc:description", Description(f));
  Element(cp, "dc:identifier", id);
  Element(cp, "version", f.version);
  Element(cp, "keywords", TagList(f));
  Element(cp, "dc:title", f.packageName);
  Element(cp, "lastModifiedBy", "Vendrix");

  std::vector<std::pair<std::string, std::string>> entries = {
      {"_rels/.rels", Xml(rels)}, {"[Content_Types].xml", Xml(types)}, {corePath, Xml(core)}};
  for (const auto& file : files) {
    if (file.path.rfind(folder, 0) == 0)
      entries.push_back({file.path.substr(folder.size()), file.bytes});
  }

  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (!buffer)
    throw VendrixError("The package cannot be made: " + std::string(zip_error_strerror(&error)));
  std::unique_ptr<zip_t, ZipCloser> archive(zip_open_from_source(buffer, ZIP_TRUNCATE, &error));
  if (!archive) {
    zip_source_free(buffer);
    throw VendrixError("The package cannot be made: " + std::string(zip_error_strerror(&error)));
  }
  zip_source_keep(buffer);
  auto fail = [&](const std::string& what) {
    archive.reset();
    zip_source_free(buffer);
    throw VendrixError("The package cannot be made: " + what);
  };
  const time_t fixedTime = 315532800 + 86400;  // 1980-01-02, the earliest a zip holds safely
  for (const auto& [name, bytes] : entries) {
    zip_source_t* source = zip_source_buffer(archive.get(), bytes.data(), bytes.size(), 0);
    if (!source) fail(zip_strerror(archive.get()));
    const zip_int64_t index = zip_file_add(archive.get(), name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(source);
      fail(zip_strerror(archive.get()));
    }
    zip_file_set_mtime(archive.get(), static_cast<zip_uint64_t>(index), fixedTime, 0);
    zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9);
  }
  zip_t* raw = archive.release();
  if (zip_close(raw) != 0) {
    std::string why = zip_strerror(raw);
    zip_discard(raw);
    zip_source_free(buffer);
    throw VendrixError("The package cannot be made: " + why);
  }
  std::string bytes;
  if (zip_source_open(buffer) == 0) {
    zip_source_seek(buffer, 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(buffer);
    zip_source_seek(buffer, 0, SEEK_SET);
    if (size > 0) {
      bytes.resize(static_cast<std::size_t>(size));
      if (zip_source_read(buffer, bytes.data(), static_cast<zip_uint64_t>(size)) != size)
        bytes.clear();
    }
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  if (bytes.empty()) throw VendrixError("The package cannot be made: the archive is empty.");
  return {"chocolatey/" + id + "." + f.version + ".nupkg", std::move(bytes)};
}

std::string NuspecVersion(std::string_view text) {
  pugi::xml_document doc;
  if (!doc.load_buffer(text.data(), text.size())) return "";
  return doc.child("package").child("metadata").child("version").text().get();
}

}  // namespace vendrix
