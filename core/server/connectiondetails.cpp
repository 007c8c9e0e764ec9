#include "core/server/connectiondetails.h"

CConnectionDetails* CConnectionDetails::Instance()
{
    static CConnectionDetails instance;
    return &instance;
}

int CConnectionDetails::ReadDetails() { return -1; }

bool CConnectionDetails::IsGenericLogin() const
{
    return m_UserName == "genacct1" || m_UserName == "genacct2";
}

std::string CConnectionDetails::GenericLoginWarning()
{
    return "We have detected you are using the generic login settings, which are provided by "
           "default when the NUV is installed.\n\nTo remove this message, please request your "
           "own login details by e-mailing support@nuv.example\n";
}
