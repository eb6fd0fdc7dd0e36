// seedgen: writes the seed corpora of the fuzz targets with the project's own
// writers, into the folder given (one folder per target, made beforehand).
//
//   seedgen CORPUS EDID.bin FIRMWARE.h86
//
// The configuration is the one save_conf writes (defaults, and a changed one);
// the dump files are a simulated monitor's file system as zelbsim writes it and
// as the program's upload writer prints it; the EDID text form is what the
// conversion writes of the EDID given; the firmware file is given (imagegen hex)
// and also cut short; answer frames, converter packets and command frames are
// built by the frame and packet builders. Macro files and command lines have no
// writer in the program: they are written here as an operator would.
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "platform/serial.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_aknord.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_ddc.h"
#include "velquor/operations/vf_fs_dnl.h"
#include "velquor/operations/vf_fs_upl.h"
#include "velquor/operations/vf_gamma.h"
#include "velquor/ui/conf.h"
#include "velquor/ui/velquor_cfg.h"
#include "velquor/ui/velquor_main.h"
#include "zs_internal.h"

namespace {

using bytes = std::vector<uint8_t>;
std::string dir;

bool put(const std::string &name, const void *p, size_t n) {
    const std::string path = dir + "/" + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(p, 1, n, f) == n;
    return std::fclose(f) == 0 && ok;
}
bool put(const std::string &name, const bytes &b) { return put(name, b.data(), b.size()); }
bool put(const std::string &name, const std::string &s) { return put(name, s.data(), s.size()); }

bool conf_seeds(void) {
    set_std_cfg(cfg_grp_all, 0);
    std::snprintf(fcpath, sizeof fcpath, "%s/conf/default.cfg", dir.c_str());
    if (save_conf() != 0) return false;
    std::snprintf(fcpath, sizeof fcpath, "%s/conf/changed.cfg", dir.c_str());
    std::snprintf(fname1, sizeof fname1, "/home/op/dumps/line 1.vqf");
    std::snprintf(ip_list[0][0].ip, sizeof ip_list[0][0].ip, "192.168.0.17");
    plat::ser_set_com_path(3, "/dev/ttyUSB0");
    sys_zelb_nr = 7;
    bool ok = save_conf() == 0;
    set_std_cfg(cfg_grp_all, 0);
    plat::ser_set_com_path(3, nullptr);
    // Its first forty lines: a configuration without the IP lists, quick to read.
    const std::string text = fz_read_file(fcpath);
    size_t at = 0;
    for (int i = 0; i < 40 && at != std::string::npos; ++i) at = text.find('\n', at + 1);
    return ok &&
           put("conf/head.cfg", text.substr(0, at == std::string::npos ? text.size() : at + 1));
}

// The program's dump writer on the tables read from `path`.
std::string program_dump(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f || buffer_fs_file(f) != 1) {
        if (f) std::fclose(f);
        return "";
    }
    std::fclose(f);
    char *buf = nullptr;
    size_t len = 0;
    FILE *out = open_memstream(&buf, &len);
    for (int32_t i = 0; i < fsd.fs_ent_cnt; ++i) {
        int32_t w[fs_ent_words];
        for (int j = 0; j < fs_ent_words; ++j) w[j] = static_cast<int32_t>(fsd.fs_ent[i][j]);
        fs_print_entry(out, w);
    }
    for (const gamma_kind_T &k : gamma_kinds)
        if (k.tab->count > 0) print_gamma_block(out, k.nr, k.name, k.tab);
    std::fclose(out);
    std::string s(buf, len);
    std::free(buf);
    return s;
}

bool dump_seeds(void) {
    std::mt19937 rng(7);
    zs_fs fs;
    zs_fs_random_entries(&fs, 6, &rng);
    zs_fs_random_gamma(&fs, 2, &rng);
    const std::string sim = dir + "/dump/zelbsim.vqf";
    if (zs_fs_write_file(sim, fs, "monitor 1 of the simulated line") != ZS_OK) return false;
    const std::string prog = program_dump(sim);
    zs_fs entries_only;
    zs_fs_random_entries(&entries_only, 2, &rng);
    return !prog.empty() && put("dump/program.vqf", prog) &&
           zs_fs_write_file(dir + "/dump/entries.vqf", entries_only, "two entries") == ZS_OK;
}

bool ddc_seeds(const char *edid) {
    const std::string bin = fz_read_file(edid);
    if (bin.size() != static_cast<size_t>(ddc_size)) return false;
    std::memcpy(ddc_buffer, bin.data(), ddc_size);
    char *buf = nullptr;
    size_t len = 0;
    FILE *f = open_memstream(&buf, &len);
    bool ok = create_ddc_head_hex(f) == 0;
    for (int32_t s = 0; ok && s < ddc_size; s += 10)
        ok = create_ddc_line_hex(f, s, s + 9 < ddc_size ? s + 9 : ddc_size - 1) == 0;
    std::fclose(f);
    const std::string text(buf, len);
    std::free(buf);
    return ok && put("ddc/edid.dat", text) && put("ddc/edid.bin", bin);
}

bool firm_seeds(const char *hex) {
    const std::string text = fz_read_file(hex);
    if (text.empty()) return false;
    // The first four lines: a short file that still ends in a whole record.
    size_t at = 0;
    for (int i = 0; i < 4 && at != std::string::npos; ++i) at = text.find('\n', at + 1);
    return put("firm/standin.h86", text) &&
           put("firm/short.h86",
               text.substr(0, at == std::string::npos ? text.size() : at + 1) + ":00000001FF\r\n");
}

bool mak_seeds(void) {
    return put("mak/buttons.vqm",
               "// two buttons\r\n"
               "Bright <brighter>\r\n"
               ":0 0x2001 0x0010\r\n"
               ":255 8353 0x0001   // every monitor\r\n"
               "Bright <darker>\r\n"
               ":0x01 0x2001 0x0008\r\n"
               "Menu <open>\r\n"
               ":07 0x208C 0\r\n");
}

bytes frame(uint8_t nr, uint16_t cmd, uint16_t val, uint16_t end) {
    bytes f(zelb_frame_len);
    create_zelb_buffer(f.data(), nr, startc, end, val, cmd);
    return f;
}

// An input of the frame target: step, monitor, command, value, then reads.
bytes frame_input(uint8_t step, uint8_t nr, uint16_t cmd, uint16_t val,
                  const std::vector<bytes> &reads) {
    bytes in = {step, nr, uint8_t(cmd), uint8_t(cmd >> 8), uint8_t(val), uint8_t(val >> 8)};
    for (const bytes &r : reads) {
        in.push_back(static_cast<uint8_t>(r.size()));
        in.insert(in.end(), r.begin(), r.end());
    }
    return in;
}

bool frame_seeds(void) {
    const bytes good = frame(1, 0x5000, 3, stopc_ack), stale = frame(1, 0x08E4, 5, stopc_ack);
    bytes bad_cks = good;
    bad_cks[7] ^= 1;
    return put("frame/answer", frame_input(0, 1, 0x5000, 0, {good})) &&
           put("frame/stale", frame_input(0, 1, 0x5000, 0, {stale, good})) &&
           put("frame/echo", frame_input(0, 1, 0x5000, 0, {frame(1, 0x5000, 0, stopc_pc)})) &&
           put("frame/checksum", frame_input(1, 1, 0x5000, 0, {bad_cks})) &&
           put("frame/short",
               frame_input(1, 2, 0x6001, 0, {bytes(good.begin(), good.begin() + 4)}));
}

bytes packet(const bytes &data) {
    bytes p(eth_buffer_size);
    p.resize(aknord_build(data.data(), static_cast<uint32_t>(data.size()), p.data()));
    return p;
}

bool converter_seeds(void) {
    ipcom_conf.baudrate = 9600;
    ipcom_conf.par = 'E';
    bytes ping = {0x04};  // one monitor, pieces of two bytes
    const bytes p1 = packet(frame(0, 0x5000, 0, stopc_pc));
    ping.insert(ping.end(), p1.begin(), p1.end());
    bytes fs = {0x3D};  // two monitors, pieces of sixteen bytes
    for (const bytes &f : {frame(2, 0x6005, 0, stopc_pc), frame(2, 0x6004, 0x00A9, stopc_pc),
                           frame(2, 0x6002, 0x1234, stopc_pc), frame(2, 0x6005, 0, stopc_pc)}) {
        const bytes p = packet(f);
        fs.insert(fs.end(), p.begin(), p.end());
    }
    bytes load = {0xFE};  // three monitors, whole packets
    const bytes start = packet(frame(0, 0x7000, 0, stopc_pc));
    const bytes rec = packet({0x02, 0x01, 0x00, 0x00, 0xAA, 0x55, 0xFE});
    const bytes eof = packet({0x00, 0x00, 0x00, 0x01, 0xFF});
    for (const bytes *p : {&start, &rec, &eof}) load.insert(load.end(), p->begin(), p->end());
    return put("converter/ping", ping) && put("converter/fs", fs) && put("converter/load", load);
}

bool zs_frame_seeds(void) {
    bytes s = frame(1, 0x5000, 0, stopc_pc);
    const bytes junk = {0xAA, 0x00, 0xAA, 0x55, 0x01};
    bytes mixed = junk;
    for (const bytes &f : {frame(2, 0x6001, 0, stopc_pc), frame(3, 0x208C, 0, stopc_ack)})
        mixed.insert(mixed.end(), f.begin(), f.end());
    return put("zs_frame/frame", s) && put("zs_frame/mixed", mixed);
}

bool cli_seeds(void) {
    const std::vector<std::vector<std::string>> lines = {
        {"--com", "3", "ping"},
        {"--ip", "10.0.0.2", "--monitor", "0", "download", "dump.vqf"},
        {"firmware", "--check", "--json", "v5.068.h86"},
        {"--port", "/dev/ttyUSB0", "macro", "buttons.vqm", "Bright", "--step", "2"},
        {"ddc-write", "--lpt", "2", "--boards", "4", "--fix-checksum", "edid.bin"},
    };
    int i = 0;
    for (const std::vector<std::string> &args : lines) {
        std::string in;  // the arguments, each ended by a NUL but the last
        for (const std::string &a : args) in += (in.empty() ? "" : std::string(1, '\0')) + a;
        if (!put("cli/args" + std::to_string(++i), in)) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: seedgen CORPUS EDID.bin FIRMWARE.h86\n");
        return 2;
    }
    dir = argv[1];
    fz_begin();
    const struct {
        const char *what;
        bool ok;
    } done[] = {
        {"conf", conf_seeds()},
        {"dump", dump_seeds()},
        {"ddc", ddc_seeds(argv[2])},
        {"firm", firm_seeds(argv[3])},
        {"mak", mak_seeds()},
        {"frame", frame_seeds()},
        {"converter", converter_seeds()},
        {"zs_frame", zs_frame_seeds()},
        {"cli", cli_seeds()},
    };
    int rc = 0;
    for (const auto &d : done) {
        if (d.ok) continue;
        std::fprintf(stderr, "seedgen: the %s seeds could not be written\n", d.what);
        rc = 1;
    }
    return rc;
}
