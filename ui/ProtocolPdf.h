#pragma once

#include "protocol/ProtocolDocument.h"

#include <QByteArray>

namespace ui {

// The protocol as an A4 PDF made by Qt's own writer: the title and, on a rehearsal's, its mark at
// the head of every page, the page's number at its foot. Needs a QGuiApplication (its fonts).
QByteArray protocolPdf(const update::ProtocolDocument& document);

// The program's process that lays a protocol out: the document's JSON on standard input, the PDF
// on standard output. Shows nothing, whatever display there is. Returns the exit status.
int runProtocolPdfProgram(int& argc, char** argv);

} // namespace ui
