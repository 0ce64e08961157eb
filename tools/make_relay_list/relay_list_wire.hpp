// Wire values the relay list writer needs beyond the decoders' own
// (dns/wire_format.hpp): the record types and classes a description names,
// the reserved flag bits and the limit on a name's length.
#pragma once

#include <cstddef>
#include <cstdint>

namespace RelayListWire {

// RFC 1035 section 3.2.2, RFC 3596 (AAAA).
inline constexpr std::uint16_t kTypeA = 1;
inline constexpr std::uint16_t kTypeNS = 2;
inline constexpr std::uint16_t kTypeCNAME = 5;
inline constexpr std::uint16_t kTypePTR = 12;
inline constexpr std::uint16_t kTypeTXT = 16;
inline constexpr std::uint16_t kTypeAAAA = 28;

// RFC 1035 section 3.2.4.
inline constexpr std::uint16_t kClassCH = 3;
inline constexpr std::uint16_t kClassHS = 4;

// Flag bits 6 to 4, which the decoder drops: Z, then AD and CD (RFC 4035),
// as a 3-bit field.
inline constexpr unsigned kReservedShift = 4;
inline constexpr std::uint8_t kReservedZ = 0x4;
inline constexpr std::uint8_t kReservedAD = 0x2;
inline constexpr std::uint8_t kReservedCD = 0x1;

// RFC 1035 section 2.3.4: a name, length bytes and root label included.
inline constexpr std::size_t kMaxNameWireSize = 255;

}  // namespace RelayListWire
