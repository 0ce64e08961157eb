#include "platform/memory_hints.hpp"

void AskForLargePages(void*, std::size_t) {}
