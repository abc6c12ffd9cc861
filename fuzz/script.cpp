// The bus monitor's script reader on arbitrary file content, and each step it
// reads through the command-text parser as the runner sends it. A script read
// has 1..1000 steps, none empty, the first being the file's Step000.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <unistd.h>

#include "fuzz/fuzz_check.h"
#include "link/driver/typed_frame.h"
#include "link/monitor/script.h"
#include "platform/ini.h"

using namespace fenwire::busview;

namespace {
std::string scriptPath;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    // A file in memory where there is such a folder: the reader takes a path.
    const QString folder = QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath();
    scriptPath = (folder + QString("/fuzz-script-%1.fsq").arg(getpid())).toStdString();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    {
        QFile file(QString::fromStdString(scriptPath));
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(content) == content.size());
    }
    Script script;
    const ScriptLoad result = LoadScript(scriptPath, script);
    FUZZ_CHECK(result != ScriptLoad::NotFound);
    if (result != ScriptLoad::Loaded) {
        FUZZ_CHECK(script.steps.empty());
        return 0;
    }
    FUZZ_CHECK(!script.steps.empty() && script.steps.size() <= static_cast<size_t>(kMaxScriptSteps));
    const auto first = platform::ini::Document::parse(content).value("Cmd", "Step000");
    FUZZ_CHECK(first && first->toStdString() == script.steps.front());
    const uint8_t uniqueId[5] = {0x26, 0x4E, 0x01, 0x02, 0x03};
    for (const std::string& step : script.steps) {
        FUZZ_CHECK(!step.empty());
        wendrel::ParseCommandText(step, uniqueId, 0);
    }
    return 0;
}
