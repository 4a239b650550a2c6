#pragma once
// Where the agent reads the update server from: a folder under the root, or a file:// or
// http(s):// address read through libcurl. Every long operation polls a cancel test, so a
// stop or an unload never waits on a slow or silent server.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace tallowick::agent {

enum class Outcome { Ok, NotFound, Failed, Cancelled, Stopped };

struct FileInfo {
    std::uint64_t size = 0;
    // Changes whenever the file does (its address, size and modification time): a partial
    // download is resumed only when the identity it was started with still holds.
    std::string identity;
};

class ServerSource {
public:
    using Cancelled = std::function<bool()>;
    // Takes the next piece of a file; false stops the transfer (Outcome::Stopped).
    using Sink = std::function<bool(const char* data, std::size_t size)>;

    virtual ~ServerSource() = default;
    // The whole of a small file, refused when it is larger than `limit`.
    virtual Outcome fetch(const std::string& relative, std::size_t limit, std::string& bytes,
                          std::string& error, const Cancelled& cancelled) = 0;
    virtual Outcome stat(const std::string& relative, FileInfo& info, std::string& error,
                         const Cancelled& cancelled) = 0;
    // The file from `offset` to its end, in pieces of at most `pieceBytes` where the source
    // decides the size.
    virtual Outcome stream(const std::string& relative, std::uint64_t offset,
                           std::size_t pieceBytes, const Sink& sink, std::string& error,
                           const Cancelled& cancelled) = 0;
};

// A folder path (under the root), "file://..." or "http(s)://...". None, with the reason,
// when the location is empty or of another kind.
std::unique_ptr<ServerSource> makeServerSource(const std::string& location,
                                               const platform::FileSystem& fs, std::string& error);

} // namespace tallowick::agent
