// The MakeRelayList command: reads a relay list description from one file
// and writes the relay list to another.
#pragma once

#include <ostream>
#include <string>
#include <vector>

inline constexpr int kMakeRelayListSucceeded = 0;
inline constexpr int kMakeRelayListFailed = 1;  // the description or a file is wrong
inline constexpr int kMakeRelayListUsage = 2;   // the command line is wrong

inline constexpr const char kMakeRelayListUsageLine[] =
    "usage: MakeRelayList [--no-compression] <description.txt> <Relays.dat>";

// Runs the command with `arguments`, the command line without the program
// name: an optional "--no-compression" (anywhere among them), the path of
// the description, the path of the relay list to write.
//
// Returns kMakeRelayListSucceeded after writing the whole relay list, and
// writes nothing to `errors` then. Otherwise writes exactly one line to
// `errors` and returns kMakeRelayListUsage (wrong arguments: the usage line)
// or kMakeRelayListFailed (the description cannot be read or is wrong, or
// the relay list cannot be written). The relay list file is left untouched
// when the description is wrong, and removed when writing it fails midway.
// Throws only what the standard library throws when memory runs out.
int RunMakeRelayList(const std::vector<std::string>& arguments, std::ostream& errors);
