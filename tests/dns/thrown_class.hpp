// Names exactly what an operation throws, so a test can tell a class from its
// bases and table rows can hold the expected class as text.
#pragma once

#include <exception>
#include <string>

#include "errors/exceptions.hpp"

namespace DNSTest {

inline constexpr const char* kNothingThrown = "nothing";

// The run-time class name of what `operation` throws ("class BadDNSName"),
// or kNothingThrown when it returns.
template <typename Operation>
std::string ThrownClass(Operation&& operation) {
    try {
        operation();
    } catch (const std::exception& caught) {
        return RunTimeClassName(caught);
    } catch (...) {
        return "an object outside std::exception";
    }
    return kNothingThrown;
}

}  // namespace DNSTest
