#include "platform/headless/HeadlessWindowSet.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tallowick::platform {

namespace {

// Every control is touched on the UI thread only; anything else is a fault in the caller,
// shown loudly rather than left to corrupt state.
void requireUIThread(const MainLoop& loop, const std::string& name) {
    if (!loop.isUIThread()) {
        std::fprintf(stderr, "headless window set: %s used off the UI thread\n", name.c_str());
        std::abort();
    }
}

std::string formatNumber(double v) {
    char buf[32];
    if (std::floor(v) == v && std::fabs(v) < 1e15)
        std::snprintf(buf, sizeof buf, "%.0f", v);
    else
        std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

class Base {
public:
    Base(std::string name, MainLoop& loop, Trace& trace)
        : m_name(std::move(name)), m_loop(loop), m_trace(trace) {}

protected:
    void touch() const { requireUIThread(m_loop, m_name); }
    void emit(const std::string& rest) const { m_trace.write(m_name + " " + rest); }

    std::string m_name;
    MainLoop& m_loop;
    Trace& m_trace;
};

} // namespace

class HeadlessWindow : public Window, Base {
public:
    using Base::Base;
    const std::string& name() const override { return m_name; }
    void orderFrontRegardless() override {
        touch();
        m_visible = true;
        emit("front");
    }
    void orderOut() override {
        touch();
        if (!m_visible)
            return;
        m_visible = false;
        emit("hidden");
    }
    void makeKeyWindow() override {
        touch();
        emit("key");
    }
    bool isVisible() const override { return m_visible; }
    void setTitle(std::string_view title) override {
        touch();
        if (m_title == title)
            return;
        m_title = title;
        emit("title=" + Trace::quote(m_title));
    }
    std::string title() const override { return m_title; }

    void showAsSheet(const Window& on) {
        touch();
        m_visible = true;
        emit("sheet begin on=" + on.name());
    }
    void endSheet() {
        touch();
        emit("sheet end");
    }

private:
    bool m_visible = false;
    std::string m_title;
};

class HeadlessButton : public Button, Base {
public:
    using Base::Base;
    const std::string& name() const override { return m_name; }
    void setTitle(std::string_view title) override {
        touch();
        if (m_title == title)
            return;
        m_title = title;
        emitState();
    }
    std::string title() const override { return m_title; }
    void setEnabled(bool enabled) override {
        touch();
        if (m_enabled == enabled)
            return;
        m_enabled = enabled;
        emitState();
    }
    bool isEnabled() const override { return m_enabled; }
    void setAction(Action action) override { m_action = std::move(action); }
    void press() {
        touch();
        emit("clicked");
        if (m_action)
            m_action();
    }

private:
    void emitState() const {
        emit("title=" + Trace::quote(m_title) + " enabled=" + (m_enabled ? "1" : "0"));
    }
    std::string m_title;
    bool m_enabled = true;
    Action m_action;
};

class HeadlessTextView : public TextView, Base {
public:
    using Base::Base;
    const std::string& name() const override { return m_name; }
    void setString(std::string_view text) override {
        touch();
        if (m_text == text)
            return;
        m_text = text;
        emit("text=" + Trace::quote(m_text));
    }
    std::string string() const override { return m_text; }

private:
    std::string m_text;
};

class HeadlessLabel : public Label, Base {
public:
    using Base::Base;
    const std::string& name() const override { return m_name; }
    void setStringValue(std::string_view text) override {
        touch();
        if (m_text == text)
            return;
        m_text = text;
        emitState();
    }
    std::string stringValue() const override { return m_text; }
    void setTextColor(NamedColor color) override {
        touch();
        if (m_color == color)
            return;
        m_color = color;
        emitState();
    }
    NamedColor textColor() const override { return m_color; }

private:
    void emitState() const {
        emit("text=" + Trace::quote(m_text) + " color=" + colorName(m_color));
    }
    std::string m_text;
    NamedColor m_color = NamedColor::Black;
};

class HeadlessProgressBar : public ProgressBar, Base {
public:
    using Base::Base;
    const std::string& name() const override { return m_name; }
    void setDoubleValue(double value) override {
        touch();
        if (m_value == value)
            return;
        m_value = value;
        emit("value=" + formatNumber(m_value));
    }
    double doubleValue() const override { return m_value; }
    void displayIfNeeded() override {
        touch();
        emit("redraw value=" + formatNumber(m_value));
    }

private:
    double m_value = 0;
};

class HeadlessPackageTable : public PackageTable, Base {
public:
    HeadlessPackageTable(std::string name, MainLoop& loop, Trace& trace) : Base(name, loop, trace) {
        for (auto id : kPackageTableColumns)
            m_columns.emplace_back(id);
    }
    const std::string& name() const override { return m_name; }
    void setDataSource(TableDataSource* source) override { m_source = source; }
    void setAction(Action action) override { m_action = std::move(action); }

    void reloadData() override {
        touch();
        m_rows = m_source ? m_source->numberOfRowsInTableView(*this) : 0;
        emit("reload rows=" + std::to_string(m_rows));
        for (int row = 0; row < m_rows; ++row)
            emit(describeRow(row));
    }
    void deselectAll() override {
        touch();
        if (m_selected == -1)
            return;
        m_selected = -1;
        emit("selected row=-1");
        if (m_source)
            m_source->tableViewSelectionDidChange(*this);
    }
    int selectedRow() const override { return m_selected; }
    int clickedRow() const override { return m_clickedRow; }
    int clickedColumn() const override { return m_clickedColumn; }
    int columnWithIdentifier(std::string_view identifier) const override {
        for (std::size_t i = 0; i < m_columns.size(); ++i)
            if (m_columns[i] == identifier)
                return static_cast<int>(i);
        return -1;
    }
    std::string columnIdentifier(int column) const override {
        if (column < 0 || static_cast<std::size_t>(column) >= m_columns.size())
            return {};
        return m_columns[static_cast<std::size_t>(column)];
    }
    void setColumnHeader(std::string_view identifier, std::string_view title) override {
        touch();
        auto& current = m_headers[std::string(identifier)];
        if (current == title)
            return;
        current = title;
        emit("header " + std::string(identifier) + "=" + Trace::quote(current));
    }

    // A click as a user makes it: the row and column hit (or -1), then the table's action.
    void click(int row, std::string_view columnIdentifier) {
        touch();
        m_clickedRow = (row >= 0 && row < m_rows) ? row : -1;
        m_clickedColumn = m_clickedRow >= 0 ? columnWithIdentifier(columnIdentifier) : -1;
        if (m_clickedRow < 0)
            m_clickedColumn = columnWithIdentifier(columnIdentifier);
        emit("click row=" + std::to_string(m_clickedRow) +
             " column=" + std::to_string(m_clickedColumn));
        // A click on a row selects it, as the table does before sending its action.
        if (m_clickedRow >= 0)
            select(m_clickedRow);
        if (m_action)
            m_action();
        // The clicked cell is redrawn with the data source's current value.
        if (m_clickedRow >= 0 && m_clickedRow < m_rows)
            emit(describeRow(m_clickedRow));
    }
    // A user's edit of a cell: allowed when the delegate agrees; the data source has no
    // operation that stores a value, so the cell shows the stored value again afterwards.
    bool edit(int row, std::string_view columnIdentifier, std::string_view value) {
        touch();
        if (row < 0 || row >= m_rows || columnWithIdentifier(columnIdentifier) < 0 || !m_source ||
            !m_source->tableViewShouldEditTableColumnRow(*this, std::string(columnIdentifier), row))
            return false;
        emit("edit row=" + std::to_string(row) + " column=" + std::string(columnIdentifier) +
             " value=" + Trace::quote(value));
        emit(describeRow(row));
        return true;
    }
    void select(int row) {
        touch();
        const int newRow = (row >= 0 && row < m_rows) ? row : -1;
        if (newRow == m_selected)
            return;
        m_selected = newRow;
        emit("selected row=" + std::to_string(m_selected));
        if (m_source)
            m_source->tableViewSelectionDidChange(*this);
    }

private:
    std::string describeRow(int row) {
        std::string line = "row=" + std::to_string(row);
        for (const auto& column : m_columns) {
            const plist::Value value =
                m_source->tableViewObjectValueForTableColumnRow(*this, column, row);
            if (column == "checkstate") {
                std::string title;
                m_source->tableViewWillDisplayCellForTableColumnRow(*this, title, column, row);
                line += " checkstate=" + std::string(value.boolValue() ? "1" : "0") +
                        " title=" + Trace::quote(title);
            } else {
                line += " " + column + "=" + Trace::quote(value.stringValue());
            }
        }
        return line;
    }

    std::vector<std::string> m_columns;
    std::map<std::string, std::string> m_headers;
    TableDataSource* m_source = nullptr;
    Action m_action;
    int m_rows = 0;
    int m_selected = -1;
    int m_clickedRow = -1;
    int m_clickedColumn = -1;
};

class HeadlessWindowSet::HeadlessApplication : public Application {
public:
    HeadlessApplication(HeadlessWindowSet& owner) : m_owner(owner) {}
    void beginSheet(Window& sheet, Window& modalFor) override {
        static_cast<HeadlessWindow&>(sheet).showAsSheet(modalFor);
    }
    void endSheet(Window& sheet) override { static_cast<HeadlessWindow&>(sheet).endSheet(); }
    void terminate() override {
        requireUIThread(m_owner.m_loop, "application");
        m_owner.m_trace.write("application terminate");
        m_owner.m_terminated = true;
        if (m_onTerminate)
            m_onTerminate();
    }
    std::function<void()> m_onTerminate;

private:
    HeadlessWindowSet& m_owner;
};

HeadlessWindowSet::HeadlessWindowSet(MainLoop& loop, Trace& trace,
                                     std::function<void()> onTerminate)
    : m_loop(loop), m_trace(trace), m_application(std::make_unique<HeadlessApplication>(*this)) {
    m_application->m_onTerminate = std::move(onTerminate);
    auto make = [&](auto tag, const char* name) {
        using T = typename decltype(tag)::type;
        auto control = std::make_unique<T>(name, loop, trace);
        T* raw = control.get();
        m_controls.emplace(name, std::move(control));
        return raw;
    };
    struct W {
        using type = HeadlessWindow;
    };
    struct B {
        using type = HeadlessButton;
    };
    struct V {
        using type = HeadlessTextView;
    };
    struct L {
        using type = HeadlessLabel;
    };
    struct P {
        using type = HeadlessProgressBar;
    };
    struct T {
        using type = HeadlessPackageTable;
    };
#define MAKE_WINDOW(name) m_set.name = make(W{}, #name);
#define MAKE_BUTTON(name) m_set.name = make(B{}, #name);
#define MAKE_TEXTVIEW(name) m_set.name = make(V{}, #name);
#define MAKE_LABEL(name) m_set.name = make(L{}, #name);
#define MAKE_BAR(name) m_set.name = make(P{}, #name);
#define MAKE_TABLE(name) m_set.name = make(T{}, #name);
    TALLOWICK_WINDOWS(MAKE_WINDOW)
    TALLOWICK_BUTTONS(MAKE_BUTTON)
    TALLOWICK_TEXTVIEWS(MAKE_TEXTVIEW)
    TALLOWICK_LABELS(MAKE_LABEL)
    TALLOWICK_PROGRESSBARS(MAKE_BAR)
    TALLOWICK_TABLES(MAKE_TABLE)
#undef MAKE_WINDOW
#undef MAKE_BUTTON
#undef MAKE_TEXTVIEW
#undef MAKE_LABEL
#undef MAKE_BAR
#undef MAKE_TABLE
    m_set.application = m_application.get();

    const std::pair<const char*, std::vector<const char*>> layout[] = {
        {"m_WaitWnd", {"m_WaitInfoView", "m_WaitOKBtn"}},
        {"m_UpdateInfoWnd", {"m_PackageInfoView", "m_InfoCancelBtn", "m_InfoNextBtn"}},
        {"m_ModuleSelWnd",
         {"m_InfoView", "m_PackageListView", "m_UpdateBtn", "m_SelBackBtn", "m_SelCancelBtn"}},
        {"m_UpdateWnd",
         {"m_OKCancelBtn", "m_ProcessInfoView", "m_ProcessBar", "m_ElapseTime", "m_DownLoadText",
          "m_UpdateFWText", "m_UpdateUIText", "m_UpdateEndText"}},
        {"m_FirmwareCancelWnd", {"m_ModemText", "m_FirmwareCancelBtn"}},
        {"m_CloseUIWnd", {"m_CloseUIText", "m_CloseUIOK", "m_CloseUICancel"}},
        {"m_MakeSureModemWnd", {"m_MakeSureText", "m_MakeSureOKBtn", "m_MakeSureCancelBtn"}},
        {"m_ReInsertModemWnd", {"m_ReInsertModemText", "m_ReInsertModemOK"}},
    };
    for (const auto& [windowName, children] : layout)
        for (const char* child : children)
            m_parent.emplace(child, windowName);
}

HeadlessWindowSet::~HeadlessWindowSet() = default;

Control* HeadlessWindowSet::control(std::string_view name) const {
    auto it = m_controls.find(name);
    return it == m_controls.end() ? nullptr : it->second.get();
}

Window* HeadlessWindowSet::window(std::string_view name) const {
    return dynamic_cast<Window*>(control(name));
}

Button* HeadlessWindowSet::button(std::string_view name) const {
    return dynamic_cast<Button*>(control(name));
}

PackageTable* HeadlessWindowSet::table(std::string_view name) const {
    return dynamic_cast<PackageTable*>(control(name));
}

Window* HeadlessWindowSet::windowOf(std::string_view controlName) const {
    auto it = m_parent.find(controlName);
    return it == m_parent.end() ? nullptr : window(it->second);
}

// The control with this name when its window is on screen, as a user could reach it.
template <typename T> T* HeadlessWindowSet::reachable(std::string_view name) const {
    auto* c = dynamic_cast<T*>(control(name));
    Window* w = windowOf(name);
    return (c && w && w->isVisible()) ? c : nullptr;
}

bool HeadlessWindowSet::click(std::string_view buttonName) {
    auto* b = reachable<HeadlessButton>(buttonName);
    if (!b || !b->isEnabled())
        return false;
    b->press();
    return true;
}

bool HeadlessWindowSet::clickTable(std::string_view tableName, int row,
                                   std::string_view columnIdentifier) {
    auto* t = reachable<HeadlessPackageTable>(tableName);
    if (!t)
        return false;
    t->click(row, columnIdentifier);
    return true;
}

bool HeadlessWindowSet::editTableCell(std::string_view tableName, int row,
                                      std::string_view columnIdentifier, std::string_view value) {
    auto* t = reachable<HeadlessPackageTable>(tableName);
    return t && t->edit(row, columnIdentifier, value);
}

bool HeadlessWindowSet::selectTableRow(std::string_view tableName, int row) {
    auto* t = reachable<HeadlessPackageTable>(tableName);
    if (!t)
        return false;
    t->select(row);
    return true;
}

} // namespace tallowick::platform
