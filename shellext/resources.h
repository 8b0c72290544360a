// The shell extension's dialog and control numbers, for the extension and for the hosts and
// tools that answer or watch its dialogs.
#pragma once

namespace vlt::shellext {

inline constexpr int kPasswordDialog = 130;
inline constexpr int kGrantDialog = 141;
inline constexpr int kProgressDialog = 1020;

inline constexpr int kPasswordEdit = 1000;
inline constexpr int kGrantLockButton = 1000;
inline constexpr int kPersonalList = 1001;
inline constexpr int kSystemList = 1002;
inline constexpr int kGrantGroup = 1003;
inline constexpr int kGrantSeparator = 1004;
inline constexpr int kProgressText = 102;
inline constexpr int kProgressBar = 104;
inline constexpr int kProgressSubText = 105;
inline constexpr int kProgressAnimation = 106;

}  // namespace vlt::shellext
