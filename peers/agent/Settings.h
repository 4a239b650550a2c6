#pragma once
// The agent's settings file: where the update server lives, how downloads are cut into
// chunks, where the call journal goes, and the fault switches that tests use to make the
// agent misbehave in each way the program must survive.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallowick::agent {

inline constexpr const char* kDefaultSettingsPath =
    "/System/Library/ModemList/Update/UpdateCfg.ini";
inline constexpr const char* kDownloadFolder = "/System/Library/Auto_Update/download";
inline constexpr std::size_t kDefaultChunkBytes = 64 * 1024;

struct Faults {
    bool neverReport = false;            // NeverReport: a check makes no callback at all
    bool newVersionBeforeStates = false; // NewVersionBeforeStates: the result, then the states
    std::optional<int> checkFlag;        // CheckFlag: answer every check with this Flag
    std::string checkErrMsg;             // CheckErrMsg: its ErrMsg text
    int checkDelayMs = 0;                // CheckDelayMs: pause after each check state
    std::optional<int> finalState;       // FinalState: end the check with this state, no result
    bool missingDescription = false;     // MissingDescription: report without Description.xml
    std::optional<int> failDownloadAtPercent; // FailDownloadAtPercent: fail on reaching it
    int slowChunkMs = 0;                      // SlowChunkMs: pause after each chunk
    int callbackStorm = 0;                    // CallbackStorm: extra progress reports per chunk
    int repeatDownloadFinished = 0;           // RepeatDownloadFinished: extra end reports
    bool reportDownloadStates = false;        // ReportDownloadStates: states 3, then 4 or 5
};

struct Settings {
    std::string location;                        // [Server] Location
    std::size_t chunkBytes = kDefaultChunkBytes; // [Download] ChunkBytes
    std::string journal;                         // [Log] Journal
    Faults faults;                               // [Faults]
    // One line per entry that was not understood and therefore left at its default.
    std::vector<std::string> problems;
};

// Reads an INI text: "[Section]" lines, "Key=Value" lines, and comment lines that begin with
// ";" or "#". Section and key names are matched without regard to case; names and values are
// trimmed of blanks.
Settings parseSettings(std::string_view text);

} // namespace tallowick::agent
