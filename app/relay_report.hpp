// The relay report: reads a relay list file, decodes it as one DNS reply
// message and prints a block for every SRV record of class IN in it.
#pragma once

#include <ostream>

#include "data/bytes.hpp"

// Prints the report of the relay list file at `path` (a zero-terminated
// narrow string, used as given apart from trailing separators) to standard
// output. Every line is ended and flushed as soon as it is complete, so the
// blocks printed before a failure are never lost.
//
// For every SRV record of class IN in the answer, authority and additional
// sections, in message order, it prints:
//
//     Affiliation: <first label of the owner name, or Unaffiliated>
//     Name:        <target as dotted text>
//     Port:        <port>
//     Priority:    <priority>
//     Weight:      <weight>
//     <empty line>
//
// The affiliation is the owner name's first label when the name has two or
// more labels, "Unaffiliated" otherwise. Labels are written byte for byte.
// A block is printed whole or not at all.
//
// Throws, and catches nothing:
// - the file errors of the file layer when the file cannot be opened or read
//   (before anything is printed);
// - BadDNSMessageHeader for a message shorter than 12 bytes;
// - BadDNSReply when the message is a query, is truncated or has a non-zero
//   RCODE;
// - BadDNSCompressedName, BadDNSQuestion, BadDNSRecord,
//   BadDNSServiceRecordData and BadDNSName for a malformed question, record,
//   SRV data or name, after the blocks of the records before it.
void PrintRelays(const char* path);

// The same report written to `out`. Each line ends with '\n' and a flush.
void PrintRelays(const char* path, std::ostream& out);

// The report of a relay list already held in memory, `message` being the
// whole file: the same lines and the same failures as PrintRelays, apart
// from the file errors.
void PrintRelaysOfMessage(ConstData message, std::ostream& out);
