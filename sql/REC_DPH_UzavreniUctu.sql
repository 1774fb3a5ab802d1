CREATE or ALTER PROCEDURE REC_DPH_UzavreniUctu (
  ICisloUctu INTEGER,
  IDatum DATE)
RETURNS (
  OCisloUctu INTEGER)
AS
declare variable CKotevniDatum DATE;
declare variable AUsr VARCHAR(15);
declare variable CNarMena CHAR(3);
declare variable ADatum DATE;
declare variable ACisloKlienta INTEGER;
declare variable AMena CHAR(3);
declare variable AJmenoKlienta VARCHAR(80);
declare variable ATypKlienta VARCHAR(10);
declare variable ACisloPokladny INTEGER;
declare variable ACastkaCizi NUMERIC(14,4);
declare variable ACastka NUMERIC(14,4);
declare variable ICisloSluzby INTEGER;
declare variable AKodRastru CHAR(2);
declare variable ATypFin INTEGER;
declare variable XCastka NUMERIC(14,4);
declare variable XCastkaCizi NUMERIC(14,4);
declare variable XCisloSluzby INTEGER;
declare variable AResult2 INTEGER;
declare variable AACisloKlienta INTEGER;
begin
  CKotevniDatum = "1.1.2050";
  AUsr = current_user;
  select HODNOTACZ from QVT_KONFIG where ITEM = 'ChangeNarMena' into :CNarMena;
  ADatum = "NOW";

  select CisloKlienta, Mena from REC_CHECKHEAD where CisloUctu = :ICisloUctu into :ACisloKlienta, :AMena;
  select JmenoKlienta, TypKlienta, CisloPokladny from REC_MM_KLIENT where CisloKlienta = :ACisloKlienta
    into :AJmenoKlienta, :ATypKlienta, :ACisloPokladny;

  select Min(REC_NUM) from QVT_BU where REC_NUM = :ACisloPokladny into :ACisloPokladny;
  if (:ACisloPokladny is null) then select Min(REC_NUM) from QVT_BU where BU_TYPE = 'R' into :ACisloPokladny;
  if (:ACisloPokladny is null) then select Min(REC_NUM) from QVT_BU where REC_NUM > 0 into :ACisloPokladny;

  select OZustatek from REC_ZustatekUctuG(:ICisloUctu) into :ACastkaCizi;
  select OCastka from REC_PrevedNaKoruny(:ICisloSluzby, :AMena, :ACastkaCizi) into :ACastka;

  if (:ACastkaCizi < 0) then
  begin
    ICisloSluzby = 343;
    execute procedure REC_CheckDtlInsert2(:ICisloSluzby, :ICisloUctu, :ACisloPokladny, 0, :ADatum, :ADatum, 1, 1,
      -1*:ACastka, -1*:ACastkaCizi, :AMena, '', '', 'DPH 2011/2012 #D1014('||:ICisloUctu||'#D1014)', '', "TUZ", '', :AUsr)
      returning_values :AResult2;
    update REC_CHECKDTL set DPH = 10 where Cislouctu = :ICisloUctu and ID = :AResult2;
  end
  else if (:ACastkaCizi > 0) then
  begin
    if (:AMena = :CNarMena) then ICisloSluzby = 101; else ICisloSluzby = 150;
    select KodRastru, PocetOsob from CISSLUZ where CisloSluzby = :ICisloSluzby into :AKodRastru, :ATypFin;
    execute procedure REC_PoklDenikInsert2(:ICisloSluzby, :ICisloUctu, :ACisloPokladny, :ACastka, :ACastkaCizi, :AMena,
      'DPH 2011/2012 #D1014('||:ICisloUctu||'#D1014)', '', :AUsr, :AKodRastru, :ATypFin, :IDatum + 0.5)
      returning_values :AResult2;
  end

  execute procedure REC_KurzovyRozdil(:ICisloUctu, :AUsr);

  select OZustatek from REC_ZustatekUctu(:ICisloUctu) into :XCastka;
  select OZustatek from REC_ZustatekUctuG(:ICisloUctu) into :XCastkaCizi;

  if (:AMena = :CNarMena) then
  begin
    select HodnotaCZ from QVT_KONFIG where ITEM = 'REC_ZO_Polozka' into :XCisloSluzby;
    if (:XCisloSluzby is null) then
      select HodnotaCZ from QVT_KONFIG where ITEM = 'REC_CM_Dorovnani' into :XCisloSluzby;
  end
  else
    select HodnotaCZ from QVT_KONFIG where ITEM = 'REC_CM_Dorovnani' into :XCisloSluzby;

  if ((UDF_Abs(:XCastka) > 0.005) or (UDF_Abs(:XCastkaCizi) > 0.005)) then
  begin
    execute procedure REC_CheckDtlInsert2(:XCisloSluzby, :ICisloUctu, :ACisloPokladny, 0, :ADatum, :ADatum, 1, 1,
      -1*:XCastka, -1*:XCastkaCizi, :AMena, '', '', 'DPH ~DH~ 2011/2012 ', '', "TUZ", '', :AUsr)
      returning_values :AResult2;
    update REC_CHECKDTL set DPH = 10 where Cislouctu = :ICisloUctu and ID = :AResult2;
  end

  update REC_CHECKHEAD set Status = 2, DATUM_UZAVRENI = "NOW", CisloPokladnyUZ = :ACisloPokladny where CisloUctu = :ICisloUctu;

  execute procedure REC_ZmenDUZP(:ICisloUctu, :IDatum - :CKotevniDatum + 1);
  execute procedure REC_ZmenDUZP(:ICisloUctu, :IDatum - :CKotevniDatum);

  execute procedure REC_NajdiUcetKlienta(:ACisloKlienta, :AJmenoKlienta, :ATypKlienta, :ACisloPokladny, '')
    returning_values :OCisloUctu, :AACisloKlienta;

  /* PSQL has no ad-hoc exception; this failing conversion ends the call, so the server undoes the
     closing and the transfer-out entry, and its message names the account in the run log. The
     engine converts at most 52 characters to a number: longer texts fail as a truncation instead. */
  if (:OCisloUctu is null) then
    OCisloUctu = cast('no new account for closed account ' || coalesce(cast(:ICisloUctu as varchar(11)), 'NULL') as integer);

  if (:ACastkaCizi < 0) then
  begin
    execute procedure REC_CheckDtlInsert2(:ICisloSluzby, :OCisloUctu, :ACisloPokladny, 0, :ADatum, :ADatum, 1, 1,
      :ACastka, :ACastkaCizi, :AMena, '', '', 'DPH 2011/2012 #D1014('||:ICisloUctu||'#D1014)', '', "TUZ", '', :AUsr)
      returning_values :AResult2;
    update REC_CHECKDTL set DPH = 10 where Cislouctu = :OCisloUctu and ID = :AResult2;
  end
  else if (:ACastkaCizi > 0) then
    execute procedure REC_PoklDenikInsert2(:ICisloSluzby, :OCisloUctu, :ACisloPokladny, -1*:ACastka, -1*:ACastkaCizi, :AMena,
      'DPH 2011/2012 #D1014('||:ICisloUctu||'#D1014)', '', :AUsr, :AKodRastru, :ATypFin, :IDatum + 0.5 + 1)
      returning_values :AResult2;

  update REC_CHECKHEAD set Status = 1 where CisloUctu = :OCisloUctu;
  update REC_CHECKHEAD set REC_DUZP = :IDatum - :CKotevniDatum where CisloUctu = :OCisloUctu;
  update REC_CHECKHEAD set REC_DUZP = :IDatum - :CKotevniDatum + 1 where CisloUctu = :OCisloUctu;

  SUSPEND;
end
