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
    QString onlyIf = {}; // when set, the statement moves nothing unless this holds
    // What a row is worth and in which currency, where the accountant wants the amount moved.
    QString price = {};
    QString currency = {};

    // "update <table> set <newRate> where <oldRate> [and <onlyIf>]", as the command sends it.
    QString statement() const;
    // "select count(*) from <table> where <oldRate>": how many rows are left.
    QString countLeft() const;
    // Read in the statement's own transaction once it has run: what the rows it moved are worth,
    // one row per currency; empty without a price.
    QString worthMoved() const;
};

// Step 1: the point-of-sale taxes.
RateMove posTaxes();
// Step 2: the food-and-beverage rate 14, which must exist (step 2 adds it only when none does).
inline const QString kRate14Count = QStringLiteral("select count(*) Pocet from fbs_vat where vat_rate = 14");
// Step 3: the reception's services, except those of type 1.
RateMove receptionServices();
// Services at the old rate with no type: step 3's condition passes them over.
inline const QString kUntypedServicesAtOldRateCount =
    QStringLiteral("select count(*) from cissluz where cissluz.dph = 10 and cissluz.typsluzby is null");
// Step 4: the system settings' basic rates.
RateMove settingsRates();
// Step 5: the reservation lines from 1.1.2012 on, except what a split of step 7 made: the lines
// of a reservation that ends by 31.12.2011 (the 2011 part, put back to 10 on purpose) and the
// copies in the part that begins on 31.12.2011 (lines from before it, which keep their source's
// rate). Step 5 runs before the night's splits, so a first run meets neither.
RateMove reservations();

// The stock command, in the order it sends them: the stock items (only while a rate 14 exists
// for them to take), then the banquet documents.
RateMove stockItems();
QList<RateMove> banquetDocuments();

} // namespace update
