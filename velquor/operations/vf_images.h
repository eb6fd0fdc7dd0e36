// The guard of the built-in images (v5.068.h, bootsec.h): a stand-in built for
// tests must never reach a real board by accident. An operation that is about
// to send a built-in image asks images_allowed first and, when refused, shows
// images_refusal_text and ends.
#pragma once

#include <cstddef>
#include <cstdint>

// Test images allowed (configuration key ik_test_images); default 0.
extern uint8_t test_images;

// true when the image may be sent: it is real (stand_in false), or test images
// are allowed by test_images or by the environment variable
// VELQUOR_TEST_IMAGES=1.
bool images_allowed(bool stand_in);
// The operator's message when a stand-in is refused.
const char *images_refusal_text(void);
// One line naming the built-in images, for the about box and --version;
// truncated to n - 1 characters, always terminated (nothing written for n 0).
void images_version_text(char *out, size_t n);
