// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Child processes for the end-to-end tests: oskelctl runs to completion with its output
// captured; the virtual keyboard runs beside the test until it is stopped.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;      // -1 when it did not exit normally
    bool timedOut = false;  // killed because it ran past the guard
    std::string out;
    std::string err;
};

// Runs `program` with `args` and exactly the environment `env`, feeding it no input. A child
// still running after `guard` is killed and reported as timedOut: a hang fails the test instead
// of stalling the suite.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env,
                         std::chrono::seconds guard = std::chrono::seconds(60));

// A background process whose standard output is read line by line.
class BackgroundProcess {
public:
    BackgroundProcess() = default;
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;
    ~BackgroundProcess();

    // Standard error goes to the file `errPath`, or to the test's own when empty.
    bool start(const std::string& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env, const std::string& errPath = "");
    // The next line of its standard output, false when it ended or none came within `wait`.
    bool readLine(std::string& line, std::chrono::seconds wait);
    // SIGTERM, then SIGKILL if it does not end; the exit code, or -1.
    int stop();
    void sendSignal(int signal) const;
    // The exit code once it ended by itself, -1 when it ended otherwise, -2 when it was still
    // running after `wait` (it is then killed).
    int waitForExit(std::chrono::seconds wait);
    bool running() const { return pid > 0; }

private:
    pid_t pid = -1;
    int outFd = -1;
    int inFd = -1;
    std::string buffered;
};

// The current environment with the given variables replaced (an empty value removes one).
std::map<std::string, std::string> environmentWith(
    const std::map<std::string, std::string>& changes);
