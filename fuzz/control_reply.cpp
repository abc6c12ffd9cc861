// The link control's decoding of universal-command replies into its
// p-properties, on arbitrary reply data: the first input byte is the command,
// the rest the reply data (status bytes excluded), held in a buffer of exactly
// that size so that a read beyond the reply is caught. Every property reads
// back afterwards, and the texts hold only packed-ASCII characters.
#include <QCoreApplication>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "link/control/control.h"
#include "link/control/fenwire_dispids.h"

namespace {

fenwire::CKvFenwireCtrl* control = nullptr;

void checkPackedText(int dispid) {
    fenwire::Variant v;
    FUZZ_CHECK(control->get(dispid, v) == 0);
    for (char c : v.s) FUZZ_CHECK(c >= 0x20 && c <= 0x5F);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    control = new fenwire::CKvFenwireCtrl;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 256) return 0;
    const int command = data[0];
    const std::vector<uint8_t> reply(data + 1, data + size);
    control->decodeUniversal(command, reply.data(), static_cast<int>(reply.size()));

    for (int dispid = 1; dispid <= 83; ++dispid) {
        fenwire::Variant v;
        control->get(dispid, v);
    }
    checkPackedText(FW_p12Message);
    checkPackedText(FW_p13TagName);
    checkPackedText(FW_p13Descriptor);
    return 0;
}
