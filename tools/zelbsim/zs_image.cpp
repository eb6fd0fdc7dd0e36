// The firmware image a load writes: the bytes of the data records by absolute address, its
// digest, and the flat file and status line it is saved as.
//
// The bytes are kept in runs of contiguous addresses. A load writes upwards, record after
// record, so a record nearly always lengthens the run in front of it; that run grows in
// place, and a run is only copied when a record lands in front of it.
//
// Sections: runs; what users see; files.
#include "zs_internal.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iterator>

constexpr uint64_t ZS_ADDR_SPACE = 1ull << 32;  // addresses wrap here
constexpr uint64_t ZS_BIN_MAX = 256ull << 20;   // largest flat file written
constexpr uint64_t ZS_FNV_BASIS = 0xCBF29CE484222325, ZS_FNV_PRIME = 0x100000001B3;

// ---- runs ---------------------------------------------------------------------------------

typedef std::map<uint32_t, std::vector<uint8_t>> zs_runs;

// Keeps bytes [a, a + n), which must not pass the end of the address space. Every run that
// overlaps or touches them becomes part of one run with them; the new bytes win.
static void put_run(zs_runs *runs, uint32_t a, const uint8_t *p, size_t n) {
    const uint64_t end = uint64_t{a} + n;
    const zs_runs::iterator after = runs->upper_bound(a);
    zs_runs::iterator first = after;
    if (after != runs->begin()) {
        const zs_runs::iterator prev = std::prev(after);
        if (prev->first + uint64_t{prev->second.size()} >= a) first = prev;
    }
    zs_runs::iterator last = after;
    while (last != runs->end() && last->first <= end) ++last;
    if (first == last) {
        runs->emplace_hint(last, a, std::vector<uint8_t>(p, p + n));
        return;
    }
    const uint32_t start = std::min(first->first, a);
    uint64_t stop = end;
    for (zs_runs::iterator k = first; k != last; ++k)
        stop = std::max(stop, k->first + uint64_t{k->second.size()});
    // The run that starts where the merged one does lends its bytes (no copy).
    std::vector<uint8_t> buf;
    zs_runs::iterator k = first;
    if (first->first == start) buf = std::move((k++)->second);
    buf.resize(static_cast<size_t>(stop - start));
    for (; k != last; ++k)
        std::copy(k->second.begin(), k->second.end(), buf.begin() + (k->first - start));
    std::copy(p, p + n, buf.begin() + (a - start));
    runs->erase(first, last);
    runs->emplace_hint(last, start, std::move(buf));
}

void zs_image_put(zs_image_store *im, uint32_t addr, const uint8_t *p, size_t n) {
    if (!n) return;
    im->data_bytes += n;
    const size_t below = static_cast<size_t>(std::min<uint64_t>(n, ZS_ADDR_SPACE - addr));
    put_run(&im->runs, addr, p, below);
    if (below < n) put_run(&im->runs, 0, p + below, n - below);
}

// ---- what users see -----------------------------------------------------------------------

// FNV-1a 64 over (address in four octets, least significant first; byte) per byte kept, in
// ascending address order.
static uint64_t image_digest(const zs_image &img) {
    uint64_t h = ZS_FNV_BASIS;
    for (const auto &[a, d] : img.spans)
        for (size_t i = 0; i < d.size(); ++i) {
            const uint32_t x = a + static_cast<uint32_t>(i);
            const uint8_t o[5] = {uint8_t(x), uint8_t(x >> 8), uint8_t(x >> 16), uint8_t(x >> 24),
                                  d[i]};
            for (uint8_t b : o) h = (h ^ b) * ZS_FNV_PRIME;
        }
    return h;
}

zs_image zs_image_of(const zs_image_store &im) {
    zs_image img;
    img.complete = im.complete;
    img.records = im.records;
    img.refused = im.refused;
    img.data_bytes = im.data_bytes;
    img.spans.assign(im.runs.begin(), im.runs.end());
    if (!img.spans.empty()) {
        img.low = img.spans.front().first;
        img.high =
            static_cast<uint32_t>(img.spans.back().first + img.spans.back().second.size() - 1);
    }
    img.digest = image_digest(img);
    return img;
}

std::string zs_image_status(const zs_image &img) {
    char b[160];
    std::snprintf(b, sizeof b,
                  "records=%" PRIu64 " data_bytes=%" PRIu64 " low=0x%08" PRIX32 " high=0x%08" PRIX32
                  " digest=0x%016" PRIX64 " complete=%d",
                  img.records, img.data_bytes, img.low, img.high, img.digest, img.complete ? 1 : 0);
    return b;
}

// ---- files --------------------------------------------------------------------------------

int zs_image_write_bin(const zs_image &img, const std::string &path, std::string *err) {
    std::string dummy;
    if (!err) err = &dummy;
    if (path.empty()) return ZS_BAD_ARG;
    std::vector<uint8_t> flat;
    if (!img.spans.empty()) {
        const uint64_t size = img.high >= img.low ? uint64_t{img.high} - img.low + 1 : 0;
        if (!size || size > ZS_BIN_MAX) {
            *err = path + ": the image's addresses do not make a range of 1 byte to 256 MiB";
            return ZS_BAD_ARG;
        }
        flat.assign(static_cast<size_t>(size), 0xFF);
        for (const auto &[a, d] : img.spans) {
            if (a < img.low || a - uint64_t{img.low} + d.size() > size) {
                *err = path + ": a span lies outside the image's addresses";
                return ZS_BAD_ARG;
            }
            std::copy(d.begin(), d.end(), flat.begin() + (a - img.low));
        }
    }
    return zs_write_file_atomic(path, flat.data(), flat.size(), err);
}
