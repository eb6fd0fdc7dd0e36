// The main of the test programs: connects the program's layers as its
// start-up does (the sequencer's action table, the window seam), then runs
// the tests.
#include <gtest/gtest.h>

#include "velquor/ui/velquor_main.h"

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    vq_wire();
    return RUN_ALL_TESTS();
}
