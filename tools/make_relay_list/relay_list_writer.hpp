// Writes a relay list, one DNS reply message in wire format (RFC 1035
// section 4, SRV data from RFC 2782), from its description.
#pragma once

#include <string_view>

#include "data/bytes.hpp"
#include "tools/make_relay_list/relay_list_description.hpp"

struct RelayListOptions {
    // Off writes every name in full, whatever the description says; on
    // leaves it to the description's "compression" line.
    bool compressNames = true;
};

// The message for `description`, entries in the order described.
//
// The header's counts are those of the entries unless the description
// overrides them. When compression is on (in the options and in the
// description), each question name, owner name and name inside RDATA (SRV,
// CNAME, NS and PTR targets) ends in a pointer to the longest run of its
// final labels already written earlier in the message, provided that run
// starts below offset 0x4000 (RFC 1035 section 4.1.4). Labels match only
// when their bytes are equal, case included, so reading the message back
// gives exactly the names described. The root name is never compressed: its
// one byte is shorter than a pointer.
//
// Throws DataOverflow, and returns nothing, when the description breaks a
// limit that ParseRelayListDescription guarantees (a label over 63 bytes, a
// section over 65535 entries, RDATA over 65535 bytes).
ByteVector EncodeRelayList(const RelayListDescription& description,
                           const RelayListOptions& options = {});

// ParseRelayListDescription, then EncodeRelayList.
// Throws RelayListDescriptionError for the first wrong line of `text`.
ByteVector WriteRelayList(std::string_view text, const RelayListOptions& options = {});
