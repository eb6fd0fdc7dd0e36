// Shared ground of the fuzz targets (see fuzz_common.h).
#include "fuzz_common.h"

#include <unistd.h>

#include <cstdlib>
#include <set>

#include "platform/win.h"
#include "velquor/link/com_action.h"
#include "velquor/ui/velquor_main.h"
#include "velquor/ui/velquor_win.h"

namespace {

bool ready = false;
size_t boxes = 0;
std::string temp_dir;
std::set<std::string> temp_files;

// A box is answered the moment it shows: OK, or No to a question, as an
// operator who reads nothing would.
plat::WinAnswer answer_box(const plat::WinBoxRecord &box) {
    ++boxes;
    return box.buttons == plat::WIN_BOX_YESNO ? plat::WIN_ANSWER_NO : plat::WIN_ANSWER_OK;
}

void remove_temp(void) {
    for (const std::string &f : temp_files) unlink(f.c_str());
    if (!temp_dir.empty()) rmdir(temp_dir.c_str());
}

}  // namespace

void fz_begin(void) {
    if (!ready) {
        plat::win_use_headless();
        plat::WinMainArgs a;
        a.title = "fuzz";
        a.visible = false;
        hwndMain = plat::win_create_main(a);
        plat::win_set_box_hook(answer_box);
        vq_wire();
        ready = true;
    }
    plat::win_boxes_clear();
    boxes = 0;
    sys_rv = 0;
    sys_f_rv = 0;
}

size_t fz_boxes(void) { return boxes; }

std::string fz_write_file(const char *name, const uint8_t *data, size_t size) {
    if (temp_dir.empty()) {
        // In memory where the system has it: a disk file system may write
        // every replaced file out at once, a thousand times a second.
        const char *base = std::getenv("TMPDIR");
        if (access("/dev/shm", W_OK) == 0) base = "/dev/shm";
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/vq-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) return "";
        temp_dir = pattern;
        std::atexit(remove_temp);
    }
    const std::string path = temp_dir + "/" + name;
    unlink(path.c_str());  // a new file, not one cut to nothing
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return "";
    temp_files.insert(path);
    // An empty input may come without bytes behind it (a null pointer).
    const bool ok = size == 0 || (data && std::fwrite(data, 1, size, f) == size);
    return std::fclose(f) == 0 && ok ? path : "";
}

FILE *fz_open_bytes(const uint8_t *data, size_t size) {
    static const uint8_t none[1] = {0};
    // fmemopen reads a buffer of `size` bytes as they are, NUL bytes included.
    return fmemopen(const_cast<uint8_t *>(size ? data : none), size, "r");
}

void fz_fail(const char *file, int line, const char *what) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

std::string fz_read_file(const std::string &path) {
    std::string s;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return s;
    char b[4096];
    for (size_t n; (n = std::fread(b, 1, sizeof b, f)) > 0;) s.append(b, n);
    std::fclose(f);
    return s;
}
