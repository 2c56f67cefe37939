#pragma once

#include <QDateTime>
#include <QString>

// One contact as read from another program's file, before it is matched to
// the database: texts only, empty where the file has no value. The country
// is kept by name; matching it to a country of the database is the
// importer's.
struct ImportedContact {
    QString companyName;
    QString contactPerson;
    QString address;
    QString city;
    QString state;
    QString postCode;
    QString country;
    QString phone;
    QString fax;
    QString mobile;
    QString email;
    QString url;
    QString note;
    // The program's own vCards also carry these; other files leave them
    // empty (an invalid time is none).
    QString status;
    QDateTime callbackDate;
    QDateTime lastCallDate;
    int line = 0; // where the contact begins in the file, from 1
};
