#include "views/host_container.h"

#include <cmath>
#include <limits>
#include <type_traits>

namespace vel {

namespace {

Result<std::int32_t> FromFloating(double v)
{
    // Whole numbers from a host, rounded as the suite rounds (halves to even).
    const double r = std::nearbyint(v);
    if (!std::isfinite(r) || r < std::numeric_limits<std::int32_t>::min() ||
        r > std::numeric_limits<std::int32_t>::max())
        return MakeError(ErrorCode::InvalidArgument,
                         "host value " + std::to_string(v) + " does not fit a 32-bit integer");
    return static_cast<std::int32_t>(r);
}

} // namespace

Result<std::int32_t> HostValueToInt(const HostValue& v)
{
    return std::visit(
        [](const auto& x) -> Result<std::int32_t> {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return MakeError(ErrorCode::InvalidArgument, "the host gave no value where a number was expected");
            else if constexpr (std::is_same_v<T, bool>)
                return x ? std::int32_t{-1} : std::int32_t{0};
            else if constexpr (std::is_same_v<T, std::string>)
                return MakeError(ErrorCode::InvalidArgument,
                                 "the host gave the text \"" + x + "\" where a number was expected");
            else if constexpr (std::is_floating_point_v<T>)
                return FromFloating(static_cast<double>(x));
            else
                return static_cast<std::int32_t>(x);
        },
        v);
}

Result<double> HostValueToNumber(const HostValue& v)
{
    if (const auto* f = std::get_if<float>(&v)) return static_cast<double>(*f);
    if (const auto* d = std::get_if<double>(&v)) return *d;
    auto i = HostValueToInt(v);
    VEL_TRY(i);
    return static_cast<double>(*i);
}

Result<std::string> HostValueToText(const HostValue& v)
{
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    return MakeError(ErrorCode::InvalidArgument, "the host gave a number or no value where a text was expected");
}

} // namespace vel
