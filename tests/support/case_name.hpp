// Table-driven tests keep a `name` in every case; GoogleTest prints a case
// through PrintTo, found by argument-dependent lookup. A test file brings this
// one into the namespace of its case types with `using TestCaseNames::PrintTo;`
// so a failing or listed case shows its name instead of its raw bytes.
#pragma once

#include <ostream>

namespace TestCaseNames {

template <typename Case>
requires requires(const Case& table) {
    table.name;
}
void PrintTo(const Case& table, std::ostream* out) {
    *out << table.name;
}

}  // namespace TestCaseNames
