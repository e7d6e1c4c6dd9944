#pragma once

#include "maintenance/ReceiptTexts.h"

#include <QDate>
#include <QList>
#include <QString>

class Database;

// One line of the printed order document: a data1 row of the order.
struct OrderDocumentLine
{
    QString name;   // a
    QString spec;   // b
    QString code;   // c
    QString remark; // j
    double quantity = 0;
    double unitPrice = 0;
    double amount = 0;
};

// Everything the order document of one order number shows: the shop's
// texts, the customer of the order, its lines, the total in figures and in
// capital numerals, and who prepared it.
struct OrderDocumentContent
{
    QString header;  // "dan1"
    QString contact; // "dan2"
    QString slogan1; // "dan3"; empty drops the slogan band
    QString slogan2; // "dan4"
    QString orderNumber;
    QString customer;
    QString address;
    QString customerContact;
    QDate date;
    QList<OrderDocumentLine> lines;
    QString totalText;   // general decimal form
    QString capitalText; // empty when the total cannot be written in capitals
    QString preparedBy;

    // The lines whose order number equals the trimmed box text, in booking
    // order; the customer from the first of them. Throws DatabaseError.
    // The capital text is filled only when the total converts; the caller
    // reports why not (CapitalAmountChecked(totalText).messages()).
    static OrderDocumentContent load(const Database &db, const QString &orderBoxText, const QString &userName,
                                     const ReceiptTexts &texts, QDate today);
};
