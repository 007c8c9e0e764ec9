#include "core/catalogue/distribution.h"

#include "core/catalogue/componentmanager.h"
#include "core/resultcodes.h"
#include "core/trace.h"

CDistribution::CDistribution(const std::string& name)
    : m_Name(name), m_pComponentManager(std::make_unique<CComponentManager>(this))
{
}

CDistribution::~CDistribution() = default;

int CDistribution::setTessomRoot(const std::string& root)
{
    CTraceScope scope("CDistribution::setTessomRoot(std::string tessom_root )");
    if (m_pComponentManager && m_pComponentManager->CountInstalled() > 0) {
        Trace("Detected Installed components - Not setting TESSOM ROOT");
        return rc::ComponentInstallationError;
    }
    Trace("TessomRoot = %s", root.c_str());
    m_TessomRoot = root;
    return rc::Success;
}
