#include "platform/guarded_call.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "errors/crash_dump.hpp"
#include "errors/exceptions.hpp"

namespace {

// What one filter call saw.
struct Sighting {
    DWORD code = 0;
    DWORD parameterCount = 0;
    ULONG_PTR magic = 0;
    const void* object = nullptr;
    std::vector<std::string> catchableTypes;
    int objectsAlive = 0;
    bool dumpable = false;
};

int objectsAlive = 0;
std::vector<Sighting> sightings;

struct Alive {
    Alive() { ++objectsAlive; }
    ~Alive() { --objectsAlive; }
};

LONG RecordingFilter(EXCEPTION_POINTERS* exception) {
    Sighting seen;
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    seen.code = record.ExceptionCode;
    seen.parameterCount = record.NumberParameters;
    seen.magic = record.ExceptionInformation[kThrownObjectMagicParameter];
    seen.object =
        reinterpret_cast<const void*>(record.ExceptionInformation[kThrownObjectParameter]);
    const auto* information = reinterpret_cast<const ThrownObjectInformation*>(
        record.ExceptionInformation[kThrowInformationParameter]);
    if (information != nullptr) {
        for (std::uint32_t index = 0; index < information->catchableTypes->count; ++index) {
            seen.catchableTypes.push_back(information->catchableTypes->types[index]->name());
        }
    }
    seen.objectsAlive = objectsAlive;
    seen.dumpable = IsDumpableException(exception);
    sightings.push_back(seen);
    return EXCEPTION_CONTINUE_SEARCH;
}

template <typename Thrown>
void ThrowWhileAlive(void*) {
    const Alive alive;
    throw Thrown();
}

class GuardedCallTest : public testing::Test {
  protected:
    void SetUp() override {
        sightings.clear();
        objectsAlive = 0;
    }
};

template <typename Thrown>
bool EscapesWithFilterCalled() {
    try {
        CallWithExceptionFilter(ThrowWhileAlive<Thrown>, nullptr, RecordingFilter);
    } catch (const Thrown&) {
        return true;
    }
    return false;
}

TEST_F(GuardedCallTest, ReturnsNormallyWithoutAskingTheFilter) {
    int calls = 0;
    CallWithExceptionFilter([](void* counter) { ++*static_cast<int*>(counter); }, &calls,
                            RecordingFilter);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(sightings.empty());
}

TEST_F(GuardedCallTest, OffersTheExceptionBeforeAnyFrameIsUnwound) {
    ASSERT_TRUE(EscapesWithFilterCalled<BadDNSRecord>());
    ASSERT_EQ(sightings.size(), 1u);
    // The report's object was still alive when the filter ran, and was
    // destroyed by the time the handler caught the exception.
    EXPECT_EQ(sightings[0].objectsAlive, 1);
    EXPECT_EQ(objectsAlive, 0);
}

TEST_F(GuardedCallTest, RecordsAThrownObjectWithItsCatchableTypes) {
    ASSERT_TRUE(EscapesWithFilterCalled<BadDNSRecord>());
    ASSERT_EQ(sightings.size(), 1u);
    const Sighting& seen = sightings[0];
    EXPECT_EQ(seen.code, 0xE06D7363u);
    EXPECT_EQ(seen.parameterCount, 3u);
    EXPECT_EQ(seen.magic, 0x19930520u);
    EXPECT_NE(seen.object, nullptr);
    const std::vector<std::string> expected = {
        typeid(BadDNSRecord).name(), typeid(DebuggableException).name(),
        typeid(std::exception).name(), typeid(WindowsPlatform::ExceptionDebuggingInfo).name()};
    EXPECT_EQ(seen.catchableTypes, expected);
    EXPECT_TRUE(seen.dumpable);
}

TEST_F(GuardedCallTest, AClassWithoutBasesIsItsOnlyCatchableType) {
    ASSERT_TRUE(EscapesWithFilterCalled<BadDNSReply>());
    ASSERT_EQ(sightings.size(), 1u);
    EXPECT_EQ(sightings[0].catchableTypes, std::vector<std::string>{typeid(BadDNSReply).name()});
    EXPECT_TRUE(sightings[0].dumpable);
}

struct RefusedFailure : public std::runtime_error, public NonDumpableException {
    RefusedFailure() : std::runtime_error("refused") {}
};

TEST_F(GuardedCallTest, ANonDumpableExceptionIsRecognisedThroughItsBases) {
    ASSERT_TRUE(EscapesWithFilterCalled<RefusedFailure>());
    ASSERT_EQ(sightings.size(), 1u);
    EXPECT_FALSE(sightings[0].dumpable);
    ASSERT_TRUE(EscapesWithFilterCalled<NonDumpableException>());
    EXPECT_FALSE(sightings[1].dumpable);
}

TEST_F(GuardedCallTest, AFundamentalTypeIsRecordedToo) {
    ASSERT_TRUE(EscapesWithFilterCalled<int>());
    ASSERT_EQ(sightings.size(), 1u);
    EXPECT_EQ(sightings[0].catchableTypes, std::vector<std::string>{typeid(int).name()});
}

TEST_F(GuardedCallTest, NestedFramesEachAskTheirOwnFilterInnermostFirst) {
    static std::vector<int> order;
    order.clear();
    const ExceptionFilter inner = [](EXCEPTION_POINTERS*) -> LONG {
        order.push_back(1);
        return EXCEPTION_CONTINUE_SEARCH;
    };
    const ExceptionFilter outer = [](EXCEPTION_POINTERS*) -> LONG {
        order.push_back(2);
        return EXCEPTION_CONTINUE_SEARCH;
    };
    struct Calls {
        ExceptionFilter inner;
    } calls{inner};
    try {
        CallWithExceptionFilter(
            [](void* argument) {
                CallWithExceptionFilter([](void*) { throw NoMoreData(); }, nullptr,
                                        static_cast<Calls*>(argument)->inner);
            },
            &calls, outer);
    } catch (const NoMoreData&) {
    }
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST_F(GuardedCallTest, AHandlerAboveTheFrameSeesTheSameObject) {
    try {
        CallWithExceptionFilter([](void*) { throw std::runtime_error("kept"); }, nullptr,
                                RecordingFilter);
    } catch (const std::runtime_error& caught) {
        ASSERT_EQ(sightings.size(), 1u);
        EXPECT_EQ(sightings[0].object, static_cast<const void*>(&caught));
        EXPECT_STREQ(caught.what(), "kept");
    }
}

TEST_F(GuardedCallTest, AnExceptionCaughtInsideTheCallIsNotOffered) {
    CallWithExceptionFilter(
        [](void*) {
            try {
                throw BadDNSName();
            } catch (const BadDNSName&) {
            }
        },
        nullptr, RecordingFilter);
    EXPECT_TRUE(sightings.empty());
}

TEST_F(GuardedCallTest, ARethrowFromAHandlerOutsideIsOfferedAgainOnlyInsideAFrame) {
    try {
        CallWithExceptionFilter([](void*) { throw NoMoreData(); }, nullptr, RecordingFilter);
    } catch (...) {
        try {
            throw;
        } catch (const NoMoreData&) {
        }
    }
    EXPECT_EQ(sightings.size(), 1u);
}

}  // namespace
