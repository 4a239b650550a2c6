#pragma once
// The package description reader and the user selection writer: one shared instance serves
// the whole program.

#include <string>

#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "platform/Plist.h"
#include "platform/Sound.h"

struct _xmlDoc;

namespace tallowick {

class XMLParse {
public:
    // Sets the description file's path and gives the shared instance (created on first use).
    // The path is kept, not copied: the caller passes a constant. A null path gives null and
    // changes nothing. The services of the latest call are the ones the instance works through.
    static XMLParse* initWithFilePath(const char* path, const platform::FileSystem& fileSystem,
                                      platform::Log& log, platform::Sound& sound);

    // Fills the package description dictionary from the description file, adding and
    // replacing keys only; false when no path is set or the file cannot be parsed (the
    // dictionary is then untouched).
    bool getUpdateInfo(plist::Dictionary& description);

    // Writes the user selection file for the agent; false when writing failed. The
    // selection's entries are left as they are.
    bool createResult(const std::string& path, const plist::Dictionary& selection);
    // Serialises the document pretty-printed and writes it atomically; on failure beeps,
    // logs and gives false. The third argument is not used.
    bool writeToFile(_xmlDoc* document, const std::string& path, const void* unused = nullptr);

private:
    XMLParse() = default;
    const platform::FileSystem* m_fileSystem = nullptr;
    platform::Log* m_log = nullptr;
    platform::Sound* m_sound = nullptr;
};

} // namespace tallowick
