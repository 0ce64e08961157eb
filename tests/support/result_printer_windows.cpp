// GoogleTest's own result printer hands every failure and skip message to
// OutputDebugStringA as well, which raises a debugger exception. Under wine
// run through a user-mode processor emulator (on kernels that cannot run
// 32-bit programs) that exception can end the process once a test has
// failed or skipped, and every later result is lost. This printer keeps
// the standard one for every other event and prints test part results to
// standard output only. It takes the standard printer's place before main.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

class StandardOutputResultPrinter : public testing::TestEventListener {
  public:
    explicit StandardOutputResultPrinter(testing::TestEventListener* standard)
        : standard(standard) {}

    void OnTestPartResult(const testing::TestPartResult& result) override {
        if (result.type() == testing::TestPartResult::kSuccess) {
            return;
        }
        const std::string location =
            testing::internal::FormatFileLocation(result.file_name(), result.line_number());
        std::printf("%s %s\n%s\n", location.c_str(), result.skipped() ? "Skipped" : "Failure",
                    result.message());
        std::fflush(stdout);
    }

    void OnTestProgramStart(const testing::UnitTest& unit) override {
        standard->OnTestProgramStart(unit);
    }
    void OnTestIterationStart(const testing::UnitTest& unit, int iteration) override {
        standard->OnTestIterationStart(unit, iteration);
    }
    void OnEnvironmentsSetUpStart(const testing::UnitTest& unit) override {
        standard->OnEnvironmentsSetUpStart(unit);
    }
    void OnEnvironmentsSetUpEnd(const testing::UnitTest& unit) override {
        standard->OnEnvironmentsSetUpEnd(unit);
    }
    void OnTestSuiteStart(const testing::TestSuite& suite) override {
        standard->OnTestSuiteStart(suite);
    }
    void OnTestStart(const testing::TestInfo& test) override { standard->OnTestStart(test); }
    void OnTestEnd(const testing::TestInfo& test) override { standard->OnTestEnd(test); }
    void OnTestSuiteEnd(const testing::TestSuite& suite) override {
        standard->OnTestSuiteEnd(suite);
    }
    void OnEnvironmentsTearDownStart(const testing::UnitTest& unit) override {
        standard->OnEnvironmentsTearDownStart(unit);
    }
    void OnEnvironmentsTearDownEnd(const testing::UnitTest& unit) override {
        standard->OnEnvironmentsTearDownEnd(unit);
    }
    void OnTestIterationEnd(const testing::UnitTest& unit, int iteration) override {
        standard->OnTestIterationEnd(unit, iteration);
    }
    void OnTestProgramEnd(const testing::UnitTest& unit) override {
        standard->OnTestProgramEnd(unit);
    }

  private:
    std::unique_ptr<testing::TestEventListener> standard;
};

bool TakeTheStandardPrintersPlace() {
    testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
    testing::TestEventListener* const standard =
        listeners.Release(listeners.default_result_printer());
    if (standard != nullptr) {
        listeners.Append(new StandardOutputResultPrinter(standard));
    }
    return true;
}

[[maybe_unused]] const bool tookItsPlace = TakeTheStandardPrintersPlace();

}  // namespace
