#pragma once

// The host window of a view, seen from the view: an object whose members are
// called by name at run time ("Set_Text_Schedule_Period_Start",
// "Get_Menu_TimeSchedulePopup_Grouped_MonFri_Checked", ...). Arguments are
// passed as a span so that the host can change those the contract passes by
// reference. A member the host lacks is an error (ErrorCode::MissingMember)
// reported back to the caller. Texts crossing this interface are in the
// suite's code page, like every text of the core; the Qt side converts.

#include "base/result.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace vel {

using HostValue = std::variant<std::monostate, bool, std::int16_t, std::int32_t, float, double, std::string>;

class HostContainer {
public:
    virtual ~HostContainer() = default;
    virtual Result<HostValue> Call(std::string_view member, std::span<HostValue> args) = 0;

    Result<HostValue> Call(std::string_view member) { return Call(member, {}); }
};

// A host value read as a 32-bit integer (flags, sizes); true reads as -1,
// floating-point values are rounded (halves to even); texts, empty values and
// numbers outside the 32-bit range are an InvalidArgument error.
Result<std::int32_t> HostValueToInt(const HostValue& v);
// A host value read as a number: floating-point values as they are, other
// values as HostValueToInt reads them.
Result<double> HostValueToNumber(const HostValue& v);
// A host value read as a text; numbers are an InvalidArgument error.
Result<std::string> HostValueToText(const HostValue& v);

} // namespace vel
