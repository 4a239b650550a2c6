#pragma once
// The XML files the agent reads and writes: the server's description of a device type's
// packages, the failure-form description it writes when a check finds none, and the user's
// selection that the program writes before a download.

#include <string>
#include <string_view>
#include <vector>

namespace tallowick::agent {

struct ServerDescription {
    bool wellFormed = false;
    bool failureForm = false;           // it holds a Flag element
    std::vector<std::string> filenames; // the Filename of each UpdateFile, in document order
};

// Parses strictly, without network access or entity substitution.
ServerDescription readServerDescription(std::string_view bytes);

// A description in the failure form: a Flag element and an ErrMsg element.
std::string failureDescription(int flag, const std::string& errMsg);

struct Selection {
    bool ok = false;
    std::string error;
    std::vector<std::string> filenames; // the Filename of each UpdateFile, duplicates dropped
};

// Reads UserSelection.xml: UpdateConfig / UpdateFiles / UpdateFile elements with a Filename
// attribute. A document type declaration is refused: the program never writes one.
Selection readSelection(std::string_view bytes);

// A name that can stand as one path component on the server, in a URL and in the download
// folder: letters, digits, ".", "_", "+" and "-", not beginning with ".", at most 255 bytes.
bool isPlainName(std::string_view name);

} // namespace tallowick::agent
