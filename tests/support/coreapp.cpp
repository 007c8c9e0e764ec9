#include "support/coreapp.h"

#include <QCoreApplication>

#include <memory>

namespace testsupport {

void EnsureCoreApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "nuvtest";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QCoreApplication> app = std::make_unique<QCoreApplication>(argc, argv);
}

}  // namespace testsupport
