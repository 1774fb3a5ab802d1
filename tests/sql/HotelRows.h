#pragma once

#include "ScriptDatabase.h"

#include <string>

namespace testsupport {

// The rows a closing or posting test needs, written straight into the stand-in hotel database.
class HotelRows : public ScriptDatabase {
protected:
    using ScriptDatabase::ScriptDatabase;

    static std::string text(const std::string& value) { return value.empty() ? "NULL" : "'" + value + "'"; }
    static std::string sqlNumber(double value) { return std::to_string(value); }

    void addClient(int client, const std::string& cashDesk)
    {
        exec("insert into REC_MM_KLIENT (CisloKlienta, JmenoKlienta, TypKlienta, CisloPokladny) values ("
             + std::to_string(client) + ", 'Host " + std::to_string(client) + "', 'F', "
             + (cashDesk.empty() ? "NULL" : cashDesk) + ")");
    }

    // status and client as SQL text, so that a test can write NULL
    void addAccount(int account, const std::string& client, const std::string& currency,
                    const std::string& status = "0", const std::string& duzp = "NULL")
    {
        exec("insert into REC_CHECKHEAD (CisloUctu, CisloKlienta, Mena, Status, REC_DUZP) values ("
             + std::to_string(account) + ", " + client + ", " + text(currency) + ", " + status + ", " + duzp + ")");
    }

    void addItem(int id, int account, int service, double homeAmount, double accountAmount,
                 const std::string& currency, int rate, const std::string& rasterCode)
    {
        exec("insert into REC_CHECKDTL (ID, CisloUctu, CisloSluzby, CisloPokladny, Trzba, TrzbaGar, Mena, DPH,"
             " KodRastru, SysInfo) values (" + std::to_string(id) + ", " + std::to_string(account) + ", "
             + std::to_string(service) + ", 2, " + sqlNumber(homeAmount) + ", " + sqlNumber(accountAmount) + ", "
             + text(currency) + ", " + std::to_string(rate) + ", " + text(rasterCode) + ", 'UB')");
    }

    // A payment already taken: a valid cash-journal entry, counted against the account's balance.
    void addPayment(int id, int account, double homeAmount, double currencyAmount, const std::string& currency)
    {
        exec("insert into REC_PoklDenik (ID, Poradi, CisloPokladny, Status, CisloUctu, Castka, CastkaCizi, Mena)"
             " values (" + std::to_string(id) + ", " + std::to_string(id) + ", 2, 0, " + std::to_string(account)
             + ", " + sqlNumber(homeAmount) + ", " + sqlNumber(currencyAmount) + ", " + text(currency) + ")");
    }

    double balance(int account)
    {
        return number("select OZustatek from REC_ZustatekUctu(" + std::to_string(account) + ")");
    }
    double balanceInAccountCurrency(int account)
    {
        return number("select OZustatek from REC_ZustatekUctuG(" + std::to_string(account) + ")");
    }
    std::string head(int account, const std::string& column)
    {
        return value("select " + column + " from REC_CHECKHEAD where CisloUctu = " + std::to_string(account));
    }
    std::int64_t count(const std::string& tableAndCondition)
    {
        return integer("select count(*) from " + tableAndCondition);
    }
};

} // namespace testsupport
