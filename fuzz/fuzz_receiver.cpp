// Receiver files of either version: decoding never fails unsafely, and what
// decodes encodes to a file that decodes to the same receiver again.

#include "project/receiver_store.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto decoded = vel::DecodeReceiverFile({data, size}, "fuzz");
    if (!decoded) return 0;
    auto bytes = vel::EncodeReceiverFile(decoded->receiver, "fuzz");
    if (!bytes) std::abort();
    auto again = vel::DecodeReceiverFile(*bytes, "again");
    if (!again || !(again->receiver == decoded->receiver)) std::abort();
    // A version-4 file is written back exactly as it came.
    if (decoded->version == 4 && !std::equal(bytes->begin(), bytes->end(), data, data + size)) std::abort();
    return 0;
}
