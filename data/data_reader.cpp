#include "data/data_reader.hpp"

#include "errors/exceptions.hpp"

DataReader::~DataReader() = default;

bool DataReader::HasMore() const {
    return !AtEnd();
}

DataReader& DataReader::Read(Byte* first, Byte* end) {
    MutableData data(first, end);
    if (HasMore()) {
        for (;;) {
            if (data.cursor == end) {
                return *this;
            }
            const Byte* before = data.cursor;
            ReadSome(data);
            if (!HasMore() || data.cursor == before) {
                break;
            }
        }
    }
    if (data.cursor != end) {
        throw NoMoreData();
    }
    return *this;
}

bool EmptyDataReader::AtEnd() const {
    return true;
}

DataReader& EmptyDataReader::ReadSome(MutableData&) {
    return *this;
}

EmptyDataReader& SharedEmptyDataReader() {
    static EmptyDataReader reader;
    return reader;
}

namespace {

// Builds the shared reader during start-up, before main.
[[maybe_unused]] const bool sharedReaderBuilt = (SharedEmptyDataReader(), true);

}  // namespace
