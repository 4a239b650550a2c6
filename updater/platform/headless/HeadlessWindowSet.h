#pragma once
// The headless window set: controls that keep their state, write the trace, and can be
// clicked by a test or a scripted user as a person would (a hidden window's or a disabled
// button does nothing).

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/MainLoop.h"
#include "platform/WindowSet.h"
#include "platform/headless/Trace.h"

namespace tallowick::platform {

class HeadlessWindow;
class HeadlessButton;
class HeadlessPackageTable;

class HeadlessWindowSet {
public:
    // `onTerminate` runs when the application is terminated (the program ends its main loop).
    HeadlessWindowSet(MainLoop& loop, Trace& trace, std::function<void()> onTerminate = {});
    ~HeadlessWindowSet();

    const WindowSet& windowSet() const { return m_set; }

    Window* window(std::string_view name) const;
    Button* button(std::string_view name) const;
    PackageTable* table(std::string_view name) const;
    Control* control(std::string_view name) const;

    // A user's click on a button: false (and nothing happens) when the button is disabled or
    // its window is not visible.
    bool click(std::string_view buttonName);
    // A click in a table cell; a row or column outside the table is a click on no row/column.
    bool clickTable(std::string_view tableName, int row, std::string_view columnIdentifier);
    bool selectTableRow(std::string_view tableName, int row);
    bool editTableCell(std::string_view tableName, int row, std::string_view columnIdentifier,
                       std::string_view value);

    // The window a control sits in (none for windows).
    Window* windowOf(std::string_view controlName) const;
    bool terminated() const { return m_terminated; }

private:
    class HeadlessApplication;
    template <typename T> T* reachable(std::string_view name) const;
    MainLoop& m_loop;
    Trace& m_trace;
    std::map<std::string, std::unique_ptr<Control>, std::less<>> m_controls;
    std::map<std::string, std::string, std::less<>> m_parent;
    std::unique_ptr<HeadlessApplication> m_application;
    WindowSet m_set;
    bool m_terminated = false;
};

} // namespace tallowick::platform
