#pragma once

#include <QString>
#include <QVariant>

class TDBConnection;

// A contact of a test: its texts and CallbackDate as stored, and the event
// the calendar should hold for it.
struct TestContact {
    QString company;
    QString person;
    QString phone;
    QString mobile;
    QString email;
    QVariant callback; // CallbackDate as stored; invalid for null
    qint64 id = 0;     // set by Insert

    // Stores the contact through the data layer's statement and sets `id`.
    void Insert(TDBConnection &connection);

    // The event's texts for a contact whose texts are the ones it shows.
    QString Summary() const;
    QString Description() const;
};
