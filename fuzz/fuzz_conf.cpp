// Fuzz target: the configuration file reader (load_conf), with a round trip.
//
// Each input is a configuration file. It is read over the defaults; when the
// reader took it for a configuration, it is saved, read back and saved again:
// the two saved files must be equal, so that whatever the reader takes, the
// writer writes in a form the reader takes back unchanged. (The reader trims
// the blanks around a value, so a text that ends in a blank, as the viewers'
// default "xdg-open " does, comes back without it: blanks before a line end
// are not compared. The viewers split their command at blanks anyway.)
//
// Reading a saved file is slow (each of its 270 IP-list keys is looked for
// among every list key), so the round trip is made for one input in eight,
// chosen by the input's bytes so that a finding reproduces.
#include <algorithm>
#include <string>

#include "fuzz_common.h"
#include "platform/serial.h"
#include "velquor/ui/conf.h"
#include "velquor/ui/velquor_cfg.h"
#include "velquor/ui/velquor_main.h"

namespace {

// Every setting at its default, every COM number at its default device.
void defaults(void) {
    set_std_cfg(cfg_grp_all, 0);
    for (int n = 1; n <= 99; ++n) plat::ser_set_com_path(n, nullptr);
}

// Loads `path` over the defaults and saves it to `out`; the saved text, or ""
// when the file was no configuration.
std::string load_and_save(const std::string &path, const std::string &out) {
    defaults();
    std::snprintf(fcpath, sizeof fcpath, "%s", path.c_str());
    const char rc = load_conf();
    conf_close();
    FZ_CHECK(conf_problem[conf_problem_size - 1] == '\0');
    if (rc != 0 || conf_foreign) return "";
    std::snprintf(fcpath, sizeof fcpath, "%s", out.c_str());
    FZ_CHECK(save_conf() == 0);
    return fz_read_file(out);
}

// The saved text without blanks before its line ends.
std::string trimmed(const std::string &text) {
    std::string s;
    for (char c : text) {
        if (c == '\r' || c == '\n')
            while (!s.empty() && s.back() == ' ') s.pop_back();
        s += c;
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fz_begin();
    const std::string in = fz_write_file("in.cfg", data, size);
    const std::string out1 = fz_write_file("out1.cfg", nullptr, 0);
    const std::string out2 = fz_write_file("out2.cfg", nullptr, 0);
    if (in.empty() || out1.empty() || out2.empty()) return 0;
    unsigned sum = 0;
    for (size_t i = 0; i < size; ++i) sum += data[i];
    if (sum % 8 != 0) {  // the reader alone
        defaults();
        std::snprintf(fcpath, sizeof fcpath, "%s", in.c_str());
        load_conf();
        conf_close();
        FZ_CHECK(conf_problem[conf_problem_size - 1] == '\0');
        return 0;
    }
    const std::string first = trimmed(load_and_save(in, out1));
    if (first.empty()) return 0;
    const std::string second = trimmed(load_and_save(out1, out2));
    if (first != second) {
        // The first line that differs, for the finding's log.
        size_t at = 0;
        while (at < first.size() && at < second.size() && first[at] == second[at]) ++at;
        const size_t from =
            first.rfind('\n', at) == std::string::npos ? 0 : first.rfind('\n', at) + 1;
        std::fprintf(stderr, "saved first:  %.80s\nsaved second: %.80s\n", first.c_str() + from,
                     second.c_str() + std::min(from, second.size()));
    }
    FZ_CHECK(first == second);
    return 0;
}
