#pragma once
// Runs the real tallowick (and its tools) as separate processes in a root folder, and waits
// with bounded waits for lines in its trace and its log.

#include <sys/types.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

namespace tallowick::test {

std::string binDir();

// Runs a program to its end; gives its exit code (-1 when it did not end in time), with the
// extra environment added to ours.
int runProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               double timeoutSeconds = 30, std::string* output = nullptr);

// A program running in the background for as long as the object lives.
class BackgroundProgram {
public:
    BackgroundProgram(const std::vector<std::string>& argv,
                      const std::map<std::string, std::string>& env);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;
    bool running() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
    std::string m_work;
};

class ProgramRunner {
public:
    explicit ProgramRunner(std::string root);
    ~ProgramRunner();
    ProgramRunner(const ProgramRunner&) = delete;
    ProgramRunner& operator=(const ProgramRunner&) = delete;

    // Starts tallowick and waits until it takes messages. False when it did not get there.
    bool start(const std::map<std::string, std::string>& extraEnv = {},
               const std::string& program = binDir() + "/tallowick");
    // Sends one message with tallowick-send; gives its exit code.
    int send(const std::vector<std::string>& args);
    // Ends the program with SIGTERM; gives its exit code.
    int stop(double timeoutSeconds = 10);
    // Waits for the program to end by itself; gives its exit code, -1 on time-out.
    int waitForExit(double timeoutSeconds);

    bool waitForTrace(const std::string& pattern, double timeoutSeconds = 10);
    bool waitForLog(const std::string& pattern, double timeoutSeconds = 10);
    std::vector<std::string> traceLines() const;
    std::vector<std::string> logLines() const; // messages of the NSLog lines, stamps removed
    std::string standardOutput() const;

    const std::string& root() const { return m_root; }
    std::map<std::string, std::string> environment() const;

private:
    bool waitForLine(const std::string& file, const std::regex& re, double timeoutSeconds,
                     bool log) const;

    std::string m_root;
    std::string m_work; // trace and output files, outside the root
    pid_t m_pid = -1;
    int m_exitCode = -1;
};

} // namespace tallowick::test
