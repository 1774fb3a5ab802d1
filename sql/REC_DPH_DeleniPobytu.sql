CREATE or ALTER PROCEDURE REC_DPH_DeleniPobytu (ICisloKlienta INTEGER, IDatum DATE)
AS
DECLARE VARIABLE ICisloRezervace INTEGER;
DECLARE VARIABLE ACisloRezervace INTEGER;
DECLARE VARIABLE ALID INTEGER;
DECLARE VARIABLE AMainID INTEGER;
DECLARE VARIABLE ANewID INTEGER;
BEGIN
  for select CisloRezervace from REC_MM_REZERVACE where CisloSkupiny = :ICisloKlienta and DatumPrijezd < :IDatum and DatumOdjezd > :IDatum and (Status is null or Status <> 8) into :ICisloRezervace do
  begin
    insert into TMP_SEM_TABLESYNCH (SEMAPHORE_NAME) values ('RPK');

    ACisloRezervace = Gen_ID(REC_MM_Rezervace, 1);
    insert into REC_MM_Rezervace (CisloRezervace, CisloSkupiny, CisloPobytu, Status, DatumPrijezd, DatumOdjezd, TypPokoje, CisloPokoje, Mobilni, PocetOsob, Options, JmenoSkupiny, SeznamHostu, Info, Cena, CenaUbyt, Mena, Priorita, CisloCeniku, CenaDle, Refresh, CasPrijezdu, CasOdjezdu, VybaveniPokoje, CisloPokladny, Navazuje, Predchazi, CENACIZ, KURZ, REC_DUZP, PUVTYP, SKUTTYP, STUTUR, LinkCisloPokoje, PocetOsobUK, VybSluz, POHLAVI, EXTERNALID, D1, D2, D3)
    select :ACisloRezervace, CisloSkupiny, Gen_ID(REC_MM_RezervacePobyt, 1), Status, DatumPrijezd, DatumOdjezd, TypPokoje, CisloPokoje, Mobilni, PocetOsob, Options, JmenoSkupiny, SeznamHostu, Info, Cena, CenaUbyt, Mena, Priorita, CisloCeniku, CenaDle, Refresh, CasPrijezdu, CasOdjezdu, VybaveniPokoje, CisloPokladny, Navazuje, Predchazi, CENACIZ, KURZ, REC_DUZP, PUVTYP, SKUTTYP, STUTUR, LinkCisloPokoje, PocetOsobUK, VybSluz, POHLAVI, EXTERNALID, D1, D2, D3
    from REC_MM_Rezervace where CisloRezervace = :ICisloRezervace;

    delete from REC_MM_REZDET where CisloRezervace = :ACisloRezervace;

    delete from TMP_SEM_TABLESYNCH where SEMAPHORE_NAME = 'RPK';

    ALID = Gen_ID(REC_MM_RezDet, 1);

    update REC_MM_REZDET L set Link = :ALID where CisloRezervace = :ICisloRezervace and DatumOd >= :IDatum and Link > 0 and not exists (select 1 from REC_MM_REZDET M where M.ID = L.Link and M.CisloRezervace = :ICisloRezervace and (M.DatumOd >= :IDatum or ((M.Link = 0 or M.Link is null) and M.DatumDo > :IDatum and M.DatumOd < :IDatum)));

    ANewID = ALID;
    for select ID from REC_MM_REZDET where CisloRezervace = :ICisloRezervace and (Link = 0 or Link is null) and DatumDo > :IDatum and DatumOd < :IDatum order by ID into :AMainID do
    begin
      if (ANewID is null) then
        ANewID = Gen_ID(REC_MM_RezDet, 1);
      insert into REC_MM_RezDet (ID, CisloRezervace, DatumOD, DatumDO, KodRastru, TypSluzby, Link, PocetPeriod, PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, Kurz, CenaMas, KurzMas, MenaMas, REC_DUZP, MarkovanoDo)
      select :ANewID, :ACisloRezervace, DatumOD, DatumDO, KodRastru, TypSluzby, Link, DatumDO - DatumOD, PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, Kurz, CenaMas, KurzMas, MenaMas, REC_DUZP, MarkovanoDo
      from REC_MM_REZDET where ID = :AMainID;

      insert into REC_MM_RezDet (ID, CisloRezervace, DatumOD, DatumDO, KodRastru, TypSluzby, Link, PocetPeriod, PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, Kurz, CenaMas, KurzMas, MenaMas, REC_DUZP, MarkovanoDo)
      select Gen_ID(REC_MM_RezDet, 1), :ACisloRezervace, DatumOD, DatumDO, KodRastru, TypSluzby, :ANewID, DatumDO - DatumOD, PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, Kurz, CenaMas, KurzMas, MenaMas, REC_DUZP, MarkovanoDo
      from REC_MM_REZDET where CisloRezervace = :ICisloRezervace and Link = :AMainID and DatumDo > :IDatum and DatumOd < :IDatum;

      update REC_MM_REZDET set Link = :ANewID where CisloRezervace = :ICisloRezervace and DatumOd >= :IDatum and Link = :AMainID;
      ANewID = null;
    end

    insert into REC_MM_RezDet (ID, CisloRezervace, DatumOD, DatumDO, KodRastru, TypSluzby, Link, PocetPeriod, PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, Kurz, CenaMas, KurzMas, MenaMas, REC_DUZP, MarkovanoDo)
    select Gen_ID(REC_MM_RezDet, 1), :ACisloRezervace, DatumOD, DatumDO, KodRastru, TypSluzby, :ALID, DatumDO - DatumOD, PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, Kurz, CenaMas, KurzMas, MenaMas, REC_DUZP, MarkovanoDo
    from REC_MM_REZDET L where CisloRezervace = :ICisloRezervace and Link > 0 and Link is not null and DatumDo > :IDatum and DatumOd < :IDatum and not exists (select 1 from REC_MM_REZDET M where M.ID = L.Link and M.CisloRezervace = :ICisloRezervace and (M.Link = 0 or M.Link is null) and M.DatumDo > :IDatum and M.DatumOd < :IDatum);

    insert into REC_MM_RezDet (ID, CisloRezervace, DatumOD, DatumDO, KodRastru, TypSluzby, Link, PocetPeriod, PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, Kurz, CenaMas, KurzMas, MenaMas, REC_DUZP, MarkovanoDo)
    select Gen_ID(REC_MM_RezDet, 1), :ACisloRezervace, DatumOD, DatumDO, KodRastru, TypSluzby, Link, DatumDO - DatumOD, PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, Kurz, CenaMas, KurzMas, MenaMas, REC_DUZP, MarkovanoDo
    from REC_MM_REZDET where CisloRezervace = :ICisloRezervace and Link < 0 and DatumDo > :IDatum and DatumOd < :IDatum;

    update REC_MM_REZDET set CisloRezervace = :ACisloRezervace where CisloRezervace = :ICisloRezervace and DatumOd >= :IDatum;

    insert into REC_MM_RoomingList (ID, CisloRezervace, CisloKlienta, Luzko, TridaKlienta, Cenik)
    select GEN_ID(REC_MM_RoomingList_Gen,1), :ACisloRezervace, CisloKlienta, Luzko, TridaKlienta, Cenik
    from REC_MM_Roominglist where CisloRezervace = :ICisloRezervace;

    update REC_MM_REZDET set DPH = 10 where CisloRezervace = :ICisloRezervace and DPH=14;

    update REC_MM_REZERVACE set DatumPrijezd = :IDatum where CisloRezervace = :ACisloRezervace;
    update REC_MM_REZERVACE set DatumOdjezd = :IDatum where CisloRezervace = :ICisloRezervace;

    if (cast("now" as DATE) > CAST("31.12.2011" as DATE)) then
      update REC_MM_REZERVACE set Status = 10 where CisloRezervace = :ICisloRezervace;
    else
      update REC_MM_REZERVACE set Status = 0 where CisloRezervace = :ACisloRezervace and Status = 6;
  end
END
