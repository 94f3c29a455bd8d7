// Calendar files of any length: reading is safe, and a calendar read and
// written back holds the same day types.

#include "calendar/calendar.h"
#include "fuzz/memory_file_system.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vel::fuzz::MemoryFileSystem fs;
    fs.files["cal"] = vel::ByteBuffer(data, data + size);
    vel::cCalendar calendar(fs);
    auto read = calendar.ReadFromDisk("cal");
    if (!read || !*read) return 0;
    auto compared = calendar.CompareToDisk("cal");
    if (!compared || !*compared) std::abort();
    if (!calendar.SaveToDisk("out").ok()) std::abort();
    vel::cCalendar again(fs);
    auto back = again.ReadFromDisk("out");
    if (!back || !*back) std::abort();
    auto same = again.CompareToOtherCalendar(&calendar);
    if (!same || !*same) std::abort();
    return 0;
}
