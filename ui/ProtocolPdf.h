#pragma once

#include "protocol/ProtocolDocument.h"

#include <QByteArray>

#include <memory>
#include <vector>

namespace ui {

struct MeasuredTable;
// What the layout measured of a draft: its tables, which the document that follows need not measure again.
using DraftMeasure = std::shared_ptr<const std::vector<MeasuredTable>>;

// Measures the document before its check after the run, the tables that stay as they are.
DraftMeasure measureDraft(const update::ProtocolDocument& draft);

// The protocol as an A4 PDF made by Qt's own writer: the title and, on a rehearsal's, its mark at
// the head of every page, the page's number at its foot. Needs a QGuiApplication (its fonts).
QByteArray protocolPdf(const update::ProtocolDocument& document, const DraftMeasure& drafted = {});

// The program's process that lays a protocol out: the document's JSON on standard input, the PDF
// on standard output. Shows nothing, whatever display there is. Returns the exit status.
int runProtocolPdfProgram(int& argc, char** argv);

} // namespace ui
