#pragma once

#include <QString>

#include <functional>

namespace update {

class StatementRunner;
class UpdateSession;
class UpdateView;

// The stay groups that arrive before and leave after 31.12.2011 and still have lines to charge.
inline const QString kStayQuery = QStringLiteral(
    "select distinct CisloSkupiny from rec_mm_rezervace, rec_mm_rezdet where rec_mm_rezervace.datumprijezd < "
    "'31.12.2011' and rec_mm_rezervace.datumodjezd > '31.12.2011' and Status <> 8 and rec_mm_rezdet.cislorezervace "
    "= rec_mm_rezervace.CisloRezervace and MarkovanoDo is null");

// Step 7: splits, posts and closes the stays over the year end as the view's option says: the
// groups in house, then those that an earlier run, a failure, a stop or another option left half
// done (read from the database). A group whose split, posting or closing is refused is left as
// the log line says, for the next run; the next group follows. A group number that is not a whole
// number is logged and skipped. A stop signal waits for the group in hand. Options b to d need the
// five objects of step 6 present and valid (another text of them is logged and used): otherwise
// nothing is sent, a log line says why, and the result is false.
bool ProcessStayingGuests(UpdateSession& session, UpdateView& view);
// The same with the option (0 to 3 for a to d) given: the one a rehearsal ran with.
// `groupEnded`, if given, hears after each group how many of how many are behind.
bool ProcessStayingGuests(UpdateSession& session, UpdateView& view, int option,
                          const std::function<void(qint64 done, qint64 total)>& groupEnded = {});

// The cash desk under which a client's accommodation is posted: the client's own, else the
// first reception desk, else the lowest positive business unit, else 1. A failed lookup counts
// as not found.
qint64 FindCashDesk(StatementRunner& runner, qint64 client);

} // namespace update
