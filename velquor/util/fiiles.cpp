// Text-file access and file errors: the stream holders, the attribute table
// that picks a stream mode, the byte, line and text readers and writers, the
// line finders and counters with their end-of-file rules.
//
// A read error is told apart from the end of the file (ferror), so a failing
// disk is reported as id 9 instead of passing as a short file.
//
// Sections: opening; bytes and texts; positions; lines; names.
#include "velquor/util/files.h"

#include <cstring>
#include <iterator>
#include <string>

#include "platform/cp1252.h"
#include "velquor/util/pointer.h"
#include "velquor/util/velq_str.h"

uint8_t sys_f_rv = 0;
FILE *fpupl = nullptr;

// ---------------------------------------------------------------- opening

namespace {

// Stream mode by attributes; the first row whose bits are all set wins, a
// mode of nullptr refuses.
struct fmode_row {
    uint8_t bits;
    const char *mode;
};
const fmode_row fmode_tab[] = {
    {mf_bin | mf_write, "wb"},    // binary write
    {mf_bin | mf_read, "rb"},     // binary read
    {mf_bin, nullptr},            // binary, neither read nor write
    {mf_read | mf_append, "a+"},  // read and append
    {mf_read | mf_write, "w+"},   // read and write
    {mf_read, "rt"},              // text read
    {mf_append, "at"},            // text append
    {mf_write, "wt"},             // text write
};

// The mode without the text marker 't', which is the C library's default.
void c_mode(const char *mode, char out[4]) {
    size_t k = 0;
    for (; *mode && k < 3; ++mode)
        if (*mode != 't') out[k++] = *mode;
    out[k] = '\0';
}

FILE *open_path(const char *path, const char *mode) {
    char m[4];
    c_mode(mode, m);
    const std::string name = plat::cp1252_to_utf8(path);
    return std::fopen(name.c_str(), m);
}

}  // namespace

const char *mf_fmode(uint8_t attr) {
    for (const fmode_row &r : fmode_tab)
        if ((attr & r.bits) == r.bits) return r.mode;
    return nullptr;
}

char mf_fopen(FILE **holder, const char *path, uint8_t attr) {
    if (!holder || *holder) return mfe_use;
    const char *mode = mf_fmode(attr);
    if (!mode) return mfe_atr;
    if (!path || !path[0]) return mfe_nopath;
    FILE *f = open_path(path, mode);
    if (!f) return mfe_open;
    *holder = f;
    return mfe_ok;
}

void mf_fclose(FILE **holder) {
    if (!holder || !*holder) return;
    std::fclose(*holder);
    *holder = nullptr;
}

char mf_open_fpupl(const char *path) {
    mf_fclose(&fpupl);
    const char rc = mf_fopen(&fpupl, path, mf_read);
    if (rc) sys_f_rv = static_cast<uint8_t>(rc);
    return rc;
}

// ---------------------------------------------------------------- bytes and texts

int8_t mf_fgetc(FILE *f) {
    if (!f) return -1;
    const int c = std::fgetc(f);
    return c == EOF ? -1 : static_cast<int8_t>(static_cast<uint8_t>(c));
}

char mf_fputc(char c, FILE *f) {
    if (!f) return mfe_no_file;
    return std::fputc(static_cast<unsigned char>(c), f) == EOF ? mfe_rw : mfe_ok;
}

char mf_write_str(FILE *f, const char *s) {
    if (!f) return mfe_no_file;
    if (!s) return mfe_nodat;
    const size_t n = std::strlen(s);
    if (n == 0) return mfe_ok;
    return std::fwrite(s, 1, n, f) == n ? mfe_ok : mfe_rw;
}

char mf_writeln_str(FILE *f, const char *s) {
    const char rc = mf_write_str(f, s);
    if (rc) return rc;
    return mf_write_str(f, "\r\n");
}

// ---------------------------------------------------------------- positions

int32_t mf_ftell(FILE *f) {
    if (!f) return -1;
    const long p = std::ftell(f);
    return (p < 0 || p > INT32_MAX) ? -1 : static_cast<int32_t>(p);
}

char mf_fseek(FILE *f, int32_t offset, int origin) {
    if (!f) return mfe_no_file;
    static const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin < 0 || origin > 2) return mfe_invpos;
    return std::fseek(f, offset, whence[origin]) == 0 ? mfe_ok : mfe_invpos;
}

int32_t mf_fgetsize(FILE *f) {
    if (!f) return -1;
    const long here = std::ftell(f);
    if (here < 0) return -1;
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(f);
    if (std::fseek(f, here, SEEK_SET) != 0) return -1;
    return (end < 0 || end > INT32_MAX) ? -1 : static_cast<int32_t>(end);
}

// ---------------------------------------------------------------- lines

char mf_readln(FILE *f, char *buf, uint32_t size, uint32_t *len) {
    if (len) *len = 0;
    if (!buf || size == 0) return mfe_nobuff;
    buf[0] = '\0';
    if (!f) return mfe_no_file;
    uint32_t n = 0;
    char rc = mfe_ok;
    while (n + 1 < size) {
        const int c = std::fgetc(f);
        if (c == EOF) {
            rc = std::ferror(f) ? mfe_rw : mfe_eof;
            break;
        }
        if (c == '\n') break;
        buf[n++] = static_cast<char>(c);
    }
    buf[n] = '\0';
    if (len) *len = n;
    return rc;
}

char mf_nextline_char(FILE *f, char c, char *buf) {
    if (!buf) {
        sys_f_rv = mfe_nobuff;
        return 1;
    }
    buf[0] = '\0';
    bool found = false;
    while (sys_f_rv == 0) {
        sys_f_rv = static_cast<uint8_t>(mf_readln(f, buf, mf_line_size));
        if (sys_f_rv == mfe_eof && buf[0]) sys_f_rv = 0;  // a last line without LF
        if (sys_f_rv != 0) break;
        ms_clean_str(buf);
        if (buf[0] == c) {
            found = true;
            break;
        }
    }
    if (sys_f_rv == mfe_eof) sys_f_rv = 0;
    if (!found) buf[0] = '\0';
    return 0;
}

char mf_nextline_char_no_com(FILE *f, char c, char *buf) {
    const char rc = mf_nextline_char(f, c, buf);
    if (rc) return rc;
    char *com = std::strstr(buf, "//");
    if (com) {
        *com = '\0';
        ms_trim(buf, buf);
    }
    return 0;
}

int32_t mf_countlines_char(FILE *f, char c) {
    void *mem = nullptr;
    if (mp_calloc(&mem, mf_line_size) != 0) return -1;
    if (!f) {
        mp_free(&mem);
        return -1;
    }
    char *buf = static_cast<char *>(mem);
    int32_t count = 0;
    for (;;) {
        mf_nextline_char(f, c, buf);  // the buffer is there: result 0
        if (sys_f_rv != 0 || !buf[0]) break;
        ++count;
    }
    mp_free(&mem);
    return sys_f_rv != 0 ? -1 : count;  // mf_nextline_char never leaves the end-of-file id
}

// ---------------------------------------------------------------- names

char mf_file_is_bin(const char *name) {
    if (!name || !name[0]) return 1;
    char s[mf_line_size];
    ms_strncpy(s, name, mf_line_size - 1);
    ms_clean_str(s);
    ms_tolower(s);
    const size_t n = std::strlen(s);
    return (n >= 4 && std::strcmp(s + n - 4, ".bin") == 0) ? 0 : 1;
}

char mf_FileExists(const char *path) {
    if (!path || !path[0]) return 2;
    FILE *f = open_path(path, "rb");
    if (!f) return 0;
    // A directory opens on this platform but cannot be read.
    std::fgetc(f);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok ? 1 : 0;
}
