// imagegen: writes the sources of the program's built-in images at build time.
//
//   imagegen firmware OUT.cpp [HEXFILE]
//       The built-in firmware 5.068 (v5.068.h): the Intel-HEX lines of HEXFILE,
//       each cleaned of line ends and surrounding blanks and framed by a TAB on
//       each side; without HEXFILE a generated stand-in of the board image's
//       layout (eight 64 KB segments, 29 113 data records of 16 bytes).
//   imagegen boot OUT.cpp [PRIM ZELB3 AM29LV150]
//       The boot loader images (bootsec.h) from three binary files of exactly
//       32, 720 and 900 bytes; without files generated stand-ins of those sizes.
//   imagegen hex OUT.h86 [RECORDS]
//       The stand-in firmware as an Intel-HEX file (CR LF line ends), cut to
//       its first RECORDS data records: a file to try an update or a
//       bootstrap with against the simulator.
//   imagegen edid OUT.bin
//       The 128-byte EDID of a demonstration monitor ("VELQUOR DEMO", 1920 x
//       1080 at 60 Hz preferred), with a correct checksum: a file to write
//       into the simulated adapter's EEPROM.
//
// A file that is not what it must be is refused with its name, the line or the
// size at fault, and exit status 1; nothing is written then. The output is
// written to OUT.cpp.tmp and renamed, so a broken run never leaves half a source.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------- output

// Appends s as the body of a C string literal: printable ASCII as it is, the
// rest as three-digit octal escapes (which never run into a following digit).
void put_c_text(std::string *out, const std::string &s) {
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out->push_back('\\');
            out->push_back(static_cast<char>(c));
        } else if (c >= 0x20 && c < 0x7F) {
            out->push_back(static_cast<char>(c));
        } else {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\%03o", c);
            *out += esc;
        }
    }
}

bool write_file(const std::string &path, const std::string &text) {
    const std::string tmp = path + ".tmp";
    FILE *f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "imagegen: cannot write %s: %s\n", tmp.c_str(), std::strerror(errno));
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (std::fclose(f) == 0) && ok;
    if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "imagegen: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        std::remove(tmp.c_str());
    }
    return ok;
}

bool read_file(const char *path, std::string *out) {
    FILE *f = std::fopen(path, "rb");
    if (!f) {
        std::fprintf(stderr, "imagegen: cannot read %s: %s\n", path, std::strerror(errno));
        return false;
    }
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) std::fprintf(stderr, "imagegen: cannot read %s\n", path);
    return ok;
}

// The name of the file without its folders: what the program names as the
// origin of an image.
std::string base_name(const char *path) {
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// Deterministic pseudo-random bytes (xorshift64*): the same stand-ins on every
// build and every host.
struct Prng {
    uint64_t s;
    uint8_t next() {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return static_cast<uint8_t>((s * 0x2545F4914F6CDD1DULL) >> 56);
    }
};

// ---------------------------------------------------------------- Intel-HEX

int hex_val(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Checks one cleaned record: ":" then hex pairs, a byte count that matches the
// record's length (count + 5 bytes) and an 8-bit sum of 0. On a fault, *why
// says what is wrong and false is returned; *type gets the record type.
bool check_record(const std::string &line, std::string *why, int *type) {
    if (line[0] != ':') {
        *why = "does not begin with ':'";
        return false;
    }
    const size_t digits = line.size() - 1;
    for (size_t i = 1; i < line.size(); i++) {
        if (hex_val(line[i]) < 0) {
            *why = "character " + std::to_string(i + 1) + " is no hexadecimal digit";
            return false;
        }
    }
    if (digits % 2 != 0) {
        *why = "odd number of hexadecimal digits";
        return false;
    }
    const size_t bytes = digits / 2;
    if (bytes < 5) {
        *why = "shorter than a record (5 bytes at least)";
        return false;
    }
    unsigned sum = 0;
    std::vector<unsigned> b(bytes);
    for (size_t i = 0; i < bytes; i++) {
        b[i] = static_cast<unsigned>(hex_val(line[1 + 2 * i]) * 16 + hex_val(line[2 + 2 * i]));
        sum += b[i];
    }
    if (b[0] + 5 != bytes) {
        *why = "byte count " + std::to_string(b[0]) + " but " + std::to_string(bytes - 5) +
               " data bytes";
        return false;
    }
    if ((sum & 0xFF) != 0) {
        char t[64];
        std::snprintf(t, sizeof t, "checksum wrong (the bytes sum to 0x%02X, not 0x00)",
                      sum & 0xFF);
        *why = t;
        return false;
    }
    *type = static_cast<int>(b[3]);
    return true;
}

// The records of an Intel-HEX text, each cleaned of CR/LF and of blanks before
// and after it; empty lines are left out. A fault names the line.
bool hex_lines_of(const char *path, const std::string &text, std::vector<std::string> *out) {
    size_t pos = 0;
    int lineno = 0, last_type = -1, last_lineno = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        lineno++;
        const size_t a = line.find_first_not_of(" \t\r");
        if (a == std::string::npos) continue;
        line = line.substr(a, line.find_last_not_of(" \t\r") - a + 1);
        std::string why;
        if (!check_record(line, &why, &last_type)) {
            std::fprintf(stderr, "imagegen: %s:%d: not an Intel-HEX record: %s\n", path, lineno,
                         why.c_str());
            return false;
        }
        out->push_back(line);
        last_lineno = lineno;
    }
    if (out->empty()) {
        std::fprintf(stderr, "imagegen: %s: no Intel-HEX record in the file\n", path);
        return false;
    }
    // A file cut short at a line end reads as good records: only the end
    // record tells that the image is whole.
    if (last_type != 1) {
        std::fprintf(stderr, "imagegen: %s:%d: the last record is not the end record (type 01)\n",
                     path, last_lineno);
        return false;
    }
    return true;
}

// Appends the byte v as two upper-case hexadecimal digits.
void put_hex2(std::string *out, unsigned v) {
    static const char digits[] = "0123456789ABCDEF";
    out->push_back(digits[(v >> 4) & 0xF]);
    out->push_back(digits[v & 0xF]);
}

// One record in upper-case hex with its checksum.
std::string make_record(unsigned addr, unsigned type, const uint8_t *data, unsigned n) {
    std::string r = ":";
    unsigned sum = n + (addr >> 8) + (addr & 0xFF) + type;
    put_hex2(&r, n);
    put_hex2(&r, addr >> 8);
    put_hex2(&r, addr & 0xFF);
    put_hex2(&r, type);
    for (unsigned i = 0; i < n; i++) {
        put_hex2(&r, data[i]);
        sum += data[i];
    }
    put_hex2(&r, 0x100 - (sum & 0xFF));
    return r;
}

// The stand-in of the firmware 5.068: the board image's layout with
// pseudo-random contents. Every 4096 data records (64 KB) begin a new segment,
// announced by an extended segment address record (0x1000, 0x2000, ...).
constexpr unsigned standin_data_records = 29113, records_per_segment = 4096, record_bytes = 16;

std::vector<std::string> standin_firmware(void) {
    std::vector<std::string> lines;
    Prng rng{0x5068'0000'C0DE'1234ULL};
    uint8_t data[record_bytes];
    for (unsigned i = 0; i < standin_data_records; i++) {
        const unsigned in_seg = i % records_per_segment;
        if (in_seg == 0) {
            const unsigned seg = 0x1000 * (i / records_per_segment + 1);
            const uint8_t s[2] = {static_cast<uint8_t>(seg >> 8), static_cast<uint8_t>(seg & 0xFF)};
            lines.push_back(make_record(0, 2, s, 2));
        }
        for (uint8_t &b : data) b = rng.next();
        lines.push_back(make_record(in_seg * record_bytes, 0, data, record_bytes));
    }
    lines.push_back(make_record(0, 1, nullptr, 0));
    return lines;
}

int gen_firmware(const char *out, const char *hexfile) {
    std::vector<std::string> lines;
    std::string origin = "generated stand-in";
    if (hexfile) {
        std::string text;
        if (!read_file(hexfile, &text)) return 1;
        if (!hex_lines_of(hexfile, text, &lines)) return 1;
        origin = base_name(hexfile);
    } else {
        lines = standin_firmware();
    }
    // One array of string literals: the compiler takes it in one pass.
    std::string s;
    s.reserve(lines.size() * 52 + 1024);
    s += "// Generated by imagegen at build time: the built-in firmware 5.068.\n"
         "#include \"velquor/operations/v5.068.h\"\n\n"
         "const char v5068_origin[] = \"";
    put_c_text(&s, origin);
    s += "\";\nconst bool v5068_stand_in = ";
    s += hexfile ? "false" : "true";
    s += ";\n\nconst char *const v5068[] = {\n";
    for (const std::string &l : lines) {
        s += "\"\\t";
        s += l;
        s += "\\t\",\n";
    }
    s += "nullptr};\n";
    return write_file(out, s) ? 0 : 1;
}

// ---------------------------------------------------------------- boot loaders

struct BootImage {
    const char *name;  // the array's name in bootsec.h
    size_t size;
    uint64_t seed;  // of the stand-in
};
constexpr BootImage boot_images[3] = {
    {"BootPrimImage", 32, 0xB007'0001'0000'0020ULL},
    {"BootSecondary_ZELB3_Image", 720, 0xB007'0002'0000'02D0ULL},
    {"BootSecondary_AM29LV150_Image", 900, 0xB007'0003'0000'0384ULL},
};

int gen_boot(const char *out, char **files) {
    std::string data[3], origin;
    for (int i = 0; i < 3; i++) {
        const BootImage &im = boot_images[i];
        if (files) {
            if (!read_file(files[i], &data[i])) return 1;
            if (data[i].size() != im.size) {
                std::fprintf(stderr, "imagegen: %s: %zu bytes, but %s must have exactly %zu\n",
                             files[i], data[i].size(), im.name, im.size);
                return 1;
            }
            if (i > 0) origin += ", ";
            origin += base_name(files[i]);
        } else {
            Prng rng{im.seed};
            for (size_t k = 0; k < im.size; k++) data[i].push_back(static_cast<char>(rng.next()));
        }
    }
    if (!files) origin = "generated stand-ins";
    std::string s;
    s += "// Generated by imagegen at build time: the boot loader images.\n"
         "#include \"velquor/operations/bootsec.h\"\n\n"
         "const char bootsec_origin[] = \"";
    put_c_text(&s, origin);
    s += "\";\nconst bool bootsec_stand_in = ";
    s += files ? "false" : "true";
    s += ";\n";
    for (int i = 0; i < 3; i++) {
        char head[96];
        std::snprintf(head, sizeof head, "\nconst uint8_t %s[%zu] = {", boot_images[i].name,
                      boot_images[i].size);
        s += head;
        for (size_t k = 0; k < data[i].size(); k++) {
            s += k % 12 == 0 ? "\n    0x" : " 0x";
            put_hex2(&s, static_cast<unsigned char>(data[i][k]));
            s += ',';
        }
        s += "\n};\n";
    }
    return write_file(out, s) ? 0 : 1;
}

// The stand-in's records up to its first `records` data records, then the end record.
int gen_hex(const char *out, const char *count) {
    unsigned long records = standin_data_records;
    if (count) {
        char *end = nullptr;
        errno = 0;
        records = std::strtoul(count, &end, 10);
        if (errno || !end || *end || records == 0 || records > standin_data_records) {
            std::fprintf(stderr, "imagegen: RECORDS must be 1..%u, not %s\n", standin_data_records,
                         count);
            return 2;
        }
    }
    const std::vector<std::string> lines = standin_firmware();
    std::string s;
    unsigned long data = 0;
    for (const std::string &l : lines) {
        const bool is_data = l.compare(7, 2, "00") == 0, is_end = l.compare(7, 2, "01") == 0;
        if (!is_end && data >= records) continue;
        data += is_data;
        s += l;
        s += "\r\n";
    }
    return write_file(out, s) ? 0 : 1;
}

// Puts a display descriptor with a text of at most 13 characters at off.
void put_descriptor_text(uint8_t *b, int off, uint8_t tag, const char *text) {
    uint8_t *d = b + off;
    std::memset(d, 0, 5);
    d[3] = tag;
    std::memset(d + 5, ' ', 13);
    const size_t n = std::strlen(text) < 13 ? std::strlen(text) : 13;
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): EDID texts end in 0x0A, not NUL
    std::memcpy(d + 5, text, n);
    if (n < 13) d[5 + n] = 0x0A;
}

int gen_edid(const char *out) {
    uint8_t b[128] = {};
    // Header, maker "VLQ", product 1, serial 1, week 49 of 2026, EDID 1.3.
    const uint8_t head[20] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x59, 0x91,
                              0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 49,   36,   1,    3};
    std::memcpy(b, head, sizeof head);
    b[20] = 0x80;  // digital input
    b[21] = 53;    // 53 x 30 cm
    b[22] = 30;
    b[23] = 120;   // gamma 2.20
    b[24] = 0xEA;  // power states, RGB colour, preferred timing first
    // sRGB primaries and D65 white, as 10-bit fractions.
    const unsigned xy[8] = {655, 338, 307, 614, 154, 61, 320, 337};
    b[25] =
        static_cast<uint8_t>((xy[0] & 3) << 6 | (xy[1] & 3) << 4 | (xy[2] & 3) << 2 | (xy[3] & 3));
    b[26] =
        static_cast<uint8_t>((xy[4] & 3) << 6 | (xy[5] & 3) << 4 | (xy[6] & 3) << 2 | (xy[7] & 3));
    for (int i = 0; i < 8; i++) b[27 + i] = static_cast<uint8_t>(xy[i] >> 2);
    b[35] = 0x21;  // 640x480 and 800x600 at 60 Hz
    b[36] = 0x08;  // 1024x768 at 60 Hz
    const uint8_t std_timings[16] = {0x81, 0x80, 0xD1, 0xC0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    std::memcpy(b + 38, std_timings, 16);
    // 1920 x 1080 at 60 Hz, 148.5 MHz, 531 x 299 mm.
    const uint8_t timing[18] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                                0x2C, 0x45, 0x00, 0x13, 0x2B, 0x21, 0x00, 0x00, 0x1E};
    std::memcpy(b + 54, timing, 18);
    put_descriptor_text(b, 72, 0xFC, "VELQUOR DEMO");
    const uint8_t range[18] = {0,  0, 0,    0xFD, 0,   56,  76,  30,  83,
                               17, 0, 0x0A, ' ',  ' ', ' ', ' ', ' ', ' '};
    std::memcpy(b + 90, range, 18);
    put_descriptor_text(b, 108, 0xFF, "VQ000001");
    unsigned sum = 0;
    for (int i = 0; i < 127; i++) sum += b[i];
    b[127] = static_cast<uint8_t>(-sum);
    return write_file(out, std::string(reinterpret_cast<const char *>(b), sizeof b)) ? 0 : 1;
}

const char usage[] =
    "usage: imagegen firmware OUT.cpp [HEXFILE]\n"
    "       imagegen boot OUT.cpp [PRIM ZELB3 AM29LV150]\n"
    "       imagegen hex OUT.h86 [RECORDS]\n"
    "       imagegen edid OUT.bin\n";

}  // namespace

int main(int argc, char **argv) {
    if (argc >= 3 && std::strcmp(argv[1], "firmware") == 0 && argc <= 4)
        return gen_firmware(argv[2], argc == 4 ? argv[3] : nullptr);
    if (argc >= 3 && std::strcmp(argv[1], "boot") == 0 && (argc == 3 || argc == 6))
        return gen_boot(argv[2], argc == 6 ? argv + 3 : nullptr);
    if (argc >= 3 && std::strcmp(argv[1], "hex") == 0 && argc <= 4)
        return gen_hex(argv[2], argc == 4 ? argv[3] : nullptr);
    if (argc == 3 && std::strcmp(argv[1], "edid") == 0) return gen_edid(argv[2]);
    std::fputs(usage, stderr);
    return 2;
}
