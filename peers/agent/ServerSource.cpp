#include "ServerSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <curl/curl.h>

namespace tallowick::agent {

namespace {

std::string joined(std::string base, const std::string& relative) {
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + "/" + relative;
}

// A folder under the root mapping.
class FolderSource final : public ServerSource {
public:
    FolderSource(std::string folder, const platform::FileSystem& fs)
        : m_folder(std::move(folder)), m_fs(fs) {}

    Outcome fetch(const std::string& relative, std::size_t limit, std::string& bytes,
                  std::string& error, const Cancelled&) override {
        FileInfo info;
        int fd = -1;
        if (const Outcome o = open(relative, fd, info, error); o != Outcome::Ok)
            return o;
        if (info.size > limit) {
            ::close(fd);
            error = path(relative) + " is larger than " + std::to_string(limit) + " bytes";
            return Outcome::Failed;
        }
        bytes.clear();
        const Outcome o = readAll(
            fd, 0, limit + 1,
            [&](const char* d, std::size_t n) {
                bytes.append(d, n);
                return bytes.size() <= limit;
            },
            error, [] { return false; });
        ::close(fd);
        return o;
    }

    Outcome stat(const std::string& relative, FileInfo& info, std::string& error,
                 const Cancelled&) override {
        int fd = -1;
        const Outcome o = open(relative, fd, info, error);
        if (fd >= 0)
            ::close(fd);
        return o;
    }

    Outcome stream(const std::string& relative, std::uint64_t offset, std::size_t pieceBytes,
                   const Sink& sink, std::string& error, const Cancelled& cancelled) override {
        FileInfo info;
        int fd = -1;
        if (const Outcome o = open(relative, fd, info, error); o != Outcome::Ok)
            return o;
        const Outcome o = readAll(fd, offset, pieceBytes, sink, error, cancelled);
        ::close(fd);
        return o;
    }

private:
    std::string path(const std::string& relative) const { return joined(m_folder, relative); }

    Outcome open(const std::string& relative, int& fd, FileInfo& info, std::string& error) {
        const std::string host = m_fs.resolve(path(relative));
        fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = "cannot open " + host + ": " + std::strerror(errno);
            return errno == ENOENT || errno == ENOTDIR ? Outcome::NotFound : Outcome::Failed;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            fd = -1;
            error = host + " is not a file";
            return Outcome::NotFound;
        }
        info.size = static_cast<std::uint64_t>(st.st_size);
        info.identity = host + " " + std::to_string(info.size) + " " +
                        std::to_string(st.st_mtim.tv_sec) + "." +
                        std::to_string(st.st_mtim.tv_nsec);
        return Outcome::Ok;
    }

    static Outcome readAll(int fd, std::uint64_t offset, std::size_t pieceBytes, const Sink& sink,
                           std::string& error, const Cancelled& cancelled) {
        std::vector<char> buffer(pieceBytes > 0 ? pieceBytes : 1);
        auto at = static_cast<off_t>(offset);
        for (;;) {
            if (cancelled())
                return Outcome::Cancelled;
            const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = std::string("read error: ") + std::strerror(errno);
                return Outcome::Failed;
            }
            if (n == 0)
                return Outcome::Ok;
            at += n;
            if (!sink(buffer.data(), static_cast<std::size_t>(n)))
                return Outcome::Stopped;
        }
    }

    std::string m_folder;
    const platform::FileSystem& m_fs;
};

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// One transfer through libcurl's multi interface, so that the cancel test is polled every
// few milliseconds even while the server sends nothing.
class Transfer {
public:
    explicit Transfer(const std::string& url) : m_easy(curl_easy_init()) {
        if (!m_easy)
            return;
        curl_easy_setopt(m_easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "http,https,file");
        curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_easy, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT, 10L);
        // A server that stops sending for a minute has failed the transfer.
        curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_TIME, 60L);
        // The server is named in the settings; no proxy from the environment stands between.
        curl_easy_setopt(m_easy, CURLOPT_PROXY, "");
        curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_errorText);
        curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &Transfer::onData);
        curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    }
    ~Transfer() {
        if (m_easy)
            curl_easy_cleanup(m_easy);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    CURL* easy() const { return m_easy; }
    // Bytes at the start of the body to drop: a server that ignores a range request sends
    // the whole file.
    void setSkip(std::uint64_t bytes) { m_skip = bytes; }
    void setSink(ServerSource::Sink sink) { m_sink = std::move(sink); }

    Outcome run(std::string& error, const ServerSource::Cancelled& cancelled) {
        if (!m_easy) {
            error = "libcurl could not start a transfer";
            return Outcome::Failed;
        }
        CURLM* multi = curl_multi_init();
        if (!multi) {
            error = "libcurl could not start a transfer";
            return Outcome::Failed;
        }
        curl_multi_add_handle(multi, m_easy);
        Outcome outcome = Outcome::Ok;
        CURLcode code = CURLE_OK;
        int running = 1;
        while (running) {
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                outcome = Outcome::Failed;
                break;
            }
            if (cancelled()) {
                outcome = Outcome::Cancelled;
                break;
            }
            if (running && curl_multi_poll(multi, nullptr, 0, 50, nullptr) != CURLM_OK) {
                outcome = Outcome::Failed;
                break;
            }
        }
        if (outcome == Outcome::Ok) {
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &left))
                if (msg->msg == CURLMSG_DONE)
                    code = msg->data.result;
        }
        curl_multi_remove_handle(multi, m_easy);
        curl_multi_cleanup(multi);
        if (outcome != Outcome::Ok) {
            if (outcome == Outcome::Failed)
                error = "libcurl failed";
            return outcome;
        }
        if (m_sinkStopped)
            return Outcome::Stopped;
        if (code == CURLE_OK)
            return Outcome::Ok;
        long status = 0;
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
        error = m_errorText[0] ? m_errorText : curl_easy_strerror(code);
        if ((code == CURLE_HTTP_RETURNED_ERROR && (status == 404 || status == 410)) ||
            code == CURLE_FILE_COULDNT_READ_FILE || code == CURLE_REMOTE_FILE_NOT_FOUND)
            return Outcome::NotFound;
        return Outcome::Failed;
    }

private:
    static std::size_t onData(char* data, std::size_t size, std::size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        std::size_t n = size * count;
        const std::size_t taken = n;
        if (t->m_skip > 0) {
            const auto drop = static_cast<std::size_t>(std::min<std::uint64_t>(t->m_skip, n));
            t->m_skip -= drop;
            data += drop;
            n -= drop;
        }
        if (n > 0 && t->m_sink && !t->m_sink(data, n)) {
            t->m_sinkStopped = true;
            return 0; // makes libcurl end the transfer
        }
        return taken;
    }

    CURL* m_easy;
    char m_errorText[CURL_ERROR_SIZE] = {};
    std::uint64_t m_skip = 0;
    ServerSource::Sink m_sink;
    bool m_sinkStopped = false;
};

class CurlSource final : public ServerSource {
public:
    explicit CurlSource(std::string base) : m_base(std::move(base)) { initCurlOnce(); }

    Outcome fetch(const std::string& relative, std::size_t limit, std::string& bytes,
                  std::string& error, const Cancelled& cancelled) override {
        Transfer t(joined(m_base, relative));
        bytes.clear();
        bool tooLarge = false;
        t.setSink([&](const char* d, std::size_t n) {
            tooLarge = bytes.size() + n > limit;
            if (!tooLarge)
                bytes.append(d, n);
            return !tooLarge;
        });
        const Outcome o = t.run(error, cancelled);
        if (tooLarge) {
            error =
                joined(m_base, relative) + " is larger than " + std::to_string(limit) + " bytes";
            return Outcome::Failed;
        }
        return o;
    }

    Outcome stat(const std::string& relative, FileInfo& info, std::string& error,
                 const Cancelled& cancelled) override {
        const std::string url = joined(m_base, relative);
        Transfer t(url);
        curl_easy_setopt(t.easy(), CURLOPT_NOBODY, 1L);
        curl_easy_setopt(t.easy(), CURLOPT_FILETIME, 1L);
        const Outcome o = t.run(error, cancelled);
        if (o != Outcome::Ok)
            return o;
        curl_off_t length = -1;
        curl_off_t time = -1;
        curl_easy_getinfo(t.easy(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        curl_easy_getinfo(t.easy(), CURLINFO_FILETIME_T, &time);
        if (length < 0) {
            error = url + ": the server does not tell the file's size";
            return Outcome::Failed;
        }
        info.size = static_cast<std::uint64_t>(length);
        info.identity = url + " " + std::to_string(length) + " " + std::to_string(time);
        return Outcome::Ok;
    }

    Outcome stream(const std::string& relative, std::uint64_t offset, std::size_t, const Sink& sink,
                   std::string& error, const Cancelled& cancelled) override {
        Transfer t(joined(m_base, relative));
        const bool http = m_base.rfind("file:", 0) != 0;
        bool checked = offset == 0 || !http;
        if (offset > 0)
            curl_easy_setopt(t.easy(), CURLOPT_RANGE, (std::to_string(offset) + "-").c_str());
        t.setSink([&](const char* d, std::size_t n) {
            if (!checked) {
                // A whole file instead of the range asked for: drop what we already have.
                checked = true;
                long status = 0;
                curl_easy_getinfo(t.easy(), CURLINFO_RESPONSE_CODE, &status);
                if (status == 200) {
                    const auto drop = static_cast<std::size_t>(std::min<std::uint64_t>(offset, n));
                    t.setSkip(offset - drop);
                    d += drop;
                    n -= drop;
                    if (n == 0)
                        return true;
                }
            }
            return sink(d, n);
        });
        return t.run(error, cancelled);
    }

private:
    std::string m_base;
};

} // namespace

std::unique_ptr<ServerSource> makeServerSource(const std::string& location,
                                               const platform::FileSystem& fs, std::string& error) {
    if (location.empty()) {
        error = "the settings name no server location ([Server] Location=)";
        return nullptr;
    }
    const std::size_t scheme = location.find("://");
    if (scheme == std::string::npos)
        return std::make_unique<FolderSource>(location, fs);
    const std::string kind = location.substr(0, scheme);
    if (kind == "file" || kind == "http" || kind == "https")
        return std::make_unique<CurlSource>(location);
    error = "the server location \"" + location +
            "\" is neither a folder nor a file, http or https address";
    return nullptr;
}

} // namespace tallowick::agent
