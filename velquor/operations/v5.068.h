// The built-in firmware 5.068: the Intel-HEX image that the update and the
// bootstrap send instead of a file (firm_68, vf_firm.h). The build generates
// its source (tools/imagegen): from the Intel-HEX file given with the CMake
// option VQ_FIRMWARE_HEX, or else a stand-in of the board image's layout with
// pseudo-random contents, which vf_images.h keeps from a real board.
#pragma once

// The records, one text line each, framed by a TAB on each side
// ("\t:020000021000EC\t"); a nullptr ends the table.
extern const char *const v5068[];
// What is built in: the name of the Intel-HEX file, or "generated stand-in".
extern const char v5068_origin[];
// true when the image is the generated stand-in.
extern const bool v5068_stand_in;
