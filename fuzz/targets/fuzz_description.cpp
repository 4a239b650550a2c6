// Package descriptions: the reader of Description.xml, strict and tolerant parse, on any bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "catalogue/XMLParse.h"
#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "platform/Sound.h"

namespace {

constexpr const char* kPath = "/Description.xml";

struct Rig {
    Rig() : fs(makeRoot()) {}
    static std::string makeRoot() {
        std::string path =
            (std::filesystem::temp_directory_path() / "fuzz-description-XXXXXX").string();
        if (!::mkdtemp(path.data()))
            std::abort();
        return path;
    }
    tallowick::platform::FileSystem fs;
    tallowick::platform::Log log{std::make_shared<tallowick::platform::CaptureLogSink>()};
    tallowick::platform::CountingSound sound;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tallowick;
    static Rig rig;
    rig.fs.writeFileAtomically(kPath, std::string(reinterpret_cast<const char*>(data), size));
    XMLParse* reader = XMLParse::initWithFilePath(kPath, rig.fs, rig.log, rig.sound);
    plist::Dictionary description;
    reader->getUpdateInfo(description);
    (void)plist::toXml(plist::Value(description));
    return 0;
}
