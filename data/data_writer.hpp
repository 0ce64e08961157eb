// Sinks of bytes: a DataWriter takes bytes pushed into it; a DataReceiver
// takes a stream of them, piece by piece, between Start and Finish.
#pragma once

#include <cstdint>

#include "data/bytes.hpp"
#include "errors/exceptions.hpp"

// An abstract sink of bytes. A writer is used by one thread at a time.
class DataWriter {
  public:
    // Takes the bytes of data and returns the writer itself. The bytes are
    // valid only during the call.
    virtual DataWriter& Write(ConstData data) = 0;

    virtual ~DataWriter();
};

// A sink that takes a stream: Start once, then Receive any number of times
// (none included), then Finish once. A caller that fails half way through a
// stream calls no Finish.
class DataReceiver : public DataWriter {
  public:
    // Receive(data), then returns the receiver itself. It neither starts nor
    // finishes a stream. Anything Receive throws passes out unchanged.
    DataReceiver& Write(ConstData data) override;

    // A stream begins.
    virtual void Start() = 0;

    // The stream that has begun will bring `size` bytes, as far as its
    // sender knows; a receiver may make room for them at once. A sender
    // that knows the size calls it once, after Start and before the first
    // Receive. The stream may still turn out shorter. Does nothing unless
    // a receiver overrides it.
    virtual void Expect(std::uint64_t size);

    // Takes the next piece of the stream, always whole. The bytes are valid
    // only during the call, so a receiver copies whatever it keeps.
    virtual void Receive(ConstData data) = 0;

    // The stream has ended: no Receive follows before the next Start.
    virtual void Finish() = 0;
};

// Thrown by a VectorAppender asked to take bytes while it is bound to no
// vector, rather than dropping them unnoticed.
class UnboundVectorAppender : public DebuggableException {};

// A receiver that appends every byte of its streams to a byte vector that it
// does not own. It is unbound after construction and after every Finish; one
// stream is AppendTo, Start, Receive any number of times, Finish. A second
// stream appends after what the vector already holds: the appender never
// clears a vector. The vector must outlive the stream.
class VectorAppender : public DataReceiver {
  public:
    // The vector that receives the bytes; null while unbound.
    ByteVector* target = nullptr;

    // Binds the appender to vector and returns the appender, so that the
    // binding can be written inside the call that uses it.
    VectorAppender& AppendTo(ByteVector& vector);

    // Does nothing.
    void Start() override;

    // Reserves room in the target for `size` more bytes, so that a stream
    // of known size is copied once, into a vector of exactly its size. A
    // size that the vector could never hold is left to Receive to refuse;
    // an unbound appender ignores the call.
    //
    // Throws std::bad_alloc when the room cannot be had; the vector keeps
    // its content then.
    void Expect(std::uint64_t size) override;

    // Appends the bytes of data at the end of the target, in order, growing
    // it geometrically. An empty piece changes nothing. data may even lie
    // inside the target itself.
    //
    // Throws UnboundVectorAppender, whatever the size of data, when the
    // appender is bound to no vector; nothing is written anywhere then.
    // Throws std::bad_alloc when the vector cannot grow; it keeps its old
    // content then.
    void Receive(ConstData data) override;

    // Unbinds the appender; the vector keeps every byte appended.
    void Finish() override;
};

// A receiver that takes any sequence of calls and keeps nothing.
class IgnoreDataReceiver : public DataReceiver {
  public:
    void Start() override;
    void Receive(ConstData data) override;
    void Finish() override;
};

// The process-wide IgnoreDataReceiver, built before main and destroyed at
// process exit. It has no state, so it may be shared freely.
IgnoreDataReceiver& SharedIgnoreDataReceiver();
