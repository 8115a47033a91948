// The local calendar time of the connection log's stamps.
#pragma once

#include <ctime>
#include <optional>

namespace common {

// `when` in the local time zone, or nothing when the system cannot tell. Any thread.
std::optional<std::tm> LocalTime(std::time_t when);

}  // namespace common
