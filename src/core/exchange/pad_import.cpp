#include "exchange/pad_import.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pugixml.hpp>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/ini_file.h"
#include "base/names.h"
#include "exchange/pad_elements.h"
#include "exchange/pad_mapping.h"
#include "exchange/pad_text.h"
#include "profiles/app_rules.h"

namespace vendrix {
namespace {

const std::string kTooLarge = "The PAD file is larger than 4 MiB; it is refused.";

bool IsLatinName(const std::string& e) {
  static constexpr std::string_view kNames[] = {"windows-1252", "cp1252", "iso-8859-1",
                                                "iso8859-1",    "latin1", "latin-1",
                                                "us-ascii",     "ascii",  "x-cp1252"};
  for (auto n : kNames) {
    if (n == e) return true;
  }
  return false;
}

// The text of an element and everything below it, in document order.
std::string ElementText(pugi::xml_node node) {
  std::string text;
  struct Collector : pugi::xml_tree_walker {
    std::string* out;
    bool for_each(pugi::xml_node& n) override {
      if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) *out += n.value();
      return true;
    }
  } collector;
  collector.out = &text;
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      text += child.value();
    } else if (child.type() == pugi::node_element) {
      child.traverse(collector);
    }
  }
  return text;
}

// Words the file gave, for a message (characters Windows-1252 lacks shown as "?").
std::string Shown(std::string_view utf8) {
  std::string s = Utf8ToCp1252(utf8);
  if (s.size() > 60) s = s.substr(0, 57) + "...";
  return "\"" + s + "\"";
}

// What the length findings call a field.
std::string_view FieldWords(std::string_view key) {
  if (key == "FILENAME") return "the application filename";
  if (key == "8CHAR") return "the 8 character name";
  if (key == "DAY") return "the release day";
  if (key == "MONTH") return "the release month";
  if (key == "YEAR") return "the release year";
  if (key == "SHORTDESC") return "the short description";
  return key;
}

class Importer {
 public:
  Importer(pugi::xml_node root, const std::vector<PadByteProblem>& problems) : root_(root) {
    for (const auto& p : problems) {
      // The first problem of each element is told; its value is not stored.
      bool told = false;
      for (const auto& e : badElements_) told = told || e == p.element;
      if (told) continue;
      badElements_.push_back(p.element);
      Finding(p.element + " holds " + p.text + "; it is not stored.");
    }
  }

  PadContent Run() {
    ReadName();
    ReadCompany();
    ReadProgram();
    ReadDescriptions();
    ReadWeb();
    ReadOwnBlock();
    return std::move(out_);
  }

 private:
  // The trimmed UTF-8 text of the element at a path below the root ("" when absent).
  std::string Text(std::string_view path) const {
    pugi::xml_node node = root_;
    while (node && !path.empty()) {
      auto slash = path.find('/');
      node = node.child(std::string(path.substr(0, slash)).c_str());
      path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    if (!node) return "";
    // A writer that marks its blanks as meant (xml:space="preserve") gets them exactly.
    for (pugi::xml_node n = node; n; n = n.parent()) {
      if (std::string_view(n.attribute("xml:space").value()) == "preserve") {
        return ElementText(node);
      }
    }
    return TrimLayout(ElementText(node));
  }

  void Finding(std::string text) { out_.findings.push_back(std::move(text)); }

  // Whether one of the elements a value comes from ("Address_1 and Address_2") holds
  // bytes its file's encoding does not allow.
  bool HoldsBadBytes(std::string_view element) const {
    std::size_t at = 0;
    while (at < element.size()) {
      std::size_t end = element.find_first_of(" ,", at);
      if (end == std::string_view::npos) end = element.size();
      for (const auto& bad : badElements_) {
        if (element.substr(at, end - at) == bad) return true;
      }
      at = end + 1;
    }
    return false;
  }

  // The value in Windows-1252 as one line a profile file can hold, or nullopt (a
  // finding) when it cannot be.
  std::optional<std::string> Line(std::string_view element, std::string_view utf8) {
    if (HoldsBadBytes(element)) return std::nullopt;  // its finding is made already
    auto exact = Utf8ToCp1252Exact(utf8);
    if (!exact) {
      Finding(std::string(element) +
              " holds a character that Windows-1252 cannot hold; it is not stored.");
      return std::nullopt;
    }
    for (char c : *exact) {
      auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || u == 0x7F) {
        Finding(std::string(element) +
                " holds a line break or a control character; it is not "
                "stored.");
        return std::nullopt;
      }
    }
    if (exact->size() > kIniMaxValue) {
      Finding(std::string(element) + " is " + std::to_string(exact->size()) +
              " characters; a profile value holds at most " + std::to_string(kIniMaxValue) + ".");
      return std::nullopt;
    }
    return exact;
  }

  // Stores a value in an application field when it passes the field's rules.
  bool App(std::string_view element, std::string_view key, std::string_view utf8) {
    if (utf8.empty()) return false;
    auto value = Line(element, utf8);
    if (!value) return false;
    const AppField* field = FindAppField(key);
    if (field->maxLength > 0 && value->size() > static_cast<std::size_t>(field->maxLength)) {
      Finding(std::string(element) + " is " + std::to_string(value->size()) + " characters; " +
              std::string(FieldWords(key)) + " holds " + std::to_string(field->maxLength) + ".");
      return false;
    }
    if (auto why = CheckAppValue(key, *value)) {
      Finding(std::string(element) + " is not stored: " + *why);
      return false;
    }
    out_.app.*field->member = std::move(*value);
    return true;
  }

  void Company(std::string_view element, std::string CompanyProfile::*member, std::string_view utf8,
               bool noBlanks = false) {
    if (utf8.empty()) return;
    auto value = Line(element, utf8);
    if (!value) return;
    if (noBlanks && value->find(' ') != std::string::npos) {
      Finding(std::string(element) + " is not stored: it may not hold blanks.");
      return;
    }
    out_.company.*member = std::move(*value);
  }

  void Note(std::string_view prefix, std::string_view element, std::string_view utf8) {
    if (utf8.empty()) return;
    auto value = Line(element, std::string(prefix) + std::string(utf8));
    if (!value) return;
    if (auto why = CheckMemoText("The notes", *value)) {
      Finding(std::string(element) + " is not stored: " + *why);
      return;
    }
    out_.app.notes.push_back(std::move(*value));
  }

  void ReadName() {
    std::string name = Text("Program_Info/Program_Name");
    if (name.empty()) throw VendrixError("The PAD file gives no Program_Name; it is refused.");
    auto exact = Utf8ToCp1252Exact(name);
    if (!exact) {
      throw VendrixError(
          "The PAD file's Program_Name holds a character that Windows-1252 cannot hold; it is "
          "refused.");
    }
    if (auto why = CheckEntryName(*exact, EntryKind::App)) {
      throw VendrixError("The PAD file's Program_Name cannot name an application: " + *why);
    }
    out_.app.name = *exact;
  }

  void ReadCompany() {
    using C = CompanyProfile;
    const std::string base = "Company_Info/";
    Company("Company_Name", &C::name, Text(base + "Company_Name"));
    // The contact's name, or else the author's.
    std::string first = Text(base + "Contact_Info/Contact_First_Name");
    std::string last = Text(base + "Contact_Info/Contact_Last_Name");
    std::string element = "Contact_First_Name and Contact_Last_Name";
    if (first.empty() && last.empty()) {
      first = Text(base + "Contact_Info/Author_First_Name");
      last = Text(base + "Contact_Info/Author_Last_Name");
      element = "Author_First_Name and Author_Last_Name";
    }
    Company(element, &C::contact, first + (first.empty() || last.empty() ? "" : " ") + last);
    std::string email = Text(base + "Contact_Info/Contact_Email");
    if (email.empty()) {
      Company("Author_Email", &C::email, Text(base + "Contact_Info/Author_Email"));
    } else {
      Company("Contact_Email", &C::email, email);
    }
    std::string a1 = Text(base + "Address_1"), a2 = Text(base + "Address_2");
    Company("Address_1 and Address_2", &C::address,
            a1 + (a1.empty() || a2.empty() ? "" : ", ") + a2);
    Company("City_Town", &C::city, Text(base + "City_Town"));
    Company("State_Province", &C::state, Text(base + "State_Province"));
    Company("Zip_Postal_Code", &C::zip, Text(base + "Zip_Postal_Code"));
    Company("Country", &C::country, Text(base + "Country"));
    Company("Company_WebSite_URL", &C::url, Text(base + "Company_WebSite_URL"), true);
    std::string sales = Text(base + "Support_Info/Sales_Phone");
    if (sales.empty()) {
      Company("General_Phone", &C::phone, Text(base + "Support_Info/General_Phone"));
    } else {
      Company("Sales_Phone", &C::phone, sales);
    }
    Company("Fax_Phone", &C::fax, Text(base + "Support_Info/Fax_Phone"));
    std::string general = Text(base + "Support_Info/General_Email");
    if (general.empty()) {
      Company("Sales_Email", &C::salesEmail, Text(base + "Support_Info/Sales_Email"), true);
    } else {
      Company("General_Email", &C::salesEmail, general, true);
    }
  }

  void ReadDate() {
    const std::string base = "Program_Info/";
    auto number = [](const std::string& s) {
      int n = 0;
      for (char c : s) {
        if (c < '0' || c > '9' || n > 100) return -1;
        n = n * 10 + (c - '0');
      }
      return s.empty() ? -1 : n;
    };
    std::string month = Text(base + "Program_Release_Month");
    if (!month.empty() && (number(month) < 1 || number(month) > 12)) {
      Finding("Program_Release_Month " + Shown(month) + " is not a month from 1 to 12.");
    } else {
      App("Program_Release_Month", "MONTH", month);
    }
    std::string day = Text(base + "Program_Release_Day");
    if (!day.empty() && (number(day) < 1 || number(day) > 31)) {
      Finding("Program_Release_Day " + Shown(day) + " is not a day from 1 to 31.");
    } else {
      App("Program_Release_Day", "DAY", day);
    }
    std::string year = Text(base + "Program_Release_Year");
    if (!year.empty()) {
      if (auto two = YearFromPad(year)) {
        App("Program_Release_Year", "YEAR", *two);
      } else {
        Finding("Program_Release_Year " + Shown(year) + " is not a year of four digits.");
      }
    }
  }

  void ReadProgram() {
    const std::string base = "Program_Info/";
    App("Program_Version", "VERSION", Text(base + "Program_Version"));
    ReadDate();
    App("Program_Cost_Dollars", "PRICE", Text(base + "Program_Cost_Dollars"));

    const std::string expire = base + "Expire_Info/";
    const bool expires = Text(expire + "Has_Expire_Info") == "Y";
    std::string type = Text(base + "Program_Type");
    std::string release = Text(base + "Program_Release_Status");
    if (auto status = StatusFromPad(type, release, expires)) {
      App("Program_Type", "STATUS", *status);
    } else if (!type.empty()) {
      Finding("Program_Type " + Shown(type) + " has no matching status; the status is not set.");
    }

    std::string support = Text(base + "Program_Install_Support");
    if (auto installer = InstallerFromPad(support)) {
      App("Program_Install_Support", "installer", *installer);
    } else if (!support.empty()) {
      Finding("Program_Install_Support " + Shown(support) + " is not one the profile knows.");
    }

    std::string systems = Text(base + "Program_OS_Support");
    if (!systems.empty()) {
      // The nearest platform (none for a list without Windows); the list goes to the
      // notes, whole, when it says more than the platform text does.
      auto platform = PlatformFromPad(systems);
      if (platform) App("Program_OS_Support", "PLATFORM", *platform);
      if (!platform || PlatformToPad(*platform) != systems) {
        Note(kNoteSystems, "Program_OS_Support", systems);
      }
    }
    Note(kNoteCategory, "Program_Category_Class", Text(base + "Program_Category_Class"));

    const std::string file = base + "File_Info/";
    App("File_Size_Bytes", "SIZE32", Text(file + "File_Size_Bytes"));
    ReadFileNames(file);

    if (expires) {
      std::string basedOn = Text(expire + "Expire_Based_On");
      if (basedOn.empty() || basedOn == "Days" || basedOn == "Either/Or") {
        App("Expire_Count", "XDAYS", Text(expire + "Expire_Count"));
      }
      std::string d = Text(expire + "Expire_Day"), m = Text(expire + "Expire_Month"),
                  y = Text(expire + "Expire_Year");
      auto two = [](const std::string& s) { return s.size() == 1 ? "0" + s : s; };
      auto digits = [](const std::string& s, std::size_t min, std::size_t max) {
        if (s.size() < min || s.size() > max) return false;
        for (char c : s) {
          if (c < '0' || c > '9') return false;
        }
        return true;
      };
      // The expiry date as its field asks for it: DD/MM/YY.
      if (digits(d, 1, 2) && digits(m, 1, 2) && (digits(y, 2, 2) || digits(y, 4, 4))) {
        App("Expire_Day, Expire_Month and Expire_Year", "XDATE",
            two(d) + "/" + two(m) + "/" + (y.size() == 4 ? y.substr(2) : y));
      }
    }
    App("Expire_Other_Info", "EVAL", Text(expire + "Expire_Other_Info"));
  }

  void ReadFileNames(const std::string& file) {
    // The first of the versioned and the long file name that fits the field.
    std::string versioned = Text(file + "Filename_Versioned");
    std::string longName = Text(file + "Filename_Long");
    if (!versioned.empty()) {
      std::size_t before = out_.findings.size();
      if (!App("Filename_Versioned", "FILENAME", versioned) && !longName.empty() &&
          App("Filename_Long", "FILENAME", longName)) {
        out_.findings.resize(before);  // the long name took its place
      }
    } else {
      App("Filename_Long", "FILENAME", longName);
    }
    // The 8-character name is proposed from the generic file name without its extension.
    std::string generic = Text(file + "Filename_Generic");
    if (generic.empty()) return;
    auto dot = generic.rfind('.');
    std::string stem = dot == std::string::npos ? generic : generic.substr(0, dot);
    if (stem.empty()) return;
    auto exact = Utf8ToCp1252Exact(stem);
    auto lowered = exact ? Char8Exit(*exact) : std::nullopt;
    if (!lowered) {
      Finding("Filename_Generic " + Shown(generic) +
              " gives no 8 character name: " + kChar8Refused);
      return;
    }
    if (lowered->size() > 8) {
      Finding("Filename_Generic is " + std::to_string(lowered->size()) +
              " characters without its extension; the 8 character name holds 8.");
      return;
    }
    App("Filename_Generic", "8CHAR", Cp1252ToUtf8(*lowered));
  }

  void ReadDescriptions() {
    const std::string base = "Program_Descriptions/English/";
    // Text is taken as text: "<b>" in a description is four characters of it.
    App("Char_Desc_45", "SHORTDESC", Text(base + "Char_Desc_45"));
    // The long description: the longest of the four texts.
    static constexpr std::string_view kLong[] = {"Char_Desc_2000", "Char_Desc_450", "Char_Desc_250",
                                                 "Char_Desc_80"};
    std::string chosen, element;
    for (auto e : kLong) {
      std::string text = Text(base + std::string(e));
      if (text.size() > chosen.size()) {
        chosen = std::move(text);
        element = std::string(e);
      }
    }
    if (!chosen.empty()) {
      Lines lines;
      bool ok = true;
      std::string_view rest = chosen;
      while (ok) {
        auto nl = rest.find('\n');
        auto line = Line(element, rest.substr(0, nl));
        if (!line) {
          ok = false;
          break;
        }
        lines.push_back(std::move(*line));
        if (nl == std::string_view::npos) break;
        rest.remove_prefix(nl + 1);
      }
      if (ok) {
        if (auto why = CheckMemoText("The long description", chosen)) {
          Finding(element + " is not stored: " + *why);
        } else {
          out_.app.longDesc = std::move(lines);
        }
      }
    }
    Note(kNoteKeywords, "Keywords", Text(base + "Keywords"));
  }

  void ReadWeb() {
    const std::string urls = "Web_Info/Application_URLs/";
    App("Application_Info_URL", "APPURL", Text(urls + "Application_Info_URL"));
    App("Application_Screenshot_URL", "SHOT", Text(urls + "Application_Screenshot_URL"));
    App("Application_XML_File_URL", "PADURL", Text(urls + "Application_XML_File_URL"));
    std::string icon = Text(urls + "Application_Icon_URL");
    if (!icon.empty()) {
      std::string path = icon.substr(0, icon.find_first_of("?#"));
      std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : "";
      for (char& c : ext) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
      if (ext == ".gif") {
        App("Application_Icon_URL", "GIF", icon);
      } else if (ext == ".ico") {
        App("Application_Icon_URL", "ICO", icon);
      } else {
        Finding(
            "Application_Icon_URL is neither a .gif nor an .ico address; the profile keeps "
            "only those.");
      }
    }
    const std::string dl = "Web_Info/Download_URLs/";
    App("Primary_Download_URL", "DL1_32", Text(dl + "Primary_Download_URL"));
    App("Secondary_Download_URL", "DL2_32", Text(dl + "Secondary_Download_URL"));
    App("Additional_Download_URL_1", "DL3_32", Text(dl + "Additional_Download_URL_1"));
    App("Additional_Download_URL_2", "DL4_32", Text(dl + "Additional_Download_URL_2"));
  }

  // What this program's own export adds where the standard elements say less than the
  // profile holds. Each value only refines what the standard elements say, never
  // contradicts it: a file edited by hand since is read by its standard elements.
  void ReadOwnBlock() {
    const std::string own = std::string(kPadOwnBlock) + "/";
    const std::string status = Text(own + "Status");
    const PadStatus words = StatusToPad(status);
    if (!status.empty() && words.type == Text("Program_Info/Program_Type") &&
        words.release == Text("Program_Info/Program_Release_Status")) {
      App(own + "Status", "STATUS", status);
    }
    const std::string icon = Text("Web_Info/Application_URLs/Application_Icon_URL");
    const std::string gif = Text(own + "Icon_GIF_URL"), ico = Text(own + "Icon_ICO_URL");
    if (!icon.empty() && (icon == gif || icon == ico)) {
      App(own + "Icon_GIF_URL", "GIF", gif);
      App(own + "Icon_ICO_URL", "ICO", ico);
    }
    if (Text("Program_Info/Expire_Info/Has_Expire_Info") == "Y") {
      App(own + "Expire_Date", "XDATE", Text(own + "Expire_Date"));
    }
  }

  pugi::xml_node root_;
  PadContent out_;
  std::vector<std::string> badElements_;  // elements holding bytes their encoding lacks
};

}  // namespace

PadContent PadImport(std::string_view bytes) {
  if (bytes.size() > kMaxPadBytes) throw VendrixError(kTooLarge);
  // pugixml reads UTF-8 and UTF-16 itself; a single-byte file is made UTF-8 first.
  pugi::xml_encoding encoding = pugi::encoding_utf8;
  std::string converted;
  std::vector<PadByteProblem> problems;
  const bool utf16 = bytes.substr(0, 2) == "\xFE\xFF" || bytes.substr(0, 2) == "\xFF\xFE";
  if (utf16) {
    encoding = pugi::encoding_auto;
  } else {
    const auto declared = DeclaredXmlEncoding(bytes);
    const bool latin = declared && IsLatinName(*declared);
    if (declared && !latin && *declared != "utf-8" && *declared != "utf8") {
      throw VendrixError("The PAD file's encoding " + Shown(*declared) +
                         " is not one Vendrix reads (UTF-8, UTF-16, Windows-1252 or "
                         "ISO-8859-1); it is refused.");
    }
    // The bytes against the encoding the file declares: a NUL refuses the file (the
    // parser would cut the value there), a byte that does not belong makes a finding.
    problems = CheckPadBytes(bytes, latin);
    for (const auto& p : problems) {
      if (!p.nul) continue;
      throw VendrixError("The PAD file holds a NUL character" +
                         (p.element.empty() ? std::string() : " in " + Shown(p.element)) +
                         "; it is refused.");
    }
    if (latin) {
      converted = Cp1252ToUtf8(bytes);
      bytes = converted;
    }
  }
  pugi::xml_document doc;
  const unsigned options = pugi::parse_default | pugi::parse_doctype;
  pugi::xml_parse_result parsed = doc.load_buffer(bytes.data(), bytes.size(), options, encoding);
  const std::string kDtd = "The PAD file declares a DTD (<!DOCTYPE>); it is refused.";
  if (parsed.status == pugi::status_bad_doctype) throw VendrixError(kDtd);
  if (!parsed) {
    throw VendrixError(std::string("The PAD file is not well-formed XML (") + parsed.description() +
                       " at byte " + std::to_string(parsed.offset) + "); it is refused.");
  }
  int elements = 0;
  for (pugi::xml_node child = doc.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_doctype) throw VendrixError(kDtd);
    if (child.type() == pugi::node_element) ++elements;
  }
  if (elements != 1) {
    throw VendrixError(
        "The PAD file is not well-formed XML (more than one root element); it is refused.");
  }
  pugi::xml_node root = doc.document_element();
  if (std::string_view(root.name()) != kPadRoot) {
    throw VendrixError("The file is not a PAD file: its root element is " + Shown(root.name()) +
                       ", not XML_DIZ_INFO; it is refused.");
  }
  // An element given twice would be read by its first and the second dropped unseen.
  for (std::string_view path : kPadElements) {
    pugi::xml_node node = root;
    while (node && !path.empty()) {
      auto slash = path.find('/');
      const std::string name(path.substr(0, slash));
      pugi::xml_node first = node.child(name.c_str());
      if (first && first.next_sibling(name.c_str())) {
        throw VendrixError("The PAD file gives " + name + " more than once; it is refused.");
      }
      node = first;
      path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
  }
  return Importer(root, problems).Run();
}

std::string ReadPadFile(const std::string& path) {
  const std::string shown = Utf8ToCp1252(path);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw VendrixError("Unable to read " + shown);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw VendrixError("Unable to read " + shown + ": it is not a file.");
  }
  std::string data;
  char block[65536];
  for (;;) {
    ssize_t n = ::read(fd, block, sizeof block);
    if (n < 0) {
      ::close(fd);
      throw VendrixError("Unable to read " + shown);
    }
    if (n == 0) break;
    data.append(block, static_cast<std::size_t>(n));
    if (data.size() > kMaxPadBytes) {
      ::close(fd);
      throw VendrixError(kTooLarge);
    }
  }
  ::close(fd);
  return data;
}

}  // namespace vendrix
