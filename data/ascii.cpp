#include "data/ascii.hpp"

#include <cstddef>
#include <initializer_list>

#include "data/filters.hpp"

namespace Ascii {

namespace {

// An inclusive run of byte values.
struct ByteRun {
    unsigned first;
    unsigned last;
};

constexpr CharacterClass MakeClass(std::initializer_list<ByteRun> runs) {
    CharacterClass set;
    for (const ByteRun& run : runs) {
        for (unsigned value = run.first; value <= run.last; ++value) {
            set.bits[value / 32] |= std::uint32_t{1} << (value % 32);
        }
    }
    return set;
}

constexpr CharacterClass Complement(const CharacterClass& set) {
    CharacterClass result;
    for (std::size_t word = 0; word < result.bits.size(); ++word) {
        result.bits[word] = ~set.bits[word];
    }
    return result;
}

constexpr CharacterClass kGraphic = MakeClass({{33, 126}});
constexpr CharacterClass kNonGraphic = Complement(kGraphic);
constexpr CharacterClass kPrintable = MakeClass({{32, 126}});
constexpr CharacterClass kControl = MakeClass({{0, 31}, {127, 127}});
constexpr CharacterClass kNonAscii = MakeClass({{128, 255}});
constexpr CharacterClass kWhitespace = MakeClass({{'\t', '\n'}, {'\r', '\r'}, {' ', ' '}});
constexpr CharacterClass kBlank = MakeClass({{'\t', '\t'}, {' ', ' '}});
constexpr CharacterClass kLetter = MakeClass({{'A', 'Z'}, {'a', 'z'}});
constexpr CharacterClass kDigit = MakeClass({{'0', '9'}});
constexpr CharacterClass kLetterOrDigit = MakeClass({{'0', '9'}, {'A', 'Z'}, {'a', 'z'}});
constexpr CharacterClass kPunctuation = MakeClass({{33, 47}, {58, 64}, {91, 96}, {123, 126}});
constexpr CharacterClass kHexDigit = MakeClass({{'0', '9'}, {'A', 'F'}, {'a', 'f'}});
constexpr CharacterClass kIdentifierStart = MakeClass({{'A', 'Z'}, {'_', '_'}, {'a', 'z'}});
constexpr CharacterClass kIdentifierPart =
    MakeClass({{'0', '9'}, {'A', 'Z'}, {'_', '_'}, {'a', 'z'}});
constexpr CharacterClass kLowercase = MakeClass({{'a', 'z'}});
constexpr CharacterClass kUppercase = MakeClass({{'A', 'Z'}});

bool IsWhitespace(char character) {
    return kWhitespace.Contains(static_cast<unsigned char>(character));
}

}  // namespace

const CharacterClass& Graphic() {
    return kGraphic;
}
const CharacterClass& NonGraphic() {
    return kNonGraphic;
}
const CharacterClass& Printable() {
    return kPrintable;
}
const CharacterClass& Control() {
    return kControl;
}
const CharacterClass& NonAscii() {
    return kNonAscii;
}
const CharacterClass& Whitespace() {
    return kWhitespace;
}
const CharacterClass& Blank() {
    return kBlank;
}
const CharacterClass& Letter() {
    return kLetter;
}
const CharacterClass& Digit() {
    return kDigit;
}
const CharacterClass& LetterOrDigit() {
    return kLetterOrDigit;
}
const CharacterClass& Punctuation() {
    return kPunctuation;
}
const CharacterClass& HexDigit() {
    return kHexDigit;
}
const CharacterClass& IdentifierStart() {
    return kIdentifierStart;
}
const CharacterClass& IdentifierPart() {
    return kIdentifierPart;
}
const CharacterClass& Lowercase() {
    return kLowercase;
}
const CharacterClass& Uppercase() {
    return kUppercase;
}

CharacterRange TrimWhitespace(const char* first, const char* end) {
    while (first != end && IsWhitespace(*first)) {
        ++first;
    }
    while (first != end && IsWhitespace(*(end - 1))) {
        --end;
    }
    return {first, end};
}

void InitializeTables() {
    CaseLowering();
    CaseRaising();
    Graphic();
    NonGraphic();
    Printable();
    Control();
    NonAscii();
    Whitespace();
    Blank();
    Letter();
    Digit();
    LetterOrDigit();
    Punctuation();
    HexDigit();
    IdentifierStart();
    IdentifierPart();
    Lowercase();
    Uppercase();
}

namespace {

// The library's start-up step. It sits beside the classes so that any
// program using them links this initializer too.
[[maybe_unused]] const bool tablesInitialized = (InitializeTables(), true);

}  // namespace

}  // namespace Ascii
