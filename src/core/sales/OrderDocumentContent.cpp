#include "OrderDocumentContent.h"

#include "data/Money.h"
#include "data/QueryHelpers.h"
#include "sales/CapitalAmount.h"
#include "sales/Ticket.h"

OrderDocumentContent OrderDocumentContent::load(const Database &db, const QString &orderBoxText,
                                                const QString &userName, const ReceiptTexts &texts,
                                                QDate today)
{
    OrderDocumentContent content;
    content.header = texts.documentHeader;
    content.contact = texts.documentContact;
    content.slogan1 = texts.documentSlogan1;
    content.slogan2 = texts.documentSlogan2;
    content.orderNumber = Ticket::orderKey(orderBoxText);
    content.date = today;
    content.preparedBy = userName;

    double total = 0;
    if (!content.orderNumber.isEmpty()) {
        // Equality, not a substring: order 20261208001 must not pull in the
        // lines of 202612080011 or of an order typed as part of a remark.
        QSqlQuery query = OpenStatement(
            db,
            QStringLiteral("select a, b, c, j, \"3\", \"2\", \"4\", g, h, i from data1 where z = ? "
                           "order by ID"),
            {content.orderNumber});
        bool first = true;
        while (query.next()) {
            OrderDocumentLine line;
            line.name = query.value(0).toString();
            line.spec = query.value(1).toString();
            line.code = query.value(2).toString();
            line.remark = query.value(3).toString();
            line.quantity = query.value(4).toDouble();
            line.unitPrice = query.value(5).toDouble();
            line.amount = query.value(6).toDouble();
            if (first) {
                content.customer = query.value(7).toString();
                content.address = query.value(8).toString();
                content.customerContact = query.value(9).toString();
                first = false;
            }
            total += line.amount;
            content.lines.append(line);
        }
    }
    // Rounded before it is shown and spelled out: a sale and its return
    // total 0, not -8.88178419700125E-16.
    content.totalText = Money::text(total);
    content.capitalText = CapitalAmount(content.totalText);
    return content;
}
