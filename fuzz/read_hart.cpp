// The utility's response decoder on arbitrary reply data for any command: the
// first input byte is the command, the second the reply's data length the
// control reports, the rest the control's data buffer (zeros after it). The
// decoder goes through the real link control's buffer accessors, as in the
// utility. Texts hold only packed-ASCII characters; dates are valid or null.
#include <QCoreApplication>
#include <algorithm>

#include "app/commands/ReadHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/mGlobal.h"
#include "fuzz/fuzz_check.h"
#include "tests/support/linked_fenwire.h"

namespace {

constexpr int kBufferSize = 256;
app::FenwireControl* control = nullptr;

void checkPackedText(const QString& text) {
    for (QChar c : text) FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() <= 0x5F);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication qtApp(*argc, *argv);
    control = new app::FenwireControl(testsupport::linkedFenwireApi());
    app::setFenwire1(control);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > 2 + kBufferSize) return 0;
    uint8_t buffer[kBufferSize] = {};
    std::copy(data + 2, data + size, buffer);
    // Only as far as this input or the last one wrote: the rest is still zero.
    static int written = kBufferSize;
    const int toWrite = std::max(written, static_cast<int>(size - 2));
    written = static_cast<int>(size - 2);
    for (int offset = 0; offset < toWrite; offset += 4) {
        control->put("xOffset", offset);
        const uint32_t word = uint32_t{buffer[offset]} << 24 | uint32_t{buffer[offset + 1]} << 16 |
                              uint32_t{buffer[offset + 2]} << 8 | buffer[offset + 3];
        control->put("xInt32", static_cast<int32_t>(word));
    }
    control->put("cRcvLen", data[1]);

    app::ResetStore();
    app::ReadHART(data[0]);

    for (const QString* text : {&app::Message, &app::Tag, &app::Descriptor, &app::ModelNumber,
                                &app::ModelDeviation, &app::PartNumber, &app::TotalizerCustomUnit,
                                &app::PropertyTableName})
        checkPackedText(*text);
    for (const QDate* date : {&app::DeviceDate, &app::ModificationDate, &app::CalibrationDate})
        FUZZ_CHECK(date->isNull() || date->isValid());
    return 0;
}
