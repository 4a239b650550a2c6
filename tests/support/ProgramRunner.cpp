#include "ProgramRunner.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tallowick::test {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// "2026-12-11 14:30:03.731 Tallowick[8928:22e0] message" -> "message"
std::string messageOf(const std::string& line) {
    const std::size_t close = line.find("] ");
    return close == std::string::npos ? line : line.substr(close + 2);
}

pid_t spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            const std::string& stdoutPath, const std::string& stderrPath) {
    std::map<std::string, std::string> all;
    for (char** e = environ; *e; ++e) {
        const std::string kv = *e;
        const std::size_t eq = kv.find('=');
        if (eq != std::string::npos)
            all[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    for (const auto& [k, v] : env)
        all[k] = v;
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : all)
        envStrings.push_back(k + "=" + v);
    std::vector<char*> envp, args;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argvCopy = argv;
    for (auto& s : argvCopy)
        args.push_back(s.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int waitFor(pid_t pid, double timeoutSeconds) {
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(timeoutSeconds));
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0 || Clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string makeWorkDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tallowick-run-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return "/tmp";
    return pattern;
}

} // namespace

std::string binDir() {
    return TALLOWICK_TEST_BIN_DIR;
}

int runProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               double timeoutSeconds, std::string* output) {
    const std::string work = makeWorkDir();
    const std::string out = work + "/out";
    const pid_t pid = spawn(argv, env, out, out);
    if (pid < 0)
        return -1;
    int code = waitFor(pid, timeoutSeconds);
    if (code == -1) {
        ::kill(pid, SIGKILL);
        waitFor(pid, 5);
    }
    if (output) {
        std::ifstream in(out);
        std::ostringstream s;
        s << in.rdbuf();
        *output = s.str();
    }
    std::error_code ec;
    std::filesystem::remove_all(work, ec);
    return code;
}

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& argv,
                                     const std::map<std::string, std::string>& env)
    : m_work(makeWorkDir()) {
    m_pid = spawn(argv, env, m_work + "/out", m_work + "/out");
}

BackgroundProgram::~BackgroundProgram() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        if (waitFor(m_pid, 5) == -1) {
            ::kill(m_pid, SIGKILL);
            waitFor(m_pid, 5);
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(m_work, ec);
}

ProgramRunner::ProgramRunner(std::string root) : m_root(std::move(root)), m_work(makeWorkDir()) {}

ProgramRunner::~ProgramRunner() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        waitFor(m_pid, 5);
    }
    std::error_code ec;
    std::filesystem::remove_all(m_work, ec);
}

std::map<std::string, std::string> ProgramRunner::environment() const {
    return {{"TALLOWICK_ROOT", m_root},
            {"TALLOWICK_TRACE", m_work + "/trace"},
            {"TALLOWICK_UI", "headless"}};
}

bool ProgramRunner::start(const std::map<std::string, std::string>& extraEnv,
                          const std::string& program) {
    auto env = environment();
    for (const auto& [k, v] : extraEnv)
        env[k] = v;
    m_pid = spawn({program}, env, m_work + "/stdout", m_work + "/stderr");
    if (m_pid < 0)
        return false;
    const bool ready = waitForTrace("^application ready", 15);
    if (!ready) {
        const int code = waitFor(m_pid, 0.1);
        if (code != -1) {
            m_exitCode = code;
            m_pid = -1;
        }
    }
    return ready;
}

int ProgramRunner::send(const std::vector<std::string>& args) {
    std::vector<std::string> argv{binDir() + "/tallowick-send"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, {{"TALLOWICK_ROOT", m_root}});
}

int ProgramRunner::stop(double timeoutSeconds) {
    if (m_pid <= 0)
        return m_exitCode;
    ::kill(m_pid, SIGTERM);
    m_exitCode = waitFor(m_pid, timeoutSeconds);
    if (m_exitCode == -1) {
        ::kill(m_pid, SIGKILL);
        waitFor(m_pid, 5);
    }
    m_pid = -1;
    return m_exitCode;
}

int ProgramRunner::waitForExit(double timeoutSeconds) {
    if (m_pid <= 0)
        return m_exitCode;
    m_exitCode = waitFor(m_pid, timeoutSeconds);
    if (m_exitCode != -1)
        m_pid = -1;
    return m_exitCode;
}

bool ProgramRunner::waitForLine(const std::string& file, const std::regex& re,
                                double timeoutSeconds, bool log) const {
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(timeoutSeconds));
    for (;;) {
        for (const auto& line : readLines(file))
            if (std::regex_search(log ? messageOf(line) : line, re))
                return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool ProgramRunner::waitForTrace(const std::string& pattern, double timeoutSeconds) {
    return waitForLine(m_work + "/trace", std::regex(pattern), timeoutSeconds, false);
}

bool ProgramRunner::waitForLog(const std::string& pattern, double timeoutSeconds) {
    return waitForLine(m_work + "/stderr", std::regex(pattern), timeoutSeconds, true);
}

std::vector<std::string> ProgramRunner::traceLines() const {
    return readLines(m_work + "/trace");
}

std::vector<std::string> ProgramRunner::logLines() const {
    std::vector<std::string> out;
    for (const auto& line : readLines(m_work + "/stderr"))
        out.push_back(messageOf(line));
    return out;
}

std::string ProgramRunner::standardOutput() const {
    std::ifstream in(m_work + "/stdout");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace tallowick::test
