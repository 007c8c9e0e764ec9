// Weak definitions that keep the programs linkable while the process runner's own source is not
// part of the build: the Qt meta-object code of every core class is one object, so any use of
// the core needs these two symbols. The runner's definitions take precedence over these.
#include "core/operations/processbox.h"

#include <QProcess>

__attribute__((weak)) CProcessBox::~CProcessBox() = default;
__attribute__((weak)) void CProcessBox::SLOTReadSTDOutput() {}
