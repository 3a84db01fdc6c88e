#pragma once

// Every key of the settings file ("Brimwatch.conf"), with its default: the one list to read
// before adding a setting. The README documents those a person may set by hand.
namespace Keys {

struct Key {
    const char* name;
    bool fallback; // the default of a switch
};

// Switches of the panel.
inline constexpr Key kDesktopWidget{"desktopWidget", true}; // show the card
inline constexpr Key kOnTop{"onTop", false};                // the card above other windows
inline constexpr Key kNotify{"notifyNearLimits", true};     // notices at 80, 95 and 100 %

// Set by hand: absent means automatic.
inline constexpr char kNumberInIcon[] = "numberInIcon"; // the percentage inside the ring
inline constexpr char kRingInk[] = "ringInk";           // "light", "dark", else from the desktop

// Accounts: the array group of "name" and "configDir" (prefs/AccountList), and the account
// the tray shows, by name (empty: the one whose session is highest).
inline constexpr char kAccounts[] = "Accounts";
inline constexpr char kTrayAccount[] = "trayAccount";

// Kept by the app.
inline constexpr Key kDidFirstRun{"didFirstRun", false};      // open at login was offered
inline constexpr Key kNoTrayTold{"noTrayNoticeShown", false}; // the no-tray notice was sent
inline constexpr Key kHistoryFolded{"historyFolded", false};  // the panel's History folded
inline constexpr char kCardPosition[] = "BrimwatchCard";      // where the person left the card
inline constexpr char kAlerts[] = "Alerts"; // group: per limit, "band, window end in ms"

} // namespace Keys
