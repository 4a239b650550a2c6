// Configuration, language tables and the wording of every window.

#include "core/UpdateControl.h"

namespace tallowick {

void UpdateControl::LoadCfgFile() {}

void UpdateControl::LoadLanguage(const std::optional<std::string>&, int) {}

std::string UpdateControl::MapLangString(const std::string& key) { return key; }

void UpdateControl::UpdateNibWording() {}

} // namespace tallowick
