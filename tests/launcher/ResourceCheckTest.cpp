// Reads the resources and the imports back out of the built Kestrun.exe with the cross binutils
// and compares them with what the launcher must carry.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef KESTRUN_EXE
#error "KESTRUN_EXE, KESTRUN_WINDRES and KESTRUN_OBJDUMP must name the files to use"
#endif

namespace {

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::string outputOf(const std::string& command) {
    std::string output;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return output;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    return output;
}

struct Resource {
    std::string language;
    std::string body;
};

std::string trimmed(const std::string& line) {
    const auto first = line.find_first_not_of(" \t");
    const auto last = line.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
}

// Splits windres' rc listing into resources keyed "<type> <name>". A listing names the type once
// for a run of resources of that type and writes LANGUAGE only when the language changes.
std::map<std::string, Resource> resources(const std::string& listing) {
    std::map<std::string, Resource> found;
    std::istringstream in(listing);
    std::string line;
    std::string type;
    std::string language;
    Resource* current = nullptr;
    while (std::getline(in, line)) {
        const std::string text = trimmed(line);
        if (text.rfind("/* Type: ", 0) == 0) {
            type = text.substr(9);
            continue;
        }
        if (text.rfind("Name: ", 0) == 0 || text.rfind("/* Name: ", 0) == 0) {
            const auto start = text.find("Name: ") + 6;
            const std::string name = text.substr(start, text.find('.', start) - start);
            current = &found[type + " " + name];
            current->language = language;
            continue;
        }
        if (text.rfind("LANGUAGE ", 0) == 0) {
            language = text.substr(9);
            if (current != nullptr) {
                current->language = language;
            }
            continue;
        }
        if (current != nullptr && !text.empty()) {
            current->body += text + "\n";
        }
    }
    return found;
}

class KestrunResources : public testing::Test {
protected:
    static void SetUpTestSuite() {
        listing_ = new std::map<std::string, Resource>(
            resources(outputOf(quoted(KESTRUN_WINDRES) + " -i " + quoted(KESTRUN_EXE) + " -O rc")));
    }
    static void TearDownTestSuite() {
        delete listing_;
        listing_ = nullptr;
    }
    static std::map<std::string, Resource>* listing_;
};

std::map<std::string, Resource>* KestrunResources::listing_ = nullptr;

TEST_F(KestrunResources, EveryResourceIsUsEnglish) {
    const std::set<std::string> expected = {"accelerators 109", "dialog 103",    "group icon 107",
                                            "group icon 108",   "icon 1",        "icon 2",
                                            "menu 109",         "stringtable 7", "version 1"};
    std::set<std::string> names;
    for (const auto& [name, resource] : *listing_) {
        names.insert(name);
        EXPECT_EQ(resource.language, "9, 1") << name;
    }
    EXPECT_EQ(names, expected);
}

TEST_F(KestrunResources, ContentsAreAsRequired) {
    const std::map<std::string, std::string> expected = {
        {"stringtable 7", "STRINGTABLE\nBEGIN\n103, \"Kestrun\"\n109, \"KESTRUN\"\nEND\n"},
        {"menu 109", "109 MENU\nBEGIN\nPOPUP \"&File\"\nBEGIN\nMENUITEM \"E&xit\", 105\nEND\n"
                     "POPUP \"&Help\"\nBEGIN\nMENUITEM \"&About ...\", 104\nEND\nEND\n"},
        {"accelerators 109", "109 ACCELERATORS\nBEGIN\n\"?\", 104, ALT\n\"/\", 104, ALT\nEND\n"},
        // Style 0xc800c0: caption, system menu, modal frame and the font. The controls: icon 107
        // (static with SS_ICON), the two text lines, and the default OK button.
        {"dialog 103", "103 DIALOG 22, 17, 230, 75\nSTYLE 0xc800c0\nCAPTION \"About\"\n"
                       "FONT 8, \"System\"\nBEGIN\n"
                       "CONTROL 107, 65535, \"STATIC\", 0x50000003, 14, 9, 16, 16\n"
                       "CONTROL \"Kestrun Version 1.0\", 65535, 130, 0x50000080, 49, 10, 119, 8\n"
                       "LTEXT \"Starts the Velmora installation\", 65535, 49, 20, 119, 8, "
                       "0x50020000\n"
                       "DEFPUSHBUTTON \"OK\", 1, 195, 6, 30, 11, 0x50030001\nEND\n"},
        {"version 1",
         "1 VERSIONINFO\nFILEVERSION 1, 0, 0, 1\nPRODUCTVERSION 1, 0, 0, 1\n"
         "FILEFLAGSMASK 0x3f\nFILEOS 0x40004\nFILETYPE 0x1\nBEGIN\n"
         "BLOCK \"StringFileInfo\"\nBEGIN\nBLOCK \"040904b0\"\nBEGIN\n"
         "VALUE \"FileDescription\", \"Velmora Setup\"\n"
         "VALUE \"FileVersion\", \"1, 0, 0, 1\"\n"
         "VALUE \"InternalName\", \"Kestrun\"\n"
         "VALUE \"ProductName\", \"Velmora Setup\"\n"
         "VALUE \"ProductVersion\", \"1, 0, 0, 1\"\nEND\nEND\n"
         "BLOCK \"VarFileInfo\"\nBEGIN\nVALUE \"Translation\", 0x409, 1200\nEND\nEND\n"},
    };
    for (const auto& [name, body] : expected) {
        auto found = listing_->find(name);
        ASSERT_NE(found, listing_->end()) << name;
        EXPECT_EQ(found->second.body, body) << name;
    }
}

TEST_F(KestrunResources, LargeAndSmallIcons) {
    // One 32-bit image each: 32x32 for icon 107, 16x16 for icon 108.
    EXPECT_NE(listing_->at("group icon 107").body.find(R"("\040\040\000\000", 1, 32,)"),
              std::string::npos);
    EXPECT_NE(listing_->at("group icon 108").body.find(R"("\020\020\000\000", 1, 32,)"),
              std::string::npos);
}

TEST(KestrunImports, NeedsOnlyWindowsOwnLibraries) {
    const std::string dump = outputOf(quoted(KESTRUN_OBJDUMP) + " -p " + quoted(KESTRUN_EXE));
    std::set<std::string> dlls;
    std::istringstream in(dump);
    std::string line;
    while (std::getline(in, line)) {
        const std::string text = trimmed(line);
        if (text.rfind("DLL Name: ", 0) == 0) {
            dlls.insert(text.substr(10));
        }
    }
    EXPECT_EQ(dlls, (std::set<std::string>{"KERNEL32.dll", "USER32.dll", "msvcrt.dll"}));
}

} // namespace
