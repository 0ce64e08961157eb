// Hints to the operating system about how the program is about to use its
// memory. A hint changes no byte and never fails; where the system offers
// nothing of the kind it does nothing.
#pragma once

#include <cstddef>

// Asks for large pages behind [begin, begin + size), a range of the program's
// own heap that is about to be written from end to end. Filling a large
// buffer in ordinary pages costs one page fault per page, which can take
// longer than copying the bytes in; in large pages it costs one fault per
// large page. Ranges smaller than a large page are left alone.
//
// Linux: transparent huge pages, where the system lets a program ask for
// them, from the first large-page boundary inside the range to the end of the
// large page that holds its last byte. Windows: nothing, since large
// pages there need a privilege that a console tool is not given.
void AskForLargePages(void* begin, std::size_t size);
