#pragma once

#include "commands/ProtocolDocument.h"

#include <QByteArray>

namespace update {

// The protocol as an A4 PDF made by Qt's own writer: the title and, on a rehearsal's, its mark at
// the head of every page, the page's number at its foot. Needs a QGuiApplication (its fonts).
QByteArray protocolPdf(const ProtocolDocument& document);

} // namespace update
