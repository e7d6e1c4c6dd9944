#pragma once

#include <QDate>
#include <QUrl>

class SettingsStore;

// Where the online upgrade looks and what it compares with.
namespace UpgradeSettings {

// The date of this release, set once in the build; an information file
// must carry a later date to offer an upgrade.
QDate releaseDate();

// The maker's information file.
QUrl defaultInfoUrl();
// The preference that names another information file (a shop's own mirror).
inline constexpr QLatin1String InfoUrlKey{"shengjidizhi"};
// LWJXC_UPGRADE_URL, then the preference, then the maker's address. Every
// file is still checked against the built-in key wherever it comes from.
QUrl infoUrl(const SettingsStore &settings);

} // namespace UpgradeSettings
