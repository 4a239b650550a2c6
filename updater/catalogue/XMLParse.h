#pragma once
// The package description reader and the user selection writer: one shared instance serves
// the whole program.

#include <string>

#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "platform/Plist.h"

namespace tallowick {

class XMLParse {
public:
    // Sets the description file's path and gives the shared instance (created on first use).
    // The file system and log of the latest call are the ones the instance works through.
    static XMLParse* initWithFilePath(const char* path, const platform::FileSystem& fileSystem,
                                      platform::Log& log);

    // Fills the package description dictionary from the description file; false when no
    // path is set or the file cannot be parsed (the dictionary is then untouched).
    bool getUpdateInfo(plist::Dictionary& description);
    // Writes the user selection file for the agent; false when writing failed.
    bool createResult(const std::string& path, const plist::Dictionary& selection);

private:
    XMLParse() = default;
    const platform::FileSystem* m_fileSystem = nullptr;
    platform::Log* m_log = nullptr;
};

} // namespace tallowick
