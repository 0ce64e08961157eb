#include "data/bytes.hpp"

#include "errors/exceptions.hpp"

void MutableData::Put(Byte value) {
    if (cursor == end) {
        throw DataOverflow();
    }
    *cursor++ = value;
}
