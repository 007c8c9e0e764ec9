#include "gui/guioutput.h"

#include "core/nuvfunctions.h"

NUVGUISignaler::NUVGUISignaler(QObject* parent) : QObject(parent)
{
    CNUVFunctions::Instance()->SetCatalogueProgress([this](int percent, const std::string& alias) {
        Q_EMIT OpenPackageProgress(percent, QString::fromLatin1(alias.c_str()));
    });
}

NUVGUISignaler::~NUVGUISignaler() { CNUVFunctions::Instance()->SetCatalogueProgress(nullptr); }
