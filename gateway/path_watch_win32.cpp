#include "path_watch.h"

namespace gateway {

PathWatch::~PathWatch() = default;

void PathWatch::Stop() {}

bool PathWatch::Watch(const std::string& path) {
    name_ = path;
    return false;
}

bool PathWatch::TakeEvents() {
    return false;
}

}  // namespace gateway
