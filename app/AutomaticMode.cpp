#include "app/AutomaticMode.h"

namespace app {

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

} // namespace app
