#include "base/error_display.h"
#include "base/exceptions.h"
#include "base/message_loop.h"
#include "base/recording_error_display.h"

#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <thread>

namespace base {
namespace {

using Box = RecordingErrorDisplay::Box;

// Sets the application title for a test and restores it.
class ScopedTitle {
public:
    explicit ScopedTitle(std::string title) : saved_(ApplicationTitle()) {
        SetApplicationTitle(std::move(title));
    }
    ~ScopedTitle() { SetApplicationTitle(saved_); }

private:
    std::string saved_;
};

TEST(ErrorBoxText, FullStopAfterCharactersAboveIt) {
    const struct {
        std::string message;
        std::string text;
    } cases[] = {
        {"", ""},
        {"Bad value", "Bad value."},
        {"Ends with a stop.", "Ends with a stop."},
        {"value 9", "value 9."},
        {"slash/", "slash/."},  // '/' is 47
        {"dash-", "dash-"},     // '-' is 45
        {"Really!", "Really!"}, // '!' is 33
        {"(x)", "(x)"},         // ')' is 41
        {"''12a'' is not a valid integer value", "''12a'' is not a valid integer value."},
        {"caf\xe9", "caf\xe9."}, // a byte above 127 counts as above "."
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(ErrorBoxText(c.message), c.text);
    }
}

TEST(ApplicationTitleFromPath, NameWithoutDirectoryAndExtension) {
    const struct {
        std::string path;
        std::string title;
    } cases[] = {
        {"/usr/local/bin/tarnel-data-scan", "tarnel-data-scan"},
        {"tarnel-data-scan", "tarnel-data-scan"},
        {"./build/Tarnel-Data-Scan", "Tarnel-data-scan"},
        {"/opt/TARNEL.EXE", "Tarnel"},
        {"my.prog.name", "my"},
        {"/dir/", ""},
        {"/home/user/.hidden", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ApplicationTitleFromPath(c.path), c.title);
    }
}

TEST(ApplicationTitle, DefaultsToTheStartedProgramsName) {
    EXPECT_EQ(ApplicationTitle(), ApplicationTitleFromPath(program_invocation_name));
    EXPECT_FALSE(ApplicationTitle().empty());
}

TEST(ShowException, TextDependsOnTheExceptionKind) {
    RecordingErrorDisplay display;
    ScopedTitle title("tarnel-data-scan");
    ShowException(EConvertError("''x'' is not a valid integer value"));
    ShowException(std::bad_alloc());
    ShowException(std::runtime_error("not one of ours"));
    ShowException(Exception(""));
    EXPECT_EQ(display.Boxes(), (std::vector<Box>{
                                   {"tarnel-data-scan", "''x'' is not a valid integer value."},
                                   {"tarnel-data-scan", "Out of memory."},
                                   {"tarnel-data-scan", ""},
                                   {"tarnel-data-scan", ""},
                               }));
}

TEST(RunHandler, StopsAtTheFailingStepAndShowsIt) {
    RecordingErrorDisplay display;
    ScopedTitle title("t");
    std::vector<int> steps;
    RunHandler([&] {
        steps.push_back(1);
        throw EInvalidOperation("Cannot do that");
        steps.push_back(2);
    });
    RunHandler([] { throw 42; });
    RunHandler([&] { steps.push_back(3); });
    EXPECT_EQ(steps, (std::vector<int>{1, 3}));
    EXPECT_EQ(display.Boxes(), (std::vector<Box>{{"t", "Cannot do that."}, {"t", ""}}));
}

TEST(ShowCurrentException, NothingInFlightShowsNothing) {
    RecordingErrorDisplay display;
    ShowCurrentException();
    EXPECT_EQ(display.Count(), 0u);
}

TEST(ShowThreadError, ShownOnTheOwnerThread) {
    RecordingErrorDisplay display;
    QueueMessageLoop loop;
    ScopedMessageLoop installed(loop);
    ShowThreadError("ESioReadError: Device read error");
    EXPECT_EQ(display.Boxes(),
              (std::vector<Box>{{"Application Error", "ESioReadError: Device read error"}}));
    display.Clear();

    std::thread worker([] {
        ShowThreadError("from a worker");
        ShowException(Exception("worker failure"));
    });
    worker.join();
    EXPECT_EQ(display.Count(), 0u) << "workers never show a box themselves";
    EXPECT_EQ(loop.Pump(), 2);
    EXPECT_EQ(display.Boxes(), (std::vector<Box>{{"Application Error", "from a worker"},
                                                 {ApplicationTitle(), "worker failure."}}));
}

TEST(ErrorDisplay, AFailingDisplayDoesNotEndTheProgram) {
    class Throwing : public ErrorDisplay {
    public:
        void Show(const std::string&, const std::string&) override {
            ++calls;
            throw std::runtime_error("no display");
        }
        int calls = 0;
    } throwing;
    ScopedErrorDisplay installed(throwing);
    testing::internal::CaptureStderr();
    RunHandler([] { throw Exception("first"); });
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(throwing.calls, 1);
    EXPECT_NE(err.find("first."), std::string::npos) << err;
}

TEST(ErrorDisplay, InstallingAndRestoring) {
    ErrorDisplay& fallback = CurrentErrorDisplay();
    {
        RecordingErrorDisplay outer;
        EXPECT_EQ(&CurrentErrorDisplay(), &outer);
        {
            RecordingErrorDisplay inner;
            EXPECT_EQ(&CurrentErrorDisplay(), &inner);
        }
        EXPECT_EQ(&CurrentErrorDisplay(), &outer);
        SetErrorDisplay(nullptr);
        EXPECT_EQ(&CurrentErrorDisplay(), &fallback);
    }
    EXPECT_EQ(&CurrentErrorDisplay(), &fallback);
    testing::internal::CaptureStderr();
    CurrentErrorDisplay().Show("cap", "text");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "cap: text\n");
}

} // namespace
} // namespace base
