// Fuzz target: the firmware loader (Intel-HEX text records into the line
// table) and the merging of data records (firm_compress).
//
// Each input is a firmware file. When the loader takes it, every record in the
// table must be whole (byte count + 5 bytes, checksum right); the merging must
// keep that, keep every record that is not data in its place, and keep the
// data bytes in their order and at their addresses, in records of at most 96
// data bytes, the merged ones never more than the loader gave.
#include <cstring>
#include <vector>

#include "fuzz_common.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_firm.h"

namespace {

// A record as the merging sees it: its type, and for data records the
// address of each of its bytes with the byte.
struct rec {
    uint8_t type;
    std::vector<std::pair<uint32_t, uint8_t>> bytes;  // data records only
    std::vector<uint8_t> raw;                         // other records: as they stand
};

void check_whole(const firm_buff_T &r) {
    FZ_CHECK(r.len >= 5 && r.len <= sizeof r.line);
    FZ_CHECK(r.line[0] + 5u == r.len);
    FZ_CHECK(line_check(r.line, r.len) == 0);
}

// The table as a list of non-data records with the data bytes between them.
std::vector<rec> table(void) {
    std::vector<rec> out;
    for (int32_t i = 0; i < firm_lines; ++i) {
        const firm_buff_T &r = firm_buff[i];
        check_whole(r);
        const uint8_t type = r.line[3];
        if (type != 0) {
            out.push_back(rec{type, {}, std::vector<uint8_t>(r.line, r.line + r.len)});
            continue;
        }
        if (out.empty() || out.back().type != 0) out.push_back(rec{0, {}, {}});
        const uint32_t addr = r.line[1] * 256u + r.line[2];
        for (uint32_t k = 0; k < r.line[0]; ++k)
            out.back().bytes.emplace_back(addr + k, r.line[4 + k]);
    }
    return out;
}

bool same(const std::vector<rec> &a, const std::vector<rec> &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].type != b[i].type || a[i].bytes != b[i].bytes || a[i].raw != b[i].raw)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fz_begin();
    // The file name rules (version, "v5", "osd") read the name the operator chose.
    char name[64];
    const size_t nn = size < sizeof name - 1 ? size : sizeof name - 1;
    std::memcpy(name, data, nn);
    name[nn] = '\0';
    firm_name_analysis(name);
    FZ_CHECK(firm_vers >= 0);

    FILE *f = fz_open_bytes(data, size);
    if (!f) return 0;
    const char rc = firm_to_buffer(f, 0, 0);
    std::fclose(f);
    FZ_CHECK(rc == 0 || rc == 2 || rc == 3);
    if (rc != 0) {
        FZ_CHECK(sys_f_rv != 0);
        return 0;
    }
    FZ_CHECK(firm_lines >= 0 && firm_lines <= firm_max_lines);
    FZ_CHECK(firm_lines == 0 ? n_fsent == 0 : n_fsent == firm_lines - 1);
    const std::vector<rec> before = table();
    const int32_t lines_before = firm_lines;
    const uint64_t bytes_before = firm_table_bytes();

    firm_compress();
    FZ_CHECK(firm_lines <= lines_before);
    FZ_CHECK(firm_lines == 0 ? n_fsent == 0 : n_fsent == firm_lines - 1);
    FZ_CHECK(firm_table_bytes() <= bytes_before);
    for (int32_t i = 0; i < firm_lines; ++i) {
        const firm_buff_T &r = firm_buff[i];
        if (r.line[3] == 0 && r.line[0] > 96) {
            // A record longer than 96 data bytes can only be one the file gave.
            bool given = false;
            for (const rec &b : before)
                given = given || (b.type == 0 && b.bytes.size() >= r.line[0]);
            FZ_CHECK(given);
        }
    }
    FZ_CHECK(same(table(), before));
    return 0;
}
