#include "app/Usage.h"

#include <cstdio>

namespace app {

namespace {

// The README shows this text as it stands; keep the two alike.
constexpr const char* kUsage =
    "Usage: dph2012 [ARGUMENT]\n"
    "\n"
    "Moves a Kalmor hotel database (Firebird, SQL dialect 1) from the reduced VAT rate\n"
    "10 % to 14 % for 1 January 2012 and records every statement in a run log.\n"
    "\n"
    "  dph2012             the window: choose the option for staying guests, then a command\n"
    "  dph2012 auto        any other non-empty argument that does not begin with \"--\":\n"
    "                      automatic mode, the full update without a window or dialog\n"
    "                      (staying guests by option a), then the program ends\n"
    "  dph2012 --update [a|b|c|d]\n"
    "                      the same with that option for staying guests (default a), as\n"
    "                      \"Spusť aktualizaci\" runs it but without reminders; with\n"
    "                      Rehearsal=1 the rehearsal uses the same option\n"
    "  dph2012 --step7 b|c|d\n"
    "                      step 7 alone, unattended, as \"Spusť pouze krok 7\" runs it with\n"
    "                      that option (the server-side objects must be installed)\n"
    "  dph2012 --stock     the stock items and banquets moved to 14 %, unattended, as\n"
    "                      its button runs it (for after New Year)\n"
    "  dph2012 --check     a read-only report of what is still at the old rate; changes\n"
    "                      nothing, writes no run log (exit 0 nothing left, 1 something, 2 failed)\n"
    "  dph2012 --rehearse [a|b|c|d]\n"
    "                      the full update rehearsed on a copy: the backup of Backup= is\n"
    "                      restored beside it, updated (option for staying guests, default a)\n"
    "                      and checked, a report printed, the copy dropped; the database\n"
    "                      itself is never changed (exit 0 nothing wrong, 1 a statement\n"
    "                      failed or something is left, 2 it could not be made)\n"
    "  dph2012 --restore [FILE] [--yes] [--accept-unseen-deletions]\n"
    "                      the way back: the newest backup this program made of the\n"
    "                      database before its own work (or FILE, one of them) restored\n"
    "                      in its place; today's\n"
    "                      database is kept beside it as <name>-po-aktualizaci-<date-time>\n"
    "                      (through a server that restores over it: a backup of that name\n"
    "                      on this machine, beside the night's);\n"
    "                      asks on a terminal, else needs --yes (exit 0 restored, 2 failed,\n"
    "                      nothing changed, 3 refused, nothing changed); rows others deleted\n"
    "                      since the backup refuse it; --accept-unseen-deletions lets it\n"
    "                      go on where such deletions cannot be told (they would come back)\n"
    "  dph2012 --protocol [FILE]\n"
    "                      prints the text of the newest night's protocol (or of FILE); every\n"
    "                      full update, step 7 alone, stock command and rehearsal writes one\n"
    "  dph2012 --help      this text (also -h, -? and /?); connects to nothing\n"
    "  dph2012 --version   the version; connects to nothing\n"
    "  Any other argument that begins with \"--\" prints this text and ends with 64.\n"
    "\n"
    "Exit status:\n"
    "  0  the connection opened and no statement failed\n"
    "  1  an unexpected error ended the run (also written to the run log)\n"
    "  2  the run finished, but a statement or a later connection failed, so the\n"
    "     database may be partly changed (see the run log)\n"
    "  3  nothing was changed: no connection could be made, another update is running,\n"
    "     a backup failed, the rehearsal (Rehearsal=1) found problems, or DPH.ini is\n"
    "     unreadable\n"
    "  64  an unknown argument beginning with \"--\"\n"
    "  129, 130, 143  stopped by SIGHUP, SIGINT or SIGTERM (the run log says so)\n"
    "\n"
    "Files, in the directory of the program file:\n"
    "  DPH.ini          the settings: section [Params], keys Alias, User, Password,\n"
    "                   ConnectTimeout, Backup (a file on this machine, also through a\n"
    "                   server), Rehearsal (1: rehearse the full update first)\n"
    "  QVTDPH2012.log   the run log, appended to by every run\n"
    "  QVTDPH2012-zkouska.log  the statements of the rehearsals\n"
    "  QVTDPH2012-zkouska.stav the rehearsal copies made and not yet dropped\n"
    "  QVTDPH2012-volba.stav   per database, the option step 7 last ran with (for --check)\n"
    "  QVTDPH2012-zalohy.stav  the backups made, with their SHA-256 (for --restore)\n"
    "  QVTDPH2012-protokol-<date-time>.pdf, .txt  the night's protocol of each command\n";

} // namespace

bool answerHelpRequest(std::string_view argument)
{
    if (argument == "--version") {
        std::fputs("dph2012 " DPH2012_VERSION "\n", stdout);
        return true;
    }
    if (argument == "-h" || argument == "--help" || argument == "-?" || argument == "/?") {
        std::fputs(kUsage, stdout);
        return true;
    }
    return false;
}

void printUsageForMistake(const std::string& mistake)
{
    std::fprintf(stderr, "dph2012: %s\n\n%s", mistake.c_str(), kUsage);
}

std::optional<int> stayingGuestsOptionArgument(std::string_view argument, bool optionA)
{
    if (argument.empty() && optionA)
        return 0;
    if (argument.size() == 1 && argument[0] >= (optionA ? 'a' : 'b') && argument[0] <= 'd')
        return argument[0] - 'a';
    printUsageForMistake(argument.empty() ? std::string("an option for staying guests is required")
                                          : "unknown option for staying guests " + std::string(argument));
    return std::nullopt;
}

bool refuseUnknownOption(std::string_view argument)
{
    if (!argument.starts_with("--") || argument == "--check" || argument == "--rehearse" || argument == "--update"
        || argument == "--restore" || argument == "--protocol" || argument == "--protocol-pdf" || argument == "--step7"
        || argument == "--stock")
        return false;
    printUsageForMistake("unknown argument " + std::string(argument));
    return true;
}

} // namespace app
