#include "exchange/pad_export.h"

#include <sys/stat.h>

#include <map>
#include <pugixml.hpp>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "exchange/pad_elements.h"
#include "exchange/pad_mapping.h"
#include "profiles/value_lists.h"

namespace vendrix {
namespace {

// The rest of the first notes line that starts with prefix ("" when none).
std::string NoteValue(const Lines& notes, std::string_view prefix) {
  for (const auto& line : notes) {
    if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
  }
  return "";
}

// "2,431"
std::string Grouped(std::size_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// At most max characters of the text, cut after a whole word where one ends in time.
// The cut is told when the element is the one an import reads the text from.
std::string Cut(const std::string& text, std::size_t max, std::string_view element = {},
                std::vector<std::string>* findings = nullptr) {
  if (text.size() <= max) return text;
  if (findings && !element.empty()) {
    findings->push_back(std::string(element) + ": " + Grouped(text.size()) +
                        " characters, cut to " + Grouped(max));
  }
  std::size_t end = text.find_last_of(" \n", max);
  if (end == std::string::npos || end == 0) end = max;
  std::string cut = text.substr(0, end);
  while (!cut.empty() && (cut.back() == ' ' || cut.back() == '\n')) cut.pop_back();
  return cut;
}

// K and MB of a size in bytes; empty for a size that is not a number of bytes.
void Sizes(const std::string& bytes, std::string& k, std::string& mb) {
  if (bytes.empty() || bytes.size() > 15) return;
  unsigned long long n = 0;
  for (char c : bytes) {
    if (c < '0' || c > '9') return;
    n = n * 10 + static_cast<unsigned>(c - '0');
  }
  k = std::to_string((n + 512) / 1024);
  unsigned long long hundredths = (n * 100 + (1 << 19)) >> 20;
  std::string cents = std::to_string(hundredths % 100);
  mb = std::to_string(hundredths / 100) + "." + (cents.size() == 1 ? "0" : "") + cents;
}

// Day, month and two-digit year of an expiry date typed as DD/MM/YY (or with "-"
// or "."); all empty when it is not one.
void ExpiryParts(const std::string& date, std::string& d, std::string& m, std::string& y) {
  std::string parts[3];
  int at = 0;
  for (char c : date) {
    if (c == '/' || c == '-' || c == '.') {
      if (++at > 2) return;
    } else if (c >= '0' && c <= '9') {
      parts[at] += c;
    } else {
      return;
    }
  }
  if (at != 2 || parts[0].empty() || parts[0].size() > 2 || parts[1].empty() ||
      parts[1].size() > 2 || parts[2].empty())
    return;
  std::string year = parts[2].size() == 4 ? parts[2] : YearToPad(parts[2]);
  if (year.empty()) return;
  d = parts[0];
  m = parts[1];
  y = year;
}

std::map<std::string_view, std::string> Values(const CompanyProfile& c, const AppProfile& a,
                                               std::vector<std::string>* findings) {
  std::map<std::string_view, std::string> v;
  auto set = [&v](std::string_view leaf, std::string value) { v[leaf] = std::move(value); };
  set("MASTER_PAD_VERSION", std::string(kPadVersion));
  set("MASTER_PAD_EDITOR", std::string(kPadEditor));
  set("MASTER_PAD_INFO", std::string(kPadInfo));

  set("Company_Name", c.name);
  set("Address_1", c.address);
  set("City_Town", c.city);
  set("State_Province", c.state);
  set("Zip_Postal_Code", c.zip);
  set("Country", c.country);
  set("Company_WebSite_URL", c.url);
  // The contact's name parts: everything before the last blank is the first name.
  auto blank = c.contact.rfind(' ');
  if (blank == 0 || blank + 1 == c.contact.size()) blank = std::string::npos;  // blanks at an end
  std::string first = blank == std::string::npos ? c.contact : c.contact.substr(0, blank);
  std::string last = blank == std::string::npos ? "" : c.contact.substr(blank + 1);
  set("Author_First_Name", first);
  set("Author_Last_Name", last);
  set("Author_Email", c.email);
  set("Contact_First_Name", first);
  set("Contact_Last_Name", last);
  set("Contact_Email", c.email);
  set("Sales_Email", c.salesEmail);
  set("Support_Email", c.email);
  set("General_Email", c.salesEmail);
  set("Sales_Phone", c.phone);
  set("Support_Phone", c.phone);
  set("General_Phone", c.phone);
  set("Fax_Phone", c.fax);

  set("Program_Name", a.name);
  set("Program_Version", a.version);
  set("Program_Release_Month", a.month);
  set("Program_Release_Day", a.day);
  set("Program_Release_Year", YearToPad(a.year));
  set("Program_Cost_Dollars", a.price);
  PadStatus status = StatusToPad(a.status);
  set("Program_Type", std::string(status.type));
  set("Program_Release_Status", std::string(status.release));
  set("Program_Install_Support", std::string(InstallerToPad(a.installer)));
  // The operating systems an import kept in the notes, while they still fit the platform.
  // (A list naming no Windows stands for no platform.)
  std::string systems = NoteValue(a.notes, kNoteSystems);
  auto nearest = PlatformFromPad(systems);
  if (systems.empty() || nearest.value_or(std::string_view()) != a.platform) {
    systems = std::string(PlatformToPad(a.platform));
  }
  set("Program_OS_Support", systems);
  set("Program_Language", "English");
  set("Program_Category_Class", NoteValue(a.notes, kNoteCategory));

  set("Filename_Versioned", a.fileName);
  set("Filename_Generic", a.char8.empty() ? "" : a.char8 + ".zip");
  set("Filename_Long", a.fileName);
  set("File_Size_Bytes", a.size32);
  Sizes(a.size32, v["File_Size_K"], v["File_Size_MB"]);

  const bool expires = a.status == kStatuses[1] || !a.expireAfter.empty() || !a.expireDate.empty();
  set("Has_Expire_Info", expires ? "Y" : "N");
  set("Expire_Count", a.expireAfter);
  set("Expire_Based_On", a.expireAfter.empty() ? "" : "Days");
  set("Expire_Other_Info", a.eval);
  ExpiryParts(a.expireDate, v["Expire_Day"], v["Expire_Month"], v["Expire_Year"]);

  set("Keywords", NoteValue(a.notes, kNoteKeywords));
  set("Char_Desc_45", Cut(a.shortDesc, 45, "Char_Desc_45", findings));
  // The lines as they are, joined by line breaks: never wrapped.
  std::string text;
  for (std::size_t i = 0; i < a.longDesc.size(); ++i) text += (i ? "\n" : "") + a.longDesc[i];
  set("Char_Desc_80", Cut(text, 80));
  set("Char_Desc_250", Cut(text, 250));
  set("Char_Desc_450", Cut(text, 450));
  set("Char_Desc_2000", Cut(text, 2000, "Char_Desc_2000", findings));

  set("Application_Info_URL", a.appUrl);
  set("Application_Screenshot_URL", a.screenshotUrl);
  set("Application_Icon_URL", a.gifUrl.empty() ? a.icoUrl : a.gifUrl);
  set("Application_XML_File_URL", a.padUrl);
  set("Primary_Download_URL", a.dl1_32);
  set("Secondary_Download_URL", a.dl2_32);
  set("Additional_Download_URL_1", a.dl3_32);
  set("Additional_Download_URL_2", a.dl4_32);

  // What the standard elements cannot say (see kPadOwnBlock).
  if (StatusFromPad(status.type, status.release, expires).value_or("") != a.status) {
    set("Status", a.status);
  }
  if (!a.gifUrl.empty() && !a.icoUrl.empty()) {
    set("Icon_GIF_URL", a.gifUrl);
    set("Icon_ICO_URL", a.icoUrl);
  }
  std::string d, m, y;
  ExpiryParts(a.expireDate, d, m, y);
  const std::string asTyped = d.empty() ? ""
                                        : (d.size() == 1 ? "0" : "") + d + "/" +
                                              (m.size() == 1 ? "0" : "") + m + "/" + y.substr(2);
  if (!a.expireDate.empty() && asTyped != a.expireDate) set("Expire_Date", a.expireDate);
  return v;
}

}  // namespace

std::string PadExport(const CompanyProfile& company, const AppProfile& app,
                      std::vector<std::string>* findings) {
  const auto values = Values(company, app, findings);
  pugi::xml_document doc;
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  pugi::xml_node root = doc.append_child(std::string(kPadRoot).c_str());
  for (std::string_view path : kPadElements) {
    pugi::xml_node node = root;
    std::string_view rest = path;
    while (!rest.empty()) {
      auto slash = rest.find('/');
      std::string name(rest.substr(0, slash));
      pugi::xml_node child = node.last_child();
      node = child && name == child.name() ? child : node.append_child(name.c_str());
      rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    auto found = values.find(PadLeafName(path));
    if (found == values.end() || found->second.empty()) continue;
    for (char ch : found->second) {
      auto u = static_cast<unsigned char>(ch);
      if ((u < 0x20 && ch != '\t' && ch != '\n' && ch != '\r') || u == 0x7F) {
        throw VendrixError("The value for " + std::string(PadLeafName(path)) +
                           " holds a control character that a PAD file cannot carry; nothing "
                           "was written.");
      }
    }
    node.text().set(Cp1252ToUtf8(found->second).c_str());
    const std::string& value = found->second;
    auto isSpace = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r'; };
    if (isSpace(value.front()) || isSpace(value.back())) {
      node.append_attribute("xml:space") = "preserve";  // these blanks are the value's own
    }
  }
  struct Out : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override {
      text.append(static_cast<const char*>(data), size);
    }
  } out;
  doc.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
  return std::move(out.text);
}

void WritePadFile(const std::string& path, const CompanyProfile& company, const AppProfile& app,
                  std::vector<std::string>* findings) {
  // The file is replaced by a rename: a link or a device there would be replaced, not
  // written through.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    throw VendrixError(Utf8ToCp1252(path) + " is not a plain file; choose another name.");
  }
  WriteFileAtomic(path, PadExport(company, app, findings));
}

}  // namespace vendrix
