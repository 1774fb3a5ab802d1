CREATE or ALTER PROCEDURE REC_DPH_DeleniPobytu (ICisloKlienta INTEGER, IDatum DATE)
AS
DECLARE VARIABLE ICisloRezervace INTEGER;
DECLARE VARIABLE ACisloRezervace INTEGER;
DECLARE VARIABLE ALID INTEGER;
BEGIN
  for select CisloRezervace from REC_MM_REZERVACE where CisloSkupiny = :ICisloKlienta and DatumPrijezd < :IDatum and DatumOdjezd > :IDatum into :ICisloRezervace do
  begin
    insert into TMP_SEM_TABLESYNCH (SEMAPHORE_NAME) values ('RPK');

    ACisloRezervace = Gen_ID(REC_MM_Rezervace, 1);
    insert into REC_MM_Rezervace (CisloRezervace, CisloSkupiny, CisloPobytu, Status, DatumPrijezd, DatumOdjezd, TypPokoje, CisloPokoje, Mobilni, PocetOsob, Options, JmenoSkupiny, SeznamHostu, Info, Cena, CenaUbyt, Mena, Priorita, CisloCeniku, CenaDle, Refresh, CasPrijezdu, CasOdjezdu, VybaveniPokoje, CisloPokladny, Navazuje, Predchazi, CENACIZ, KURZ, REC_DUZP, PUVTYP, SKUTTYP, STUTUR, LinkCisloPokoje, PocetOsobUK, VybSluz, POHLAVI, EXTERNALID, D1, D2, D3)
    select :ACisloRezervace, CisloSkupiny, Gen_ID(REC_MM_RezervacePobyt, 1), Status, DatumPrijezd, DatumOdjezd, TypPokoje, CisloPokoje, Mobilni, PocetOsob, Options, JmenoSkupiny, SeznamHostu, Info, Cena, CenaUbyt, Mena, Priorita, CisloCeniku, CenaDle, Refresh, CasPrijezdu, CasOdjezdu, VybaveniPokoje, CisloPokladny, Navazuje, Predchazi, CENACIZ, KURZ, REC_DUZP, PUVTYP, SKUTTYP, STUTUR, LinkCisloPokoje, PocetOsobUK, VybSluz, POHLAVI, EXTERNALID, D1, D2, D3
    from REC_MM_Rezervace where CisloRezervace = :ICisloRezervace;

    delete from REC_MM_REZDET where CisloRezervace = :ACisloRezervace;

    delete from TMP_SEM_TABLESYNCH where SEMAPHORE_NAME = 'RPK';

    ALID = Gen_ID(REC_MM_RezDet, 1);
    insert into REC_MM_RezDet (ID, CisloRezervace, DatumOD, DatumDO, KodRastru, TypSluzby, Link, PocetPeriod, PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, Kurz, CenaMas, KurzMas, MenaMas, REC_DUZP)
    select :ALID, :ACisloRezervace, DatumOD, DatumDO, KodRastru, TypSluzby, Link, DatumDO - DatumOD, PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, Kurz, CenaMas, KurzMas, MenaMas, REC_DUZP
    from REC_MM_REZDET where CisloRezervace = :ICisloRezervace and (Link = 0 or Link is null) and DatumDo > :IDatum and DatumOd < :IDatum;

    insert into REC_MM_RezDet (ID, CisloRezervace, DatumOD, DatumDO, KodRastru, TypSluzby, Link, PocetPeriod, PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, Kurz, CenaMas, KurzMas, MenaMas, REC_DUZP)
    select Gen_ID(REC_MM_RezDet, 1), :ACisloRezervace, DatumOD, DatumDO, KodRastru, TypSluzby, :ALID, DatumDO - DatumOD, PocetOsob, Pocet, CisloSluzby, Cena, Mena, CisloKlienta, LOption, Nazev, DPH, CenaCiz, Kurz, CenaMas, KurzMas, MenaMas, REC_DUZP
    from REC_MM_REZDET where CisloRezervace = :ICisloRezervace and Link > 0 and Link is not null and DatumDo > :IDatum and DatumOd < :IDatum;

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
