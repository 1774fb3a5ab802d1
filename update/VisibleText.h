#pragma once

#include <QString>

#include <cstdio>

namespace update {

// Text that another client chose (its process name, user, address in the monitoring tables),
// made safe to write anywhere: every control character (C0, DEL, C1, line and paragraph
// separators, the bidirectional marks, embeddings, overrides and isolates) becomes '?', so it can
// neither start a line of the run log, steer a terminal nor reorder what a line shows.
QString visibleText(const QString& foreign);

// Text of several lines on its way out of the program (run logs, standard output and error, the
// window): the same, but line ends (LF, CR LF) and tabs stay. Engine messages quote hotel data,
// so everything the program writes passes here.
QString visibleLines(const QString& text);

// Writes the text through visibleLines to the stream, in the locale's encoding, and flushes it.
void writeVisible(std::FILE* stream, const QString& text);

} // namespace update
