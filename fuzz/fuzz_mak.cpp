// Fuzz target: the macro file loader (load_mak through a file of this
// process), and the captions the buttons then show (mak_get_vals).
//
// Whatever the file holds, every button keeps at most 25 steps of at most 10
// commands, every name and caption stays within its 25 characters, and no step
// is left current after the loading.
#include <cstring>

#include "fuzz_common.h"
#include "velquor/operations/vf_mak.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fz_begin();
    const std::string path = fz_write_file("in.vqm", data, size);
    if (path.empty()) return 0;
    std::snprintf(makpath, sizeof makpath, "%s", path.c_str());
    load_mak();
    FZ_CHECK(MPoi == nullptr);
    FZ_CHECK(std::strcmp(makpath, path.c_str()) == 0);  // the file could be opened
    for (int b = 0; b < mak_buttons; ++b) {
        const makroT &m = makros[b];
        FZ_CHECK(m.cnt <= mak_steps);
        FZ_CHECK(m.ix < m.cnt || m.cnt == 0);
        for (int s = 0; s < m.cnt; ++s) {
            const mak_ent_T &e = m.ent[s];
            FZ_CHECK(e.cnt <= mak_cmds);
            FZ_CHECK(strnlen(e.text, sizeof e.text) < sizeof e.text);
            FZ_CHECK(strnlen(e.text_id, sizeof e.text_id) < sizeof e.text_id);
        }
        const char *caption = mak_get_vals(1, b);
        FZ_CHECK((caption == nullptr) == (m.cnt == 0));
        if (caption) FZ_CHECK(std::strlen(caption) < static_cast<size_t>(mak_text_size));
    }
    return 0;
}
