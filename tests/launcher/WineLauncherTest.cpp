// Runs the real Kestrun.exe with the Windows stand-ins under Wine, in a 64-bit and a 32-bit prefix
// and under three locales, and checks what each stand-in received, the order in which they ran and
// Kestrun's exit code. Each case runs in a fresh folder holding Kestrun.exe, the stand-ins it
// needs, their setting files and the driver KestrunRun.exe.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef KESTRUN_EXE
#error "KESTRUN_EXE, KESTRUN_RUN_EXE, WINTOOLS_DIR, WINE, WINESERVER, WINE_PREFIX_ROOT and " \
       "WINE_CASES_ROOT must be defined"
#endif

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kRunTimeout{90};
constexpr std::uint32_t kNoResult = 0xFFFFFFFFu;

struct Locale {
    std::string name;
    unsigned langId; // what Wine must report as the system default language
    std::string transform;
};

const std::vector<Locale> kLocales = {
    {"fr_FR.UTF-8", 1036, "TRANSFORMS=1036.mst"},
    {"fr_CA.UTF-8", 3084, "TRANSFORMS=1033.mst"},
    {"en_US.UTF-8", 1033, "TRANSFORMS=1033.mst"},
};

// A program Kestrun starts. "{transform}" in the command line stands for the locale's transform,
// "{dir}" for the case folder as Windows sees it.
struct ToolRun {
    std::string tool;
    std::string commandLine;
    std::uint32_t exitCode;
};

struct WineCase {
    std::string name;
    std::string folder;
    std::string arguments;
    std::vector<std::string> leftOut;            // stand-ins not copied into the folder
    std::map<std::string, std::string> settings; // setting files beside the stand-ins
    std::vector<ToolRun> runs64;
    std::uint32_t exit64;
    std::vector<ToolRun> runs32;
    std::uint32_t exit32;
};

const ToolRun kRdf{"RDF.exe", "RDF.exe /u {dir}", 0};
const ToolRun kMsiinfo{"Msiinfo.exe", "Msiinfo.exe Setup.msi -P x64;1033", 0};

const std::vector<WineCase> kCases = {
    {"NoArguments",
     "plain",
     "",
     {},
     {},
     {kRdf, kMsiinfo, {"InstallHelper64.exe", "InstallHelper64.exe {transform}", 0}},
     0,
     {kRdf, {"MSISetup.exe", "MSISetup.exe ", 0}},
     0},
    {"ArgumentsPassedOnUnparsedAndInstallerFailure",
     "args",
     R"(/qn INSTALLDIR="C:\Program Files\Velmora")",
     {},
     {{"InstallHelper64.exitcode", "1603"}, {"MSISetup.exitcode", "1603"}},
     {kRdf,
      kMsiinfo,
      {"InstallHelper64.exe",
       R"(InstallHelper64.exe /qn INSTALLDIR="C:\Program Files\Velmora"{transform})", 1603}},
     1603,
     {kRdf, {"MSISetup.exe", R"(MSISetup.exe /qn INSTALLDIR="C:\Program Files\Velmora")", 1603}},
     1603},
    {"ArgumentsEndingInBlank",
     "blank",
     "/passive ",
     {},
     {{"InstallHelper64.exitcode", "3010"}, {"MSISetup.exitcode", "3010"}},
     {kRdf, kMsiinfo, {"InstallHelper64.exe", "InstallHelper64.exe /passive {transform}", 3010}},
     3010,
     {kRdf, {"MSISetup.exe", "MSISetup.exe /passive ", 3010}},
     3010},
    {"InstallerMissing",
     "missing",
     "/qn",
     {"InstallHelper64.exe", "MSISetup.exe"},
     {},
     {kRdf, kMsiinfo},
     kNoResult,
     {kRdf},
     kNoResult},
    {"ToolsMissingOrFailing",
     "tools",
     "",
     {"RDF.exe"},
     {{"Msiinfo.exitcode", "-1"}, {"InstallHelper64.exitcode", "2"}, {"MSISetup.exitcode", "2"}},
     {{"Msiinfo.exe", "Msiinfo.exe Setup.msi -P x64;1033", kNoResult},
      {"InstallHelper64.exe", "InstallHelper64.exe {transform}", 2}},
     2,
     {{"MSISetup.exe", "MSISetup.exe ", 2}},
     2},
    // The first two programs take a while: each must have ended before the next one starts.
    {"FolderWithBlanksAndSlowTools",
     "Velmora Setup Files",
     "",
     {},
     {{"RDF.delay", "400"}, {"Msiinfo.delay", "400"}, {"MSISetup.delay", "400"}},
     {kRdf, kMsiinfo, {"InstallHelper64.exe", "InstallHelper64.exe {transform}", 0}},
     0,
     {kRdf, {"MSISetup.exe", "MSISetup.exe ", 0}},
     0},
    // "/x64" is text like any other: it neither picks nor skips a chain.
    {"X64SwitchIsPassedOn",
     "x64",
     "/x64",
     {},
     {{"InstallHelper64.exitcode", "5"}, {"MSISetup.exitcode", "6"}},
     {kRdf, kMsiinfo, {"InstallHelper64.exe", "InstallHelper64.exe /x64{transform}", 5}},
     5,
     {kRdf, {"MSISetup.exe", "MSISetup.exe /x64", 6}},
     6},
};

struct Param {
    std::string arch; // "win64" or "win32"
    Locale locale;
    WineCase wineCase;
};

void PrintTo(const Param& param, std::ostream* out) {
    *out << param.arch << " " << param.locale.name << " " << param.wineCase.name;
}

std::vector<Param> allParams() {
    std::vector<Param> params;
    for (const char* arch : {"win64", "win32"}) {
        for (const Locale& locale : kLocales) {
            for (const WineCase& wineCase : kCases) {
                params.push_back({arch, locale, wineCase});
            }
        }
    }
    return params;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// Wine maps the Unix root to drive Z:.
std::string windowsPath(const fs::path& path) {
    return "Z:" + replaced(fs::canonical(path).string(), "/", "\\");
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

// The environment for Wine: the prefix, headless, quiet, and only LC_ALL for the locale.
std::vector<std::string> wineEnvironment(const fs::path& prefix, const std::string& locale) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "LANG" ||
            name == "LANGUAGE" || name.rfind("LC_", 0) == 0 || name.rfind("WINE", 0) == 0 ||
            name == "HOME") {
            continue;
        }
        env.push_back(text);
    }
    env.push_back("WINEPREFIX=" + prefix.string());
    env.push_back("WINEDEBUG=-all");
    env.push_back("WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d");
    env.push_back("HOME=" + prefix.string() + "-home");
    env.push_back("LC_ALL=" + locale);
    return env;
}

// Runs `argv` in `folder` with `env`, output to `outputFile`; returns its wait status, or nothing
// when it had to be killed after the time-out.
std::optional<int> runBounded(const std::vector<std::string>& argv,
                              const std::vector<std::string>& env, const fs::path& folder,
                              const fs::path& outputFile) {
    std::vector<char*> argvPtrs;
    for (const std::string& arg : argv) {
        argvPtrs.push_back(const_cast<char*>(arg.c_str()));
    }
    argvPtrs.push_back(nullptr);
    std::vector<char*> envPtrs;
    for (const std::string& entry : env) {
        envPtrs.push_back(const_cast<char*>(entry.c_str()));
    }
    envPtrs.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, argvPtrs[0], &actions, nullptr, argvPtrs.data(), envPtrs.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(spawned);
        return std::nullopt;
    }

    std::promise<int> ended;
    std::future<int> status = ended.get_future();
    std::thread waiter([pid, &ended] {
        int s = 0;
        while (waitpid(pid, &s, 0) < 0 && errno == EINTR) {
        }
        ended.set_value(s);
    });
    std::optional<int> result;
    if (status.wait_for(kRunTimeout) == std::future_status::ready) {
        result = status.get();
    } else {
        kill(pid, SIGKILL);
    }
    waiter.join();
    return result;
}

class KestrunUnderWine : public testing::TestWithParam<Param> {};

TEST_P(KestrunUnderWine, Runs) {
    const Param& p = GetParam();
    const WineCase& c = p.wineCase;
    const bool is64 = p.arch == "win64";
    const fs::path prefix = fs::path(WINE_PREFIX_ROOT) / p.arch;
    ASSERT_TRUE(fs::exists(prefix / "system.reg")) << "the prefix fixture has not run: " << prefix;

    const std::string caseName = p.arch + "_" + p.locale.name.substr(0, 5) + "_" + c.name;
    const fs::path caseRoot = fs::path(WINE_CASES_ROOT) / caseName;
    const fs::path folder = caseRoot / c.folder;
    fs::remove_all(caseRoot);
    fs::create_directories(folder);

    fs::copy_file(KESTRUN_EXE, folder / "Kestrun.exe");
    fs::copy_file(KESTRUN_RUN_EXE, folder / "KestrunRun.exe");
    for (const char* tool : {"RDF.exe", "Msiinfo.exe", "InstallHelper64.exe", "MSISetup.exe"}) {
        if (std::find(c.leftOut.begin(), c.leftOut.end(), tool) == c.leftOut.end()) {
            fs::copy_file(fs::path(WINTOOLS_DIR) / tool, folder / tool);
        }
    }
    for (const auto& [file, content] : c.settings) {
        writeFile(folder / file, content);
    }
    writeFile(folder / "kestrun-args.txt", c.arguments);

    const fs::path output = caseRoot / "wine-output.txt";
    std::optional<int> status = runBounded({WINE, "KestrunRun.exe"},
                                           wineEnvironment(prefix, p.locale.name), folder, output);
    if (!status) {
        // Stop what is left of this run in our own prefix before failing.
        runBounded({WINESERVER, "-k"}, wineEnvironment(prefix, p.locale.name), folder,
                   caseRoot / "wineserver-kill.txt");
        FAIL() << "Kestrun did not end within " << kRunTimeout.count() << " s\n"
               << readFile(output);
    }
    ASSERT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << readFile(output);

    // The driver's report: Kestrun's exit code, and the setting Wine really ran under.
    const std::uint32_t exitCode = is64 ? c.exit64 : c.exit32;
    EXPECT_EQ(lines(readFile(folder / "kestrun-result.txt")),
              (std::vector<std::string>{"exit " + std::to_string(exitCode),
                                        "langid " + std::to_string(p.locale.langId),
                                        std::string("wow64 ") + (is64 ? "1" : "0")}))
        << readFile(output);

    // Each program logs its start and its end; one must end before the next starts.
    const std::string dir = windowsPath(folder);
    std::vector<std::string> expected;
    for (const ToolRun& run : is64 ? c.runs64 : c.runs32) {
        const std::string commandLine =
            replaced(replaced(run.commandLine, "{dir}", dir), "{transform}", p.locale.transform);
        expected.push_back("start\t" + run.tool + "\t" + commandLine + "\t" + dir);
        expected.push_back("end\t" + run.tool + "\t" + std::to_string(run.exitCode));
    }
    EXPECT_EQ(lines(readFile(folder / "wintools.log")), expected);
}

INSTANTIATE_TEST_SUITE_P(Wine, KestrunUnderWine, testing::ValuesIn(allParams()),
                         [](const testing::TestParamInfo<Param>& param) {
                             return param.param.arch + "_" + param.param.locale.name.substr(0, 5) +
                                    "_" + param.param.wineCase.name;
                         });

} // namespace
