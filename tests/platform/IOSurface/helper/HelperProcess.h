// The helper program (helper/IOSurfaceTestHelper.cpp) run by the cross-process tests of the
// surface and OpenGL layers; LUMORA_IOSURFACE_HELPER names it.
#pragma once

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

// The helper program, with its standard output read through a pipe and (optionally) its
// standard input a pipe the test closes to end it; `inherit` becomes its descriptor 3.
struct Helper {
    pid_t pid = -1;
    FILE *output = nullptr;
    int input = -1;

    Helper(std::vector<std::string> arguments, int inherit = -1) {
        int out[2], in[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        if (inherit >= 0) posix_spawn_file_actions_adddup2(&actions, inherit, 3);
        arguments.insert(arguments.begin(), LUMORA_IOSURFACE_HELPER);
        std::vector<char *> argv;
        for (std::string &argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(in[0]);
        output = ::fdopen(out[0], "r");
        input = in[1];
    }
    ~Helper() {
        if (input >= 0) ::close(input);
        if (pid > 0) ::waitpid(pid, nullptr, 0);
        if (output != nullptr) std::fclose(output);
    }
    std::string line() {
        char text[256];
        if (output == nullptr || std::fgets(text, sizeof text, output) == nullptr) return "";
        std::string result(text);
        if (!result.empty() && result.back() == '\n') result.pop_back();
        return result;
    }
    // Ends the helper by closing its input (or by SIGKILL) and answers its exit status.
    int finish(bool kill = false) {
        if (kill) ::kill(pid, SIGKILL);
        ::close(input);
        input = -1;
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return status;
    }
};

}  // namespace
