#pragma once

#include <QList>
#include <QString>

namespace update {

// Rows that a command moves from the rate 10 to 14: where they are and what marks them as still
// at the old rate. The command's statement and the readiness check's count are both made from
// it, so the check reports on exactly what the command changes.
struct RateMove {
    QString table;   // with the alias that the conditions use, if any
    QString newRate; // what the statement sets
    QString oldRate; // what is still at the old rate

    // "update <table> set <newRate> where <oldRate>", as the command sends it.
    QString statement() const;
    // "select count(*) from <table> where <oldRate>": how many rows are left.
    QString countLeft() const;
};

// Step 1: the point-of-sale taxes.
RateMove posTaxes();
// Step 2: the food-and-beverage rate 14, which must exist exactly once.
inline const QString kRate14Count = QStringLiteral("select count(*) Pocet from fbs_vat where vat_rate = 14");
// Step 3: the reception's services, except those of type 1.
RateMove receptionServices();
// Step 4: the system settings' basic rates.
RateMove settingsRates();
// Step 5: the reservations from 1.1.2012 on.
RateMove reservations();

// The stock command, in the order it sends them: the stock items, then the banquet documents.
RateMove stockItems();
QList<RateMove> banquetDocuments();

} // namespace update
