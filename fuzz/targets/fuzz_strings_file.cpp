// Language files: the strings-file reader on any bytes.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/Utf8.h"
#include "localisation/StringsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tallowick;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto table = parseStringsFile(bytes)) {
        // Every text the reader hands out is well-formed UTF-8.
        for (const auto& [key, text] : *table)
            if (!isValidUtf8(key) || !isValidUtf8(text))
                __builtin_trap();
    }
    return 0;
}
