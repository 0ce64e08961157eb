// Start-up steps of the program that live in static libraries. A linker
// keeps an object from a static library only when something references it,
// so a static initialiser of the library's own would be dropped from a
// program that otherwise never uses that object; calling the steps from here
// keeps them, and runs them before main.

#include "errors/caught_exception.hpp"

namespace {

[[maybe_unused]] const bool exceptionCapturersRegistered =
    (RegisterExceptionCapturersAtStartUp(), true);

}  // namespace
