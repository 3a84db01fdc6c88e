#pragma once

// The running app on the session bus, for the app and for the text modes that call it.
namespace AppBusNames {

inline constexpr char kService[] = "com.velkorlab.Brimwatch"; // its name and its interface
inline constexpr char kPath[] = "/com/velkorlab/Brimwatch";
inline constexpr int kTimeout = 200; // ms a caller waits for the running app

} // namespace AppBusNames
