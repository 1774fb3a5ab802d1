#include "NightEndState.h"

#include "RowDump.h"

#include <array>
#include <utility>

namespace testsupport {

namespace {

using Section = std::pair<const char*, const char*>;

// Each row of a section names its owner by content: a reservation by its group and dates, an
// account by its client and status.
const std::array kSections = {
    Section{"point-of-sale taxes", "select id_tax, percentage from pos_taxes order by 1"},
    Section{"food-and-beverage rates", "select vat_rate, count(*) from fbs_vat group by 1 order by 1"},
    Section{"services", "select cislosluzby, typsluzby, dph from cissluz order by 1"},
    Section{"settings", "select item, hodnotacz from qvt_konfig order by 1, 2"},
    Section{"reservations", "select CisloSkupiny, DatumPrijezd, DatumOdjezd, Status, CisloPokoje, REC_DUZP "
                            "from rec_mm_rezervace order by 1, 2, 3, 4, 5, 6"},
    Section{"reservation lines",
            "select r.CisloSkupiny, r.DatumPrijezd, r.DatumOdjezd, d.DatumOD, d.DatumDO, d.CisloSluzby, "
            "case when d.Link > 0 then 'linked' when d.Link < 0 then 'apart' else 'main' end, d.DPH, d.MarkovanoDo, "
            "d.Cena, d.Pocet from rec_mm_rezdet d left join rec_mm_rezervace r on r.CisloRezervace = d.CisloRezervace "
            "order by 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11"},
    Section{"rooming lists", "select r.CisloSkupiny, r.DatumPrijezd, l.CisloKlienta, l.Luzko from rec_mm_roominglist l "
                             "left join rec_mm_rezervace r on r.CisloRezervace = l.CisloRezervace order by 1, 2, 3, 4"},
    Section{"accounts", "select h.CisloKlienta, h.Status, h.REC_DUZP, h.Mena, "
                        "(select count(*) from rec_checkdtl d where d.CisloUctu = h.CisloUctu), "
                        "(select sum(d.Trzba) from rec_checkdtl d where d.CisloUctu = h.CisloUctu) "
                        "from rec_checkhead h order by 1, 2, 3, 4, 5, 6"},
    Section{"account items",
            "select h.CisloKlienta, h.Status, d.CisloSluzby, d.Typ, "
            "extract(year from d.DatumPlneni) * 10000 + extract(month from d.DatumPlneni) * 100 + "
            "extract(day from d.DatumPlneni), d.Pocet, d.PocetPeriod, d.Trzba, "
            "d.TrzbaGar, d.DPH from rec_checkdtl d left join rec_checkhead h on h.CisloUctu = d.CisloUctu "
            "order by 1, 2, 3, 4, 5, 6, 7, 8, 9, 10"},
    Section{"cash journal", "select CisloPokladny, Status, TypFin, KodOperace, CisloSluzby, Castka, CastkaCizi "
                            "from rec_pokldenik order by 1, 2, 3, 4, 5, 6, 7"},
    Section{"stock items", "select s.id_stock_itm, s.id_vat is null, v.vat_rate from fbs_stock_itm s "
                           "left join fbs_vat v on v.id_vat = s.id_vat order by 1"},
    Section{"banquet items", "select id_item, vat from fbs_prod_list_itm order by 1"},
    Section{"banquet items r", "select id_item, vat from fbs_prod_list_itm_r order by 1"},
    Section{"banquet lists r", "select id_list_r, vat from fbs_prod_lists_r order by 1"},
    Section{"banquet processes r", "select id_proc_r, vat from fbs_prod_procs_r order by 1"},
    Section{"banquet process items r", "select id_item_r, vat from fbs_prod_items_r order by 1"},
    Section{"semaphores", "select semaphore_name, count(*) from tmp_sem_tablesynch group by 1 order by 1"},
    Section{"procedures", "select rdb$procedure_name, rdb$valid_blr, rdb$procedure_source from rdb$procedures "
                          "where coalesce(rdb$system_flag, 0) = 0 order by 1"},
    Section{"triggers", "select rdb$trigger_name, rdb$trigger_inactive, rdb$trigger_source from rdb$triggers "
                        "where coalesce(rdb$system_flag, 0) = 0 order by 1"},
};

} // namespace

EndState nightEndState(db::Connection& connection)
{
    EndState state;
    for (const auto& [name, sql] : kSections)
        state[name] = dumpRows(connection, sql);
    return state;
}

} // namespace testsupport
