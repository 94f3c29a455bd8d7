// Profile files with their schedule: decoding never fails unsafely, and a
// profile that decodes is written back byte for byte.

#include "project/route_profile_store.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto decoded = vel::DecodeProfileFile({data, size}, "fuzz");
    if (!decoded) return 0;
    auto bytes = vel::EncodeProfileFile(decoded->profile, *decoded->schedule, "fuzz");
    if (!bytes) return 0; // more periods than a file can hold cannot come from a file
    auto again = vel::DecodeProfileFile(*bytes, "again");
    if (!again || !(again->profile == decoded->profile)) std::abort();
    auto twice = vel::EncodeProfileFile(again->profile, *again->schedule, "twice");
    if (!twice || *twice != *bytes) std::abort();
    return 0;
}
