#include "local_time.h"

namespace common {

std::optional<std::tm> LocalTime(std::time_t when) {
    std::tm local{};
    if (localtime_s(&local, &when) != 0) return std::nullopt;
    return local;
}

}  // namespace common
