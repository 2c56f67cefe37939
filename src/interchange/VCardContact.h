#pragma once

#include "interchange/ImportedContact.h"

struct VCard;

// The contact a vCard describes: ORG the company; FN, else N, the person;
// the work address (else the first) for address, city, state, post code and
// country; TEL by type (fax, cell, else work or voice) for fax, mobile and
// phone; the preferred (else the first) EMAIL; URL; NOTE; and from the
// program's own cards (VCardWriter) the status and the call-back and
// last-call times. A card whose FN is its company and which has no name
// parts is a company's alone: it has no person.
class VCardContact {
public:
    static ImportedContact FromCard(const VCard &card);
};
