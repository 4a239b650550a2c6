#pragma once
// The window set's controls, as the logic drives them. Each control is known by the name of
// the controller field that refers to it (m_WaitOKBtn, m_ProcessBar, ...).

#include <functional>
#include <string>
#include <string_view>

#include "platform/Plist.h"

namespace tallowick::platform {

class Control {
public:
    virtual ~Control() = default;
    virtual const std::string& name() const = 0;
};

class Window : public Control {
public:
    virtual void orderFrontRegardless() = 0;
    virtual void orderOut() = 0;
    virtual void makeKeyWindow() = 0;
    virtual bool isVisible() const = 0;
    virtual void setTitle(std::string_view title) = 0;
    virtual std::string title() const = 0;
};

class Button : public Control {
public:
    using Action = std::function<void()>;
    virtual void setTitle(std::string_view title) = 0;
    virtual std::string title() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    // The target-action connection of the interface description.
    virtual void setAction(Action action) = 0;
};

class TextView : public Control {
public:
    virtual void setString(std::string_view text) = 0;
    virtual std::string string() const = 0;
};

// NSColor's named colours used by the step labels.
enum class NamedColor { Black, Gray, Magenta, Purple };
const char* colorName(NamedColor color);

class Label : public Control {
public:
    virtual void setStringValue(std::string_view text) = 0;
    virtual std::string stringValue() const = 0;
    virtual void setTextColor(NamedColor color) = 0;
    virtual NamedColor textColor() const = 0;
};

class ProgressBar : public Control {
public:
    virtual void setDoubleValue(double value) = 0;
    virtual double doubleValue() const = 0;
    // Redraws the bar at once.
    virtual void displayIfNeeded() = 0;
};

class PackageTable;

// The table's data source and delegate (the controller).
class TableDataSource {
public:
    virtual ~TableDataSource() = default;
    virtual int numberOfRowsInTableView(PackageTable& table) = 0;
    virtual plist::Value tableViewObjectValueForTableColumnRow(PackageTable& table,
                                                               const std::string& column,
                                                               int row) = 0;
    // Lets the delegate set the tick column's cell title before the cell is shown.
    virtual void tableViewWillDisplayCellForTableColumnRow(PackageTable& table,
                                                           std::string& cellTitle,
                                                           const std::string& column, int row) = 0;
    virtual void tableViewSelectionDidChange(PackageTable& table) = 0;
    virtual bool tableViewShouldEditTableColumnRow(PackageTable& table, const std::string& column,
                                                   int row) = 0;
};

class PackageTable : public Control {
public:
    using Action = std::function<void()>;
    virtual void setDataSource(TableDataSource* source) = 0;
    // setTarget:/setAction: — sent on every click in the table.
    virtual void setAction(Action action) = 0;
    virtual void reloadData() = 0;
    virtual void deselectAll() = 0;
    virtual int selectedRow() const = 0;
    virtual int clickedRow() const = 0;
    virtual int clickedColumn() const = 0;
    // Index of the column with this identifier, or -1.
    virtual int columnWithIdentifier(std::string_view identifier) const = 0;
    virtual std::string columnIdentifier(int column) const = 0;
    virtual void setColumnHeader(std::string_view identifier, std::string_view title) = 0;
};

} // namespace tallowick::platform
