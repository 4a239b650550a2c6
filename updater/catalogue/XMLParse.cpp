#include "catalogue/XMLParse.h"

#include <memory>

namespace tallowick {

namespace {
const char* gXMLFilePath = nullptr;
std::unique_ptr<XMLParse> gXMLParse;
} // namespace

XMLParse* XMLParse::initWithFilePath(const char* path, const platform::FileSystem& fileSystem,
                                     platform::Log& log) {
    if (!gXMLParse)
        gXMLParse.reset(new XMLParse());
    if (path)
        gXMLFilePath = path;
    gXMLParse->m_fileSystem = &fileSystem;
    gXMLParse->m_log = &log;
    return gXMLParse.get();
}

bool XMLParse::getUpdateInfo(plist::Dictionary&) { return gXMLFilePath != nullptr && false; }

bool XMLParse::createResult(const std::string&, const plist::Dictionary&) { return false; }

} // namespace tallowick
