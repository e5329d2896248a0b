// vumo-convert --compare: the figures of two pictures as one JSON object, and optionally
// their amplified difference as a PNG.
#pragma once

#include <string>

#include "pixels/image_compare.h"

namespace vumo {

// Exit statuses of the command, as cmp and diff give them.
inline constexpr int kCompareIdentical = 0;
inline constexpr int kCompareDifferent = 1;
inline constexpr int kCompareTrouble = 2;  // wrong usage, a picture that does not load, a write that fails

inline constexpr int kDefaultAmplify = 4;

// argv[1] is "--compare": [--amplify N] A B [DIFF.png].
int CompareMain(int argc, char** argv);

// The object printed; `difference` and `amplify` only when a difference picture was written.
std::string CompareJson(const TCompareResult& result, const std::string& difference = {}, int amplify = 0);

}  // namespace vumo
