#include "link/monitor/busview_settings.h"

#include <QDir>
#include <algorithm>

#include "platform/ini.h"

namespace fenwire {

namespace {

constexpr char kSettingsSection[] = "Settings";
constexpr char kCommandsSection[] = "Commands";
constexpr int kValueBuffer = 500;  // values are read as into a buffer of 500 characters

// The integer keys and where each lives in the record: one table serves loading and saving.
struct IntKey {
    const char* key;
    int BusviewSettings::*field;
};
constexpr IntKey kIntKeys[] = {
    {"Decimal", &BusviewSettings::decimal},
    {"NoAddress", &BusviewSettings::noAddress},
    {"NoPreambles", &BusviewSettings::noPreambles},
    {"NoTiming", &BusviewSettings::noTiming},
    {"RealDat", &BusviewSettings::realDat},
    {"Rsp2Bin", &BusviewSettings::rsp2Bin},
    {"SymbCmd", &BusviewSettings::symbCmd},
    {"White", &BusviewSettings::white},
    {"TrigOnNoMatchCmd", &BusviewSettings::trigOnNoMatchCmd},
    {"TrigOnNoMatchMaster", &BusviewSettings::trigOnNoMatchMaster},
    {"TrigOnDevNotPresent", &BusviewSettings::trigOnDevNotPresent},
    {"TrigOnAllErr", &BusviewSettings::trigOnAllErr},
    {"StopOnTrigger", &BusviewSettings::stopOnTrigger},
    {"FilterMode", &BusviewSettings::filterMode},
    {"KeptFrames", &BusviewSettings::keptFrames},
};

struct TextKey {
    const char* key;
    std::string BusviewSettings::*field;
};
constexpr TextKey kTextKeys[] = {
    {"CmdList", &BusviewSettings::cmdList},
    {"DoCmd", &BusviewSettings::doCmd},
    {"LastSaveDir", &BusviewSettings::lastSaveDir},
};

QString bufferCut(const QString& value) { return value.left(kValueBuffer - 1); }

QString commandKey(int command, char kind) {
    return QStringLiteral("Cmd%1%2").arg(command, 3, 10, QLatin1Char('0')).arg(QLatin1Char(kind));
}

}  // namespace

BusviewFiles BusviewFiles::in(const QString& baseDir) {
    const QDir dir(baseDir);
    return {dir.filePath(QStringLiteral("busvw.ini")), dir.filePath(QStringLiteral("Commands.ini"))};
}

BusviewSettings loadBusviewSettings(const QString& settingsFile) {
    BusviewSettings s;
    for (const auto& k : kIntKeys) s.*k.field = platform::ini::readInt(settingsFile, kSettingsSection, k.key, s.*k.field);
    for (const auto& k : kTextKeys)
        s.*k.field = platform::ini::readString(settingsFile, kSettingsSection, k.key, QString(), kValueBuffer).toStdString();
    s.keptFrames = std::clamp(s.keptFrames, kMinKeptFrames, kMaxKeptFrames);
    return s;
}

bool saveBusviewSettings(const QString& settingsFile, const BusviewSettings& s) {
    // A file that is there but cannot be read is not replaced by these keys alone.
    auto doc = platform::ini::Document::tryLoad(settingsFile);
    if (!doc) return false;
    for (const auto& k : kIntKeys) doc->setValue(kSettingsSection, k.key, QString::number(s.*k.field));
    for (const auto& k : kTextKeys) {
        // A text that cannot stand on one line (a line break typed in) is saved empty rather than split.
        if (!doc->setValue(kSettingsSection, k.key, QString::fromStdString(s.*k.field)))
            doc->setValue(kSettingsSection, k.key, QString());
    }
    return doc->save(settingsFile);
}

namespace {

constexpr char kWindowSection[] = "Window";
struct GeometryKey {
    const char* key;
    int BusviewGeometry::*field;
};
constexpr GeometryKey kGeometryKeys[] = {
    {"Left", &BusviewGeometry::left},
    {"Top", &BusviewGeometry::top},
    {"Width", &BusviewGeometry::width},
    {"Height", &BusviewGeometry::height},
};

}  // namespace

BusviewGeometry loadBusviewGeometry(const QString& settingsFile) {
    BusviewGeometry g;
    for (const auto& k : kGeometryKeys) g.*k.field = platform::ini::readInt(settingsFile, kWindowSection, k.key, 0);
    return g;
}

bool saveBusviewGeometry(const QString& settingsFile, const BusviewGeometry& g) {
    auto doc = platform::ini::Document::tryLoad(settingsFile);
    if (!doc) return false;
    for (const auto& k : kGeometryKeys) doc->setValue(kWindowSection, k.key, QString::number(g.*k.field));
    return doc->save(settingsFile);
}

CommandTextTables loadCommandTexts(const QString& commandsFile) {
    CommandTextTables t;
    const auto doc = platform::ini::Document::load(commandsFile);
    for (int n = 0; n < 256; ++n) {
        const auto i = static_cast<size_t>(n);
        if (auto v = doc.value(kCommandsSection, commandKey(n, 's'))) t.request[i] = bufferCut(*v).toStdString();
        if (auto v = doc.value(kCommandsSection, commandKey(n, 'r'))) t.reply[i] = bufferCut(*v).toStdString();
    }
    return t;
}

}  // namespace fenwire
