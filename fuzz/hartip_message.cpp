// The HART-IP message decoder fed an arbitrary byte stream, as a TCP
// connection delivers it: messages are taken off the front one after another.
//
// Every message taken must be exactly the bytes it came from (encoding it
// gives them back); a broken byte count consumes the header only; nothing is
// read beyond the input; a session initiate body read back encodes the same.
#include <algorithm>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "link/hartip/message.h"
#include "link/hartip/url.h"

using namespace hartip;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t at = 0;
    while (at < size) {
        const Decoded d = decode(data + at, size - at);
        if (d.status == DecodeStatus::NeedMore) {
            FUZZ_CHECK(d.consumed == 0);
            break;
        }
        FUZZ_CHECK(d.consumed >= kHeaderSize && d.consumed <= size - at);
        switch (d.status) {
        case DecodeStatus::Ok: {
            const std::vector<uint8_t> again = encode(d.message);
            FUZZ_CHECK(again.size() == d.consumed);
            FUZZ_CHECK(std::equal(again.begin(), again.end(), data + at));
            if (auto s = decodeSessionInitiate(d.message.body)) {
                const auto body = encodeSessionInitiate(*s);
                FUZZ_CHECK(std::equal(body.begin(), body.end(), d.message.body.begin()));
            }
            if (errorCodeOf(d.message)) FUZZ_CHECK(!describe(*errorCodeOf(d.message)).empty());
            break;
        }
        case DecodeStatus::BadLength:
            FUZZ_CHECK(d.consumed == kHeaderSize);
            FUZZ_CHECK(d.message.header.byteCount < kHeaderSize || d.message.header.byteCount > kMaxMessageSize);
            break;
        case DecodeStatus::BadVersion:
            FUZZ_CHECK(d.message.header.version != kVersion);
            FUZZ_CHECK(d.consumed == d.message.header.byteCount);
            break;
        case DecodeStatus::NeedMore:
            break;
        }
        at += d.consumed;
    }
    // The same bytes as a URL: parsed or refused with a reason, and a parsed one reads back the same.
    const std::string text(reinterpret_cast<const char*>(data), std::min<size_t>(size, 256));
    std::string error;
    if (auto e = parseUrl(text, &error)) {
        FUZZ_CHECK(!e->host.empty());
        const auto again = parseUrl(e->url());
        FUZZ_CHECK(again && again->host == e->host && again->port == e->port && again->tcp == e->tcp);
    } else {
        FUZZ_CHECK(!error.empty());
    }
    return 0;
}
