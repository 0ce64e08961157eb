// Table-driven tests keep a `name` in every case; GoogleTest prints a case
// through PrintTo, found by argument-dependent lookup. A test file brings this
// one into the namespace of its case types with `using TestCaseNames::PrintTo;`
// so a failing or listed case shows its name instead of its raw bytes.
// CaseName names the instantiated tests after their cases as well.
#pragma once

#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace TestCaseNames {

template <typename Case>
requires requires(const Case& table) {
    table.name;
}
void PrintTo(const Case& table, std::ostream* out) {
    *out << table.name;
}

// The name GoogleTest gives an instantiated case: the case's own name, for
// INSTANTIATE_TEST_SUITE_P's name generator.
template <typename Case>
std::string CaseName(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

}  // namespace TestCaseNames
