// MakeRelayList: writes a relay list file from its text description.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "tools/make_relay_list/make_relay_list_command.hpp"

int main(int argc, char** argv) {
    try {
        return RunMakeRelayList(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc),
                                std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "MakeRelayList: " << error.what() << '\n' << std::flush;
        return kMakeRelayListFailed;
    }
}
