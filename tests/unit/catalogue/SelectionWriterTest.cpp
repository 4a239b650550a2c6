// The user selection writer: UserSelection.xml as libxml2 reads it back.

#include <gtest/gtest.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <sys/resource.h>

#include <csignal>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CatalogueTestSupport.h"
#include "ControllerFixture.h"
#include "catalogue/XMLParse.h"
#include "core/UpdateControl.h"

namespace tallowick::test {
namespace {

using plist::Array;
using plist::Dictionary;
using Pairs = std::vector<std::pair<std::string, std::string>>;

// One element as read back: its name, attributes in order, text and child elements.
struct Element {
    std::string name;
    Pairs attributes;
    std::string text;
    std::vector<Element> children;
};

std::string str(const xmlChar* text) {
    return text ? reinterpret_cast<const char*>(text) : "";
}

Element readElement(const xmlNode* node) {
    Element element{str(node->name), {}, {}, {}};
    for (const xmlAttr* a = node->properties; a; a = a->next) {
        xmlChar* value = xmlNodeListGetString(node->doc, a->children, 1);
        element.attributes.emplace_back(str(a->name), str(value));
        xmlFree(value);
    }
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            element.children.push_back(readElement(child));
        else if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE)
            element.text += str(child->content);
    }
    // Indentation between child elements is not text.
    if (!element.children.empty())
        element.text.clear();
    return element;
}

class SelectionWriterTest : public ::testing::Test {
protected:
    SelectionWriterTest() {
        writer = XMLParse::initWithFilePath(kDescriptionPath, fs, log, sound);
        EXPECT_TRUE(fs.createDirectories("/System/Library/Auto_Update/download"));
    }

    // Reads the written file strictly, as the agent would.
    Element readBack() {
        const std::optional<std::string> bytes = fs.readFile(kUserSelectionPath);
        EXPECT_TRUE(bytes.has_value());
        if (!bytes)
            return {};
        xmlDoc* doc = xmlReadMemory(bytes->data(), static_cast<int>(bytes->size()), nullptr,
                                    nullptr, XML_PARSE_NONET);
        EXPECT_NE(doc, nullptr) << *bytes;
        if (!doc)
            return {};
        EXPECT_EQ(str(doc->version), "1.0");
        EXPECT_EQ(str(doc->encoding), "UTF-8");
        Element config = readElement(xmlDocGetRootElement(doc));
        xmlFreeDoc(doc);
        return config;
    }

    TempRoot root;
    platform::FileSystem fs{root.path()};
    std::shared_ptr<platform::CaptureLogSink> logSink =
        std::make_shared<platform::CaptureLogSink>();
    platform::Log log{logSink};
    platform::CountingSound sound;
    XMLParse* writer = nullptr;
};

TEST_F(SelectionWriterTest, WritesEntriesAttributesAndServersThatReadBackUnchanged) {
    const std::string awkward = " <b>Fish & \"chips\"</b> 'n'\r\n\ttab ";
    const Dictionary selection{
        {"Version", "21.3.1"}, // other keys of the description are not written
        {"UpdateFile",
         Array{Dictionary{{"UpdateFile", "Modem firmware"},
                          {"Version", "21.3.1"},
                          {"Filename", "FirmwareUpdatePackage.zip"},
                          {"Size", "18432"},
                          {"PriorityFlag", "1"},
                          {"Checksum", "ab12"}},
               Dictionary{
                   {"Filename", "CMUpdatePackage.zip"}, {"Note", awkward}, {"UpdateFile", awkward}},
               Dictionary{{"UpdateFile", "text only"}}}},
        {"Server", Array{Dictionary{{"Address", "ftp.example"}, {"Port", "21"}},
                         Dictionary{{"Path", awkward}}}},
    };
    const Dictionary before = selection;
    ASSERT_TRUE(writer->createResult(kUserSelectionPath, selection));
    EXPECT_EQ(selection, before); // the entries are left as they were
    EXPECT_EQ(sound.beeps, 0);

    const Element config = readBack();
    EXPECT_EQ(config.name, "UpdateConfig");
    ASSERT_EQ(config.children.size(), 2u);
    const Element& files = config.children[0];
    const Element& ftp = config.children[1];
    EXPECT_EQ(files.name, "UpdateFiles");
    EXPECT_EQ(ftp.name, "Ftp");

    ASSERT_EQ(files.children.size(), 3u);
    EXPECT_EQ(files.children[0].name, "UpdateFile");
    EXPECT_EQ(files.children[0].text, "Modem firmware");
    EXPECT_EQ(files.children[0].attributes, (Pairs{{"Version", "21.3.1"},
                                                   {"Filename", "FirmwareUpdatePackage.zip"},
                                                   {"Size", "18432"},
                                                   {"PriorityFlag", "1"},
                                                   {"Checksum", "ab12"}}));
    EXPECT_EQ(files.children[1].text, awkward);
    EXPECT_EQ(files.children[1].attributes,
              (Pairs{{"Filename", "CMUpdatePackage.zip"}, {"Note", awkward}}));
    EXPECT_EQ(files.children[2].text, "text only");
    EXPECT_TRUE(files.children[2].attributes.empty());

    ASSERT_EQ(ftp.children.size(), 2u);
    ASSERT_EQ(ftp.children[0].children.size(), 2u);
    EXPECT_EQ(ftp.children[0].name, "Server");
    EXPECT_EQ(ftp.children[0].children[0].name, "Address");
    EXPECT_EQ(ftp.children[0].children[0].text, "ftp.example");
    EXPECT_EQ(ftp.children[0].children[1].name, "Port");
    EXPECT_EQ(ftp.children[0].children[1].text, "21");
    ASSERT_EQ(ftp.children[1].children.size(), 1u);
    EXPECT_EQ(ftp.children[1].children[0].text, awkward);
}

TEST_F(SelectionWriterTest, IsPrettyPrintedWithTheDeclaration) {
    const Dictionary selection{
        {"UpdateFile",
         Array{Dictionary{{"UpdateFile", "Firmware"}, {"Filename", "FirmwareUpdatePackage.zip"}}}},
        {"Server", Array{Dictionary{{"Address", "ftp.example"}}}}};
    ASSERT_TRUE(writer->createResult(kUserSelectionPath, selection));
    const std::string written = *fs.readFile(kUserSelectionPath);
    EXPECT_EQ(written,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<UpdateConfig>\n"
              "  <UpdateFiles>\n"
              "    <UpdateFile Filename=\"FirmwareUpdatePackage.zip\">Firmware</UpdateFile>\n"
              "  </UpdateFiles>\n"
              "  <Ftp>\n"
              "    <Server>\n"
              "      <Address>ftp.example</Address>\n"
              "    </Server>\n"
              "  </Ftp>\n"
              "</UpdateConfig>\n");
}

TEST_F(SelectionWriterTest, MissingArraysGiveEmptyElementsAndBadNamesAreLeftOut) {
    ASSERT_TRUE(writer->createResult(kUserSelectionPath, Dictionary{}));
    Element config = readBack();
    ASSERT_EQ(config.children.size(), 2u);
    EXPECT_EQ(config.children[0].name, "UpdateFiles");
    EXPECT_TRUE(config.children[0].children.empty());
    EXPECT_EQ(config.children[1].name, "Ftp");
    EXPECT_TRUE(config.children[1].children.empty());

    // Keys that are no XML names would make the whole file unreadable.
    const Dictionary selection{
        {"UpdateFile", Array{Dictionary{{"UpdateFile", "x"}, {"two words", "a"}, {"Ok", "b"}}}},
        {"Server", Array{Dictionary{{"", "a"}, {"1st", "b"}, {"Host", "c"}}}}};
    ASSERT_TRUE(writer->createResult(kUserSelectionPath, selection));
    config = readBack();
    ASSERT_EQ(config.children.size(), 2u);
    ASSERT_EQ(config.children[0].children.size(), 1u);
    EXPECT_EQ(config.children[0].children[0].attributes, (Pairs{{"Ok", "b"}}));
    ASSERT_EQ(config.children[1].children.size(), 1u);
    ASSERT_EQ(config.children[1].children[0].children.size(), 1u);
    EXPECT_EQ(config.children[1].children[0].children[0].name, "Host");
}

TEST_F(SelectionWriterTest, MissingFolderGivesFalseWithBeepAndLogLine) {
    ASSERT_TRUE(fs.removeItem("/System/Library/Auto_Update/download"));
    EXPECT_FALSE(writer->createResult(kUserSelectionPath, Dictionary{}));
    EXPECT_EQ(sound.beeps, 1);
    EXPECT_EQ(logSink->lines(), std::vector<std::string>{"Could not write document out..."});
    EXPECT_FALSE(fs.fileExists(kUserSelectionPath));
}

// A write that fails half-way (here: the file size limit) leaves the previous file whole and
// no temporary file behind.
TEST_F(SelectionWriterTest, FailedWriteLeavesTheOldFileWhole) {
    const std::string old = "<old/>\n";
    ASSERT_TRUE(fs.writeFileAtomically(kUserSelectionPath, old));
    const Dictionary selection{
        {"UpdateFile", Array{Dictionary{{"UpdateFile", std::string(4096, 'x')},
                                        {"Filename", "CMUpdatePackage.zip"}}}}};

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = writer->createResult(kUserSelectionPath, selection);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(sound.beeps, 1);
    EXPECT_TRUE(logSink->contains("Could not write document out..."));
    EXPECT_EQ(fs.readFile(kUserSelectionPath), old);
    EXPECT_EQ(fs.contentsOfDirectory("/System/Library/Auto_Update/download"),
              std::vector<std::string>{"UserSelection.xml"});
}

} // namespace
} // namespace tallowick::test
