#pragma once
// A controller with an offered update: the new-version window open with a package list, as the
// new-version evaluation leaves it.

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "ControllerFixture.h"

namespace tallowick::test {

struct Package {
    std::string filename;
    std::string version = "1.0";
    std::string description = "what is new";
};

class WizardFixture : public ControllerFixture {
protected:
    WizardFixture() {
        fs.createDirectories("/System/Library/Auto_Update/download");
        startController();
        fakeagent::reset();
    }

    // The Filename attributes of UserSelection.xml, in their order.
    std::vector<std::string> selectionFileNames() const {
        std::vector<std::string> names;
        const std::string text = fs.readFile(kUserSelectionPath).value_or("");
        const std::regex filename("Filename=\"([^\"]*)\"");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), filename);
             it != std::sregex_iterator(); ++it)
            names.push_back((*it)[1]);
        return names;
    }

    void offer(const std::vector<Package>& packages) {
        plist::Array files;
        control->m_PackageList.clear();
        for (const auto& p : packages) {
            plist::Dictionary entry{{"UpdateFile", p.description},
                                    {"Filename", p.filename},
                                    {"Version", p.version},
                                    {"Size", "1024"},
                                    {"PriorityFlag", "1"}};
            files.push_back(entry);
            entry.set("checkstate", false);
            control->m_PackageList.push_back(entry);
        }
        control->m_DescriptDic = plist::Dictionary{{"Version", "2.0"},
                                                   {"Description", "new"},
                                                   {"Device", "QV230"},
                                                   {"UpdateFile", files},
                                                   {"Server", plist::Array{}}};
        control->m_PackageDeviceType = "QV230";
        control->m_UpdateState = STATE_NEW_VERSION;
        set().m_UpdateBtn->setEnabled(false);
        set().m_UpdateInfoWnd->orderFrontRegardless();
    }

    const platform::WindowSet& set() const { return windows.windowSet(); }
    bool click(const char* button) { return windows.click(button); }
    bool tick(int row) { return windows.clickTable("m_PackageListView", row, "checkstate"); }

    // Offer, Next, tick the given rows, Update.
    void startDownload(const std::vector<Package>& packages, const std::vector<int>& ticks) {
        offer(packages);
        click("m_InfoNextBtn");
        for (int row : ticks)
            tick(row);
        click("m_UpdateBtn");
    }

    std::vector<std::string> selectedFilenames() const {
        std::vector<std::string> names;
        if (const plist::Value* files = control->m_SelectDic.find("UpdateFile");
            files && files->asArray())
            for (const auto& f : *files->asArray())
                names.push_back(f.asDictionary()->stringValue("Filename"));
        return names;
    }
};

} // namespace tallowick::test
