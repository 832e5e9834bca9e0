// Helpers of the debug-log, framework and system tests: capturing what goes to standard
// output or standard error, a Logs folder for the file sink, and running one test again in
// a child process with a different environment.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <CoreX/CoreMachDebugLog.h>

#include "support/TestFolders.h"

extern char **environ;

namespace corex_test {

// Sends a file descriptor (STDOUT_FILENO or STDERR_FILENO) into a temporary file while alive.
class CapturedOutput {
public:
    explicit CapturedOutput(int fd) : mFd(fd) {
        static int sCount = 0;
        mPath = lumora::test::HomeFolder() + "/captured-" + std::to_string(::getpid()) + "-" +
                std::to_string(++sCount);
        std::fflush(stdout);
        std::fflush(stderr);
        mSaved = ::dup(fd);
        const int file = ::open(mPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(file, fd);
        ::close(file);
    }
    ~CapturedOutput() { Finish(); }
    CapturedOutput(const CapturedOutput &) = delete;
    CapturedOutput &operator=(const CapturedOutput &) = delete;

    // What has been written so far (the capture goes on).
    std::string Text() const {
        std::fflush(stdout);
        std::fflush(stderr);
        return lumora::test::ReadFile(mPath);
    }

    // Ends the capture and answers everything written.
    std::string Finish() {
        if (mSaved < 0) return mResult;
        std::fflush(stdout);
        std::fflush(stderr);
        ::dup2(mSaved, mFd);
        ::close(mSaved);
        mSaved = -1;
        mResult = lumora::test::ReadFile(mPath);
        ::unlink(mPath.c_str());
        return mResult;
    }

private:
    int mFd;
    int mSaved = -1;
    std::string mPath;
    std::string mResult;
};

inline std::string StateHome() {
    const char *state = std::getenv("XDG_STATE_HOME");
    return state != nullptr ? state : lumora::test::HomeFolder() + "/.local/state";
}

// The user's Logs folder of the test HOME.
inline std::string LogsFolder() { return StateHome() + "/Logs"; }

inline bool Exists(const std::string &path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

inline void MakeFolders(const std::string &path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) break;
    }
}

// The file sink writing "Lumora.log" in a fresh Logs folder; restores the log's state after.
class DebugLogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        mSavedOutput = CoreMachDebugLogGetUseLogger();
        mSavedPrefix = g_CoreMachDebug_LogPrefix;
        mSavedFileName = g_CoreMachDebug_LogFileName;
        lumora::test::RemoveTree(LogsFolder());
        MakeFolders(LogsFolder());
        g_CoreMachDebug_LogPrefix = "Lumora";
        g_CoreMachDebug_LogFileName = "Lumora.log";
        CoreMachDebugLogResetFilePath();
        CoreMachDebugLogSetUseLogger(kCoreLogOutput_File);
    }
    void TearDown() override {
        CoreMachDebugLogSetUseLogger(mSavedOutput);
        g_CoreMachDebug_LogPrefix = mSavedPrefix;
        g_CoreMachDebug_LogFileName = mSavedFileName;
        CoreMachDebugLogResetFilePath();
        lumora::test::RemoveTree(LogsFolder());
    }

    static std::string LogPath(const char *name = "Lumora.log") { return LogsFolder() + "/" + name; }
    static std::string LogText(const char *name = "Lumora.log") {
        return lumora::test::ReadFile(LogPath(name));
    }
    static void ClearLog() { ::unlink(LogPath().c_str()); }

private:
    kCoreLogOutput mSavedOutput = kCoreLogOutput_ASL;
    const char *mSavedPrefix = nullptr;
    const char *mSavedFileName = nullptr;
};

// Set in the environment of a test run again by RunTestInChild.
inline bool InChildProcess() { return std::getenv("LUMORA_COREX_CHILD") != nullptr; }

struct ChildResult {
    int exitStatus = -1;
    std::string output;
};

// Runs this test program again with only `testName` ("Suite.Name") and the environment
// changed by `settings` ("NAME=value"), and answers its exit status and its output.
inline ChildResult RunTestInChild(const std::string &testName, const std::vector<std::string> &settings) {
    ChildResult result;
    std::vector<std::string> environment;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const std::string &setting : settings)
            replaced = replaced || text.compare(0, setting.find('=') + 1, setting, 0, setting.find('=') + 1) == 0;
        if (!replaced) environment.push_back(text);
    }
    environment.insert(environment.end(), settings.begin(), settings.end());
    environment.push_back("LUMORA_COREX_CHILD=1");
    std::vector<char *> envp;
    for (std::string &text : environment) envp.push_back(text.data());
    envp.push_back(nullptr);

    std::string program = "/proc/self/exe";
    std::string filter = "--gtest_filter=" + testName;
    char *argv[] = {program.data(), filter.data(), nullptr};

    const std::string outputPath = lumora::test::HomeFolder() + "/child-" + std::to_string(::getpid()) + ".txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return result;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.output = lumora::test::ReadFile(outputPath);
    ::unlink(outputPath.c_str());
    return result;
}

// In the parent: runs `testName` again in a child whose system Library folder holds no
// frameworks, expects it to pass, and answers true (the caller then returns). In that
// child: answers false, and the caller goes on with the test's body.
inline bool RanWithoutSystemFrameworks(const std::string &testName) {
    if (InChildProcess()) return false;
    const ChildResult child = RunTestInChild(
        testName, {"LUMORA_SYSTEM_LIBRARY=" + lumora::test::HomeFolder() + "/NoSystemLibrary"});
    EXPECT_EQ(child.exitStatus, 0) << child.output;
    EXPECT_NE(child.output.find("[  PASSED  ] 1 test"), std::string::npos) << child.output;
    return true;
}

}  // namespace corex_test
