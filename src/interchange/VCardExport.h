#pragma once

#include <QString>
#include <optional>

class TDBConnection;

// Writes the contacts of the database to a vCard file (VCardWriter), with
// their country's and status's names: every contact in the order of their
// keys, or the one contact with a given key.
//
// The cards go to a temporary file beside the target, which takes the
// target's place only once every card is written: a failure leaves any file
// of that name as it was and no half-written one.
//
// Failures: a file that cannot be created or written raises EInOutError
// naming the file and the system's reason; a chosen contact that is no
// longer stored raises EDatabaseError; the engine's failures propagate as
// they are.
class VCardExport {
public:
    explicit VCardExport(TDBConnection &connection);

    // Returns how many cards were written.
    qint64 SaveTo(const QString &fileName, std::optional<qint64> contactId = std::nullopt);

    // The query that reads the contacts.
    static QString SelectText(std::optional<qint64> contactId);

private:
    TDBConnection &connection_;
};
