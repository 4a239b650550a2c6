// scripts/sandbox lays out a root that the agent works in as it stands.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <sys/wait.h>

#include "AgentHarness.h"

using namespace agenttest;

namespace {

struct Outcome {
    int code = -1;
    std::string output;
};

Outcome run(const std::string& command) {
    Outcome r;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
        r.output.append(buffer, n);
    const int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string sandbox(const std::string& rootArgument) {
    return std::string("'") + SANDBOX_SCRIPT + "' --build-dir '" + BUILD_DIR + "' '" +
           rootArgument + "'";
}

// Every file under the folder with its size and modification time.
std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            files[e.path().string()] =
                std::to_string(e.file_size()) + " " +
                std::to_string(e.last_write_time().time_since_epoch().count());
    return files;
}

class SandboxTest : public AgentFixture {};

} // namespace

TEST_F(SandboxTest, TheAgentChecksAndDownloadsInALaidOutSandbox) {
    const Outcome laid = run(sandbox(root.path()));
    ASSERT_EQ(laid.code, 0) << laid.output;
    agent->Init();

    update("QV240");
    ASSERT_TRUE(recorder.waitForLine("HaveNewVsersion"));
    const auto description = read(downloaded("Description.xml"));
    ASSERT_TRUE(description.has_value());
    EXPECT_EQ(*description, read(onServer("QV240", "Description.xml")));
    EXPECT_NE(description->find("<Device>QV240</Device>"), std::string::npos);

    writeSelection({kFirmware, kDashboard});
    agent->Download();
    ASSERT_TRUE(recorder.waitForLine("finished 1"));
    for (const char* name : {kFirmware, kDashboard}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(read(downloaded(name)), read(onServer("QV240", name)));
        // Each archive unpacks into a folder named after it, without the extension.
        const Outcome listing = run("unzip -Z1 '" + fs.resolve(downloaded(name)) + "'");
        ASSERT_EQ(listing.code, 0) << listing.output;
        const std::string folder = std::string(name).substr(0, std::strlen(name) - 4) + "/";
        std::istringstream entries(listing.output);
        std::size_t count = 0;
        for (std::string entry; std::getline(entries, entry); ++count)
            EXPECT_EQ(entry.rfind(folder, 0), 0u) << entry;
        EXPECT_GE(count, 2u);
    }
}

TEST_F(SandboxTest, ASecondRunChangesNothingAndAnUnsafeRootIsRefused) {
    const std::string target = root.path() + "/sandbox";
    ASSERT_EQ(run(sandbox(target)).code, 0);
    const auto before = snapshot(target);
    EXPECT_TRUE(before.count(target + "/System/Library/ModemList/Update/UpdateCfg.ini"));
    EXPECT_TRUE(before.count(target + "/srv/update/QV230/Description.xml"));
    const Outcome again = run(sandbox(target));
    ASSERT_EQ(again.code, 0) << again.output;
    EXPECT_EQ(snapshot(target), before);

    for (const std::string& bad :
         {root.path() + "/two words", root.path() + "/a;b", std::string("/")}) {
        SCOPED_TRACE(bad);
        const Outcome refused = run(sandbox(bad));
        EXPECT_EQ(refused.code, 2) << refused.output;
    }
    EXPECT_FALSE(std::filesystem::exists(root.path() + "/two words"));
    EXPECT_FALSE(std::filesystem::exists(root.path() + "/a;b"));
}
