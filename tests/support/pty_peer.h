// Test support: a scripted board on a pseudo-terminal pair, and a transport
// for the frame layer over the other side of the pair.
//
// The peer owns the master side. For each step of its script it waits for one
// 10-byte request, records it and replies as the step says: a good answer, the
// request itself, nothing, the first k bytes of an answer, an answer with a
// wrong checksum and/or end code, or given bytes. The program side reads and
// writes the slave.
//
// The seam read waits up to its time-out for each next byte. Bound to a peer,
// it also returns as soon as the peer has handled every request written and
// every byte the peer wrote has been read, so a silent or short answer ends
// without waiting out the time-out, and no test depends on timing. The seam
// discard takes what is waiting on the slave without waiting and counts it as
// read.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

enum pp_reply : uint8_t {
    PP_ANSWER,       // a good answer: request bytes 0-2, command, value, checksum, FE 00
    PP_ECHO,         // the request itself
    PP_SILENT,       // nothing
    PP_SHORT,        // the first k bytes of a good answer
    PP_BAD_CKS,      // a good answer with its checksum off by one
    PP_BAD_END,      // a good answer ending in FF 00
    PP_BAD_CKS_END,  // both faults
    PP_RAW,          // the bytes in raw
};

struct pp_step {
    pp_reply reply = PP_ANSWER;
    int32_t cmd = -1;          // answered command word; -1 = the request's
    uint16_t val = 0;          // answer value
    uint32_t k = 0;            // PP_SHORT: bytes sent
    std::vector<uint8_t> raw;  // PP_RAW: bytes sent
};

struct pty_peer {
    int master = -1;
    int slave = -1;
    std::vector<pp_step> script;
    std::thread th;
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> rx_handled{0};  // request bytes received and answered
    std::atomic<uint64_t> tx_total{0};    // reply bytes written
    std::atomic<uint32_t> steps_done{0};
    std::mutex mu;
    std::vector<std::vector<uint8_t>> requests;  // guarded by mu
};

// Waits until all steps have been handled; false after timeout_ms.
bool pp_wait_done(pty_peer *p, uint32_t timeout_ms);
// The requests received so far.
std::vector<std::vector<uint8_t>> pp_requests(pty_peer *p);
// Puts bytes on the line to the program at once, before any request, as a late
// answer still waiting there; counted with the peer's replies. Returns when all
// of them wait in the slave's input (false after timeout_ms).
bool pp_put(pty_peer *p, const std::vector<uint8_t> &b, uint32_t timeout_ms = 5000);
// Waits until n bytes wait in the slave's input; false after timeout_ms.
bool pp_wait_input(pty_peer *p, size_t n, uint32_t timeout_ms = 5000);
// Bytes the seam discard has dropped since the seam was bound.
uint64_t pp_discarded(void);

// A fresh peer answering `steps`, with the seam bound to its slave side (per-byte
// time-out timeout_ms) for as long as it lives.
struct pp_scripted {
    pty_peer p;
    explicit pp_scripted(std::vector<pp_step> steps, uint32_t timeout_ms = 5000);
    ~pp_scripted();
    // Command words of the requests received, in order.
    std::vector<uint16_t> cmds();
};
