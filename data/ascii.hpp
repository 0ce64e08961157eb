// ASCII character classes: fixed sets of byte values held as 256-bit tables,
// and the whitespace trim built on them. Nothing here depends on the
// run-time locale or code page.
#pragma once

#include <array>
#include <cstdint>

#include "data/bytes.hpp"

namespace Ascii {

// A set of byte values: value v is a member when bit v % 32 (bit 0 the least
// significant) of bits[v / 32] is set.
struct CharacterClass {
    std::array<std::uint32_t, 8> bits{};

    constexpr bool Contains(Byte value) const {
        return ((bits[value / 32] >> (value % 32)) & 1u) != 0;
    }
};

// The shared classes, read-only, in the order start-up builds them. Their
// tables are constant, so each exists before any code runs.
const CharacterClass& Graphic();          // 33-126
const CharacterClass& NonGraphic();       // every byte not in Graphic
const CharacterClass& Printable();        // 32-126
const CharacterClass& Control();          // 0-31, 127
const CharacterClass& NonAscii();         // 128-255
const CharacterClass& Whitespace();       // TAB, LF, CR, SPACE; not VT or FF
const CharacterClass& Blank();            // TAB, SPACE
const CharacterClass& Letter();           // 'A'-'Z', 'a'-'z'
const CharacterClass& Digit();            // '0'-'9'
const CharacterClass& LetterOrDigit();    // Letter and Digit
const CharacterClass& Punctuation();      // Graphic without LetterOrDigit
const CharacterClass& HexDigit();         // '0'-'9', 'A'-'F', 'a'-'f'
const CharacterClass& IdentifierStart();  // Letter and '_'
const CharacterClass& IdentifierPart();   // LetterOrDigit and '_'
const CharacterClass& Lowercase();        // 'a'-'z'
const CharacterClass& Uppercase();        // 'A'-'Z'

// A character range [first, end).
struct CharacterRange {
    const char* first = nullptr;
    const char* end = nullptr;
};

// The part of [first, end) left when every Whitespace character is removed
// from its front and from its back; what lies between the first and the last
// other character stays as it is. Characters are taken as unsigned bytes, so
// a byte of 128 or more is never whitespace. The result lies inside the
// range; for a range of whitespace only (or an empty one) it is empty, with
// both pointers at the same place inside it. Never throws.
CharacterRange TrimWhitespace(const char* first, const char* end);

// Builds the shared case filters (lowering, then raising) and the sixteen
// classes, in the order listed above. The library calls it once during
// start-up, before main; a further call changes nothing.
void InitializeTables();

}  // namespace Ascii
