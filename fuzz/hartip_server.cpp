// The HART-IP server's message handling fed arbitrary datagrams from three
// peers, at most two sessions, without sockets. The input is a series of
// [peer byte][length byte][that many bytes].
//
// Every datagram gets exactly one answer, to its sender, or is a pass-through
// handed to the frame handler; an answer is one whole message of ours with
// the datagram's sequence number; only a peer that was granted a session (and
// has not closed it) reaches the handler, with its frame; no more sessions are
// granted than allowed; the bridge's frame reader refuses or takes every frame.
#include <array>
#include <vector>

#include "bridge/bridge.h"
#include "fuzz/fuzz_check.h"
#include "link/hartip/server.h"

using namespace hartip;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kPeers = 3;
    std::vector<Datagram> datagrams;
    for (size_t at = 0; at + 2 <= size;) {
        Datagram d;
        d.peer = static_cast<uint8_t>(data[at] % kPeers);
        const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
        d.bytes.assign(data + at + 2, data + at + 2 + length);
        datagrams.push_back(std::move(d));
        at += 2 + length;
    }
    ServerOptions options;
    options.maxSessions = 2;
    std::vector<PassThroughRequest> handled;
    const auto answers = answerDatagrams(datagrams, options, [&](const PassThroughRequest& r) {
        FUZZ_CHECK(!r.frame.empty());
        handled.push_back(r);
        uint8_t status = 0;
        std::string why;
        if (!bridge::readRequestFrame(r.frame, &status, &why)) FUZZ_CHECK(status != 0 && !why.empty());
    });

    std::array<bool, kPeers> inSession{};
    size_t next = 0, handledSeen = 0;
    for (size_t i = 0; i < datagrams.size(); ++i) {
        const Datagram& d = datagrams[i];
        Header sent;
        const bool headerRead = peekHeader(d.bytes.data(), d.bytes.size(), sent);
        if (next == answers.size() || answers[next].datagram != i) {
            // Unanswered: a pass-through of a session, which the handler took.
            FUZZ_CHECK(inSession[d.peer]);
            FUZZ_CHECK(headerRead && sent.id == MessageId::PassThrough && sent.type == MessageType::Request);
            FUZZ_CHECK(handledSeen < handled.size());
            FUZZ_CHECK(handled[handledSeen].sequence == sent.sequence);
            ++handledSeen;
            continue;
        }
        const DatagramAnswer& a = answers[next++];
        FUZZ_CHECK(next == answers.size() || answers[next].datagram != i);  // one answer only
        FUZZ_CHECK(a.peer == d.peer);
        const Decoded reply = decode(a.bytes);
        FUZZ_CHECK(reply.status == DecodeStatus::Ok && reply.consumed == a.bytes.size());
        const Header& h = reply.message.header;
        FUZZ_CHECK(h.type == MessageType::Response || h.type == MessageType::Error || h.type == MessageType::Nak);
        if (headerRead) FUZZ_CHECK(h.sequence == sent.sequence);
        if (h.type == MessageType::Response && h.id == MessageId::SessionInitiate) inSession[d.peer] = true;
        if (h.type == MessageType::Response && h.id == MessageId::SessionClose) inSession[d.peer] = false;
        size_t sessions = 0;
        for (bool s : inSession) sessions += s ? 1 : 0;
        FUZZ_CHECK(sessions <= options.maxSessions);
    }
    FUZZ_CHECK(next == answers.size());
    FUZZ_CHECK(handledSeen == handled.size());
    return 0;
}
