// Bus monitor scripts: "*.fsq" files of command texts, and the runner that
// sends them step by step as the line's transactions end.
//
// A script file is an INI file:
//   [Cmd]      Step000=<command text> ... up to Step999; the steps end at the
//              first missing or empty key (so Step000, Step002 is one step)
//   [Options]  Cyclic=1       start again at Step000 after the last step
//              ResetStatus=1  forget the device's identifier before each step,
//                             so each step is preceded by command 0 or 11
// A file without Step000 is not a script.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace fenwire::busview {

inline constexpr int kMaxScriptSteps = 1000;
inline constexpr const char* kDefaultScript = "default.fsq";
inline constexpr const char* kScriptErrorTitle = "Script File Error";
inline constexpr const char* kScriptNotFound = "Script file not found !";
inline constexpr const char* kNotAScript = "File is not a script file of Busview !";

struct Script {
    std::string path;
    std::string name;  // the file name, shown in the title
    std::vector<std::string> steps;
    bool cyclic = false;
    bool resetStatus = false;
};

enum class ScriptLoad { Loaded, NotFound, NotAScript };

// Reads a script file; `script` is changed only when the result is Loaded.
ScriptLoad LoadScript(const std::string& path, Script& script);

class ScriptRunner {
public:
    struct Actions {
        // Starts the transaction of a command text; false when the text gave
        // no request or nothing could be sent.
        std::function<bool(const std::string& text)> send;
        // Clears the control's identifier known flag.
        std::function<void()> forgetIdentifier;
    };

    explicit ScriptRunner(Actions actions) : actions_(std::move(actions)) {}

    void setScript(Script script);
    const Script* script() const { return loaded_ ? &script_ : nullptr; }
    bool loaded() const { return loaded_; }
    bool running() const { return running_; }
    bool cancelRequested() const { return cancelRequested_; }
    // 0 when not running, else the number of the step to send next (1 after step 0 went out).
    int stepIndex() const { return stepIndex_; }

    // Run Script: starts a loaded script (when the line is open), or asks a
    // running one to stop at the end of its current transaction.
    void runOrCancel(bool lineOpen);
    void requestCancel();
    // The line was closed: the script stops at once.
    void lineClosed();
    // A transaction ended while the script runs; `busy` is cBusy as it then
    // stands (the command the control still owes goes first).
    void transactionEnded(bool replied, int response1, int busy);

private:
    bool sendStep(int step);
    void stop();

    Actions actions_;
    Script script_;
    bool loaded_ = false;
    bool running_ = false;
    bool cancelRequested_ = false;
    int stepIndex_ = 0;
};

}  // namespace fenwire::busview
