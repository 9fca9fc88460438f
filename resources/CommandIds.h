#pragma once

// Every menu command and window timer of the main window, by the number it
// has always had: the menu template, the window's dispatch and the parts
// it hands them to all read them here.
namespace ids {

// Menu commands.
inline constexpr int ID_SERIAL_PORT = 32771;
inline constexpr int ID_TOPMOST = 32772;
inline constexpr int ID_RECORDING = 32773;
inline constexpr int ID_HELP = 32778;
inline constexpr int ID_ABOUT = 32779;
inline constexpr int ID_COLOURS = 32780;
inline constexpr int ID_FONTS = 32781;
inline constexpr int ID_CLOSE = 32783;
inline constexpr int ID_RUN_PLOTAN = 32795;
inline constexpr int ID_MORE_SETTINGS = 32796;
inline constexpr int ID_PROMOTION = 32797;
inline constexpr int ID_MQTT = 32810;
inline constexpr int ID_ALARMS = 32811;
inline constexpr int ID_ACKNOWLEDGE_ALARMS = 32812;
// The about item of the window's context menu.
inline constexpr int IDM_ABOUTBOX = 16;
// The application's help command (F1).
inline constexpr int ID_HELP_COMMAND = 57670;

// Window timers.
inline constexpr unsigned TIMER_RECORD = 1034;
inline constexpr unsigned TIMER_LINK_WATCHDOG = 1035;
inline constexpr unsigned TIMER_RECORD_START = 1036;
inline constexpr unsigned TIMER_BLINK = 1052;
inline constexpr unsigned TIMER_PORT_DIALOG = 1069;
inline constexpr unsigned TIMER_PROMOTION = 1070;
// Reopens a port whose device went away (a USB adapter pulled).
inline constexpr unsigned TIMER_PORT_REOPEN = 1071;
// Evaluates the alarms once a second between frames (waits, repeats).
inline constexpr unsigned TIMER_ALARM_TICK = 1072;

} // namespace ids
