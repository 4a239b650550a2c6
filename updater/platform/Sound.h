#pragma once
// The system beep (NSBeep).

namespace tallowick::platform {

class Sound {
public:
    virtual ~Sound() = default;
    virtual void beep() = 0;
};

// Rings the terminal bell on standard error when it is a terminal.
class TerminalSound : public Sound {
public:
    void beep() override;
};

// Counts beeps, for tests.
class CountingSound : public Sound {
public:
    void beep() override { ++beeps; }
    int beeps = 0;
};

} // namespace tallowick::platform
