#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/posix/errno_mapping.hpp"
#include "platform/posix/registry_posix.hpp"

namespace PosixPlatform {

enum class Hive { ClassesRoot, CurrentUser, LocalMachine, Users };

struct RegistryKey {
    Hive hive;
    // The names below the hive's root, as the caller spelled them.
    std::vector<std::string> path;
    REGSAM access;
};

}  // namespace PosixPlatform

namespace {

using PosixPlatform::Hive;
using PosixPlatform::kMaxRegistryHiveBytes;
using PosixPlatform::RegistryKey;
using Bytes = std::vector<BYTE>;

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeaderVersion4 = "REGEDIT4";
constexpr std::size_t kMaxKeyNameUnits = 255;
constexpr std::size_t kMaxValueNameUnits = 16383;
// regedit breaks hex data so that no line passes this column.
constexpr std::size_t kHexLineColumns = 80;
constexpr char32_t kReplacementCharacter = 0xFFFD;

// ---------------------------------------------------------------------------
// Text: UTF-8, UTF-16LE and the case rule of names.

void AppendUtf8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

void AppendUtf16(Bytes& out, char32_t point) {
    const auto unit = [&](char32_t value) {
        out.push_back(static_cast<BYTE>(value & 0xFF));
        out.push_back(static_cast<BYTE>(value >> 8));
    };
    if (point < 0x10000) {
        unit(point);
    } else {
        point -= 0x10000;
        unit(0xD800 + (point >> 10));
        unit(0xDC00 + (point & 0x3FF));
    }
}

// Reads one well-formed UTF-8 sequence at `position` and moves past it;
// false (and `position` unchanged) for anything else: a stray or missing
// continuation byte, an overlong form, a surrogate, a value past U+10FFFF.
bool NextUtf8(std::string_view text, std::size_t& position, char32_t& point) {
    const auto lead = static_cast<unsigned char>(text[position]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        point = lead;
        ++position;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
        point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
        point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        point = lead & 0x07;
    } else {
        return false;
    }
    if (text.size() - position < length) {
        return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[position + i]);
        if ((next & 0xC0) != 0x80) {
            return false;
        }
        point = (point << 6) | (next & 0x3F);
    }
    if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        return false;
    }
    position += length;
    return true;
}

bool IsUtf8(std::string_view text) {
    std::size_t position = 0;
    char32_t point = 0;
    while (position < text.size()) {
        if (!NextUtf8(text, position, point)) {
            return false;
        }
    }
    return true;
}

// The code points of UTF-16LE `bytes`. Strict: fails on an odd length or an
// unpaired surrogate. Lenient: U+FFFD for an unpaired surrogate, an odd
// last byte dropped.
std::optional<std::u32string> CodePointsOfUtf16(const BYTE* bytes, std::size_t size, bool strict) {
    if (strict && size % 2 != 0) {
        return std::nullopt;
    }
    std::u32string points;
    const std::size_t units = size / 2;
    const auto unitAt = [&](std::size_t index) {
        return static_cast<char32_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units && unitAt(i + 1) >= 0xDC00 &&
            unitAt(i + 1) <= 0xDFFF) {
            points += 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            if (strict) {
                return std::nullopt;
            }
            points += kReplacementCharacter;
        } else {
            points += unit;
        }
    }
    return points;
}

// What an "A" call hands out for UTF-16LE string data.
Bytes AnsiFromWide(const Bytes& wide) {
    std::string text;
    const std::optional<std::u32string> points = CodePointsOfUtf16(wide.data(), wide.size(), false);
    for (const char32_t point : *points) {
        AppendUtf8(text, point);
    }
    return Bytes(text.begin(), text.end());
}

// What the registry keeps for string data an "A" call hands in.
Bytes WideFromAnsi(std::string_view text) {
    Bytes wide;
    wide.reserve(text.size() * 2);
    std::size_t position = 0;
    while (position < text.size()) {
        char32_t point = 0;
        if (!NextUtf8(text, position, point)) {
            point = kReplacementCharacter;
            ++position;
        }
        AppendUtf16(wide, point);
    }
    return wide;
}

std::size_t Utf16Length(std::string_view text) {
    std::size_t units = 0;
    std::size_t position = 0;
    char32_t point = 0;
    while (position < text.size() && NextUtf8(text, position, point)) {
        units += point < 0x10000 ? 1 : 2;
    }
    return units;
}

// The capital of a letter of ASCII, Latin-1, Latin Extended-A, Greek or
// Cyrillic; anything else stays as it is.
char32_t CapitalOf(char32_t point) {
    if (point >= 'a' && point <= 'z') {
        return point - 0x20;
    }
    if ((point >= 0xE0 && point <= 0xFE && point != 0xF7) || (point >= 0x3B1 && point <= 0x3CB)) {
        return point == 0x3C2 ? 0x3A3 : point - 0x20;  // final sigma
    }
    if (point == 0xFF) {
        return 0x178;
    }
    // Greek letters with tonos.
    if (point == 0x3AC) {
        return 0x386;
    }
    if (point >= 0x3AD && point <= 0x3AF) {
        return point - 0x25;
    }
    if (point >= 0x3CC && point <= 0x3CE) {
        return point == 0x3CC ? 0x38C : point - 0x3F;
    }
    // Latin Extended-A pairs a capital with the small letter after it;
    // between U+0139 and U+0148 and from U+0179 the capital is the odd one.
    if ((point >= 0x100 && point <= 0x137) || (point >= 0x14A && point <= 0x177)) {
        return point & ~char32_t{1};
    }
    if ((point >= 0x139 && point <= 0x148) || (point >= 0x179 && point <= 0x17E)) {
        return point % 2 == 0 ? point - 1 : point;
    }
    if (point >= 0x430 && point <= 0x44F) {
        return point - 0x20;
    }
    if (point >= 0x450 && point <= 0x45F) {
        return point - 0x50;
    }
    return point;
}

// The form in which two names that differ only in case are equal. Only
// well-formed UTF-8 names reach here.
std::string NameKey(std::string_view name) {
    std::string key;
    key.reserve(name.size());
    std::size_t position = 0;
    char32_t point = 0;
    while (position < name.size() && NextUtf8(name, position, point)) {
        AppendUtf8(key, CapitalOf(point));
    }
    return key;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// ---------------------------------------------------------------------------
// Names handed to the calls.

enum class NameUse { Find, Make };

// Checks a key or value name handed to a call: one that cannot be written
// to a hive cannot be in one either.
bool IsUsableName(std::string_view name, std::size_t maxUnits) {
    return IsUtf8(name) && name.find_first_of("\r\n") == std::string_view::npos &&
           Utf16Length(name) <= maxUnits;
}

DWORD NameFailure(NameUse use) {
    return use == NameUse::Make ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND;
}

// Splits a subkey path into its names.
DWORD SplitSubKey(LPCSTR subKey, NameUse use, std::vector<std::string>& names) {
    names.clear();
    if (subKey == nullptr || *subKey == '\0') {
        return ERROR_SUCCESS;
    }
    std::string_view rest(subKey);
    if (rest.back() == '\\') {
        rest.remove_suffix(1);
    }
    for (;;) {
        const std::size_t separator = rest.find('\\');
        const std::string_view name = rest.substr(0, separator);
        if (name.empty()) {
            return ERROR_BAD_PATHNAME;
        }
        if (!IsUsableName(name, kMaxKeyNameUnits)) {
            return NameFailure(use);
        }
        names.emplace_back(name);
        if (separator == std::string_view::npos) {
            return ERROR_SUCCESS;
        }
        rest.remove_prefix(separator + 1);
    }
}

// ---------------------------------------------------------------------------
// A hive as its file describes it.

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    // String types as UTF-16LE, as the registry keeps them.
    Bytes data;
};

// Where a value was last set or removed in a key's life: the line that
// decides it, and the name as that line spells it.
struct Assignment {
    std::size_t line = 0;
    std::string name;
};

struct Key {
    std::string name;
    std::map<std::string, std::unique_ptr<Key>> subkeys;  // by NameKey
    std::map<std::string, Value> values;                  // by NameKey
    std::map<std::string, Assignment> assignments;        // by NameKey
    // The latest section of the file that names this key since it last came
    // into being.
    std::optional<std::size_t> lastSection;
};

enum class Encoding { Utf8, Utf8WithMark, Utf16WithMark };

// A part of the text: from `begin` to `end`, the end of the content of its
// last line (before the line's end).
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};

struct ParsedHive {
    Encoding encoding = Encoding::Utf8;
    bool version4 = false;
    std::string lineEnd = "\n";
    // The whole file as UTF-8, byte order mark left out.
    std::string text;
    Key root;
    // For each section of this hive: where a new value of it goes.
    std::vector<std::size_t> sectionEnds;
    std::vector<Span> valueLines;
};

struct Line {
    std::size_t begin = 0;
    std::size_t contentEnd = 0;  // before CR LF, LF, or a CR that ends the text
    std::size_t end = 0;
};

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t feed = text.find('\n', position);
        Line line;
        line.begin = position;
        line.contentEnd = feed == std::string::npos ? text.size() : feed;
        line.end = feed == std::string::npos ? text.size() : feed + 1;
        if (line.contentEnd > line.begin && text[line.contentEnd - 1] == '\r') {
            --line.contentEnd;
        }
        lines.push_back(line);
        position = line.end;
    }
    return lines;
}

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string_view TrimStart(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (CapitalOf(static_cast<unsigned char>(text[i])) !=
            CapitalOf(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

const char* RootName(Hive hive) {
    switch (hive) {
        case Hive::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
        case Hive::CurrentUser:
            return "HKEY_CURRENT_USER";
        case Hive::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case Hive::Users:
            return "HKEY_USERS";
    }
    return "";
}

// Which root a section names: this hive's, another known one, or none.
enum class SectionRoot { ThisHive, OtherHive, Unknown };

SectionRoot RootOfSection(std::string_view name, Hive hive) {
    const std::string key = NameKey(name);
    if (key == RootName(hive)) {
        return SectionRoot::ThisHive;
    }
    for (const std::string_view other :
         {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
          "HKEY_CURRENT_CONFIG"}) {
        if (key == other) {
            return SectionRoot::OtherHive;
        }
    }
    return SectionRoot::Unknown;
}

// A quoted text at the start of `text`, with \\ and \" escapes; `text` is
// left after the closing quote.
std::optional<std::string> ReadQuoted(std::string_view& text) {
    if (text.empty() || text.front() != '"') {
        return std::nullopt;
    }
    std::string result;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return result;
        }
        if (c == '\\') {
            if (i + 1 == text.size() || (text[i + 1] != '\\' && text[i + 1] != '"')) {
                return std::nullopt;
            }
            ++i;
        }
        result += text[i];
    }
    return std::nullopt;
}

std::optional<DWORD> ReadHexNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    DWORD number = 0;
    for (const char c : digits) {
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        number = (number << 4) | static_cast<DWORD>(digit);
    }
    return number;
}

// "00,ff, 1a": bytes of one or two hex digits between commas.
std::optional<Bytes> ReadHexList(std::string_view list) {
    Bytes bytes;
    if (Trim(list).empty()) {
        return bytes;
    }
    for (;;) {
        const std::size_t comma = list.find(',');
        const std::string_view item = Trim(list.substr(0, comma));
        const std::optional<DWORD> byte = item.size() <= 2 ? ReadHexNumber(item) : std::nullopt;
        if (!byte) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<BYTE>(*byte));
        if (comma == std::string_view::npos) {
            return bytes;
        }
        list.remove_prefix(comma + 1);
    }
}

// Splits the names of a section ("HKEY_CURRENT_USER\Software\Quorvane").
std::optional<std::vector<std::string_view>> SectionNames(std::string_view path) {
    std::vector<std::string_view> names;
    for (;;) {
        const std::size_t separator = path.find('\\');
        const std::string_view name = path.substr(0, separator);
        if (name.empty() || Utf16Length(name) > kMaxKeyNameUnits) {
            return std::nullopt;
        }
        names.push_back(name);
        if (separator == std::string_view::npos) {
            return names;
        }
        path.remove_prefix(separator + 1);
    }
}

Key* FindKey(Key& root, const std::vector<std::string>& path) {
    Key* key = &root;
    for (const std::string& name : path) {
        const auto found = key->subkeys.find(NameKey(name));
        if (found == key->subkeys.end()) {
            return nullptr;
        }
        key = found->second.get();
    }
    return key;
}

template <typename Names>
Key* MakeKey(Key& root, const Names& path) {
    Key* key = &root;
    for (const auto& name : path) {
        std::unique_ptr<Key>& child = key->subkeys[NameKey(name)];
        if (!child) {
            child = std::make_unique<Key>();
            child->name = std::string(name);
        }
        key = child.get();
    }
    return key;
}

template <typename Names>
void RemoveKey(Key& root, const Names& path) {
    if (path.empty()) {
        root = Key{};
        return;
    }
    Key* parent = &root;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        const auto found = parent->subkeys.find(NameKey(path[i]));
        if (found == parent->subkeys.end()) {
            return;
        }
        parent = found->second.get();
    }
    parent->subkeys.erase(NameKey(path.back()));
}

// The data of a value line after its '=': false when it is not one of the
// forms a hive holds. `hexList` receives the list of a hex value, which may
// go on over the following lines; the caller reads it.
struct ValueData {
    bool removed = false;
    DWORD type = REG_NONE;
    Bytes data;
    bool isHex = false;
    std::string_view hexList;
};

bool ReadValueData(std::string_view text, ValueData& value) {
    if (text == "-") {
        value.removed = true;
        return true;
    }
    if (!text.empty() && text.front() == '"') {
        const std::optional<std::string> string = ReadQuoted(text);
        if (!string || !Trim(text).empty()) {
            return false;
        }
        value.type = REG_SZ;
        value.data = WideFromAnsi(*string);
        value.data.insert(value.data.end(), {0, 0});
        return true;
    }
    if (StartsWithNoCase(text, "dword:")) {
        const std::optional<DWORD> number = ReadHexNumber(Trim(text.substr(6)));
        if (!number) {
            return false;
        }
        value.type = REG_DWORD;
        for (int shift = 0; shift < 32; shift += 8) {
            value.data.push_back(static_cast<BYTE>(*number >> shift));
        }
        return true;
    }
    if (StartsWithNoCase(text, "hex:")) {
        value.type = REG_BINARY;
        value.isHex = true;
        value.hexList = text.substr(4);
        return true;
    }
    if (StartsWithNoCase(text, "hex(")) {
        const std::size_t close = text.find("):");
        const std::optional<DWORD> type = close == std::string_view::npos
                                              ? std::nullopt
                                              : ReadHexNumber(text.substr(4, close - 4));
        if (!type) {
            return false;
        }
        value.type = *type;
        value.isHex = true;
        value.hexList = text.substr(close + 2);
        return true;
    }
    return false;
}

// Reads the file's text (UTF-8, its header checked by the caller) into
// `hive`; false when a line is not understood.
bool ParseLines(ParsedHive& hive, Hive which) {
    const std::string& text = hive.text;
    const std::vector<Line> lines = SplitLines(text);
    const auto contentOf = [&](std::size_t index) {
        return std::string_view(text).substr(lines[index].begin,
                                             lines[index].contentEnd - lines[index].begin);
    };
    bool sawSection = false;
    Key* current = nullptr;
    std::size_t currentSection = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view content = Trim(contentOf(i));
        if (content.empty() || content.front() == ';') {
            continue;
        }
        if (content.front() == '[') {
            if (content.back() != ']') {
                return false;
            }
            std::string_view path = content.substr(1, content.size() - 2);
            const bool removal = !path.empty() && path.front() == '-';
            if (removal) {
                path.remove_prefix(1);
            }
            const auto names = SectionNames(path);
            if (!names) {
                return false;
            }
            const SectionRoot root = RootOfSection(names->front(), which);
            if (root == SectionRoot::Unknown) {
                return false;
            }
            sawSection = true;
            current = nullptr;
            if (root == SectionRoot::OtherHive) {
                continue;
            }
            const std::vector<std::string_view> below(names->begin() + 1, names->end());
            if (removal) {
                RemoveKey(hive.root, below);
                continue;
            }
            current = MakeKey(hive.root, below);
            currentSection = hive.sectionEnds.size();
            current->lastSection = currentSection;
            hive.sectionEnds.push_back(lines[i].contentEnd);
            continue;
        }
        if (content.front() != '"' && content.front() != '@') {
            return false;
        }
        if (!sawSection) {
            return false;
        }
        std::string_view rest = content;
        std::string name;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else {
            const std::optional<std::string> quoted = ReadQuoted(rest);
            if (!quoted) {
                return false;
            }
            name = *quoted;
        }
        rest = TrimStart(rest);
        if (rest.empty() || rest.front() != '=') {
            return false;
        }
        ValueData value;
        if (!ReadValueData(TrimStart(rest.substr(1)), value)) {
            return false;
        }
        Span span{lines[i].begin, lines[i].contentEnd};
        if (value.isHex) {
            std::string list(value.hexList);
            while (!list.empty() && list.back() == '\\') {
                list.pop_back();
                if (++i == lines.size()) {
                    return false;
                }
                list += Trim(contentOf(i));
                span.end = lines[i].contentEnd;
            }
            std::optional<Bytes> bytes = ReadHexList(list);
            if (!bytes) {
                return false;
            }
            value.data = std::move(*bytes);
            // Such files hold string data in the 8-bit code page.
            if (hive.version4 && IsStringType(value.type)) {
                value.data = WideFromAnsi(std::string_view(
                    reinterpret_cast<const char*>(value.data.data()), value.data.size()));
            }
        }
        if (current == nullptr) {
            continue;  // a value of another hive or of a removed key
        }
        const std::string key = NameKey(name);
        current->assignments[key] = Assignment{hive.valueLines.size(), name};
        hive.valueLines.push_back(span);
        hive.sectionEnds[currentSection] = span.end;
        if (value.removed) {
            current->values.erase(key);
        } else {
            current->values[key] = Value{name, value.type, std::move(value.data)};
        }
    }
    return true;
}

// The text a new hive file starts with.
std::string NewHiveText(const std::string& lineEnd) {
    return std::string(kHeader) + lineEnd + lineEnd;
}

// The hive in `bytes`, or nothing when the file is damaged. An empty file
// (or one holding only a byte order mark) is an empty hive.
std::optional<ParsedHive> ParseHive(const Bytes& bytes, Hive which) {
    ParsedHive hive;
    if (bytes.empty()) {
        hive.text = NewHiveText(hive.lineEnd);
        return hive;
    }
    const auto startsWith = [&](std::initializer_list<BYTE> mark) {
        return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
    };
    if (startsWith({0xFF, 0xFE})) {
        hive.encoding = Encoding::Utf16WithMark;
        const auto points = CodePointsOfUtf16(bytes.data() + 2, bytes.size() - 2, true);
        if (!points) {
            return std::nullopt;
        }
        for (const char32_t point : *points) {
            AppendUtf8(hive.text, point);
        }
    } else {
        const std::size_t skip = startsWith({0xEF, 0xBB, 0xBF}) ? 3 : 0;
        hive.encoding = skip == 0 ? Encoding::Utf8 : Encoding::Utf8WithMark;
        hive.text.assign(bytes.begin() + static_cast<std::ptrdiff_t>(skip), bytes.end());
        if (!IsUtf8(hive.text)) {
            return std::nullopt;
        }
    }
    if (hive.text.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    if (hive.text.empty()) {
        hive.lineEnd = hive.encoding == Encoding::Utf16WithMark ? "\r\n" : "\n";
        hive.text = NewHiveText(hive.lineEnd);
        return hive;
    }
    const std::size_t firstFeed = hive.text.find('\n');
    if (firstFeed != std::string::npos) {
        hive.lineEnd = firstFeed > 0 && hive.text[firstFeed - 1] == '\r' ? "\r\n" : "\n";
    } else {
        hive.lineEnd = hive.encoding == Encoding::Utf16WithMark ? "\r\n" : "\n";
    }
    const std::vector<Line> lines = SplitLines(hive.text);
    const std::string_view header =
        Trim(std::string_view(hive.text).substr(0, lines.front().contentEnd));
    if (header == kHeaderVersion4) {
        hive.version4 = true;
    } else if (header != kHeader) {
        return std::nullopt;
    }
    if (!ParseLines(hive, which)) {
        return std::nullopt;
    }
    return hive;
}

Bytes EncodeHive(const ParsedHive& hive) {
    Bytes bytes;
    switch (hive.encoding) {
        case Encoding::Utf8:
            bytes.assign(hive.text.begin(), hive.text.end());
            break;
        case Encoding::Utf8WithMark: {
            // Sized once and filled in place: growing a vector that starts
            // as the three mark bytes trips a false array-bounds warning of
            // GCC 12 in optimised builds.
            constexpr BYTE kMark[] = {0xEF, 0xBB, 0xBF};
            bytes.resize(std::size(kMark) + hive.text.size());
            std::copy(std::begin(kMark), std::end(kMark), bytes.begin());
            std::copy(hive.text.begin(), hive.text.end(), bytes.begin() + std::size(kMark));
            break;
        }
        case Encoding::Utf16WithMark: {
            bytes = {0xFF, 0xFE};
            std::size_t position = 0;
            char32_t point = 0;
            while (position < hive.text.size() && NextUtf8(hive.text, position, point)) {
                AppendUtf16(bytes, point);
            }
            break;
        }
    }
    return bytes;
}

// ---------------------------------------------------------------------------
// Writing values and sections as regedit does.

std::string Quoted(std::string_view text) {
    std::string result = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            result += '\\';
        }
        result += c;
    }
    return result + '"';
}

// The text of REG_SZ data that a quoted string keeps exactly: one line,
// ended by its one terminator.
std::optional<std::string> QuotableText(const Bytes& wide) {
    if (wide.size() < 2 || wide.size() % 2 != 0 || wide[wide.size() - 1] != 0 ||
        wide[wide.size() - 2] != 0) {
        return std::nullopt;
    }
    const auto points = CodePointsOfUtf16(wide.data(), wide.size() - 2, true);
    if (!points) {
        return std::nullopt;
    }
    std::string text;
    for (const char32_t point : *points) {
        if (point == 0 || point == '\r' || point == '\n') {
            return std::nullopt;
        }
        AppendUtf8(text, point);
    }
    return text;
}

std::string HexDigits(DWORD number, int minimumDigits) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[number & 0xF]);
        number >>= 4;
    } while (number != 0);
    while (static_cast<int>(digits.size()) < minimumDigits) {
        digits.insert(digits.begin(), '0');
    }
    return digits;
}

std::size_t ColumnsOf(std::string_view text) {
    std::size_t columns = 0;
    for (const char c : text) {
        columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return columns;
}

// The line (or lines) that give `name` the value; `lineEnd` between lines.
std::string ValueText(const ParsedHive& hive, std::string_view name, DWORD type,
                      const Bytes& data) {
    std::string text = name.empty() ? std::string("@") : Quoted(name);
    text += '=';
    if (type == REG_DWORD && data.size() == 4) {
        const DWORD number = static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 8 |
                             static_cast<DWORD>(data[2]) << 16 | static_cast<DWORD>(data[3]) << 24;
        return text + "dword:" + HexDigits(number, 8);
    }
    if (type == REG_SZ) {
        if (const std::optional<std::string> string = QuotableText(data)) {
            return text + Quoted(*string);
        }
    }
    text += type == REG_BINARY ? std::string("hex:") : "hex(" + HexDigits(type, 1) + "):";
    const Bytes bytes = hive.version4 && IsStringType(type) ? AnsiFromWide(data) : data;
    std::size_t column = ColumnsOf(text);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text += HexDigits(bytes[i], 2);
        column += 2;
        if (i + 1 == bytes.size()) {
            break;
        }
        text += ',';
        ++column;
        // The next byte and its comma, and the continuation mark, must fit.
        if (column + 4 > kHexLineColumns) {
            text += '\\';
            text += hive.lineEnd;
            text += "  ";
            column = 2;
        }
    }
    return text;
}

bool LastLineIsBlank(const std::string& text) {
    const std::vector<Line> lines = SplitLines(text);
    return lines.empty() ||
           Trim(std::string_view(text).substr(lines.back().begin,
                                              lines.back().contentEnd - lines.back().begin))
               .empty();
}

std::string SectionPath(Hive which, const Key& root, const std::vector<std::string>& path) {
    std::string text = RootName(which);
    // Keys that exist keep their spelling; new ones take the caller's.
    const Key* key = &root;
    for (const std::string& name : path) {
        if (key != nullptr) {
            const auto found = key->subkeys.find(NameKey(name));
            key = found != key->subkeys.end() ? found->second.get() : nullptr;
        }
        text += '\\';
        text += key != nullptr ? key->name : name;
    }
    return text;
}

// Adds a section for `path` at the end of the file, holding `valueText`
// when it is not empty, and followed by a blank line as regedit leaves it.
void AppendSection(ParsedHive& hive, Hive which, const std::vector<std::string>& path,
                   const std::string& valueText) {
    std::string addition;
    if (!hive.text.empty() && hive.text.back() != '\n') {
        addition += hive.lineEnd;
    }
    if (!LastLineIsBlank(hive.text)) {
        addition += hive.lineEnd;
    }
    addition += '[' + SectionPath(which, hive.root, path) + ']' + hive.lineEnd;
    if (!valueText.empty()) {
        addition += valueText + hive.lineEnd;
    }
    addition += hive.lineEnd;
    hive.text += addition;
}

// Changes the text so that the key at `path` (which exists) holds the
// value.
void SetValueText(ParsedHive& hive, Hive which, const std::vector<std::string>& path,
                  std::string_view name, DWORD type, const Bytes& data) {
    Key* key = FindKey(hive.root, path);
    const auto assignment = key->assignments.find(NameKey(name));
    if (assignment != key->assignments.end()) {
        const Span span = hive.valueLines[assignment->second.line];
        hive.text.replace(span.begin, span.end - span.begin,
                          ValueText(hive, assignment->second.name, type, data));
    } else if (key->lastSection) {
        hive.text.insert(hive.sectionEnds[*key->lastSection],
                         hive.lineEnd + ValueText(hive, name, type, data));
    } else {
        AppendSection(hive, which, path, ValueText(hive, name, type, data));
    }
}

// ---------------------------------------------------------------------------
// Where the hives lie.

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

std::optional<std::string> AccountHome() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int failure = ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found);
        if (failure == ERANGE && buffer.size() < 1024 * 1024) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (failure != 0 || found == nullptr || !IsAbsolute(found->pw_dir)) {
            return std::nullopt;
        }
        return std::string(found->pw_dir);
    }
}

// The folder of the hive of the current user, or nothing when the user has
// no home.
std::optional<std::string> UserHiveFolder() {
    const char* configuration = std::getenv("XDG_CONFIG_HOME");
    if (IsAbsolute(configuration)) {
        return std::string(configuration) + "/skelvin";
    }
    const char* home = std::getenv("HOME");
    if (IsAbsolute(home)) {
        return std::string(home) + "/.config/skelvin";
    }
    const std::optional<std::string> accountHome = AccountHome();
    if (!accountHome) {
        return std::nullopt;
    }
    return *accountHome + "/.config/skelvin";
}

std::optional<std::string> HiveFolder(Hive which) {
    if (which != Hive::CurrentUser && which != Hive::LocalMachine) {
        return std::nullopt;
    }
    const char* override = std::getenv("SKELVIN_REGISTRY_DIR");
    if (override != nullptr && *override != '\0') {
        return std::string(override);
    }
    if (which == Hive::LocalMachine) {
        return std::string("/etc/skelvin");
    }
    return UserHiveFolder();
}

std::optional<std::string> HiveFile(Hive which) {
    std::optional<std::string> folder = HiveFolder(which);
    if (!folder) {
        return std::nullopt;
    }
    return *folder + "/" + RootName(which) + ".reg";
}

// ---------------------------------------------------------------------------
// Reading and writing hive files.

enum class HiveState { NoFile, Missing, Read, Unreadable, Damaged };

struct LoadedHive {
    HiveState state = HiveState::NoFile;
    int readFailure = 0;
    std::string path;
    // Without a file that could be read: an empty hive, as a new file
    // starts.
    ParsedHive hive;
    std::optional<struct stat> status;
};

// Reads at most kMaxRegistryHiveBytes + 1 bytes: more makes the file
// damaged anyway. The buffer grows with the file, so that reading a small
// settings file (every crash dump reads two) costs no more than its size.
int ReadWhole(int descriptor, Bytes& bytes) {
    constexpr std::size_t kChunk = 64 * 1024;
    std::size_t filled = 0;
    bytes.clear();
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() > kMaxRegistryHiveBytes) {
                break;
            }
            bytes.resize(std::min(bytes.size() + kChunk, kMaxRegistryHiveBytes + 1));
        }
        const ssize_t count = ::read(descriptor, bytes.data() + filled, bytes.size() - filled);
        if (count == 0) {
            break;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        filled += static_cast<std::size_t>(count);
    }
    bytes.resize(filled);
    return 0;
}

LoadedHive LoadHive(Hive which) {
    LoadedHive loaded;
    loaded.hive.text = NewHiveText(loaded.hive.lineEnd);
    const std::optional<std::string> path = HiveFile(which);
    if (!path) {
        return loaded;
    }
    loaded.path = *path;
    loaded.state = HiveState::Missing;
    // Non-blocking, so that a FIFO put in the hive's place cannot hold the
    // call up.
    const int descriptor = ::open(path->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            loaded.state = HiveState::Unreadable;
            loaded.readFailure = errno;
        }
        return loaded;
    }
    struct stat status {};
    Bytes bytes;
    int failure = ::fstat(descriptor, &status) == 0 ? 0 : errno;
    // The size may change between the look and the read; the read itself
    // stops one byte past the limit.
    const bool readable = failure == 0 && S_ISREG(status.st_mode) &&
                          static_cast<std::uint64_t>(status.st_size) <= kMaxRegistryHiveBytes;
    if (readable) {
        failure = ReadWhole(descriptor, bytes);
    }
    ::close(descriptor);
    if (failure != 0) {
        loaded.state = HiveState::Unreadable;
        loaded.readFailure = failure;
        return loaded;
    }
    loaded.status = status;
    std::optional<ParsedHive> hive;
    if (readable && bytes.size() <= kMaxRegistryHiveBytes) {
        hive = ParseHive(bytes, which);
    }
    if (!hive) {
        loaded.state = HiveState::Damaged;
        return loaded;
    }
    loaded.state = HiveState::Read;
    loaded.hive = std::move(*hive);
    return loaded;
}

// Why a hive cannot be written, or ERROR_SUCCESS when it can.
DWORD WritableState(const LoadedHive& loaded, Hive which) {
    switch (loaded.state) {
        case HiveState::NoFile:
            return which == Hive::CurrentUser ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED;
        case HiveState::Unreadable:
            return loaded.readFailure == EACCES || loaded.readFailure == EPERM ? ERROR_ACCESS_DENIED
                                                                               : ERROR_BADDB;
        case HiveState::Damaged:
            return ERROR_BADDB;
        case HiveState::Missing:
        case HiveState::Read:
            return ERROR_SUCCESS;
    }
    return ERROR_BADDB;
}

DWORD WriteFailure(int errorNumber, const std::string& path) {
    const DWORD code = PosixPlatform::WindowsErrorFromErrno(errorNumber, path.c_str());
    return (code & PosixPlatform::kUnmappedErrnoFlag) != 0 ? ERROR_CANTWRITE : code;
}

// Creates `folder` and the folders above it that are missing, for the
// current user alone.
DWORD MakeFolders(const std::string& folder) {
    for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string part = folder.substr(0, end);
        if (!part.empty() && part.back() != '/' && ::mkdir(part.c_str(), 0700) != 0 &&
            errno != EEXIST) {
            return WriteFailure(errno, part);
        }
        if (end == std::string::npos) {
            return ERROR_SUCCESS;
        }
    }
}

bool WriteAll(int descriptor, const Bytes& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

// Puts `bytes` in place of the hive file in one step: a temporary file
// beside it, flushed, then renamed over it.
DWORD ReplaceHiveFile(const LoadedHive& loaded, Hive which, const Bytes& bytes) {
    if (bytes.size() > kMaxRegistryHiveBytes) {
        return ERROR_OUTOFMEMORY;
    }
    std::string target = loaded.path;
    struct stat link {};
    if (::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // Renaming over the link would put a file in its place.
        std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(target.c_str(), nullptr),
                                                             &std::free);
        if (resolved) {
            target = resolved.get();
        }
    }
    const std::size_t separator = target.rfind('/');
    const std::string folder =
        separator == std::string::npos ? std::string(".") : target.substr(0, separator);
    const std::string fileName =
        separator == std::string::npos ? target : target.substr(separator + 1);
    if (which == Hive::CurrentUser) {
        if (const DWORD failure = MakeFolders(folder); failure != ERROR_SUCCESS) {
            return failure;
        }
    }
    std::string temporary = folder + "/." + fileName + ".XXXXXX";
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        return WriteFailure(errno, temporary);
    }
    mode_t mode = which == Hive::CurrentUser ? 0600 : 0644;
    if (loaded.status) {
        mode = loaded.status->st_mode & 07777;
    }
    bool written = WriteAll(descriptor, bytes) && ::fchmod(descriptor, mode) == 0;
    if (written && loaded.status &&
        (loaded.status->st_uid != ::geteuid() || loaded.status->st_gid != ::getegid())) {
        // Only a privileged process may give the file back to its owner;
        // for others the file becomes theirs, as any rewrite would make it.
        static_cast<void>(::fchown(descriptor, loaded.status->st_uid, loaded.status->st_gid));
    }
    written = written && ::fsync(descriptor) == 0;
    int failure = written ? 0 : errno;
    if (::close(descriptor) != 0 && failure == 0 && errno != EINTR) {
        failure = errno;
    }
    if (failure == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) {
        failure = errno;
    }
    if (failure != 0) {
        ::unlink(temporary.c_str());
        return WriteFailure(failure, target);
    }
    // The rename itself lasts once the folder is on the disk; a failure here
    // does not undo it.
    const int folderDescriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor >= 0) {
        ::fsync(folderDescriptor);
        ::close(folderDescriptor);
    }
    return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------
// Keys handed out.

std::mutex registryLock;
std::set<RegistryKey*> openKeys;

std::optional<Hive> PredefinedHive(HKEY key) {
    if (key == HKEY_CLASSES_ROOT) {
        return Hive::ClassesRoot;
    }
    if (key == HKEY_CURRENT_USER) {
        return Hive::CurrentUser;
    }
    if (key == HKEY_LOCAL_MACHINE) {
        return Hive::LocalMachine;
    }
    if (key == HKEY_USERS) {
        return Hive::Users;
    }
    return std::nullopt;
}

// What a key handle names; only under registryLock.
struct KeyReference {
    Hive hive = Hive::LocalMachine;
    const std::vector<std::string>* path = nullptr;
    REGSAM access = 0;
};

std::optional<KeyReference> Resolve(HKEY key) {
    static const std::vector<std::string> kRootPath;
    if (const std::optional<Hive> hive = PredefinedHive(key)) {
        return KeyReference{*hive, &kRootPath, KEY_ALL_ACCESS};
    }
    if (key == nullptr || openKeys.count(key) == 0) {
        return std::nullopt;
    }
    return KeyReference{key->hive, &key->path, key->access};
}

REGSAM GrantedAccess(REGSAM desired) {
    REGSAM granted =
        desired & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
    if ((desired & GENERIC_READ) != 0) {
        granted |= KEY_READ;
    }
    if ((desired & GENERIC_WRITE) != 0) {
        granted |= KEY_WRITE;
    }
    if ((desired & GENERIC_EXECUTE) != 0) {
        granted |= KEY_EXECUTE;
    }
    if ((desired & (GENERIC_ALL | MAXIMUM_ALLOWED)) != 0) {
        granted |= KEY_ALL_ACCESS;
    }
    return granted;
}

std::vector<std::string> Joined(const std::vector<std::string>& base,
                                const std::vector<std::string>& below) {
    std::vector<std::string> path = base;
    path.insert(path.end(), below.begin(), below.end());
    return path;
}

// Runs a call's body, turning what the standard library may throw (running
// out of memory, a lock that cannot be taken) into an error code.
template <typename Body>
LSTATUS Guarded(Body body) noexcept {
    try {
        return static_cast<LSTATUS>(body());
    } catch (...) {
        return static_cast<LSTATUS>(ERROR_NOT_ENOUGH_MEMORY);
    }
}

// A key named below a handle: the hive it lies in, that hive as its file
// holds it, and the key's names below the hive's root.
struct KeyBelow {
    Hive hive = Hive::LocalMachine;
    LoadedHive loaded;
    std::vector<std::string> path;
};

// Resolves hKey, reads its hive and names the key `below` it; only under
// registryLock. Returns ERROR_SUCCESS with `found` filled in (the key itself
// need not exist), ERROR_INVALID_HANDLE for a handle not handed out, or
// ERROR_KEY_DELETED when hKey's own key is gone from the file; `found` is
// unspecified after a failure. Throws what the standard library throws.
DWORD LoadKeyBelow(HKEY hKey, const std::vector<std::string>& below, KeyBelow& found) {
    const std::optional<KeyReference> base = Resolve(hKey);
    if (!base) {
        return ERROR_INVALID_HANDLE;
    }
    found.hive = base->hive;
    found.loaded = LoadHive(base->hive);
    if (FindKey(found.loaded.hive.root, *base->path) == nullptr) {
        return ERROR_KEY_DELETED;
    }
    found.path = Joined(*base->path, below);
    return ERROR_SUCCESS;
}

DWORD OpenKey(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult) {
    std::vector<std::string> below;
    if (const DWORD failure = SplitSubKey(lpSubKey, NameUse::Find, below);
        failure != ERROR_SUCCESS) {
        return failure;
    }
    // A predefined handle is always valid and its root always exists, so
    // opening it again reads nothing.
    if (below.empty() && PredefinedHive(hKey)) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    const std::lock_guard<std::mutex> hold(registryLock);
    KeyBelow found;
    if (const DWORD failure = LoadKeyBelow(hKey, below, found); failure != ERROR_SUCCESS) {
        return failure;
    }
    if (FindKey(found.loaded.hive.root, found.path) == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    auto key = std::make_unique<RegistryKey>(
        RegistryKey{found.hive, std::move(found.path), GrantedAccess(samDesired)});
    openKeys.insert(key.get());
    *phkResult = key.release();
    return ERROR_SUCCESS;
}

DWORD CreateKey(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult,
                LPDWORD lpdwDisposition) {
    std::vector<std::string> below;
    if (const DWORD failure = SplitSubKey(lpSubKey, NameUse::Make, below);
        failure != ERROR_SUCCESS) {
        return failure;
    }
    const std::lock_guard<std::mutex> hold(registryLock);
    KeyBelow found;
    if (const DWORD failure = LoadKeyBelow(hKey, below, found); failure != ERROR_SUCCESS) {
        return failure;
    }
    LoadedHive& loaded = found.loaded;
    const bool existed = FindKey(loaded.hive.root, found.path) != nullptr;
    // Registered before the file changes, so that nothing can fail between
    // the change and the handle that reports it.
    auto key = std::make_unique<RegistryKey>(
        RegistryKey{found.hive, found.path, GrantedAccess(samDesired)});
    const auto registered = openKeys.insert(key.get()).first;
    if (!existed) {
        DWORD failure = WritableState(loaded, found.hive);
        try {
            if (failure == ERROR_SUCCESS) {
                AppendSection(loaded.hive, found.hive, found.path, {});
                failure = ReplaceHiveFile(loaded, found.hive, EncodeHive(loaded.hive));
            }
        } catch (...) {
            openKeys.erase(registered);
            throw;
        }
        if (failure != ERROR_SUCCESS) {
            openKeys.erase(registered);
            return failure;
        }
    }
    *phkResult = key.release();
    if (lpdwDisposition != nullptr) {
        *lpdwDisposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    }
    return ERROR_SUCCESS;
}

DWORD QueryValue(HKEY hKey, LPCSTR lpValueName, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    const std::string_view name = lpValueName != nullptr ? lpValueName : "";
    const std::lock_guard<std::mutex> hold(registryLock);
    const std::optional<KeyReference> reference = Resolve(hKey);
    if (!reference) {
        return ERROR_INVALID_HANDLE;
    }
    if ((reference->access & KEY_QUERY_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    LoadedHive loaded = LoadHive(reference->hive);
    const Key* key = FindKey(loaded.hive.root, *reference->path);
    if (key == nullptr) {
        return ERROR_KEY_DELETED;
    }
    if (!IsUsableName(name, kMaxValueNameUnits)) {
        return ERROR_FILE_NOT_FOUND;
    }
    const auto found = key->values.find(NameKey(name));
    if (found == key->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const Value& value = found->second;
    const Bytes data = IsStringType(value.type) ? AnsiFromWide(value.data) : value.data;
    if (lpType != nullptr) {
        *lpType = value.type;
    }
    if (lpcbData == nullptr) {
        return ERROR_SUCCESS;
    }
    const DWORD room = *lpcbData;
    *lpcbData = static_cast<DWORD>(data.size());
    if (lpData == nullptr) {
        return ERROR_SUCCESS;
    }
    if (room < data.size()) {
        return ERROR_MORE_DATA;
    }
    std::copy(data.begin(), data.end(), lpData);
    return ERROR_SUCCESS;
}

DWORD SetValue(HKEY hKey, LPCSTR lpValueName, DWORD dwType, const BYTE* lpData, DWORD cbData) {
    const std::string_view name = lpValueName != nullptr ? lpValueName : "";
    const std::lock_guard<std::mutex> hold(registryLock);
    const std::optional<KeyReference> reference = Resolve(hKey);
    if (!reference) {
        return ERROR_INVALID_HANDLE;
    }
    if ((reference->access & KEY_SET_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (!IsUsableName(name, kMaxValueNameUnits)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (lpData == nullptr && cbData != 0) {
        return ERROR_NOACCESS;
    }
    // Its text would be larger still.
    if (cbData > kMaxRegistryHiveBytes) {
        return ERROR_OUTOFMEMORY;
    }
    LoadedHive loaded = LoadHive(reference->hive);
    if (const DWORD failure = WritableState(loaded, reference->hive); failure != ERROR_SUCCESS) {
        return failure;
    }
    if (FindKey(loaded.hive.root, *reference->path) == nullptr) {
        return ERROR_KEY_DELETED;
    }
    const std::string_view given(reinterpret_cast<const char*>(lpData), cbData);
    const Bytes data =
        IsStringType(dwType) ? WideFromAnsi(given) : Bytes(given.begin(), given.end());
    SetValueText(loaded.hive, reference->hive, *reference->path, name, dwType, data);
    return ReplaceHiveFile(loaded, reference->hive, EncodeHive(loaded.hive));
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                      PHKEY phkResult) {
    if (phkResult == nullptr) {
        return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
    }
    *phkResult = nullptr;
    return Guarded([&] { return OpenKey(hKey, lpSubKey, samDesired, phkResult); });
}

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR /*lpClass*/,
                        DWORD dwOptions, REGSAM samDesired,
                        const SECURITY_ATTRIBUTES* /*lpSecurityAttributes*/, PHKEY phkResult,
                        LPDWORD lpdwDisposition) {
    if (phkResult == nullptr) {
        return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
    }
    *phkResult = nullptr;
    if (lpSubKey == nullptr || Reserved != 0 || dwOptions != REG_OPTION_NON_VOLATILE) {
        return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
    }
    return Guarded(
        [&] { return CreateKey(hKey, lpSubKey, samDesired, phkResult, lpdwDisposition); });
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                         LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) {
        return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
    }
    return Guarded([&] { return QueryValue(hKey, lpValueName, lpType, lpData, lpcbData); });
}

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD /*Reserved*/, DWORD dwType,
                       const BYTE* lpData, DWORD cbData) {
    return Guarded([&] { return SetValue(hKey, lpValueName, dwType, lpData, cbData); });
}

LSTATUS RegCloseKey(HKEY hKey) {
    if (PredefinedHive(hKey)) {
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    }
    return Guarded([&] {
        const std::lock_guard<std::mutex> hold(registryLock);
        if (hKey == nullptr || openKeys.erase(hKey) == 0) {
            return ERROR_INVALID_HANDLE;
        }
        delete hKey;
        return ERROR_SUCCESS;
    });
}

namespace PosixPlatform {

std::string RegistryHiveFile(HKEY root) {
    const std::optional<Hive> hive = PredefinedHive(root);
    if (!hive) {
        return {};
    }
    return HiveFile(*hive).value_or(std::string());
}

}  // namespace PosixPlatform
