// Byte filters: converters that move bytes from an input range to an output
// range, as far as both allow.
#pragma once

#include "data/bytes.hpp"

// A converter from an input range to an output range. This base copies bytes
// unchanged. Filters here keep no state; the interface also serves filters
// that would (a decoder that holds back an incomplete sequence), hence
// IsStateless and Flush.
class DataFilter {
  public:
    virtual ~DataFilter();

    // Converts n bytes, n the smaller of input.Size() and output.Room(): they
    // are taken from input.begin and written at output.cursor, and both
    // advance by n. output.start and both ends never move. Never throws: the
    // caller sees from the two ranges whether the input was used up or the
    // output filled. A call stopped by a full output continues with the next
    // input byte when called again with fresh room.
    virtual void Filter(ConstData& input, MutableData& output);

    // True when the filter keeps nothing between calls: each Filter call
    // depends on its input alone, so one object may serve any number of
    // streams, interleaved or at once, and Flush has nothing to write. A
    // filter that keeps state returns false and must be given one stream at
    // a time, ended by Flush. Every filter here returns true.
    virtual bool IsStateless() const;

    // Ends a stream. A filter that holds bytes back between Filter calls
    // writes them at output.cursor, as far as output has room, keeps the
    // rest for the next Flush, and once it holds nothing is ready for a new
    // stream. A stateless filter holds nothing and leaves output untouched;
    // that is what every filter here does.
    virtual void Flush(MutableData& output);
};

// The process-wide plain DataFilter, built before main and destroyed at
// process exit. It has no state, so it may be shared freely.
DataFilter& SharedDataFilter();

namespace Ascii {

// Turns 'a'-'z' into 'A'-'Z'; every other byte, 128-255 included, passes
// unchanged. Same contract as DataFilter::Filter otherwise.
class CaseRaisingFilter : public DataFilter {
  public:
    void Filter(ConstData& input, MutableData& output) override;
};

// Turns 'A'-'Z' into 'a'-'z'; every other byte, 128-255 included, passes
// unchanged. Same contract as DataFilter::Filter otherwise.
class CaseLoweringFilter : public DataFilter {
  public:
    void Filter(ConstData& input, MutableData& output) override;
};

// The shared case filters, built before main (see InitializeTables) and
// destroyed at process exit. They have no state, so they may be shared
// freely.
CaseRaisingFilter& CaseRaising();
CaseLoweringFilter& CaseLowering();

}  // namespace Ascii
