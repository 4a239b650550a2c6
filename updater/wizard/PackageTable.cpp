// The package table of the module selection window: the controller as its data source.

#include "core/UpdateControl.h"

namespace tallowick {

int UpdateControl::numberOfRowsInTableView(platform::PackageTable&) { return 0; }

plist::Value UpdateControl::tableViewObjectValueForTableColumnRow(platform::PackageTable&,
                                                                 const std::string&, int) {
    return {};
}

void UpdateControl::tableViewWillDisplayCellForTableColumnRow(platform::PackageTable&,
                                                              std::string&, const std::string&,
                                                              int) {}

void UpdateControl::tableViewSelectionDidChange(platform::PackageTable&) {}

bool UpdateControl::tableViewShouldEditTableColumnRow(platform::PackageTable&, const std::string&,
                                                      int) {
    return true;
}

void UpdateControl::clickcheck(platform::Control*) {}

} // namespace tallowick
