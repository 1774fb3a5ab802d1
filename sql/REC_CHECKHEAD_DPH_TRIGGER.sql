CREATE or ALTER TRIGGER REC_CHECKHEAD_DPH_TRIGGER FOR REC_CHECKHEAD
active BEFORE UPDATE POSITION 0
AS
DECLARE VARIABLE sem_const VARCHAR(30);
DECLARE VARIABLE sem_name VARCHAR(30);
DECLARE VARIABLE CKotevniDatum DATE;
DECLARE VARIABLE ADatum DATE;
DECLARE VARIABLE AIDZaloha INTEGER;
DECLARE VARIABLE ACisloSluzby INTEGER;
DECLARE VARIABLE ACisloPokladny INTEGER;
DECLARE VARIABLE ACastka NUMERIC(14,4);
DECLARE VARIABLE ACastkaCizi NUMERIC(14,4);
DECLARE VARIABLE AMena CHAR(3);
DECLARE VARIABLE AResult2 INTEGER;
/* as long as the user parameter of REC_CheckDtlInsert2, so no user name is too long for it */
DECLARE VARIABLE AUsr VARCHAR(31);
BEGIN
  sem_const = "RGS";
  select SEMAPHORE_NAME from TMP_SEM_TABLESYNCH where SEMAPHORE_NAME = :sem_const into :sem_name;
  if ((:sem_name is not null) and (:sem_name = :sem_const)) then
    exit;

  CKotevniDatum = "1.1.2050";
  AIDZaloha = 0;
  ADatum = "NOW";
  AUsr = current_user;

  if (New.Status = 2 and Old.Status < 2) then
  begin
    sem_const = "RPK";
    select SEMAPHORE_NAME from TMP_SEM_TABLESYNCH where SEMAPHORE_NAME = :sem_const into :sem_name;
    if ((:sem_name is null) or (:sem_name <> :sem_const)) then
    begin
      if (New.REC_DUZP + :CKotevniDatum < '1.1.2012') then
        update REC_CHECKDTL set DPH = 10 where CisloUctu = New.CisloUctu and DPH = 14 and KODRASTRU <> 'ZZ';
      else
        update REC_CHECKDTL set DPH = 14 where CisloUctu = New.CisloUctu and DPH = 10 and KODRASTRU <> 'ZZ';
    end
  end

  if (New.REC_DUZP <> Old.REC_DUZP) then
  if ( ((New.REC_DUZP + :CKotevniDatum >= '1.1.2012') and (Old.REC_DUZP + :CKotevniDatum < '1.1.2012')) or
       ((New.REC_DUZP + :CKotevniDatum < '1.1.2012') and (Old.REC_DUZP + :CKotevniDatum >= '1.1.2012')) ) then
  begin
    sem_const = "RPK";
    select SEMAPHORE_NAME from TMP_SEM_TABLESYNCH where SEMAPHORE_NAME = :sem_const into :sem_name;
    if ((:sem_name is null) or (:sem_name <> :sem_const)) then
    begin
      if (New.REC_DUZP + :CKotevniDatum < '1.1.2012') then
      begin
        delete from REC_CHECKDTL where CisloUctu = New.CisloUctu and (SysInfo like '%DPH 2011/2012 #Pz1014(%' or SysInfo like '%DPH 2011/2012 #UB1014(%');
        update REC_CHECKDTL set DPH = 10 where CisloUctu = New.CisloUctu and DPH = 14 and KODRASTRU <> 'ZZ';
      end
      else
      begin
        update REC_CHECKDTL set DPH = 14 where CisloUctu = New.CisloUctu and DPH = 10 and KODRASTRU <> 'ZZ';
        for select ID, CisloSluzby from REC_CHECKDTL where CisloUctu = New.CisloUctu and DPH = 10 and SysInfo like '%DPH 2011/2012 #D1014(%' into :AIDZaloha, :ACisloSluzby do
        begin
          if ((:AIDZaloha is not null) and (:AIDZaloha > 0)) then
          begin
            select CisloPokladny, Trzba, TrzbaGar, Mena from REC_CHECKDTL where CisloUctu = New.CisloUctu and ID = :AIDZaloha
              into :ACisloPokladny, :ACastka, :ACastkaCizi, :AMena;

            execute procedure REC_CheckDtlInsert2(:ACisloSluzby, New.CisloUctu, :ACisloPokladny, 0, :ADatum, :ADatum, 1, 1,
                -1 * :ACastka, -1 * :ACastkaCizi, :AMena, '', '',
                'DPH 2011/2012 #Pz1014('||:AIDZaloha||'#Pz1014)', '', "TUZ", '', :AUsr)
              returning_values :AResult2;
            update REC_CHECKDTL set DPH = 10 where CisloUctu = New.CisloUctu and ID = :AResult2;

            execute procedure REC_CheckDtlInsert2(:ACisloSluzby, New.CisloUctu, :ACisloPokladny, 0, :ADatum, :ADatum, 1, 1,
                :ACastka, :ACastkaCizi, :AMena, '', '',
                'DPH 2011/2012 #Pz1014('||:AIDZaloha||'#Pz1014)', '', "TUZ", '', :AUsr)
              returning_values :AResult2;
            update REC_CHECKDTL set DPH = 14 where CisloUctu = New.CisloUctu and ID = :AResult2;
          end
        end
      end
    end
  end
END
