// Decoding of the 128-byte EDID base block; see edid.h.
//
// Every number is formatted with integer arithmetic, so that the output does
// not depend on the locale and stays plain ASCII.
#include "cli/edid.h"

#include <cstdarg>
#include <cstdio>

namespace {

const uint8_t edid_header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

__attribute__((format(printf, 1, 2))) std::string fmt(const char *f, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, f);
    vsnprintf(buf, sizeof buf, f, ap);
    va_end(ap);
    return buf;
}

// The decoder's state: the block, the report and the version it decodes.
struct ctx {
    const uint8_t *b;
    edid_report *out;
    unsigned version;
    unsigned revision;
    bool digital;

    void line(std::string s) { out->lines.push_back(std::move(s)); }
    void warn(std::string s) { out->warnings.push_back(std::move(s)); }
    // EDID 1.4 gave several bits new meanings.
    bool v14() const { return version == 1 && revision >= 4; }
};

const char *yes_no(bool v) { return v ? "yes" : "no"; }

// "n.dd" for a value given in hundredths.
std::string hundredths(uint64_t v) {
    return fmt("%llu.%02llu", static_cast<unsigned long long>(v / 100),
               static_cast<unsigned long long>(v % 100));
}

void decode_header(ctx &c) {
    bool ok = true;
    for (int i = 0; i < 8; i++) ok = ok && c.b[i] == edid_header[i];
    if (ok) {
        c.line("header: ok");
        return;
    }
    std::string got;
    for (int i = 0; i < 8; i++) got += fmt(i ? " %02X" : "%02X", c.b[i]);
    c.line("header: " + got + " (should be 00 FF FF FF FF FF FF 00)");
    c.warn("header is " + got + ", not 00 FF FF FF FF FF FF 00");
}

unsigned sum_of(const uint8_t *b, int n) {
    unsigned s = 0;
    for (int i = 0; i < n; i++) s += b[i];
    return s & 0xFFu;
}

void decode_checksum(ctx &c) {
    const auto should = static_cast<uint8_t>((0x100u - sum_of(c.b, 127)) & 0xFFu);
    c.out->checksum_should_be = should;
    c.out->checksum_ok = should == c.b[127];
    if (c.out->checksum_ok) {
        c.line(fmt("checksum: 0x%02X (ok)", c.b[127]));
    } else {
        c.line(fmt("checksum: 0x%02X (should be 0x%02X)", c.b[127], should));
        c.warn(fmt("checksum is 0x%02X, should be 0x%02X", c.b[127], should));
    }
}

void decode_ids(ctx &c) {
    // Three letters of 5 bits each, big-endian, 1 = 'A'; bit 15 is reserved.
    const unsigned id = static_cast<unsigned>(c.b[8]) << 8 | c.b[9];
    std::string name;
    bool bad_letter = false;
    for (int shift = 10; shift >= 0; shift -= 5) {
        const unsigned n = (id >> shift) & 0x1Fu;
        if (n >= 1 && n <= 26) {
            name += static_cast<char>('A' + (n - 1));
        } else {
            name += '?';
            bad_letter = true;
        }
    }
    c.line("manufacturer: " + name);
    if (id & 0x8000u) c.warn("manufacturer id has bit 15 set");
    if (bad_letter) c.warn("manufacturer id has a letter outside A..Z");

    c.line(fmt("product: 0x%04X", static_cast<unsigned>(c.b[10]) | c.b[11] << 8));
    const uint32_t serial = static_cast<uint32_t>(c.b[12]) | static_cast<uint32_t>(c.b[13]) << 8 |
                            static_cast<uint32_t>(c.b[14]) << 16 |
                            static_cast<uint32_t>(c.b[15]) << 24;
    if (serial)
        c.line(fmt("serial number: %lu", static_cast<unsigned long>(serial)));
    else
        c.line("serial number: not given");

    const unsigned week = c.b[16], year = c.b[17] + 1990u;
    if (week == 0xFF) {
        c.line(fmt("model year: %u", year));
    } else if (week == 0) {
        c.line(fmt("made: %u (week not given)", year));
    } else if (week <= 54) {
        c.line(fmt("made: week %u of %u", week, year));
    } else {
        c.line(fmt("made: week %u of %u (week out of range)", week, year));
        c.warn(
            fmt("week of manufacture %u is out of range (1..54, or 0xFF for a model year)", week));
    }

    c.line(fmt("version: %u.%u", c.version, c.revision));
    if (c.version != 1) c.warn(fmt("version %u is not 1", c.version));
}

void decode_input(ctx &c) {
    const unsigned v = c.b[20];
    if (c.digital) {
        c.line("input: digital");
        if (c.v14()) {
            static const char *const depth[8] = {"not defined",         "6 bits per primary",
                                                 "8 bits per primary",  "10 bits per primary",
                                                 "12 bits per primary", "14 bits per primary",
                                                 "16 bits per primary", "reserved value 7"};
            static const char *const iface[6] = {"not defined", "DVI",  "HDMI-a",
                                                 "HDMI-b",      "MDDI", "DisplayPort"};
            c.line(std::string("colour depth: ") + depth[(v >> 4) & 7u]);
            const unsigned i = v & 0x0Fu;
            if (i < 6)
                c.line(std::string("interface: ") + iface[i]);
            else
                c.line(fmt("interface: reserved value %u", i));
        } else {
            c.line(std::string("dfp 1.x compatible: ") + yes_no(v & 1u));
        }
        return;
    }
    static const char *const level[4] = {"0.700 V / 0.300 V", "0.714 V / 0.286 V",
                                         "1.000 V / 0.400 V", "0.700 V / 0.000 V"};
    c.line("input: analog");
    c.line(std::string("signal level (video / sync): ") + level[(v >> 5) & 3u]);
    c.line(std::string("blank-to-black setup: ") + yes_no(v & 0x10u));
    std::string sync;
    if (v & 0x08u) sync += ", separate";
    if (v & 0x04u) sync += ", composite on hsync";
    if (v & 0x02u) sync += ", on green";
    c.line("sync: " + (sync.empty() ? std::string("none given") : sync.substr(2)));
    c.line(std::string("vsync serration: ") + yes_no(v & 0x01u));
}

void decode_size_gamma(ctx &c) {
    const unsigned h = c.b[21], v = c.b[22];
    if (h && v) {
        c.line(fmt("screen size: %u x %u cm", h, v));
    } else if (!h && !v) {
        c.line("screen size: not given");
    } else if (c.v14()) {
        // 1.4 gives an aspect ratio in place of the size: (n + 99) / 100.
        if (h)
            c.line("screen size: not given, aspect ratio " + hundredths(h + 99u) + " (landscape)");
        else
            c.line("screen size: not given, aspect ratio " + hundredths(10000u / (v + 99u)) +
                   " (portrait)");
    } else {
        c.line(fmt("screen size: %u x %u cm (incomplete)", h, v));
        c.warn("screen size gives only one dimension");
    }

    if (c.b[23] == 0xFF)
        c.line("gamma: defined elsewhere");
    else
        c.line("gamma: " + hundredths(c.b[23] + 100u));
}

void decode_features(ctx &c) {
    const unsigned f = c.b[24];
    std::string pm;
    if (f & 0x80u) pm += ", standby";
    if (f & 0x40u) pm += ", suspend";
    if (f & 0x20u) pm += ", active off";
    c.line("power management: " + (pm.empty() ? std::string("none") : pm.substr(2)));

    const unsigned type = (f >> 3) & 3u;
    if (c.digital && c.v14()) {
        static const char *const enc[4] = {"RGB 4:4:4", "RGB 4:4:4, YCrCb 4:4:4",
                                           "RGB 4:4:4, YCrCb 4:2:2",
                                           "RGB 4:4:4, YCrCb 4:4:4, YCrCb 4:2:2"};
        c.line(std::string("colour encodings: ") + enc[type]);
    } else {
        static const char *const kind[4] = {"monochrome or grayscale", "RGB colour",
                                            "non-RGB colour", "not defined"};
        c.line(std::string("display type: ") + kind[type]);
    }
    c.line(std::string("srgb default: ") + yes_no(f & 0x04u));
    if (c.v14()) {
        c.line(std::string("preferred timing is native: ") + yes_no(f & 0x02u));
        c.line(std::string("continuous frequency: ") + yes_no(f & 0x01u));
    } else {
        c.line(std::string("preferred timing in first descriptor: ") + yes_no(f & 0x02u));
        c.line(std::string("gtf supported: ") + yes_no(f & 0x01u));
    }
}

// "0.ddd" for a 10-bit chromaticity coordinate (value / 1024), rounded.
std::string chroma(unsigned v10) { return fmt("0.%03u", (v10 * 1000u + 512u) / 1024u); }

void decode_chromaticity(ctx &c) {
    // Bytes 25 and 26 hold the low two bits, bytes 27..34 the high eight.
    static const char *const names[4] = {"red", "green", "blue", "white"};
    for (unsigned i = 0; i < 4; i++) {
        const unsigned low = c.b[25 + i / 2], shift = (i % 2) ? 0u : 4u;
        const unsigned x =
            static_cast<unsigned>(c.b[27 + 2 * i]) << 2 | ((low >> (shift + 2)) & 3u);
        const unsigned y = static_cast<unsigned>(c.b[28 + 2 * i]) << 2 | ((low >> shift) & 3u);
        c.line(std::string(names[i]) + ": x " + chroma(x) + ", y " + chroma(y));
    }
}

void decode_established(ctx &c) {
    // Bit 7 of byte 35 first, down to bit 0 of byte 36, then bit 7 of byte 37.
    static const char *const names[17] = {
        "720x400@70",  "720x400@88",  "640x480@60",  "640x480@67",   "640x480@72", "640x480@75",
        "800x600@56",  "800x600@60",  "800x600@72",  "800x600@75",   "832x624@75", "1024x768@87i",
        "1024x768@60", "1024x768@70", "1024x768@75", "1280x1024@75", "1152x870@75"};
    std::string list;
    for (unsigned i = 0; i < 17; i++)
        if (c.b[35 + i / 8] & (0x80u >> (i % 8))) list += std::string(", ") + names[i];
    c.line("established timings: " + (list.empty() ? std::string("none") : list.substr(2)));
    if (c.b[37] & 0x7Fu) c.line(fmt("manufacturer timings: 0x%02X", c.b[37] & 0x7Fu));
}

// One 2-byte standard timing, shown under its name; 01 01 marks an unused one.
void decode_standard(ctx &c, const uint8_t *p, const std::string &name) {
    if (p[0] == 0x01 && p[1] == 0x01) return;
    if (p[0] == 0x00) {
        c.warn(fmt("%s is %02X %02X: 00 is no valid width (unused is 01 01)", name.c_str(), p[0],
                   p[1]));
        return;
    }
    const unsigned h = (p[0] + 31u) * 8u, hz = (p[1] & 0x3Fu) + 60u;
    unsigned v = 0;
    const char *aspect = "";
    switch (p[1] >> 6) {
    case 0:
        // Before 1.3 the code 00 meant 1:1.
        if (c.version > 1 || c.revision >= 3) {
            v = h * 10 / 16;
            aspect = "16:10";
        } else {
            v = h;
            aspect = "1:1";
        }
        break;
    case 1:
        v = h * 3 / 4;
        aspect = "4:3";
        break;
    case 2:
        v = h * 4 / 5;
        aspect = "5:4";
        break;
    default:
        v = h * 9 / 16;
        aspect = "16:9";
        break;
    }
    c.line(fmt("%s: %ux%u at %u Hz (%s)", name.c_str(), h, v, hz, aspect));
}

void decode_standards(ctx &c) {
    for (unsigned i = 0; i < 8; i++)
        decode_standard(c, c.b + 38 + 2 * i, fmt("standard timing %u", i + 1));
}

void decode_detailed(ctx &c, const uint8_t *d, const std::string &name) {
    const unsigned clock = static_cast<unsigned>(d[0]) | d[1] << 8;  // in 10 kHz
    const unsigned ha = d[2] | (d[4] & 0xF0u) << 4, hb = d[3] | (d[4] & 0x0Fu) << 8;
    const unsigned va = d[5] | (d[7] & 0xF0u) << 4, vb = d[6] | (d[7] & 0x0Fu) << 8;
    const unsigned hso = d[8] | (d[11] & 0xC0u) << 2, hsw = d[9] | (d[11] & 0x30u) << 4;
    const unsigned vso = (d[10] >> 4) | (d[11] & 0x0Cu) << 2;
    const unsigned vsw = (d[10] & 0x0Fu) | (d[11] & 0x03u) << 4;
    const unsigned hmm = d[12] | (d[14] & 0xF0u) << 4, vmm = d[13] | (d[14] & 0x0Fu) << 8;
    const unsigned flags = d[17];
    const bool interlaced = flags & 0x80u;

    // The rate of fields (frames when progressive) in hundredths of a hertz.
    const uint64_t total = static_cast<uint64_t>(ha + hb) * (va + vb);
    std::string rate = "unknown rate";
    if (total)
        rate = hundredths((static_cast<uint64_t>(clock) * 1000000u + total / 2) / total) + " Hz";

    // An interlaced timing gives the lines of one field.
    c.line(
        fmt("%s: %ux%u%s at ", name.c_str(), ha, interlaced ? 2 * va : va, interlaced ? "i" : "") +
        rate + ", pixel clock " + hundredths(clock) + " MHz");
    c.line(fmt("%s horizontal: active %u, blanking %u, sync offset %u, sync width %u, border %u",
               name.c_str(), ha, hb, hso, hsw, d[15]));
    c.line(fmt("%s vertical: active %u, blanking %u, sync offset %u, sync width %u, border %u",
               name.c_str(), va, vb, vso, vsw, d[16]));
    c.line(fmt("%s image size: %u x %u mm", name.c_str(), hmm, vmm));
    c.line(name + " scan: " + (interlaced ? "interlaced" : "progressive"));

    std::string sync;
    switch ((flags >> 3) & 3u) {
    case 0:
    case 1:
        sync = (flags & 0x08u) ? "analog bipolar composite" : "analog composite";
        if (flags & 0x04u) sync += ", serrated";
        sync += (flags & 0x02u) ? ", on all three signals" : ", on green only";
        break;
    case 2:
        sync = "digital composite";
        if (flags & 0x04u) sync += ", serrated";
        sync += (flags & 0x02u) ? ", hsync +" : ", hsync -";
        break;
    default:
        sync = "digital separate";
        sync += (flags & 0x02u) ? ", hsync +" : ", hsync -";
        sync += (flags & 0x04u) ? ", vsync +" : ", vsync -";
        break;
    }
    c.line(name + " sync: " + sync);
    const unsigned stereo = (flags >> 4 & 6u) | (flags & 1u);
    if (stereo > 1) c.line(fmt("%s stereo: mode %u", name.c_str(), stereo));

    if (!ha || !va) c.warn(name + " has no active pixels or lines");
    if (hso + hsw > hb) c.warn(name + ": the horizontal sync does not fit into the blanking");
    if (vso + vsw > vb) c.warn(name + ": the vertical sync does not fit into the blanking");
}

// The text of a display descriptor: up to 13 bytes, ended by 0x0A and padded
// with blanks. Shown trimmed, with non-printable bytes as '?'.
std::string descriptor_text(ctx &c, const uint8_t *d, const std::string &name) {
    std::string s;
    bool ended = false, odd = false;
    for (int i = 5; i < 18; i++) {
        if (d[i] == 0x0A) {
            ended = true;
            break;
        }
        const bool printable = d[i] >= 0x20 && d[i] < 0x7F;
        odd = odd || !printable;
        s += printable ? static_cast<char>(d[i]) : '?';
    }
    // Without 0x0A the text fills all 13 bytes; padding there means it is missing.
    if (!ended && (d[17] == 0x20 || d[17] == 0x00)) c.warn(name + " has no 0x0A after its text");
    if (odd) c.warn(name + " has non-printable bytes (shown as '?')");
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

void decode_range(ctx &c, const uint8_t *d) {
    // 1.4 adds 255 to a limit whose offset bit (byte 4) is set.
    unsigned vmin = d[5], vmax = d[6], hmin = d[7], hmax = d[8];
    if (c.v14()) {
        const unsigned o = d[4];
        if ((o & 3u) == 3u) vmin += 255;
        if (o & 2u) vmax += 255;
        if ((o & 0x0Cu) == 0x0Cu) hmin += 255;
        if (o & 8u) hmax += 255;
    }
    c.line(fmt("range limits: vertical %u-%u Hz, horizontal %u-%u kHz, max pixel clock %u MHz",
               vmin, vmax, hmin, hmax, d[9] * 10u));
    if (vmin > vmax) c.warn(fmt("range limits: vertical minimum %u above maximum %u", vmin, vmax));
    if (hmin > hmax)
        c.warn(fmt("range limits: horizontal minimum %u above maximum %u", hmin, hmax));
    static const char *const kind[5] = {"default gtf", "range limits only", "secondary gtf", "",
                                        "cvt"};
    const unsigned k = d[10];
    if (k <= 4 && k != 3)
        c.line(std::string("range limits timing formula: ") + kind[k]);
    else
        c.line(fmt("range limits timing formula: code 0x%02X", k));
}

void decode_descriptor(ctx &c, unsigned no) {
    const uint8_t *d = c.b + 54 + 18 * (no - 1);
    if (d[0] || d[1]) {
        decode_detailed(c, d,
                        no == 1 ? std::string("preferred timing") : fmt("detailed timing %u", no));
        return;
    }
    if (no == 1) c.warn("first descriptor is not a detailed timing (no preferred timing)");
    const std::string dn = fmt("descriptor %u", no);
    switch (d[3]) {
    case 0xFF: c.line("serial text: " + descriptor_text(c, d, "serial text")); break;
    case 0xFE: c.line("text: " + descriptor_text(c, d, "text")); break;
    case 0xFC: c.line("monitor name: " + descriptor_text(c, d, "monitor name")); break;
    case 0xFD: decode_range(c, d); break;
    case 0xFB: c.line(dn + ": additional white point data"); break;
    case 0xFA:
        c.line(dn + ": additional standard timings");
        for (unsigned i = 0; i < 6; i++)
            decode_standard(c, d + 5 + 2 * i, fmt("%s standard timing %u", dn.c_str(), i + 1));
        break;
    case 0x10: c.line(dn + ": dummy"); break;
    default: c.line(fmt("%s: tag 0x%02X", dn.c_str(), d[3])); break;
    }
}

}  // namespace

void edid_decode(const uint8_t b[128], edid_report *out) {
    if (!out) return;
    *out = edid_report{};
    if (!b) {
        out->warnings.push_back("no data");
        return;
    }
    ctx c{b, out, b[18], b[19], (b[20] & 0x80u) != 0};
    decode_header(c);
    decode_checksum(c);
    decode_ids(c);
    decode_input(c);
    decode_size_gamma(c);
    decode_features(c);
    decode_chromaticity(c);
    decode_established(c);
    decode_standards(c);
    for (unsigned no = 1; no <= 4; no++) decode_descriptor(c, no);
    c.line(fmt("extensions: %u", b[126]));
}

uint8_t edid_fix_checksum(uint8_t b[128]) {
    const uint8_t old = b[127];
    b[127] = static_cast<uint8_t>((0x100u - sum_of(b, 127)) & 0xFFu);
    return old;
}
