CREATE or ALTER PROCEDURE REC_PoklDenikInsert2 (
  ICisloSluzby INTEGER,
  ICisloUctu INTEGER,
  ICisloPokladny INTEGER,
  ICastka NUMERIC(12,2),
  ICastkaCizi NUMERIC(12,2),
  IMena VARCHAR(3),
  ISysInfo VARCHAR(250),
  IInfo VARCHAR(250),
  IUsr VARCHAR(15),
  IKodRastru VARCHAR(2),
  ITypFin SMALLINT,
  IDatumPrvniOperace DATE)
RETURNS (
  OResultID INTEGER)
AS
declare variable CNarMena CHAR(3);
declare variable CStatusValid SMALLINT;
declare variable CKodOperace VARCHAR(2);
declare variable AMENAG CHAR(3);
declare variable ATK CHAR(2);
declare variable ALOption VARCHAR(16);
declare variable ACastkaCizi NUMERIC(12,2);
declare variable AKodRastru VARCHAR(2);
declare variable ATypFin SMALLINT;
declare variable APoradi INTEGER;
declare variable AID INTEGER;
begin
  select HODNOTACZ from QVT_KONFIG where ITEM = 'ChangeNarMena' into :CNarMena;

  CStatusValid = 0;
  CKodOperace = 'R';
  if (:ISysInfo is null) then ISysInfo = '';
  if (:ISysInfo like 'POS%') then CKodOperace = 'P';

  if (:ICisloUctu = 0) then
    ICisloUctu = null;
  else
  begin
    Update REC_CheckHead
    set Datum_PoslOper = "NOW"
    where CisloUctu = :ICisloUctu;

    SELECT MENA FROM Rec_CheckHead WHERE CisloUctu = :ICisloUctu INTO :AMENAG;
    if ((:AMENAG is null) or (:AMENAG = '')) then AMENAG = :CNarMena;

    select UDF_Right(HodnotaCZ, 2) from QVT_KONFIG where ITEM = 'REC_CM_KurzNaKc' into :ATK;

    SELECT LOPTION FROM CisSluz WHERE (CisloSluzby = :ICisloSluzby) INTO :ALOPTION;

    if ((:ALOPTION like '%G%') and (:AMENAG = :IMena)) then
      ACastkaCizi = :ICastkaCizi;
    else
      select OCastkaCizi from REC_PrevedNaMenuTK(:ICisloSluzby, :AMenaG, :ICastka, :ATK) into :ACastkaCizi;

    if ((ISysInfo Like '%#G(%') and (ISysInfo Like '%#G)%')) then
    ISysInfo = Cast(UDF_SubStringLong(:ISysInfo,1,UDF_PosLong('#G(', :ISysInfo)-1) ||
    UDF_SubStringLong(:ISysInfo,UDF_PosLong('#G)', :ISysInfo)+3,8000) as VarChar(250));

    if (:ACastkaCizi is not null) then ACastkaCizi = cast( 100 * :ACastkaCizi as integer)/100;

    ISysInfo = :ISysInfo || '#G(' || UDF_lrTRIM(Cast(:ACastkaCizi as VARCHAR(30))) || '#G)';
  end

  if (:ICisloSluzby = 0) then
  begin
    ICisloSluzby = null;
    AKodRastru = :IKodRastru;
    ATypFin = :ITypFin;
  end
  else
  begin
    SELECT KodRastru, PocetOsob
    FROM CisSluz
    WHERE (CisloSluzby = :ICisloSluzby)
    INTO :AKodRastru, :ATypFin;
    if (:AKodRastru is null) then exit;
  end

  APoradi = Gen_ID(Rec_PoklDenik, 1);
  AID = :APoradi;

  INSERT INTO REC_PoklDenik (CisloPokladny, Poradi, Status, DatumOperace, Mena, TypFin, CisloSluzby,
    KodOperace, CisloUctu, ID, Castka, CastkaCizi, Usr, Rastr, DatumPrvniOperace, SysInfo, Info,
    CisloPokladnyPrvni)
  VALUES (:ICisloPokladny, :APoradi, :CStatusValid, "NOW", :IMena, :ATypFin, :ICisloSluzby,
    :CKodOperace, :ICisloUctu, :AID, :ICastka, :ICastkaCizi, :IUsr, :AKodRastru, :IDatumPrvniOperace, :ISysInfo, :IInfo,
    :ICisloPokladny);

  OResultID = :AID;
  SUSPEND;
end
