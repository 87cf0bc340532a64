#pragma once

namespace bf {

// Who the per-user settings belong to: the organisation and application names under which
// QSettings keeps them (on Windows the registry key HKCU\Software\Kelvane\BrindleFlash 1.1.3,
// elsewhere ~/.config/Kelvane/BrindleFlash 1.1.3.conf). The window and bfk name the same store.
inline constexpr const char* kSettingsOrganization = "Kelvane";
inline constexpr const char* kSettingsApplication = "BrindleFlash 1.1.3";

}  // namespace bf
