#include "support/coreapp.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <memory>

namespace testsupport {

namespace {

// Owns the application object; gtest tears environments down before static objects go, while
// Qt's own globals still exist.
class CoreApplicationEnvironment : public ::testing::Environment {
public:
    CoreApplicationEnvironment()
    {
        static int argc = 1;
        static char name[] = "nuvtest";
        static char* argv[] = {name, nullptr};
        m_App = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { m_App.reset(); }

private:
    std::unique_ptr<QCoreApplication> m_App;
};

}  // namespace

void EnsureCoreApplication()
{
    if (QCoreApplication::instance())
        return;
    ::testing::AddGlobalTestEnvironment(new CoreApplicationEnvironment);   // gtest owns it
}

}  // namespace testsupport
