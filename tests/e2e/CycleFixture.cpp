#include "CycleFixture.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace tallowick::test {

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

CycleFixture::CycleFixture() {
    const std::string buildDir = std::filesystem::path(binDir()).parent_path().string();
    std::string output;
    const int code = runProgram(
        {TALLOWICK_TEST_SOURCE_DIR "/scripts/sandbox", "--build-dir", buildDir, root.path()}, {},
        120, &output);
    if (code != 0)
        ADD_FAILURE() << "sandbox failed: " << output;
    pilotPath = root.path() + "/pilot.txt";
}

void CycleFixture::setAgent(const std::string& section, const std::string& line) {
    const std::string path = root.path() + "/System/Library/ModemList/Update/UpdateCfg.ini";
    std::string text = readAll(path);
    const std::string header = "[" + section + "]\n";
    const std::size_t at = text.find(header);
    if (at == std::string::npos)
        text += "\n" + header + line + "\n";
    else
        text.insert(at + header.size(), line + "\n");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

void CycleFixture::start(const std::vector<std::string>& pilotSteps) {
    std::ofstream pilot(pilotPath);
    for (const auto& step : pilotSteps)
        pilot << step << '\n';
    pilot.close();
    ASSERT_TRUE(program.start({{"TALLOWICK_PILOT", pilotPath}, {"LANGUAGE", "en"}}));
}

int CycleFixture::dashboard(const std::vector<std::string>& args) {
    std::vector<std::string> argv{binDir() + "/dashboard"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, {{"TALLOWICK_ROOT", root.path()}});
}

int CycleFixture::request(int mode, const std::string& device) {
    return dashboard({"update", "--mode", std::to_string(mode), "--device", device,
                      "--device-state", "true", "--fw", "21.100.00.00.00", "--ui",
                      "16.001.00.00.00"});
}

std::size_t CycleFixture::traceCount(const std::string& pattern) const {
    const std::regex re(pattern);
    std::size_t n = 0;
    for (const auto& line : program.traceLines())
        if (std::regex_search(line, re))
            ++n;
    return n;
}

bool CycleFixture::traceTimes(const std::string& pattern, std::size_t count, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    while (traceCount(pattern) < count) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string CycleFixture::file(const std::string& systemPath) const {
    return readAll(root.path() + systemPath);
}

bool CycleFixture::exists(const std::string& systemPath) const {
    return std::filesystem::exists(root.path() + systemPath);
}

std::vector<std::string> CycleFixture::lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

} // namespace tallowick::test
