// The package description reader over the data files in tests/data/catalogue.

#include <gtest/gtest.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <string>
#include <vector>

#include "CatalogueTestSupport.h"
#include "ControllerFixture.h"
#include "catalogue/XMLParse.h"
#include "core/UpdateControl.h"

namespace tallowick::test {
namespace {

using plist::Array;
using plist::Dictionary;

void quiet(void*, const char*, ...) {}

class DescriptionReaderTest : public ::testing::Test {
protected:
    DescriptionReaderTest() {
        parser = XMLParse::initWithFilePath(kDescriptionPath, fs, log, sound);
    }

    void install(const std::string& dataFile) { installData(fs, dataFile, kDescriptionPath); }

    std::vector<std::string> keys(const Dictionary& dictionary) {
        std::vector<std::string> names;
        for (const auto& entry : dictionary)
            names.push_back(entry.first);
        return names;
    }

    TempRoot root;
    platform::FileSystem fs{root.path()};
    std::shared_ptr<platform::CaptureLogSink> logSink =
        std::make_shared<platform::CaptureLogSink>();
    platform::Log log{logSink};
    platform::CountingSound sound;
    XMLParse* parser = nullptr;
};

struct ReadCase {
    const char* dataFile;
    Dictionary expected;
};

// Descriptions that are read: the whole resulting dictionary is compared.
TEST_F(DescriptionReaderTest, ReadsEachDescriptionForm) {
    const ReadCase cases[] = {
        // failure form: packages and description are not read once a Flag exists
        {"failure-with-errmsg.xml", {{"Flag", 2}, {"ErrMsg", " No package for this device "}}},
        {"failure-without-errmsg.xml", {{"Flag", 1}}},
        // the first Flag and the first ErrMsg in document order, at any depth
        {"failure-several-errmsg.xml", {{"Flag", 3}, {"ErrMsg", "first message"}}},
        {"flag-not-a-number.xml", {{"Flag", 0}, {"ErrMsg", "bad flag"}}},
        {"flag-empty.xml", {{"Flag", 0}}}, // the root element itself is looked at
        {"flag-signed-with-blanks.xml", {{"Flag", -3}}},
        {"neither-flag-nor-description.xml", {{"Flag", 0}}},
        {"package-form.xml",
         {{"Version", "21.3.1"},
          {"Description", "Faster connection set-up"},
          {"Device", "QV230"},
          {"ReleaseDate", "2024-05-01"},
          {"UpdateFile", Array{Dictionary{{"UpdateFile", "Modem firmware"},
                                          {"Version", "21.3.1"},
                                          {"Filename", "FirmwareUpdatePackage.zip"},
                                          {"Size", "18432"},
                                          {"PriorityFlag", "1"},
                                          {"Checksum", "ab12"}},
                               Dictionary{{"UpdateFile", "Dashboard"},
                                          {"Filename", "CMUpdatePackage.zip"},
                                          {"Version", "3.2"},
                                          {"Size", "9216"},
                                          {"PriorityFlag", "0"}},
                               Dictionary{{"UpdateFile", ""}}}},
          {"Server",
           Array{Dictionary{{"Address", "ftp.example"}, {"Port", "21"}, {"User", "anonymous"}},
                 Dictionary{{"Address", "mirror.example"}}}}}},
        // a later child of the same name replaces the earlier value
        {"two-package-descriptions.xml",
         {{"Version", "1.2"}, {"Device", "QV230"}, {"UpdateFile", Array{}}, {"Server", Array{}}}},
        // the arrays replace the description's children of the same names; the attribute
        // named UpdateFile replaces the element's text
        {"children-named-updatefile-server.xml",
         {{"Version", "4.0"},
          {"UpdateFile", Array{Dictionary{{"UpdateFile", "listed inside the description"}},
                               Dictionary{{"UpdateFile", "attribute text"},
                                          {"Filename", "CMUpdatePackage.zip"}}}},
          {"Server", Array{Dictionary{}}}}},
        {"no-updatefile-no-server.xml",
         {{"Version", "1.0"}, {"UpdateFile", Array{}}, {"Server", Array{}}}},
        {"values-with-blanks.xml",
         {{"Version", "  2.0  "},
          {"Description", "\n\tLine one\n\tLine two\n    "},
          {"UpdateFile", Array{Dictionary{{"UpdateFile", "  Dashboard  "},
                                          {"Filename", " CMUpdatePackage.zip "},
                                          {"Version", "2.0 "}}}},
          {"Server", Array{Dictionary{{"Address", " ftp.example "}}}}}},
        {"cdata.xml",
         {{"Version", "5.0"},
          {"Description", "Fixes: <b>faster</b> & safer and <more>"},
          {"UpdateFile",
           Array{Dictionary{{"UpdateFile", " a < b "}, {"Filename", "CMUpdatePackage.zip"}}}},
          {"Server", Array{}}}},
        {"internal-entity.xml",
         {{"Description", "New Tallowick dashboard release"},
          {"UpdateFile", Array{Dictionary{{"UpdateFile", "text"},
                                          {"Filename", "CMUpdatePackage.zip"},
                                          {"Note", "for Tallowick dashboard"}}}},
          {"Server", Array{}}}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.dataFile);
        install(c.dataFile);
        Dictionary description;
        EXPECT_TRUE(parser->getUpdateInfo(description));
        EXPECT_EQ(description, c.expected);
    }
    EXPECT_FALSE(logSink->contains("init xmlDoc error!"));
    EXPECT_FALSE(logSink->contains("PackageDescription is NULL"));
}

TEST_F(DescriptionReaderTest, KeepsTheOrderOfChildrenAndAttributes) {
    install("package-form.xml");
    Dictionary description;
    ASSERT_TRUE(parser->getUpdateInfo(description));
    EXPECT_EQ(keys(description), (std::vector<std::string>{"Version", "Description", "Device",
                                                           "ReleaseDate", "UpdateFile", "Server"}));
    const Array& packages = *description.find("UpdateFile")->asArray();
    EXPECT_EQ(keys(*packages[0].asDictionary()),
              (std::vector<std::string>{"UpdateFile", "Version", "Filename", "Size", "PriorityFlag",
                                        "Checksum"}));
    EXPECT_EQ(
        keys(*packages[1].asDictionary()),
        (std::vector<std::string>{"UpdateFile", "Filename", "Version", "Size", "PriorityFlag"}));
    const Array& servers = *description.find("Server")->asArray();
    EXPECT_EQ(keys(*servers[0].asDictionary()),
              (std::vector<std::string>{"Address", "Port", "User"}));
}

TEST_F(DescriptionReaderTest, AddsAndReplacesButNeverRemovesKeys) {
    install("package-form.xml");
    Dictionary description{{"Keep", "me"}, {"Version", "old"}};
    ASSERT_TRUE(parser->getUpdateInfo(description));
    EXPECT_EQ(description.stringValue("Keep"), "me");
    EXPECT_EQ(description.stringValue("Version"), "21.3.1");
}

TEST_F(DescriptionReaderTest, EmptyPackageDescriptionEndsTheDescriptionButNotThePackages) {
    install("empty-package-description-first.xml");
    Dictionary description;
    EXPECT_TRUE(parser->getUpdateInfo(description));
    EXPECT_EQ(logSink->count("PackageDescription is NULL"), 1u);
    // The Version of the full element after the empty one is not read.
    const Dictionary expected{{"Device", "QV100"},
                              {"UpdateFile", Array{Dictionary{{"UpdateFile", "Dashboard"},
                                                              {"Filename", "CMUpdatePackage.zip"},
                                                              {"Version", "2.0"}}}},
                              {"Server", Array{Dictionary{{"Address", "ftp.example"}}}}};
    EXPECT_EQ(description, expected);
}

TEST_F(DescriptionReaderTest, MalformedMarkupIsReadByTheTolerantParse) {
    install("malformed-recovered.xml");
    const std::string bytes = catalogueData("malformed-recovered.xml");
    // The strict parse alone does not take this file.
    xmlDoc* strict = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    EXPECT_EQ(strict, nullptr);
    xmlFreeDoc(strict);

    Dictionary description;
    ASSERT_TRUE(parser->getUpdateInfo(description));
    EXPECT_EQ(description.stringValue("Version"), "6.1");
    EXPECT_EQ(description.stringValue("Device"), "QV230");
    const Array& packages = *description.find("UpdateFile")->asArray();
    ASSERT_EQ(packages.size(), 1u);
    EXPECT_EQ(packages[0].asDictionary()->stringValue("Filename"), "FirmwareUpdatePackage.zip");
    EXPECT_EQ(packages[0].asDictionary()->stringValue("Version"), "6.1");
    const Array& servers = *description.find("Server")->asArray();
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0].asDictionary()->stringValue("Address"), "ftp.example");
}

// Files that give false: the dictionary keeps exactly what it had.
TEST_F(DescriptionReaderTest, RefusesWhatCannotBeReadSafely) {
    const char* refused[] = {
        "not-xml.bin",
        "hostile-entity-bomb.xml",   // nested entities, a billion-fold expansion
        "hostile-entity-blowup.xml", // one large entity referenced many times
        "hostile-deep-nesting.xml",  // deeper than the parser's limit
    };
    for (const char* dataFile : refused) {
        SCOPED_TRACE(dataFile);
        logSink->clear();
        install(dataFile);
        Dictionary description{{"Keep", "me"}};
        EXPECT_FALSE(parser->getUpdateInfo(description));
        EXPECT_EQ(description, (Dictionary{{"Keep", "me"}}));
        EXPECT_EQ(logSink->lines(), std::vector<std::string>{"init xmlDoc error!"});
    }

    SCOPED_TRACE("missing file");
    logSink->clear();
    ASSERT_TRUE(fs.removeItem(kDescriptionPath));
    Dictionary description{{"Keep", "me"}};
    EXPECT_FALSE(parser->getUpdateInfo(description));
    EXPECT_EQ(description, (Dictionary{{"Keep", "me"}}));
    EXPECT_TRUE(logSink->contains("init xmlDoc error!"));
}

TEST_F(DescriptionReaderTest, NeverLoadsExternalEntitiesOrDocumentTypes) {
    installData(fs, "hostile-secret.txt", "/secret.txt");
    installData(fs, "hostile-evil.dtd", "/evil.dtd");
    install("hostile-external-entity.xml");

    // The file is hostile indeed: a parser told to load and substitute takes the secret in.
    const std::string bytes = catalogueData("hostile-external-entity.xml", root.path());
    xmlSetGenericErrorFunc(nullptr, quiet); // its refused network fetch would be reported
    xmlDoc* loading = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                    XML_PARSE_NOENT | XML_PARSE_DTDLOAD | XML_PARSE_NONET |
                                        XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    ASSERT_NE(loading, nullptr);
    xmlChar* content = xmlNodeGetContent(xmlDocGetRootElement(loading));
    EXPECT_NE(std::string(reinterpret_cast<const char*>(content)).find("LEAKED-SECRET"),
              std::string::npos);
    xmlFree(content);
    xmlFreeDoc(loading);
    xmlSetGenericErrorFunc(nullptr, nullptr);

    Dictionary description;
    ASSERT_TRUE(parser->getUpdateInfo(description));
    EXPECT_EQ(description, (Dictionary{{"Flag", 1}, {"ErrMsg", "[][][]"}}));
}

TEST_F(DescriptionReaderTest, NullPathChangesNothing) {
    EXPECT_EQ(XMLParse::initWithFilePath(nullptr, fs, log, sound), nullptr);
    install("failure-without-errmsg.xml");
    Dictionary description;
    EXPECT_TRUE(parser->getUpdateInfo(description));
    EXPECT_EQ(description, (Dictionary{{"Flag", 1}}));
}

} // namespace
} // namespace tallowick::test
