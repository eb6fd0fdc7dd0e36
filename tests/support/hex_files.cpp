#include "hex_files.h"

#include <cstdio>

std::string hex_record(uint8_t type, uint16_t addr, const std::vector<uint8_t> &data) {
    std::vector<uint8_t> r = {uint8_t(data.size()), uint8_t(addr >> 8), uint8_t(addr), type};
    r.insert(r.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (uint8_t b : r) sum = uint8_t(sum + b);
    r.push_back(uint8_t(0x100 - sum));
    std::string s = ":";
    char h[3];
    for (uint8_t b : r) {
        std::snprintf(h, sizeof h, "%02X", b);
        s += h;
    }
    return s;
}

std::string make_hex(int n, uint32_t seed, std::map<uint32_t, uint8_t> *image) {
    std::string text = hex_record(2, 0, {0x00, 0x00}) + "\r\n";
    uint32_t x = seed, seg = 0;
    for (int i = 0; i < n; ++i) {
        if (i > 0 && i % 4096 == 0) {
            seg += 0x1000;
            text += hex_record(2, 0, {uint8_t(seg >> 8), uint8_t(seg)}) + "\r\n";
        }
        std::vector<uint8_t> d(16);
        for (uint8_t &b : d) b = uint8_t((x = x * 1103515245u + 12345u) >> 16);
        const uint16_t off = uint16_t((i % 4096) * 16);
        if (image)
            for (size_t k = 0; k < d.size(); ++k) (*image)[(seg << 4) + off + uint32_t(k)] = d[k];
        text += hex_record(0, off, d) + "\r\n";
    }
    return text + ":00000001FF\r\n";
}

std::map<uint32_t, uint8_t> image_bytes(const zs_image &img) {
    std::map<uint32_t, uint8_t> m;
    for (const auto &span : img.spans)
        for (size_t k = 0; k < span.second.size(); ++k)
            m[span.first + uint32_t(k)] = span.second[k];
    return m;
}
