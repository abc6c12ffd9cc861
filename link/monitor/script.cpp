#include "link/monitor/script.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include "link/monitor/command_sender.h"
#include "platform/ini.h"

namespace fenwire::busview {

namespace {

// A thousand steps of 500 characters make half a megabyte; a file far larger
// is no script, and is not read whole into memory.
constexpr qint64 kMaxScriptFileBytes = 4 << 20;

}  // namespace

ScriptLoad LoadScript(const std::string& path, Script& script) {
    const QString file = QString::fromStdString(path);
    QFile probe(file);
    if (!QFileInfo(file).isFile() || !probe.open(QIODevice::ReadOnly)) return ScriptLoad::NotFound;
    if (probe.size() > kMaxScriptFileBytes) return ScriptLoad::NotAScript;
    const auto document = platform::ini::Document::parse(probe.readAll());
    // The steps in one pass over the section. Names match without regard to
    // case, and of two equal keys the first counts, as in a single lookup.
    QHash<QString, QString> cmd;
    for (const auto& [key, value] : document.entries("Cmd")) {
        const QString name = key.toCaseFolded();
        if (!cmd.contains(name)) cmd.insert(name, value);
    }
    auto step = [&](int n) { return cmd.value(QString::asprintf("step%03d", n)); };
    if (step(0).isEmpty()) return ScriptLoad::NotAScript;

    Script read;
    read.path = path;
    read.name = QFileInfo(file).fileName().toStdString();
    read.cyclic = platform::ini::intOf(document.value("Options", "Cyclic"), 0) != 0;
    read.resetStatus = platform::ini::intOf(document.value("Options", "ResetStatus"), 0) != 0;
    for (int n = 0; n < kMaxScriptSteps; ++n) {
        const QString text = step(n);
        if (text.isEmpty()) break;
        read.steps.push_back(text.toStdString());
    }
    script = std::move(read);
    return ScriptLoad::Loaded;
}

void ScriptRunner::setScript(Script script) {
    // A script loaded while another runs ends that one: its step numbers
    // mean nothing in the new one.
    stop();
    script_ = std::move(script);
    loaded_ = true;
}

void ScriptRunner::runOrCancel(bool lineOpen) {
    if (running_) {
        requestCancel();
        return;
    }
    if (!lineOpen || !loaded_ || script_.steps.empty()) return;
    cancelRequested_ = false;
    // Running before the first step goes out, so that its start is already
    // the script's and not reported to the host.
    running_ = true;
    stepIndex_ = 1;
    if (!sendStep(0)) stop();
}

void ScriptRunner::requestCancel() {
    if (running_) cancelRequested_ = true;
}

void ScriptRunner::lineClosed() { stop(); }

void ScriptRunner::transactionEnded(bool replied, int response1, int busy) {
    if (!running_ || busy != 0) return;
    if (cancelRequested_) {
        stop();
        return;
    }
    if (replied && response1 == kResponseBusy) {
        if (!sendStep(stepIndex_ - 1)) stop();
        return;
    }
    if (stepIndex_ >= static_cast<int>(script_.steps.size())) {
        stepIndex_ = 0;
        if (!script_.cyclic) {
            stop();
            return;
        }
    }
    // A step that gives no request would leave nothing to advance the
    // script: it ends there rather than hang in "Running Script...".
    if (!sendStep(stepIndex_)) {
        stop();
        return;
    }
    ++stepIndex_;
}

bool ScriptRunner::sendStep(int step) {
    if (step < 0 || step >= static_cast<int>(script_.steps.size())) return false;
    if (script_.resetStatus && actions_.forgetIdentifier) actions_.forgetIdentifier();
    return actions_.send(script_.steps[static_cast<size_t>(step)]);
}

void ScriptRunner::stop() {
    running_ = false;
    cancelRequested_ = false;
    stepIndex_ = 0;
}

}  // namespace fenwire::busview
