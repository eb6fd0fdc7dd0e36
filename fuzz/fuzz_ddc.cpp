// Fuzz target: the EDID file reader in both forms (input_ddc_file: the text
// table, mode2 = 1, and the 128-byte binary form, mode2 = 0), the name of the
// converted file, and the decoding of the block read (edid_decode).
//
// Each input is read as a text file; when the reader takes it, the block is
// written as a text file again and read back, which must give the same 128
// bytes. The input is read as a binary file too, which only 128 bytes pass,
// as they stand. Every block read is decoded.
#include <cstring>
#include <string>

#include "cli/edid.h"
#include "fuzz_common.h"
#include "velquor/operations/vf_ddc.h"

namespace {

// Reads the bytes as a file of form `form` into ddc_buffer: input_ddc_file's result.
char read_form(const uint8_t *data, size_t size, uint8_t form) {
    FILE *f = fz_open_bytes(data, size);
    if (!f) return 0;
    std::memset(ddc_buffer, 0, sizeof ddc_buffer);
    fpupl = f;
    mode2 = form;
    sys_f_rv = 0;
    const char rc = input_ddc_file();
    mf_fclose(&fpupl);
    FZ_CHECK(rc == 0 || rc == 1);
    FZ_CHECK(rc == 1 ? sys_f_rv == 0 : sys_f_rv != 0);
    return rc;
}

// The block as the text form writes it; "" when a write failed.
std::string text_form(void) {
    char *buf = nullptr;
    size_t len = 0;
    FILE *f = open_memstream(&buf, &len);
    if (!f) return "";
    bool ok = create_ddc_head_hex(f) == 0;
    for (int32_t s = 0; ok && s < ddc_size; s += 10)
        ok = create_ddc_line_hex(f, s, s + 9 < ddc_size ? s + 9 : ddc_size - 1) == 0;
    std::fclose(f);
    std::string s = ok ? std::string(buf, len) : "";
    std::free(buf);
    return s;
}

void decode(void) {
    edid_report r;
    edid_decode(ddc_buffer, &r);
    uint8_t sum = 0;
    for (int i = 0; i < ddc_size; ++i) sum = static_cast<uint8_t>(sum + ddc_buffer[i]);
    FZ_CHECK(r.checksum_ok == (sum == 0));
    FZ_CHECK(!r.lines.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fz_begin();
    if (read_form(data, size, 1) == 1) {
        uint8_t first[ddc_size];
        std::memcpy(first, ddc_buffer, ddc_size);
        decode();
        const std::string text = text_form();
        FZ_CHECK(!text.empty());
        FZ_CHECK(read_form(reinterpret_cast<const uint8_t *>(text.data()), text.size(), 1) == 1);
        FZ_CHECK(std::memcmp(first, ddc_buffer, ddc_size) == 0);
    }
    if (read_form(data, size, 0) == 1) {
        FZ_CHECK(size == static_cast<size_t>(ddc_size));
        FZ_CHECK(std::memcmp(data, ddc_buffer, ddc_size) == 0);
        decode();
    }
    // The name convert_ddc writes for the input taken as a file name.
    char src[cfg_path_size], out[cfg_path_size];
    const size_t n = size < sizeof src - 1 ? size : sizeof src - 1;
    std::memcpy(src, data, n);
    src[n] = '\0';
    if (ddc_target_name(src, out, sizeof out) == 0) FZ_CHECK(std::strlen(out) < sizeof out);
    return 0;
}
