// SPDX-License-Identifier: GPL-2.0-or-later
#include "Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Argv {
    std::vector<std::string> storage;
    std::vector<char*> pointers;

    explicit Argv(std::vector<std::string> strings) : storage(std::move(strings)) {
        for (std::string& s : storage) {
            pointers.push_back(s.data());
        }
        pointers.push_back(nullptr);
    }
};

std::vector<std::string> envStrings(const std::map<std::string, std::string>& env) {
    std::vector<std::string> out;
    for (const auto& [name, value] : env) {
        out.push_back(name + "=" + value);
    }
    return out;
}

// Spawns with the given descriptors as stdin (-1: /dev/null), stdout and stderr.
pid_t spawn(const std::string& program, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& env, int inFd, int outFd, int errFd) {
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    Argv argv(all);
    Argv envp(envStrings(env));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (inFd < 0) {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    } else {
        posix_spawn_file_actions_adddup2(&actions, inFd, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.pointers.data(),
                               envp.pointers.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int exitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Drains the two pipes until both close or the deadline passes.
bool drain(int outFd, int errFd, std::string& out, std::string& err, Clock::time_point deadline) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {&out, &err};
    int open = 2;
    while (open > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        if (poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            return false;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char buf[4096];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    return true;
}

}  // namespace

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env,
                         std::chrono::seconds guard) {
    ProcessResult result;
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        result.err = "pipe failed";
        return result;
    }
    const pid_t pid = spawn(program, args, env, -1, outPipe[1], errPipe[1]);
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        result.err = "cannot start " + program;
        return result;
    }
    const Clock::time_point deadline = Clock::now() + guard;
    if (!drain(outPipe[0], errPipe[0], result.out, result.err, deadline)) {
        result.timedOut = true;
        kill(pid, SIGKILL);
    }
    close(outPipe[0]);
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = result.timedOut ? -1 : exitCodeOf(status);
    return result;
}

BackgroundProcess::~BackgroundProcess() {
    stop();
}

bool BackgroundProcess::start(const std::string& program, const std::vector<std::string>& args,
                              const std::map<std::string, std::string>& env,
                              const std::string& errPath) {
    int outPipe[2];
    int inPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(inPipe, O_CLOEXEC) != 0) {
        return false;
    }
    // Its input stays open until stop(): the virtual keyboard ends at the end of its input.
    // Its diagnostics go to the test's own standard error, where a failing test shows them.
    const int errFd =
        errPath.empty() ? 2 : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    pid = spawn(program, args, env, inPipe[0], outPipe[1], errFd);
    if (errFd != 2 && errFd >= 0) {
        close(errFd);
    }
    close(outPipe[1]);
    close(inPipe[0]);
    outFd = outPipe[0];
    inFd = inPipe[1];
    return pid > 0;
}

bool BackgroundProcess::readLine(std::string& line, std::chrono::seconds wait) {
    const Clock::time_point deadline = Clock::now() + wait;
    for (;;) {
        if (const std::size_t nl = buffered.find('\n'); nl != std::string::npos) {
            line = buffered.substr(0, nl);
            buffered.erase(0, nl + 1);
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (outFd < 0 || left.count() <= 0) {
            return false;
        }
        pollfd fd{outFd, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buf[1024];
        const ssize_t n = read(outFd, buf, sizeof buf);
        if (n <= 0) {
            return false;
        }
        buffered.append(buf, static_cast<std::size_t>(n));
    }
}

int BackgroundProcess::stop() {
    if (pid <= 0) {
        return -1;
    }
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        pid = -1;
    }
    for (int* fd : {&outFd, &inFd}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
    return exitCodeOf(status);
}

void BackgroundProcess::sendSignal(int signal) const {
    if (pid > 0) {
        kill(pid, signal);
    }
}

int BackgroundProcess::waitForExit(std::chrono::seconds wait) {
    const Clock::time_point deadline = Clock::now() + wait;
    while (pid > 0) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            stop();
            return exitCodeOf(status);
        }
        if (Clock::now() > deadline) {
            stop();
            return -2;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

std::map<std::string, std::string> environmentWith(
    const std::map<std::string, std::string>& changes) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::size_t eq = entry.find('=');
        if (eq != std::string::npos) {
            env[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
    }
    for (const auto& [name, value] : changes) {
        if (value.empty()) {
            env.erase(name);
        } else {
            env[name] = value;
        }
    }
    return env;
}
