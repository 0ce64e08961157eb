#include "errors/caught_exception.hpp"
#include "tests/support/case_name.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <typeinfo>
#include <utility>
#include <vector>

#include "errors/exceptions.hpp"
#include "errors/windows_error.hpp"
#include "platform/win32_api.hpp"

namespace {

using TestCaseNames::PrintTo;

// As in the program, the capture functions are registered before main.
[[maybe_unused]] const bool exceptionCapturersRegistered =
    (RegisterExceptionCapturersAtStartUp(), true);

// How long a thread that must wait is watched, and how long one that may go
// ahead is given. Only a fault can make the first one pass early.
constexpr std::chrono::milliseconds kWhileWaiting{200};
constexpr std::chrono::milliseconds kUntilFinished{20000};

// Runs `work` on a thread of its own. A thread that never finishes (a lock
// that is never freed) is left behind rather than joined, so that the test
// reports the fault instead of hanging.
class Worker {
  public:
    explicit Worker(std::function<void()> work) {
        std::promise<void> done;
        finished = done.get_future();
        thread = std::thread([work = std::move(work), done = std::move(done)]() mutable {
            work();
            done.set_value();
        });
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    ~Worker() {
        if (FinishesWithin(std::chrono::milliseconds(0))) {
            thread.join();
        } else {
            thread.detach();
        }
    }

    bool FinishesWithin(std::chrono::milliseconds limit) {
        return finished.wait_for(limit) == std::future_status::ready;
    }

  private:
    std::future<void> finished;
    std::thread thread;
};

// Captures with `capture` while the exception that `thrower` throws is being
// handled; the original is gone when this returns.
std::unique_ptr<CaughtException> CaptureThrown(void (*thrower)(), ExceptionCapturer capture) {
    try {
        thrower();
    } catch (...) {
        return capture();
    }
    ADD_FAILURE() << "nothing was thrown";
    return nullptr;
}

// --- Capturing standard exceptions -----------------------------------------

struct StandardCase {
    const char* name;
    void (*thrower)();
    const char* expected;
};

class CaptureStdExceptionTest : public testing::TestWithParam<StandardCase> {};

TEST_P(CaptureStdExceptionTest, KeepsTheTextAndRethrowsACopiedStdException) {
    const StandardCase& item = GetParam();
    const std::unique_ptr<CaughtException> holder =
        CaptureThrown(item.thrower, CaptureStdException);
    ASSERT_NE(holder, nullptr);
    EXPECT_STREQ(holder->What(), item.expected);
    for (int round = 0; round < 2; ++round) {
        try {
            holder->Rethrow();
        } catch (const DebuggableException& rethrown) {
            EXPECT_EQ(typeid(rethrown), typeid(CopiedStdException));
            EXPECT_STREQ(rethrown.what(), item.expected);
            EXPECT_NE(rethrown.what(), holder->What()) << "the thrown copy shares the held text";
        } catch (...) {
            ADD_FAILURE() << "rethrown as another class";
        }
    }
    EXPECT_STREQ(holder->What(), item.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Classes, CaptureStdExceptionTest,
    testing::Values(
        StandardCase{"StandardLibraryError", [] { throw std::runtime_error("disk on fire"); },
                     "disk on fire"},
        StandardCase{"MemoryExhaustion", [] { throw std::bad_alloc(); }, "bad allocation"},
        StandardCase{"DataLessFamilyMember", [] { throw BadDNSRecord(); }, "class BadDNSRecord"},
        StandardCase{"TextOfItsOwn", [] { throw ExceptionPL("relay list damaged"); },
                     "relay list damaged"},
        StandardCase{"EmptyText", [] { throw ExceptionPL(""); }, ""},
        StandardCase{"CopiedAgain", [] { throw CopiedStdException(std::logic_error("twice")); },
                     "twice"},
        StandardCase{"WindowsErrorAsText", [] { throw Windows::Error(4294967295u); },
                     "Windows Error: 4294967295: unknown error 0xffffffff"}),
    TestCaseNames::CaseName<StandardCase>);

TEST(CaptureStdExceptionTest, RethrownMemoryExhaustionIsNoLongerABadAlloc) {
    const std::unique_ptr<CaughtException> holder =
        CaptureThrown([] { throw std::bad_alloc(); }, CaptureStdException);
    ASSERT_NE(holder, nullptr);
    try {
        holder->Rethrow();
    } catch (const std::bad_alloc&) {
        ADD_FAILURE() << "caught as std::bad_alloc";
    } catch (const DebuggableException& rethrown) {
        EXPECT_STREQ(rethrown.what(), "bad allocation");
    }
}

// --- Capturing Windows errors ------------------------------------------------

// Stands for a module handle; never handed to the system.
const int someModule = 0;

TEST(CaptureWindowsErrorTest, RethrowsTheSameCodeAndModule) {
    const std::unique_ptr<CaughtException> holder =
        CaptureThrown([] { throw Windows::Error(2, &someModule); }, CaptureWindowsError);
    ASSERT_NE(holder, nullptr);
    try {
        holder->Rethrow();
    } catch (const Windows::Error& rethrown) {
        EXPECT_EQ(typeid(rethrown), typeid(Windows::Error));
        EXPECT_EQ(rethrown.Code(), 2u);
        EXPECT_EQ(rethrown.Module(), &someModule);
    }
}

TEST(CaptureWindowsErrorTest, EveryCopyBuildsItsOwnText) {
    std::unique_ptr<CaughtException> holder;
    try {
        throw Windows::Error(2);
    } catch (const Windows::Error& original) {
        const char* const originalText = original.what();
        holder = CaptureWindowsError();
        ASSERT_NE(holder, nullptr);
        EXPECT_NE(holder->What(), originalText);
    }
    // The original is gone; the held copy's text is its own.
    const std::string expected = WindowsErrorText(2);
    EXPECT_EQ(holder->What(), expected);
    EXPECT_EQ(holder->What(), holder->What()) << "the held text is built once";
    try {
        holder->Rethrow();
    } catch (const Windows::Error& rethrown) {
        EXPECT_EQ(rethrown.what(), expected);
        EXPECT_NE(rethrown.what(), holder->What());
    }
}

// --- Exceptions that a capture function does not take ---------------------

struct PassingCase {
    const char* name;
    ExceptionCapturer capture;
    void (*thrower)();
};

class UncapturedExceptionTest : public testing::TestWithParam<PassingCase> {};

TEST_P(UncapturedExceptionTest, PassesThroughUnchanged) {
    const PassingCase& item = GetParam();
    try {
        item.thrower();
    } catch (...) {
        const std::exception_ptr handled = std::current_exception();
        try {
            const std::unique_ptr<CaughtException> holder = item.capture();
            ADD_FAILURE() << "captured: " << holder->What();
        } catch (...) {
            EXPECT_EQ(std::current_exception(), handled) << "not the object being handled";
        }
        // Still being handled by this handler.
        EXPECT_EQ(std::current_exception(), handled);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Classes, UncapturedExceptionTest,
    testing::Values(PassingCase{"FamilyMemberPastWindowsErrors", CaptureWindowsError,
                                [] { throw NoMoreData(); }},
                    PassingCase{"StandardErrorPastWindowsErrors", CaptureWindowsError,
                                [] { throw std::runtime_error("not a code"); }},
                    PassingCase{"ReplyWithoutBase", CaptureStdException,
                                [] { throw BadDNSReply(); }},
                    PassingCase{"Integer", CaptureStdException, [] { throw 42; }}),
    TestCaseNames::CaseName<PassingCase>);

// --- The registry -------------------------------------------------------------

const std::vector<ExceptionCapturer> kStartUpCapturers{CaptureStdException, CaptureWindowsError};

TEST(ExceptionCapturerRegistryTest, HoldsBothCaptureFunctionsAfterStartUp) {
    EXPECT_EQ(RegisteredExceptionCapturers(), kStartUpCapturers);
}

struct RegistrationCase {
    const char* name;
    void (*registerAgain)();
};

class RepeatedRegistrationTest : public testing::TestWithParam<RegistrationCase> {};

TEST_P(RepeatedRegistrationTest, LeavesTheCapturersUnchanged) {
    GetParam().registerAgain();
    EXPECT_EQ(RegisteredExceptionCapturers(), kStartUpCapturers);
}

INSTANTIATE_TEST_SUITE_P(
    Registrations, RepeatedRegistrationTest,
    testing::Values(
        RegistrationCase{"First", [] { RegisterExceptionCapturer(CaptureStdException); }},
        RegistrationCase{"Second", [] { RegisterExceptionCapturer(CaptureWindowsError); }},
        RegistrationCase{"StartUp", RegisterExceptionCapturersAtStartUp}),
    TestCaseNames::CaseName<RegistrationCase>);

// Another thread's registration must wait until `release` has run, and then
// go ahead.
void ExpectOtherThreadsWaitFor(const std::function<void()>& release) {
    Worker other([] { RegisterExceptionCapturer(CaptureStdException); });
    EXPECT_FALSE(other.FinishesWithin(kWhileWaiting)) << "went ahead while the lock was held";
    release();
    EXPECT_TRUE(other.FinishesWithin(kUntilFinished)) << "still waiting after the release";
}

TEST(ExceptionCapturerRegistryTest, AccessKeepsOtherThreadsOut) {
    std::optional<ExceptionCapturerRegistryAccess> access(AccessExceptionCapturerRegistry());
    // The owning thread itself is not kept out.
    EXPECT_EQ(RegisteredExceptionCapturers(), kStartUpCapturers);
    ExpectOtherThreadsWaitFor([&] { access.reset(); });
}

TEST(ExceptionCapturerRegistryTest, TheLockMovesWithTheAccess) {
    auto first =
        std::make_unique<ExceptionCapturerRegistryAccess>(AccessExceptionCapturerRegistry());
    auto second = std::make_unique<ExceptionCapturerRegistryAccess>(std::move(*first));
    first.reset();
    ExpectOtherThreadsWaitFor([&] { second.reset(); });
}

TEST(ExceptionCapturerRegistryTest, AnExceptionLeavesTheLock) {
    try {
        const ExceptionCapturerRegistryAccess access = AccessExceptionCapturerRegistry();
        throw NoMoreData();
    } catch (const NoMoreData&) {
    }
    Worker other([] { RegisterExceptionCapturer(CaptureWindowsError); });
    EXPECT_TRUE(other.FinishesWithin(kUntilFinished)) << "the lock was not left";
}

// --- The critical section ---------------------------------------------------

class CriticalSectionTest : public testing::Test {
  protected:
    void SetUp() override { InitializeCriticalSection(&section); }
    void TearDown() override { DeleteCriticalSection(&section); }

    // Whether another thread could enter the section right now; it leaves
    // again at once when it could.
    bool AnotherThreadMayEnter() {
        bool entered = false;
        std::thread([&] {
            entered = TryEnterCriticalSection(&section) != FALSE;
            if (entered) {
                LeaveCriticalSection(&section);
            }
        }).join();
        return entered;
    }

    CRITICAL_SECTION section;
};

TEST_F(CriticalSectionTest, TheOwnerEntersAgainAndOthersWaitForItsLastLeave) {
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_NE(TryEnterCriticalSection(&section), FALSE);
    EXPECT_FALSE(AnotherThreadMayEnter());

    Worker other([&] {
        EnterCriticalSection(&section);
        LeaveCriticalSection(&section);
    });
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    EXPECT_FALSE(other.FinishesWithin(kWhileWaiting)) << "entered before the last leave";
    LeaveCriticalSection(&section);
    EXPECT_TRUE(other.FinishesWithin(kUntilFinished));
    EXPECT_TRUE(AnotherThreadMayEnter());
}

#ifndef _WIN32
// The stand-in's own races are what this looks for; on Windows the section
// is the system's.
TEST_F(CriticalSectionTest, KeepsThreadsOutOfEachOther) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 1000;
    int counter = 0;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([&] {
            for (int round = 0; round < kRounds; ++round) {
                EnterCriticalSection(&section);
                if (inside.fetch_add(1) != 0) {
                    overlapped = true;
                }
                const int seen = counter;
                std::this_thread::yield();
                counter = seen + 1;
                inside.fetch_sub(1);
                LeaveCriticalSection(&section);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(counter, kThreads * kRounds);
}

// On Windows these misuses leave the section in an undefined state; the
// stand-in ends the process instead.
struct MisuseCase {
    const char* name;
    void (*misuse)();
    const char* message;
};

class CriticalSectionMisuseTest : public testing::TestWithParam<MisuseCase> {};

TEST_P(CriticalSectionMisuseTest, EndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(GetParam().misuse(), GetParam().message);
}

constexpr const char kNotOwner[] =
    "LeaveCriticalSection: the calling thread does not own the critical section";

INSTANTIATE_TEST_SUITE_P(
    Misuses, CriticalSectionMisuseTest,
    testing::Values(MisuseCase{"LeaveWithoutEnter",
                               [] {
                                   CRITICAL_SECTION section;
                                   InitializeCriticalSection(&section);
                                   LeaveCriticalSection(&section);
                               },
                               kNotOwner},
                    MisuseCase{"LeaveMoreThanEntered",
                               [] {
                                   CRITICAL_SECTION section;
                                   InitializeCriticalSection(&section);
                                   EnterCriticalSection(&section);
                                   LeaveCriticalSection(&section);
                                   LeaveCriticalSection(&section);
                               },
                               kNotOwner},
                    MisuseCase{"LeaveByAnotherThread",
                               [] {
                                   CRITICAL_SECTION section;
                                   InitializeCriticalSection(&section);
                                   EnterCriticalSection(&section);
                                   std::thread([&] { LeaveCriticalSection(&section); }).join();
                               },
                               kNotOwner},
                    MisuseCase{
                        "DeleteWhileOwned",
                        [] {
                            CRITICAL_SECTION section;
                            InitializeCriticalSection(&section);
                            EnterCriticalSection(&section);
                            DeleteCriticalSection(&section);
                        },
                        "DeleteCriticalSection: a thread owns or waits for the critical section"},
                    MisuseCase{"EnterAfterDelete",
                               [] {
                                   CRITICAL_SECTION section;
                                   InitializeCriticalSection(&section);
                                   DeleteCriticalSection(&section);
                                   EnterCriticalSection(&section);
                               },
                               "EnterCriticalSection: the critical section is not initialised"},
                    MisuseCase{"NeverInitialised",
                               [] {
                                   CRITICAL_SECTION section{};
                                   TryEnterCriticalSection(&section);
                               },
                               "TryEnterCriticalSection: the critical section is not initialised"}),
    TestCaseNames::CaseName<MisuseCase>);
#endif

}  // namespace
