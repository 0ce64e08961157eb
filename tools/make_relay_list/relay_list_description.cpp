#include "tools/make_relay_list/relay_list_description.hpp"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/ascii.hpp"
#include "dns/wire_format.hpp"
#include "tools/make_relay_list/relay_list_wire.hpp"

namespace {

constexpr std::uint64_t kMax16 = std::numeric_limits<std::uint16_t>::max();
constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t kMaxFlagField = DNSWire::kOpcodeMask;  // OPCODE and RCODE are 4 bits
constexpr std::size_t kMaxCharacterString = 255;               // a TXT string's length byte
constexpr std::size_t kIPv4Size = 4;
constexpr std::size_t kMaxIPv4Digits = 3;  // per part, up to 255
constexpr std::size_t kIPv6Size = 16;
constexpr std::size_t kIPv6Groups = 8;
constexpr std::size_t kMaxHexDigitsPerGroup = 4;
constexpr std::size_t kEscapeDigits = 3;  // \DDD

const char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return Ascii::Blank().Contains(static_cast<Byte>(c));
}
bool IsDigit(char c) {
    return Ascii::Digit().Contains(static_cast<Byte>(c));
}
bool IsHexDigit(char c) {
    return Ascii::HexDigit().Contains(static_cast<Byte>(c));
}

unsigned HexValue(char c) {
    if (IsDigit(c)) {
        return static_cast<unsigned>(c - '0');
    }
    return static_cast<unsigned>((c | 0x20) - 'a' + 10);
}

char LowerAscii(char c) {
    return Ascii::Uppercase().Contains(static_cast<Byte>(c)) ? static_cast<char>(c - 'A' + 'a') : c;
}

// Keywords, mnemonics and flags are matched without regard to ASCII case.
bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

struct Mnemonic {
    const char* word;
    std::uint16_t value;
};

const Mnemonic kTypes[] = {
    {"A", RelayListWire::kTypeA},         {"NS", RelayListWire::kTypeNS},
    {"CNAME", RelayListWire::kTypeCNAME}, {"PTR", RelayListWire::kTypePTR},
    {"TXT", RelayListWire::kTypeTXT},     {"AAAA", RelayListWire::kTypeAAAA},
    {"SRV", DNSWire::kTypeSRV},
};
const Mnemonic kClasses[] = {
    {"IN", DNSWire::kClassIN}, {"CH", RelayListWire::kClassCH}, {"HS", RelayListWire::kClassHS}};
const Mnemonic kOpcodes[] = {
    {"QUERY", 0}, {"IQUERY", 1}, {"STATUS", 2}, {"NOTIFY", 4}, {"UPDATE", 5}};
const Mnemonic kRcodes[] = {{"NOERROR", 0},  {"FORMERR", 1}, {"SERVFAIL", 2},
                            {"NXDOMAIN", 3}, {"NOTIMP", 4},  {"REFUSED", 5}};

template <std::size_t N>
const Mnemonic* FindMnemonic(const Mnemonic (&table)[N], std::string_view word) {
    for (const Mnemonic& entry : table) {
        if (SameWord(entry.word, word)) {
            return &entry;
        }
    }
    return nullptr;
}

// One field of a line: its text with the quotes taken off and every escape
// kept, so a name can still tell an escaped dot from a label separator.
struct Token {
    std::string text;
    bool quoted = false;
    std::string written;  // exactly as in the line, for messages
};

struct SectionWord {
    const char* word;
    RelayListSection section;
    const char* records;  // in messages
};

const SectionWord kSections[] = {
    {"answer", RelayListSection::Answer, "answer records"},
    {"authority", RelayListSection::Authority, "authority records"},
    {"additional", RelayListSection::Additional, "additional records"},
};

// The fields of one line, read left to right. Every problem found is thrown
// as RelayListDescriptionError naming this line.
class DescriptionLine {
  public:
    DescriptionLine(std::string_view text, std::size_t lineNumber) : number(lineNumber) {
        Split(text);
    }

    std::size_t LineNumber() const { return number; }
    bool AtEnd() const { return next == tokens.size(); }

    [[noreturn]] void Fail(const std::string& problem) const {
        throw RelayListDescriptionError(number, problem);
    }

    const Token& Take(const std::string& role) {
        if (AtEnd()) {
            Fail("missing " + role);
        }
        return tokens[next++];
    }

    void ExpectEnd() const {
        if (!AtEnd()) {
            Fail("unexpected " + tokens[next].written + " at the end of the line");
        }
    }

    std::uint64_t TakeNumber(const std::string& role, std::uint64_t max) {
        const Token& token = Take(role);
        return NumberOf(token, role, max);
    }

    std::uint64_t NumberOf(const Token& token, const std::string& role, std::uint64_t max) const {
        std::optional<std::uint64_t> value = ParseNumber(token, max);
        if (!value) {
            Fail(role + " " + token.written + " is not a number from 0 to " + std::to_string(max));
        }
        return *value;
    }

    // Decimal, or hexadecimal after 0x. Nothing else is a number.
    static std::optional<std::uint64_t> ParseNumber(const Token& token, std::uint64_t max) {
        const std::string& text = token.text;
        if (token.quoted || text.empty()) {
            return std::nullopt;
        }
        std::uint64_t base = 10;
        std::size_t first = 0;
        if (text.size() > 2 && text[0] == '0' && (text[1] | 0x20) == 'x') {
            base = 16;
            first = 2;
        }
        std::uint64_t value = 0;
        for (std::size_t i = first; i < text.size(); ++i) {
            if (base == 10 ? !IsDigit(text[i]) : !IsHexDigit(text[i])) {
                return std::nullopt;
            }
            value = value * base + HexValue(text[i]);
            if (value > max) {
                return std::nullopt;
            }
        }
        return value;
    }

    NameLabels TakeName(const std::string& role) { return NameOf(Take(role), role); }

    NameLabels NameOf(const Token& token, const std::string& role) const {
        const std::string described = role + " " + token.written;
        if (token.quoted) {
            Fail(described + " must not be quoted");
        }
        NameLabels labels;
        if (token.text == ".") {
            return labels;
        }
        std::string label;
        bool labelEnded = false;
        std::size_t wireSize = DNSWire::kLengthByteSize;  // the root label
        for (std::size_t i = 0; i < token.text.size();) {
            labelEnded = false;
            if (token.text[i] == '.') {
                if (label.empty()) {
                    Fail(described + " has an empty label");
                }
                wireSize += DNSWire::kLengthByteSize + label.size();
                labels.push_back(std::move(label));
                label.clear();
                labelEnded = true;
                ++i;
                continue;
            }
            label.push_back(static_cast<char>(Unescape(token.text, i)));
            if (label.size() > DNSWire::kMaxLabelLength) {
                Fail(described + " has a label longer than 63 bytes");
            }
        }
        if (!labelEnded) {
            Fail(described + " does not end with a dot");
        }
        if (wireSize > RelayListWire::kMaxNameWireSize) {
            Fail(described + " is longer than 255 bytes in wire form");
        }
        return labels;
    }

    // Text with its escapes resolved: \DDD is the byte of that decimal value,
    // a backslash before anything else stands for that character.
    std::string Unescaped(const Token& token) const {
        std::string bytes;
        for (std::size_t i = 0; i < token.text.size();) {
            bytes.push_back(static_cast<char>(Unescape(token.text, i)));
        }
        return bytes;
    }

  private:
    // The byte at text[i], or the one its escape stands for; moves i past it.
    Byte Unescape(const std::string& text, std::size_t& i) const {
        if (text[i] != '\\') {
            return static_cast<Byte>(text[i++]);
        }
        // The line was split so that a backslash is never the last character.
        const char escaped = text[i + 1];
        if (!IsDigit(escaped)) {
            i += 2;
            return static_cast<Byte>(escaped);
        }
        const std::string_view escape = std::string_view(text).substr(i, 1 + kEscapeDigits);
        unsigned value = 0;
        for (std::size_t digit = 1; digit <= kEscapeDigits; ++digit) {
            if (digit >= escape.size() || !IsDigit(escape[digit])) {
                Fail("escape \"" + std::string(escape.substr(0, digit)) +
                     "\" needs three decimal digits");
            }
            value = value * 10 + static_cast<unsigned>(escape[digit] - '0');
        }
        if (value > std::numeric_limits<Byte>::max()) {
            Fail("escape \"" + std::string(escape) + "\" is above 255");
        }
        i += escape.size();
        return static_cast<Byte>(value);
    }

    // Fields are separated by blanks. An unescaped # outside quotes starts a
    // comment. A field that starts with a double quote runs to the next
    // unescaped double quote, blanks and # included.
    void Split(std::string_view text) {
        std::size_t i = 0;
        for (;;) {
            while (i < text.size() && IsBlank(text[i])) {
                ++i;
            }
            if (i == text.size() || text[i] == '#') {
                return;
            }
            const std::size_t start = i;
            Token token;
            token.quoted = text[i] == '"';
            if (token.quoted) {
                ++i;
                for (;;) {
                    if (i == text.size()) {
                        Fail("a quoted string has no closing quote");
                    }
                    if (text[i] == '"') {
                        ++i;
                        break;
                    }
                    TakeCharacter(text, i, token.text);
                }
                if (i < text.size() && !IsBlank(text[i]) && text[i] != '#') {
                    Fail("no blank after the closing quote of " +
                         std::string(text.substr(start, i - start)));
                }
            } else {
                while (i < text.size() && !IsBlank(text[i]) && text[i] != '#') {
                    TakeCharacter(text, i, token.text);
                }
            }
            token.written = std::string(text.substr(start, i - start));
            if (!token.quoted) {
                token.written = "\"" + token.written + "\"";
            }
            tokens.push_back(std::move(token));
        }
    }

    // An escape is kept whole, so the character after a backslash never ends
    // a field.
    void TakeCharacter(std::string_view text, std::size_t& i, std::string& out) const {
        if (text[i] == '\\') {
            if (i + 1 == text.size()) {
                Fail("a backslash ends the line");
            }
            out.push_back(text[i++]);
        }
        out.push_back(text[i++]);
    }

    std::size_t number;
    std::vector<Token> tokens;
    std::size_t next = 0;
};

void AppendBigEndian16(ByteVector& bytes, std::uint64_t value) {
    bytes.push_back(static_cast<Byte>(value >> DNSWire::kBitsPerByte));
    bytes.push_back(static_cast<Byte>(value));
}

std::optional<ByteVector> ParseIPv4(std::string_view text) {
    ByteVector address;
    std::size_t i = 0;
    for (;;) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (i < text.size() && IsDigit(text[i]) && digits < kMaxIPv4Digits) {
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
            ++digits;
            ++i;
        }
        if (digits == 0 || value > std::numeric_limits<Byte>::max()) {
            return std::nullopt;
        }
        address.push_back(static_cast<Byte>(value));
        if (i == text.size()) {
            break;
        }
        if (text[i] != '.' || address.size() == kIPv4Size) {
            return std::nullopt;
        }
        ++i;
    }
    if (address.size() != kIPv4Size) {
        return std::nullopt;
    }
    return address;
}

// Colon-separated groups of 1 to 4 hex digits; the last may be a dotted IPv4
// address, which stands for two groups.
std::optional<std::vector<std::uint16_t>> ParseIPv6Groups(std::string_view text, bool last) {
    std::vector<std::uint16_t> groups;
    if (text.empty()) {
        return groups;
    }
    for (;;) {
        const std::size_t colon = text.find(':');
        const std::string_view group = text.substr(0, colon);
        if (colon == std::string_view::npos && last && group.find('.') != std::string_view::npos) {
            const std::optional<ByteVector> ipv4 = ParseIPv4(group);
            if (!ipv4) {
                return std::nullopt;
            }
            groups.push_back(
                static_cast<std::uint16_t>(((*ipv4)[0] << DNSWire::kBitsPerByte) | (*ipv4)[1]));
            groups.push_back(
                static_cast<std::uint16_t>(((*ipv4)[2] << DNSWire::kBitsPerByte) | (*ipv4)[3]));
            return groups;
        }
        if (group.empty() || group.size() > kMaxHexDigitsPerGroup) {
            return std::nullopt;
        }
        unsigned value = 0;
        for (char c : group) {
            if (!IsHexDigit(c)) {
                return std::nullopt;
            }
            value = value * 16 + HexValue(c);
        }
        groups.push_back(static_cast<std::uint16_t>(value));
        if (colon == std::string_view::npos) {
            return groups;
        }
        text.remove_prefix(colon + 1);
    }
}

std::optional<ByteVector> ParseIPv6(std::string_view text) {
    const std::size_t gap = text.find("::");
    std::optional<std::vector<std::uint16_t>> head;
    std::optional<std::vector<std::uint16_t>> tail;
    if (gap == std::string_view::npos) {
        head = ParseIPv6Groups(text, true);
        tail.emplace();
        if (!head || head->size() != kIPv6Groups) {
            return std::nullopt;
        }
    } else {
        head = ParseIPv6Groups(text.substr(0, gap), false);
        tail = ParseIPv6Groups(text.substr(gap + 2), true);
        // "::" stands for at least one group of zeros.
        if (!head || !tail || head->size() + tail->size() >= kIPv6Groups) {
            return std::nullopt;
        }
    }
    ByteVector address;
    for (std::uint16_t group : *head) {
        AppendBigEndian16(address, group);
    }
    address.resize(kIPv6Size - 2 * tail->size(), 0);
    for (std::uint16_t group : *tail) {
        AppendBigEndian16(address, group);
    }
    return address;
}

std::size_t NameWireSize(const NameLabels& name) {
    std::size_t size = DNSWire::kLengthByteSize;
    for (const std::string& label : name) {
        size += DNSWire::kLengthByteSize + label.size();
    }
    return size;
}

class DescriptionReader {
  public:
    RelayListDescription Read(std::string_view text) {
        if (text.substr(0, sizeof kByteOrderMark - 1) == kByteOrderMark) {
            text.remove_prefix(sizeof kByteOrderMark - 1);
        }
        std::size_t number = 0;
        while (!text.empty()) {
            ++number;
            const std::size_t feed = text.find('\n');
            std::string_view line = text.substr(0, feed);
            text.remove_prefix(feed == std::string_view::npos ? text.size() : feed + 1);
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            DescriptionLine fields(line, number);
            if (!fields.AtEnd()) {
                ReadLine(fields);
            }
        }
        return std::move(description);
    }

  private:
    void ReadLine(DescriptionLine& line) {
        const Token& keyword = line.Take("keyword");
        if (!keyword.quoted) {
            for (const SectionWord& section : kSections) {
                if (SameWord(keyword.text, section.word)) {
                    ReadRecord(line, section);
                    return;
                }
            }
            if (SameWord(keyword.text, "question")) {
                ReadQuestion(line);
                return;
            }
            using HeaderLineReader = void (DescriptionReader::*)(DescriptionLine&);
            static const std::pair<const char*, HeaderLineReader> kHeaderLines[] = {
                {"id", &DescriptionReader::ReadId},
                {"flags", &DescriptionReader::ReadFlags},
                {"opcode", &DescriptionReader::ReadOpcode},
                {"rcode", &DescriptionReader::ReadRcode},
                {"counts", &DescriptionReader::ReadCounts},
                {"compression", &DescriptionReader::ReadCompression},
            };
            for (const auto& [word, reader] : kHeaderLines) {
                if (SameWord(keyword.text, word)) {
                    Once(line, word);
                    (this->*reader)(line);
                    line.ExpectEnd();
                    return;
                }
            }
        }
        line.Fail("unknown keyword " + keyword.written +
                  "; a line starts with id, flags, opcode, rcode, counts, compression, question, "
                  "answer, authority or additional");
    }

    // A header setting given twice is almost always a copy-and-paste slip.
    void Once(const DescriptionLine& line, const char* word) {
        const auto [first, inserted] = settingLines.emplace(word, line.LineNumber());
        if (!inserted) {
            line.Fail(std::string(word) + " given twice (first on line " +
                      std::to_string(first->second) + ")");
        }
    }

    void ReadId(DescriptionLine& line) {
        description.header.id = static_cast<std::uint16_t>(line.TakeNumber("id", kMax16));
    }

    void ReadFlags(DescriptionLine& line) {
        struct Flag {
            const char* word;
            bool DescribedHeader::*member;
            std::uint8_t reservedBit;
        };
        static const Flag kFlags[] = {
            {"qr", &DescribedHeader::qr, 0},
            {"aa", &DescribedHeader::aa, 0},
            {"tc", &DescribedHeader::tc, 0},
            {"rd", &DescribedHeader::rd, 0},
            {"ra", &DescribedHeader::ra, 0},
            {"z", nullptr, RelayListWire::kReservedZ},
            {"ad", nullptr, RelayListWire::kReservedAD},
            {"cd", nullptr, RelayListWire::kReservedCD},
        };
        DescribedHeader& header = description.header;
        // The line lists every flag that is set; a line without any describes
        // a query.
        header.qr = false;
        std::vector<const Flag*> seen;
        while (!line.AtEnd()) {
            const Token& token = line.Take("flag");
            const Flag* flag = nullptr;
            for (const Flag& candidate : kFlags) {
                if (!token.quoted && SameWord(candidate.word, token.text)) {
                    flag = &candidate;
                }
            }
            if (flag == nullptr) {
                line.Fail("unknown flag " + token.written +
                          "; use qr, aa, tc, rd, ra, z, ad or cd");
            }
            for (const Flag* earlier : seen) {
                if (earlier == flag) {
                    line.Fail("flag " + token.written + " given twice");
                }
            }
            seen.push_back(flag);
            if (flag->member != nullptr) {
                header.*(flag->member) = true;
            } else {
                header.reservedBits =
                    static_cast<std::uint8_t>(header.reservedBits | flag->reservedBit);
            }
        }
    }

    template <std::size_t N>
    std::uint8_t FlagField(DescriptionLine& line, const char* role, const Mnemonic (&names)[N]) {
        const Token& token = line.Take(role);
        if (const Mnemonic* named = token.quoted ? nullptr : FindMnemonic(names, token.text)) {
            return static_cast<std::uint8_t>(named->value);
        }
        if (token.quoted || !IsDigit(token.text.front())) {
            std::string known;
            for (const Mnemonic& entry : names) {
                known += std::string(entry.word) + ", ";
            }
            line.Fail(std::string("unknown ") + role + " " + token.written + "; use " + known +
                      "or a number from 0 to 15");
        }
        return static_cast<std::uint8_t>(line.NumberOf(token, role, kMaxFlagField));
    }

    void ReadOpcode(DescriptionLine& line) {
        description.header.opcode = FlagField(line, "opcode", kOpcodes);
    }

    void ReadRcode(DescriptionLine& line) {
        description.header.rcode = FlagField(line, "rcode", kRcodes);
    }

    void ReadCounts(DescriptionLine& line) {
        static const char* const kRoles[kCountFields] = {"question count", "answer count",
                                                         "authority count", "additional count"};
        for (std::size_t field = 0; field < kCountFields; ++field) {
            const Token& token = line.Take(kRoles[field]);
            if (!token.quoted && token.text == "-") {
                continue;
            }
            description.countOverrides[field] =
                static_cast<std::uint16_t>(line.NumberOf(token, kRoles[field], kMax16));
        }
    }

    void ReadCompression(DescriptionLine& line) {
        const Token& token = line.Take("on or off after compression");
        if (!token.quoted && SameWord(token.text, "on")) {
            description.compressNames = true;
        } else if (!token.quoted && SameWord(token.text, "off")) {
            description.compressNames = false;
        } else {
            line.Fail("compression is on or off, not " + token.written);
        }
    }

    std::uint16_t Type(DescriptionLine& line, bool& numeric) {
        const Token& token = line.Take("record type");
        numeric = false;
        if (const Mnemonic* named = token.quoted ? nullptr : FindMnemonic(kTypes, token.text)) {
            return named->value;
        }
        if (token.quoted || !IsDigit(token.text.front())) {
            line.Fail("unknown record type " + token.written +
                      "; use A, NS, CNAME, PTR, TXT, AAAA, SRV or a number");
        }
        numeric = true;
        return static_cast<std::uint16_t>(line.NumberOf(token, "record type", kMax16));
    }

    std::uint16_t Class(DescriptionLine& line) {
        const Token& token = line.Take("class");
        if (const Mnemonic* named = token.quoted ? nullptr : FindMnemonic(kClasses, token.text)) {
            return named->value;
        }
        if (token.quoted || !IsDigit(token.text.front())) {
            line.Fail("unknown class " + token.written + "; use IN, CH, HS or a number");
        }
        return static_cast<std::uint16_t>(line.NumberOf(token, "class", kMax16));
    }

    void ReadQuestion(DescriptionLine& line) {
        if (!description.records.empty()) {
            line.Fail("question after records; questions come first");
        }
        if (description.questions.size() == kMax16) {
            line.Fail("more than 65535 questions");
        }
        DescribedQuestion question;
        question.name = line.TakeName("question name");
        question.recordClass = Class(line);
        bool numeric = false;
        question.type = Type(line, numeric);
        line.ExpectEnd();
        description.questions.push_back(std::move(question));
    }

    void ReadRecord(DescriptionLine& line, const SectionWord& section) {
        const auto index = static_cast<std::size_t>(section.section);
        for (std::size_t later = index + 1; later < std::size(kSections); ++later) {
            if (recordCounts[later] != 0) {
                line.Fail(std::string(section.word) + " record after " + kSections[later].records +
                          "; sections go in the order answer, authority, additional");
            }
        }
        if (recordCounts[index] == kMax16) {
            line.Fail(std::string("more than 65535 ") + section.records);
        }
        DescribedRecord record;
        record.section = section.section;
        record.owner = line.TakeName("owner name");
        record.ttl = static_cast<std::uint32_t>(line.TakeNumber("TTL", kMax32));
        record.recordClass = Class(line);
        bool numeric = false;
        record.type = Type(line, numeric);
        if (numeric) {
            record.data.emplace_back(HexData(line));
        } else {
            ReadTypedData(line, record);
        }
        line.ExpectEnd();

        std::size_t dataSize = 0;
        for (const RecordDataPiece& piece : record.data) {
            dataSize += std::holds_alternative<ByteVector>(piece)
                            ? std::get<ByteVector>(piece).size()
                            : NameWireSize(std::get<NameLabels>(piece));
        }
        if (dataSize > kMax16) {
            line.Fail("record data is longer than 65535 bytes");
        }
        ++recordCounts[index];
        description.records.push_back(std::move(record));
    }

    void ReadTypedData(DescriptionLine& line, DescribedRecord& record) {
        switch (record.type) {
            case RelayListWire::kTypeA: {
                const Token& token = line.Take("IPv4 address");
                std::optional<ByteVector> address = ParseIPv4(token.text);
                if (token.quoted || !address) {
                    line.Fail("IPv4 address " + token.written +
                              " is not four numbers from 0 to 255 separated by dots");
                }
                record.data.emplace_back(std::move(*address));
                return;
            }
            case RelayListWire::kTypeAAAA: {
                const Token& token = line.Take("IPv6 address");
                std::optional<ByteVector> address = ParseIPv6(token.text);
                if (token.quoted || !address) {
                    line.Fail("IPv6 address " + token.written + " is not valid");
                }
                record.data.emplace_back(std::move(*address));
                return;
            }
            case RelayListWire::kTypeTXT: {
                ByteVector strings;
                do {
                    const Token& token = line.Take("TXT string");
                    const std::string text = line.Unescaped(token);
                    if (text.size() > kMaxCharacterString) {
                        line.Fail("TXT string " + token.written + " is longer than 255 bytes");
                    }
                    strings.push_back(static_cast<Byte>(text.size()));
                    strings.insert(strings.end(), text.begin(), text.end());
                } while (!line.AtEnd());
                record.data.emplace_back(std::move(strings));
                return;
            }
            case DNSWire::kTypeSRV: {
                ByteVector fixed;
                AppendBigEndian16(fixed, line.TakeNumber("SRV priority", kMax16));
                AppendBigEndian16(fixed, line.TakeNumber("SRV weight", kMax16));
                AppendBigEndian16(fixed, line.TakeNumber("SRV port", kMax16));
                record.data.emplace_back(std::move(fixed));
                record.data.emplace_back(line.TakeName("SRV target"));
                return;
            }
            default: {
                // CNAME, NS and PTR: one name.
                const Mnemonic* named = nullptr;
                for (const Mnemonic& entry : kTypes) {
                    if (entry.value == record.type) {
                        named = &entry;
                    }
                }
                record.data.emplace_back(line.TakeName(std::string(named->word) + " target"));
                return;
            }
        }
    }

    // Whatever the type, a number means the RDATA is given as hex digits,
    // in as many fields as the writer likes; nothing at all is empty RDATA.
    static ByteVector HexData(DescriptionLine& line) {
        std::string digits;
        while (!line.AtEnd()) {
            const Token& token = line.Take("record data");
            for (char c : token.text) {
                if (token.quoted || !IsHexDigit(c)) {
                    line.Fail("record data " + token.written + " is not hexadecimal");
                }
            }
            digits += token.text;
        }
        if (digits.size() % 2 != 0) {
            line.Fail("record data has an odd number of hex digits");
        }
        ByteVector bytes;
        for (std::size_t i = 0; i < digits.size(); i += 2) {
            bytes.push_back(static_cast<Byte>(HexValue(digits[i]) * 16 + HexValue(digits[i + 1])));
        }
        return bytes;
    }

    RelayListDescription description;
    std::size_t recordCounts[std::size(kSections)] = {};
    std::map<std::string, std::size_t> settingLines;
};

}  // namespace

RelayListDescriptionError::RelayListDescriptionError(std::size_t line, const std::string& problem)
    : ExceptionPL(("line " + std::to_string(line) + ": " + problem).c_str()), line(line) {}

RelayListDescription ParseRelayListDescription(std::string_view text) {
    return DescriptionReader().Read(text);
}
