#pragma once

// Names of the window classes the framework registers.
namespace tolvar::window_class {
inline constexpr const char* kForm = "TolvarForm";
inline constexpr const char* kPanel = "TolvarPanel";
inline constexpr const char* kOwner = "TApplication";
inline constexpr const char* kDispatcher = "TolvarDispatcher";
}  // namespace tolvar::window_class
