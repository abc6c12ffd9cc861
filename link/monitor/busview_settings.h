// The bus monitor's files, both in the directory the window was opened in:
// "busvw.ini" keeps the window's options (section "Settings", decimal
// values), "Commands.ini" holds two texts per command number (section
// "Commands", keys "Cmd%03ds" and "Cmd%03dr") that the frame dump shows.
#pragma once

#include <QString>
#include <string>

#include "link/monitor/monitor_line.h"

namespace fenwire {

inline constexpr int kDefaultKeptFrames = 200000;
inline constexpr int kMinKeptFrames = 100;
inline constexpr int kMaxKeptFrames = 2000000;  // about 200 MB of frames

struct BusviewSettings {
    // View options. The "No..." flags hide their column when set.
    int decimal = 1;      // "Decimal": command, byte count and response code in decimal
    int noAddress = 1;    // "NoAddress"
    int noPreambles = 1;  // "NoPreambles"
    int noTiming = 1;     // "NoTiming"
    int realDat = 1;      // "RealDat": universal command data decoded
    int rsp2Bin = 0;      // "Rsp2Bin": field device status in binary
    int symbCmd = 1;      // "SymbCmd": command names beside the numbers
    int white = 0;        // "White": white background instead of grey

    // Trigger conditions and action.
    int trigOnNoMatchCmd = 0;
    int trigOnNoMatchMaster = 0;
    int trigOnDevNotPresent = 0;
    int trigOnAllErr = 0;
    int stopOnTrigger = 0;

    // Filter.
    int filterMode = 0;   // 0 show listed commands, 1 hide them, 2 show only trigger events
    std::string cmdList;  // the command list as typed

    // Rows (frames) the window keeps ("KeptFrames"); older ones drop out, counted.
    int keptFrames = kDefaultKeptFrames;

    std::string doCmd;        // last command text sent from the window
    std::string lastSaveDir;  // directory of the last log, frame or script file
};

// Where the two files live: named once, when the window opens, in `baseDir`.
struct BusviewFiles {
    QString settings;  // busvw.ini
    QString commands;  // Commands.ini
    static BusviewFiles in(const QString& baseDir);
};

// A missing file or key gives the defaults above; a kept-rows count out of
// its range is taken at the nearest end.
BusviewSettings loadBusviewSettings(const QString& settingsFile);
// Writes every key; false when the file cannot be written.
bool saveBusviewSettings(const QString& settingsFile, const BusviewSettings& settings);

// Where the window stood when it was last closed (section "Window", keys
// "Left", "Top", "Width", "Height", in pixels); `valid` is false while the
// file holds no usable size.
struct BusviewGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool valid() const { return width > 0 && height > 0; }
};
BusviewGeometry loadBusviewGeometry(const QString& settingsFile);
// False when the file cannot be written (or is there and cannot be read).
bool saveBusviewGeometry(const QString& settingsFile, const BusviewGeometry& geometry);

// The request ("Cmd%03ds") and reply ("Cmd%03dr") texts of every command.
CommandTextTables loadCommandTexts(const QString& commandsFile);

}  // namespace fenwire
