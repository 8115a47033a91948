#include "program_icon.h"

#include <QString>

// The resources of a static library are brought in by hand, from outside any namespace.
static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace manager {

QIcon ProgramIcon() {
    InitIconResources();
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128})
        icon.addFile(QString(":/icons/program_%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace manager
