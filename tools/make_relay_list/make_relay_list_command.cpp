#include "tools/make_relay_list/make_relay_list_command.hpp"

#include <cstddef>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "data/bytes.hpp"
#include "tools/make_relay_list/relay_list_description.hpp"
#include "tools/make_relay_list/relay_list_writer.hpp"

namespace {

constexpr const char kNoCompression[] = "--no-compression";

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::string text;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(file.gcount()));
    }
    // The end of the file sets failbit too; only badbit is a read error (a
    // folder opened as a file, for one).
    if (file.bad()) {
        return std::nullopt;
    }
    return text;
}

bool WriteWholeFile(const std::string& path, const ByteVector& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        return false;
    }
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        // Half a relay list looks like a whole one to the client; keep none.
        std::remove(path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int RunMakeRelayList(const std::vector<std::string>& arguments, std::ostream& errors) {
    RelayListOptions options;
    std::vector<std::string> paths;
    for (const std::string& argument : arguments) {
        if (argument == kNoCompression) {
            options.compressNames = false;
        } else if (argument.size() > 1 && argument[0] == '-') {
            paths.clear();  // any other option is a usage error
            break;
        } else {
            paths.push_back(argument);
        }
    }
    if (paths.size() != 2) {
        errors << kMakeRelayListUsageLine << '\n' << std::flush;
        return kMakeRelayListUsage;
    }
    const std::string& descriptionPath = paths[0];
    const std::string& relayListPath = paths[1];

    const std::optional<std::string> text = ReadWholeFile(descriptionPath);
    if (!text) {
        errors << "cannot read \"" << descriptionPath << "\"\n" << std::flush;
        return kMakeRelayListFailed;
    }
    ByteVector relayList;
    try {
        relayList = WriteRelayList(*text, options);
    } catch (const RelayListDescriptionError& error) {
        errors << descriptionPath << ": " << error.what() << '\n' << std::flush;
        return kMakeRelayListFailed;
    }
    if (!WriteWholeFile(relayListPath, relayList)) {
        errors << "cannot write \"" << relayListPath << "\"\n" << std::flush;
        return kMakeRelayListFailed;
    }
    return kMakeRelayListSucceeded;
}
