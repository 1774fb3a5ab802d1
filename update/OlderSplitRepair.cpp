#include "update/OlderSplitRepair.h"

#include "db/EngineError.h"
#include "update/MoneyAtRisk.h"
#include "update/UpdateSession.h"

namespace update {

namespace {

// The part ending on 31.12.2011 (P) and its 2012 part (Q); the columns a copied line takes over.
// A line charged up to any other day than 31.12.2011 was charged before the split (a posting at
// the split stops there): its copy carries that day, as the split now copies it.
const QString kRepair = QStringLiteral(
    "execute block as declare P integer; declare Q integer; declare ALID integer; begin "
    "for select P.CisloRezervace, min(Q.CisloRezervace) from rec_mm_rezervace P join rec_mm_rezervace Q on "
    "Q.CisloSkupiny = P.CisloSkupiny and Q.DatumPrijezd = '31.12.2011' and Q.CisloRezervace <> P.CisloRezervace "
    "where P.DatumOdjezd = '31.12.2011' and exists (select 1 from rec_mm_rezdet PL join rec_mm_rezdet QL on "
    "QL.CisloSluzby = PL.CisloSluzby and QL.DatumOD = PL.DatumOD and QL.DatumDO = PL.DatumDO where PL.CisloRezervace "
    "= P.CisloRezervace and QL.CisloRezervace = Q.CisloRezervace and PL.DatumOD < '31.12.2011' and PL.DatumDO > "
    "'31.12.2011') group by P.CisloRezervace having count(distinct Q.CisloRezervace) = 1 into :P, :Q do begin "
    "update rec_mm_rezdet QL set MarkovanoDo = (select max(PL.MarkovanoDo) from rec_mm_rezdet PL where "
    "PL.CisloRezervace = :P and PL.CisloSluzby = QL.CisloSluzby and PL.DatumOD = QL.DatumOD and PL.DatumDO = "
    "QL.DatumDO) where QL.CisloRezervace = :Q and QL.MarkovanoDo is null and QL.DatumOD < '31.12.2011' and "
    "QL.DatumDO > '31.12.2011' and exists (select 1 from rec_mm_rezdet PL where PL.CisloRezervace = :P and "
    "PL.CisloSluzby = QL.CisloSluzby and PL.DatumOD = QL.DatumOD and PL.DatumDO = QL.DatumDO and PL.MarkovanoDo <> "
    "'31.12.2011'); "
    "ALID = null; "
    "select max(iif(Link > 0, Link, ID)) from rec_mm_rezdet where CisloRezervace = :Q and DatumOD < '31.12.2011' and "
    "(Link > 0 or Link = 0 or Link is null) into :ALID; "
    "insert into rec_mm_rezdet (ID, CisloRezervace, DatumOD, DatumDO, KodRastru, TypSluzby, Link, PocetPeriod, "
    "PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, Kurz, CenaMas, KurzMas, "
    "MenaMas, REC_DUZP, MarkovanoDo) select Gen_ID(REC_MM_RezDet, 1), :Q, DatumOD, DatumDO, KodRastru, TypSluzby, "
    "Link, DatumDO - DatumOD, PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, "
    "Kurz, CenaMas, KurzMas, MenaMas, REC_DUZP, MarkovanoDo from rec_mm_rezdet PL where PL.CisloRezervace = :P and "
    "PL.Link < 0 and PL.DatumOD < '31.12.2011' and PL.DatumDO > '31.12.2011' and not exists (select 1 from "
    "rec_mm_rezdet QL where QL.CisloRezervace = :Q and QL.CisloSluzby = PL.CisloSluzby and QL.DatumOD = PL.DatumOD "
    "and QL.DatumDO = PL.DatumDO); "
    "update rec_mm_rezdet L set Link = :ALID where CisloRezervace = :P and DatumOD >= '31.12.2011' and Link > 0 and "
    ":ALID is not null and not exists (select 1 from rec_mm_rezdet M where M.ID = L.Link and M.CisloRezervace = :P "
    "and M.DatumOD >= '31.12.2011'); "
    "update rec_mm_rezdet set CisloRezervace = :Q, DPH = iif(DPH = 10 and MarkovanoDo is null, 14, DPH) where "
    "CisloRezervace = :P and DatumOD >= '31.12.2011'; "
    "end end");

// Whether the check finds anything such a split left; read without the run log.
bool olderSplitsLeftSomething(UpdateSession& session)
{
    try {
        return !linesNoPostingReaches(session.Database1).empty() || !copiesOfChargedLines(session.Database1).empty();
    } catch (const db::EngineError&) {
        return true; // the statement itself will say what the database refuses
    }
}

} // namespace

bool RepairOlderSplits(UpdateSession& session)
{
    if (!session.isConnected() || !olderSplitsLeftSomething(session))
        return true;
    session.log().WriteLog(QStringLiteral("               | Oprava pobytu rozdelenych starsi verzi procedury"));
    return session.runner().ExecSql(kRepair);
}

} // namespace update
