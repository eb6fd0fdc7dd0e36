// Fuzz target: the dump file reader (buffer_fs_file: entry lines and gamma
// blocks), with a round trip through the dump writer.
//
// Each input is a dump file. When the reader takes it, its entries and gamma
// tables are written as a dump file again (fs_print_entry, print_gamma_block)
// and read back: the second reading must give the same entries and the same
// tables, those the writer leaves out (colour points not all present) empty.
#include <cstring>
#include <vector>

#include "fuzz_common.h"
#include "velquor/operations/vf_fs_dnl.h"
#include "velquor/operations/vf_fs_upl.h"
#include "velquor/operations/vf_gamma.h"

namespace {

struct image {
    std::vector<std::vector<uint32_t>> entries;
    gamma_tab_T tabs[4];
};

image take(void) {
    image im;
    for (int32_t i = 0; i < fsd.fs_ent_cnt; ++i)
        im.entries.emplace_back(fsd.fs_ent[i], fsd.fs_ent[i] + fs_ent_words);
    for (int k = 0; k < 4; ++k) im.tabs[k] = *gamma_kinds[k].tab;
    return im;
}

bool printable(const gamma_tab_T &t) {
    const int32_t c[8] = {t.rt.x, t.rt.y, t.gue.x, t.gue.y, t.bl.x, t.bl.y, t.wt.x, t.wt.y};
    for (int32_t v : c)
        if (v == 0xFFFF) return false;
    return true;
}

bool same_tab(const gamma_tab_T &a, const gamma_tab_T &b) {
    if (a.count != b.count || a.rt.x != b.rt.x || a.rt.y != b.rt.y || a.gue.x != b.gue.x ||
        a.gue.y != b.gue.y || a.bl.x != b.bl.x || a.bl.y != b.bl.y || a.wt.x != b.wt.x ||
        a.wt.y != b.wt.y)
        return false;
    for (int32_t i = 0; i < a.count && i < gamma_max_points; ++i)
        if (std::memcmp(&a.ent[i], &b.ent[i], sizeof a.ent[i]) != 0) return false;
    return true;
}

// The image written as a dump file; "" when a write failed.
std::string write_dump(const image &im) {
    char *buf = nullptr;
    size_t len = 0;
    FILE *f = open_memstream(&buf, &len);
    if (!f) return "";
    bool ok = true;
    for (const std::vector<uint32_t> &e : im.entries) {
        int32_t w[fs_ent_words];
        for (int j = 0; j < fs_ent_words; ++j) w[j] = static_cast<int32_t>(e[j]);
        ok = ok && fs_print_entry(f, w) == 0;
    }
    for (int k = 0; k < 4; ++k)
        ok = ok && print_gamma_block(f, gamma_kinds[k].nr, gamma_kinds[k].name, &im.tabs[k]) == 0;
    std::fclose(f);
    std::string s = ok ? std::string(buf, len) : "";
    std::free(buf);
    return s;
}

char read_dump(const uint8_t *data, size_t size) {
    FILE *f = fz_open_bytes(data, size);
    if (!f) return 0;
    sys_f_rv = 0;
    const char rc = buffer_fs_file(f);
    std::fclose(f);
    return rc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fz_begin();
    // The reader keeps the colour points of the default tables that a file
    // lacks: every input starts from the same tables.
    for (const gamma_kind_T &k : gamma_kinds) *k.tab = gamma_tab_T{};
    const char rc = read_dump(data, size);
    FZ_CHECK(rc == 0 || rc == 1);
    if (rc != 1) return 0;
    FZ_CHECK(fsd.fs_ent_cnt >= 0 && fsd.fs_ent_cnt <= fs_file_max_entries);
    const image first = take();
    for (const gamma_tab_T &t : first.tabs) FZ_CHECK(t.count >= 0 && t.count <= gamma_max_points);

    const std::string text = write_dump(first);
    if (text.empty()) return 0;
    bool any = !first.entries.empty();
    for (const gamma_tab_T &t : first.tabs) any = any || printable(t);
    const char rc2 = read_dump(reinterpret_cast<const uint8_t *>(text.data()), text.size());
    if (!any) return 0;  // nothing left to write: the second file holds no entry
    FZ_CHECK(rc2 == 1);
    const image second = take();
    FZ_CHECK(second.entries == first.entries);
    for (int k = 0; k < 4; ++k) {
        if (printable(first.tabs[k]))
            FZ_CHECK(same_tab(first.tabs[k], second.tabs[k]));
        else
            FZ_CHECK(second.tabs[k].count == 0);
    }
    return 0;
}
