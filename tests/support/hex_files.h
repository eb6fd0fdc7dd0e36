// Intel-HEX firmware files made by the tests, with the bytes they hold.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/zelbsim/zelbsim.h"

// One text record ":LLAAAATT<data>CC" with its checksum, upper-case digits.
std::string hex_record(uint8_t type, uint16_t addr, const std::vector<uint8_t> &data);

// A file of n data records of 16 bytes from address 0 (pseudo-random bytes
// from `seed`), a segment record first and one more (0x1000, 0x2000, ...)
// every 4096 records, and the end record; CR LF line ends. The bytes it
// holds by absolute address go to *image.
std::string make_hex(int n, uint32_t seed, std::map<uint32_t, uint8_t> *image = nullptr);

// The bytes a simulated board kept, by absolute address.
std::map<uint32_t, uint8_t> image_bytes(const zs_image &img);
