// Tests of the Windows-1252 converter: every byte survives the way there and
// back, the 0x80-0x9F block maps as Windows-1252 assigns it, and text that
// Windows-1252 cannot hold comes back as '?'.
#include <gtest/gtest.h>

#include <string>

#include "platform/cp1252.h"

using namespace plat;

namespace {

TEST(Cp1252, EveryByteRoundTrips) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    const std::string utf8 = cp1252_to_utf8(all);
    EXPECT_EQ(utf8_to_cp1252(utf8), all);
    for (int b = 0; b < 256; ++b) {
        const char32_t cp = cp1252_to_ucs(static_cast<uint8_t>(b));
        EXPECT_EQ(cp1252_from_ucs(cp), b) << b;
    }
}

TEST(Cp1252, KnownMappings) {
    struct Row {
        const char *cp1252;
        const char *utf8;
    };
    const Row rows[] = {
        {"\xe4\xf6\xfc\xdf", "\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f"},  // 0 äöüß
        {"Fran\xe7"
         "aise",
         "Fran\xc3\xa7"
         "aise"},                                                  // 1 ç
        {"\x80", "\xe2\x82\xac"},                                  // 2 euro sign
        {"\x84\x93\x94", "\xe2\x80\x9e\xe2\x80\x9c\xe2\x80\x9d"},  // 3 German quotes
        {"\x96\x97", "\xe2\x80\x93\xe2\x80\x94"},                  // 4 dashes
        {"\x9f", "\xc5\xb8"},                                      // 5 Y diaeresis
        {"\x81\x8d\x8f\x90\x9d",
         "\xc2\x81\xc2\x8d\xc2\x8f\xc2\x90\xc2\x9d"},  // 6 unassigned: C1 controls
        {"\xa0\xff", "\xc2\xa0\xc3\xbf"},              // 7 Latin-1 part
        {"plain\r\n", "plain\r\n"},                    // 8
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(cp1252_to_utf8(rows[i].cp1252), rows[i].utf8) << i;
        EXPECT_EQ(utf8_to_cp1252(rows[i].utf8), rows[i].cp1252) << i;
    }
}

TEST(Cp1252, UnmappableAndMalformedBecomeQuestionMarks) {
    const std::pair<const char *, const char *> rows[] = {
        {"\xe2\x82\xbd", "?"},        // 0 rouble sign: not in Windows-1252
        {"\xf0\x9f\x98\x80x", "?x"},  // 1 emoji (4 bytes) is one character
        {"a\xffz", "a?z"},            // 2 stray byte
        {"\xc3", "?"},                // 3 cut sequence
        {"\xc0\xaf", "??"},           // 4 overlong form
        {"\xed\xa0\x80", "???"},      // 5 surrogate
        {"\xce\xa9", "?"},            // 6 Greek omega
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(utf8_to_cp1252(rows[i].first), rows[i].second) << i;
}

}  // namespace
