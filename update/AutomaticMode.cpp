#include "update/AutomaticMode.h"

namespace update {

namespace {
bool automaticMode = false;
}

bool isAutomaticMode()
{
    return automaticMode;
}

void setAutomaticMode()
{
    automaticMode = true;
}

} // namespace update
