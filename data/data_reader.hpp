// Sources of bytes: a DataReader hands its bytes, in order, to ranges that
// the caller owns.
#pragma once

#include "data/bytes.hpp"

// An abstract source of bytes. Operations return the reader itself so that
// calls can be chained. A reader is used by one thread at a time.
class DataReader {
  public:
    virtual ~DataReader();

    // True when the source has no more bytes to give.
    virtual bool AtEnd() const = 0;

    // The negation of AtEnd.
    virtual bool HasMore() const;

    // Fills the whole range [first, end) with the source's next bytes and
    // returns the reader. An empty range never throws, even at the end of
    // the source.
    //
    // Throws NoMoreData when the range cannot be filled: the source reaches
    // its end first, or a ReadSome call transfers nothing while the source
    // still claims to have more. Without the second rule a source that
    // cannot give bytes now (but is not at its end) would keep Read calling
    // it for ever; with it, one call that makes no progress ends the read.
    // After NoMoreData the bytes that were transferred stay at the front of
    // the range and are gone from the source. Anything ReadSome throws
    // passes out unchanged, with the same bytes at the front of the range.
    virtual DataReader& Read(Byte* first, Byte* end);

    // Transfers at most data.Room() bytes to data.cursor onward, advances
    // data.cursor by the count transferred and returns the reader. It may
    // transfer fewer bytes than there is room for, and none at the end of
    // the source. data.start and data.end never move.
    virtual DataReader& ReadSome(MutableData& data) = 0;
};

// A source that is always at its end: Read succeeds only for an empty range
// and ReadSome transfers nothing. It has no state.
class EmptyDataReader : public DataReader {
  public:
    // Always true.
    bool AtEnd() const override;

    // Leaves data untouched.
    DataReader& ReadSome(MutableData& data) override;
};

// The process-wide EmptyDataReader, built before main and destroyed at
// process exit. It has no state, so it may be shared freely.
EmptyDataReader& SharedEmptyDataReader();
