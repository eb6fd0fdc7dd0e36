// The fuzz targets without the fuzzer: runs LLVMFuzzerTestOneInput once on
// every file named, or on every file of every folder named, so that the normal
// build compiles the targets and its tests replay their seed corpora.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_common.h"

namespace fs = std::filesystem;

namespace {

bool run_file(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", p.c_str());
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (fs::is_directory(argv[i], ec)) {
            for (const fs::directory_entry &e : fs::directory_iterator(argv[i], ec)) {
                if (!e.is_regular_file()) continue;
                if (!run_file(e.path())) return 1;
                ++files;
            }
        } else {
            if (!run_file(argv[i])) return 1;
            ++files;
        }
    }
    std::printf("replay: %d inputs run\n", files);
    return files > 0 ? 0 : 1;
}
