#include "data/data_writer.hpp"

#include <algorithm>
#include <functional>

#include "platform/memory_hints.hpp"

DataWriter::~DataWriter() = default;

DataReceiver& DataReceiver::Write(ConstData data) {
    Receive(data);
    return *this;
}

void DataReceiver::Expect(std::uint64_t) {}

VectorAppender& VectorAppender::AppendTo(ByteVector& vector) {
    target = &vector;
    return *this;
}

void VectorAppender::Start() {}

void VectorAppender::Expect(std::uint64_t size) {
    if (target == nullptr) {
        return;
    }
    const std::size_t held = target->size();
    if (size <= target->max_size() - held) {
        target->reserve(held + static_cast<std::size_t>(size));
        AskForLargePages(target->data() + held, static_cast<std::size_t>(size));
    }
}

void VectorAppender::Receive(ConstData data) {
    if (target == nullptr) {
        throw UnboundVectorAppender();
    }
    if (data.Empty()) {
        return;
    }
    const Byte* const held = target->data();
    const std::less<const Byte*> before;
    const bool insideTarget =
        !before(data.begin, held) && before(data.begin, held + target->size());
    if (!insideTarget) {
        target->insert(target->end(), data.begin, data.end);
        return;
    }
    // Growing the vector would move the very bytes being appended, so they
    // are found again by their offset once it has grown.
    const std::size_t offset = static_cast<std::size_t>(data.begin - held);
    const std::size_t count = data.Size();
    const std::size_t oldSize = target->size();
    target->resize(oldSize + count);
    std::copy_n(target->data() + offset, count, target->data() + oldSize);
}

void VectorAppender::Finish() {
    target = nullptr;
}

void IgnoreDataReceiver::Start() {}

void IgnoreDataReceiver::Receive(ConstData) {}

void IgnoreDataReceiver::Finish() {}

IgnoreDataReceiver& SharedIgnoreDataReceiver() {
    static IgnoreDataReceiver receiver;
    return receiver;
}

namespace {

// Builds the shared receiver during start-up, before main.
[[maybe_unused]] const bool sharedReceiverBuilt = (SharedIgnoreDataReceiver(), true);

}  // namespace
