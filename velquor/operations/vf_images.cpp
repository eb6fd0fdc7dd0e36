// The guard of the built-in images: stand-ins only where tests are allowed.
#include "velquor/operations/vf_images.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "velquor/operations/bootsec.h"
#include "velquor/operations/v5.068.h"

uint8_t test_images = 0;

namespace {

constexpr const char *test_images_env = "VELQUOR_TEST_IMAGES";

bool test_images_by_env(void) {
    const char *v = std::getenv(test_images_env);
    return v != nullptr && std::strcmp(v, "1") == 0;
}

}  // namespace

bool images_allowed(bool stand_in) {
    if (!stand_in) return true;
    return test_images != 0 || test_images_by_env();
}

const char *images_refusal_text(void) {
    return "The built-in firmware and boot loader images are stand-ins for tests, not the "
           "board's code. Build with the board's images, or allow test images "
           "(VELQUOR_TEST_IMAGES=1).";
}

void images_version_text(char *out, size_t n) {
    if (out == nullptr || n == 0) return;
    std::snprintf(out, n, "built-in 5.068 image: %s; boot loaders: %s", v5068_origin,
                  bootsec_origin);
}
