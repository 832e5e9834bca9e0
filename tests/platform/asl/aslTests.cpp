#include <gtest/gtest.h>

#include <asl/asl.h>

#include <cerrno>
#include <fcntl.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/TestFolders.h"

namespace {

// Sends standard error to a file for the life of the object; Text() answers what was written.
class StderrCapture {
public:
    StderrCapture() : mPath(mFolder.file("stderr.txt")) {
        mSaved = ::dup(STDERR_FILENO);
        const int fd = ::open(mPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StderrCapture() { Restore(); }

    std::string Text() {
        Restore();
        return lumora::test::ReadFile(mPath);
    }

private:
    void Restore() {
        if (mSaved < 0) return;
        ::dup2(mSaved, STDERR_FILENO);
        ::close(mSaved);
        mSaved = -1;
    }

    lumora::test::ScopedFolder mFolder{"asl"};
    std::string mPath;
    int mSaved = -1;
};

std::string Prefix(const std::string &ident) { return ident + "[" + std::to_string(::getpid()) + "] "; }

}  // namespace

TEST(Asl, StderrCopyNamesEachLevel) {
    const struct {
        int level;
        const char *name;
    } cases[] = {
        {ASL_LEVEL_EMERG, "Emergency"}, {ASL_LEVEL_ALERT, "Alert"},   {ASL_LEVEL_CRIT, "Critical"},
        {ASL_LEVEL_ERR, "Error"},       {ASL_LEVEL_WARNING, "Warning"}, {ASL_LEVEL_NOTICE, "Notice"},
        {ASL_LEVEL_INFO, "Info"},       {ASL_LEVEL_DEBUG, "Debug"},
        {-3, "Emergency"},              {42, "Debug"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.level);
        aslclient client = asl_open("LumoraTest", "CoreMachDebugLog", ASL_OPT_STDERR);
        ASSERT_NE(client, nullptr);
        StderrCapture capture;
        EXPECT_EQ(asl_log(client, nullptr, c.level, "value %d", 7), 0);
        EXPECT_EQ(capture.Text(), Prefix("LumoraTest") + "<" + c.name + ">: value 7\n");
        asl_close(client);
    }
}

TEST(Asl, MessageTextIsKeptAndEndsWithOneNewline) {
    const std::string longText(3000, 'x');
    const struct {
        const char *text;
        std::string expected;
    } cases[] = {
        {"100% done\n", "100% done"},        // the caller's own newline is not doubled
        {"two\n\n\n", "two"},
        {"", ""},
        {longText.c_str(), longText},        // longer than the formatting buffer on the stack
    };
    aslclient client = asl_open("LumoraTest", "CoreMachDebugLog", ASL_OPT_STDERR);
    for (const auto &c : cases) {
        StderrCapture capture;
        EXPECT_EQ(asl_log(client, nullptr, ASL_LEVEL_DEBUG, "%s\n", c.text), 0);
        EXPECT_EQ(capture.Text(), Prefix("LumoraTest") + "<Debug>: " + c.expected + "\n");
    }
    asl_close(client);
}

TEST(Asl, OnlyStderrClientsWriteToStderr) {
    aslclient quiet = asl_open("Quiet", nullptr, 0);
    ASSERT_NE(quiet, nullptr);
    StderrCapture capture;
    EXPECT_EQ(asl_log(quiet, nullptr, ASL_LEVEL_ERR, "not copied"), 0);
    EXPECT_EQ(asl_log(nullptr, nullptr, ASL_LEVEL_ERR, "null client"), 0);
    EXPECT_EQ(capture.Text(), "");
    asl_close(quiet);
    asl_close(nullptr);
}

TEST(Asl, NullIdentIsTheProgramName) {
    aslclient client = asl_open(nullptr, nullptr, ASL_OPT_STDERR);
    ASSERT_NE(client, nullptr);
    StderrCapture capture;
    EXPECT_EQ(asl_log(client, nullptr, ASL_LEVEL_NOTICE, "hello"), 0);
    EXPECT_EQ(capture.Text(), Prefix(program_invocation_short_name) + "<Notice>: hello\n");
    asl_close(client);
}

TEST(Asl, NullFormatIsAnError) {
    aslclient client = asl_open("LumoraTest", nullptr, ASL_OPT_STDERR);
    StderrCapture capture;
    const char *noFormat = nullptr;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
    EXPECT_EQ(asl_log(client, nullptr, ASL_LEVEL_DEBUG, noFormat), -1);
#pragma GCC diagnostic pop
    EXPECT_EQ(capture.Text(), "");
    asl_close(client);
}

TEST(Asl, ConcurrentClientsWriteWholeLines) {
    constexpr int kThreads = 4;
    constexpr int kMessages = 200;
    StderrCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            const std::string ident = "Writer" + std::to_string(t);
            for (int i = 0; i < kMessages; ++i) {
                aslclient client = asl_open(ident.c_str(), "test", ASL_OPT_STDERR);
                asl_log(client, nullptr, ASL_LEVEL_INFO, "%s message %d\n", ident.c_str(), i);
                asl_close(client);
            }
        });
    }
    for (auto &thread : threads) thread.join();

    std::istringstream lines(capture.Text());
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        // Each line names one writer in its ident and in its text.
        const std::string ident = line.substr(0, line.find('['));
        ASSERT_EQ(line.rfind(Prefix(ident) + "<Info>: " + ident + " message ", 0), 0u) << line;
    }
    EXPECT_EQ(count, kThreads * kMessages);
}
