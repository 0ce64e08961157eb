// The path value type of the file layer.
#pragma once

#include <cstdint>
#include <string>

// A zero-terminated path text of any length. Texts of up to 127 characters
// live inside the object; longer ones in a heap array of exactly their
// length plus one that the path owns. The text is never a null pointer.
class FilePath {
  public:
    // Empty.
    FilePath() = default;

    // The text with every trailing backslash and forward slash removed; a
    // null pointer counts as empty. Throws std::bad_alloc when a long text
    // cannot be stored, std::length_error for a text of 2^32 - 1 characters
    // or more.
    explicit FilePath(const char* text);

    // The other path's characters as they stand. Throws std::bad_alloc when
    // they cannot be stored.
    FilePath(const FilePath& other);
    FilePath& operator=(const FilePath& other);

    ~FilePath();

    // Replaces the text with the first `count` characters of `text`, less
    // any backslashes and forward slashes at their end (a text of
    // separators alone becomes empty). `text` may lie inside this path's own
    // text. Throws std::bad_alloc when a long text cannot be stored; the
    // path keeps its old text then.
    void AssignTrimmed(const char* text, std::uint32_t count);

    const char* CStr() const { return data; }
    std::uint32_t Length() const { return length; }
    std::string ToString() const { return std::string(data, length); }

  private:
    static constexpr std::uint32_t kInlineCapacity = 128;

    void Assign(const char* text, std::uint32_t count);
    bool OnHeap() const { return data != inlineBuffer; }

    char* data = inlineBuffer;
    char inlineBuffer[kInlineCapacity] = {};
    std::uint32_t length = 0;
};
