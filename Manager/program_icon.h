// The program's own icon (a monitor showing the line's signal), painted at build time at the
// usual sizes.
#pragma once

#include <QIcon>

namespace manager {

QIcon ProgramIcon();

}  // namespace manager
