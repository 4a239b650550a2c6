// The package table of the module selection window: the controller as its data source and
// delegate, and the click that ticks a package.

#include "core/UpdateControl.h"

namespace tallowick {

namespace {

const plist::Dictionary* entryAt(const plist::Array& list, int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= list.size())
        return nullptr;
    return list[static_cast<std::size_t>(row)].asDictionary();
}

} // namespace

int UpdateControl::numberOfRowsInTableView(platform::PackageTable&) {
    const int rows = static_cast<int>(m_PackageList.size());
    m_platform.log.NSLog("QN:The array number item:%d", rows);
    return rows;
}

plist::Value UpdateControl::tableViewObjectValueForTableColumnRow(platform::PackageTable&,
                                                                  const std::string& column,
                                                                  int row) {
    const plist::Dictionary* entry = entryAt(m_PackageList, row);
    if (!entry)
        return {};
    const plist::Value* value = entry->find(column);
    return value ? *value : plist::Value();
}

void UpdateControl::tableViewWillDisplayCellForTableColumnRow(platform::PackageTable&,
                                                              std::string& cellTitle,
                                                              const std::string& column, int row) {
    if (column != "checkstate")
        return;
    if (const plist::Dictionary* entry = entryAt(m_PackageList, row))
        cellTitle = entry->stringValue("Filename");
}

void UpdateControl::tableViewSelectionDidChange(platform::PackageTable&) {
    const plist::Dictionary* entry = entryAt(m_PackageList, m_PackageListView->selectedRow());
    if (entry)
        m_InfoView->setString(entry->stringValue("UpdateFile"));
}

// Every cell may be edited; no edit is ever stored, so the entries stay as they are.
bool UpdateControl::tableViewShouldEditTableColumnRow(platform::PackageTable&, const std::string&,
                                                      int) {
    return true;
}

void UpdateControl::clickcheck(platform::Control*) {
    const int row = m_PackageListView->clickedRow();
    const int column = m_PackageListView->clickedColumn();
    if (column < 0 || column != m_PackageListView->columnWithIdentifier("checkstate"))
        return;
    if (row < 0 || static_cast<std::size_t>(row) >= m_PackageList.size())
        return;
    plist::Dictionary* entry = m_PackageList[static_cast<std::size_t>(row)].asDictionary();
    if (!entry)
        return;
    entry->set("checkstate", !entry->boolValue("checkstate"));
    m_PackageListView->reloadData();

    bool anyTicked = false;
    for (const auto& item : m_PackageList) {
        const plist::Dictionary* e = item.asDictionary();
        if (e && e->boolValue("checkstate")) {
            anyTicked = true;
            m_platform.log.NSLog("the updateEnableValue:%d", 1);
        }
    }
    m_UpdateBtn->setEnabled(anyTicked);
}

} // namespace tallowick
