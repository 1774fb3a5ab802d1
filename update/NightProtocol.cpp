#include "update/NightProtocol.h"

namespace update {

void NightProtocol::begin(const QString& command)
{
    *this = NightProtocol();
    command_ = command;
    started_ = QDateTime::currentDateTime();
}

} // namespace update
