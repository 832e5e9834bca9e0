// A program run by a test as another process: its standard output read line by line
// through a pipe, its standard input a pipe the test closes to end it.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace lumora::test {

class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> arguments) {
        int out[2], in[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        if (::pipe2(in, O_CLOEXEC) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        std::vector<char *> argv;
        for (std::string &argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&mPid, argv[0], &actions, nullptr, argv.data(), environ) != 0) mPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(in[0]);
        mOutput = out[0];
        mInput = in[1];
    }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    ~ChildProcess() { finish(true); }

    pid_t pid() const { return mPid; }
    bool running() const { return mPid > 0; }

    // The next line of its output without the newline; "" at the end or after `timeoutMs`.
    std::string line(int timeoutMs = 10000) {
        std::string result;
        for (;;) {
            const size_t end = mBuffered.find('\n');
            if (end != std::string::npos) {
                result = mBuffered.substr(0, end);
                mBuffered.erase(0, end + 1);
                return result;
            }
            if (mOutput < 0) return "";
            pollfd poll{mOutput, POLLIN, 0};
            if (::poll(&poll, 1, timeoutMs) <= 0) return "";
            char chunk[512];
            const ssize_t got = ::read(mOutput, chunk, sizeof chunk);
            if (got <= 0) return "";
            mBuffered.append(chunk, size_t(got));
        }
    }

    void signal(int number) {
        if (mPid > 0) ::kill(mPid, number);
    }

    // Closes its standard input (it sees the end) without waiting for it.
    void closeInput() {
        if (mInput >= 0) ::close(mInput);
        mInput = -1;
    }

    // Ends it by closing its input (or by SIGKILL) and answers its wait status.
    int finish(bool kill = false) {
        if (mInput >= 0) ::close(mInput);
        mInput = -1;
        int status = 0;
        if (mPid > 0) {
            if (kill) {
                ::kill(mPid, SIGCONT);
                ::kill(mPid, SIGKILL);
            }
            while (::waitpid(mPid, &status, 0) < 0 && errno == EINTR) {
            }
        }
        mPid = -1;
        if (mOutput >= 0) ::close(mOutput);
        mOutput = -1;
        return status;
    }

private:
    pid_t mPid = -1;
    int mOutput = -1;
    int mInput = -1;
    std::string mBuffered;
};

}  // namespace lumora::test
