// Decoding of a monitor's 128-byte EDID base block (versions 1.0 to 1.4) into
// lines of text, for `velquor-cli edid FILE`.
//
// The decoder reads exactly 128 bytes and accepts any byte values: a block
// read from a broken monitor or a damaged file is shown as far as it goes,
// and what is wrong with it is listed among the warnings, one per line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One decoded block: lines of text a person reads, and warnings.
struct edid_report {
    std::vector<std::string> lines;     // "name: value" lines in order
    std::vector<std::string> warnings;  // what is wrong, one per line
    bool checksum_ok = false;
    uint8_t checksum_should_be = 0;  // the last byte that would make the sum 0
};

// Decodes b[0..127] into *out, which it first empties. Never reads beyond
// 128 bytes; any byte values are safe.
void edid_decode(const uint8_t b[128], edid_report *out);

// Makes byte 127 the checksum (the sum of all 128 bytes becomes 0 modulo
// 256); returns the old value of byte 127.
uint8_t edid_fix_checksum(uint8_t b[128]);
