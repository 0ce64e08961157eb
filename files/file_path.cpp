#include "files/file_path.hpp"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

bool IsSeparator(char character) {
    return character == '\\' || character == '/';
}

}  // namespace

FilePath::FilePath(const char* text) {
    if (text == nullptr) {
        return;
    }
    const std::size_t count = std::strlen(text);
    if (count >= std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("path too long");
    }
    AssignTrimmed(text, static_cast<std::uint32_t>(count));
}

FilePath::FilePath(const FilePath& other) {
    Assign(other.data, other.length);
}

FilePath& FilePath::operator=(const FilePath& other) {
    Assign(other.data, other.length);
    return *this;
}

FilePath::~FilePath() {
    if (OnHeap()) {
        delete[] data;
    }
}

void FilePath::AssignTrimmed(const char* text, std::uint32_t count) {
    if (text == nullptr) {
        count = 0;
    }
    while (count > 0 && IsSeparator(text[count - 1])) {
        --count;
    }
    Assign(text, count);
}

// The new characters are in place before the old storage goes, so `text`
// may point into it.
void FilePath::Assign(const char* text, std::uint32_t count) {
    if (count + 1 <= kInlineCapacity) {
        if (count != 0) {
            std::memmove(inlineBuffer, text, count);
        }
        inlineBuffer[count] = '\0';
        if (OnHeap()) {
            delete[] data;
        }
        data = inlineBuffer;
    } else if (OnHeap() && count == length) {
        std::memmove(data, text, count);
    } else {
        char* const fresh = new char[count + 1];
        std::memcpy(fresh, text, count);
        fresh[count] = '\0';
        if (OnHeap()) {
            delete[] data;
        }
        data = fresh;
    }
    length = count;
}
