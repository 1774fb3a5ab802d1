CREATE or ALTER PROCEDURE REC_DPH_UZAVRENIVSECHUCTU (
  IDATUM DATE)
AS
declare variable ACISLOUCTU INTEGER;
declare variable OCISLOUCTU INTEGER;
begin
  for
    select A.CisloUctu from REC_CHECKHEAD A
    where A.Status < 2
    into :ACISLOUCTU
  do
  begin
    select Max(OCisloUctu) from REC_DPH_UzavreniUctu(:ACisloUctu, :IDatum) into :OCISLOUCTU;
  end
end
