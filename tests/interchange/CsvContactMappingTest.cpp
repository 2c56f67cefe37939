#include "interchange/CsvContactMapping.h"

#include <gtest/gtest.h>

namespace {

using M = CsvContactMapping;

TEST(CsvContactMapping, KnownHeadersOfAddressBooksAndOfTheProgramsOwnExport) {
    const QStringList book{"First Name",
                           "Middle Name",
                           "Last Name",
                           "Company",
                           "E-mail Address",
                           "Business Phone",
                           "Mobile Phone",
                           "Business Fax",
                           "Business Street",
                           "Business City",
                           "Business Postal Code",
                           "Business Country/Region",
                           "Web Page",
                           "Notes",
                           "Birthday"};
    const QList<M::Target> targets = M::GuessAll(book);
    EXPECT_EQ(targets, (QList<M::Target>{M::FirstName, M::MiddleName, M::LastName, M::CompanyName,
                                         M::Email, M::Phone, M::Mobile, M::Fax, M::Address, M::City,
                                         M::PostCode, M::Country, M::Url, M::Note, M::Skip}));
    // The program's own export writes the field names; case and blanks do
    // not matter.
    EXPECT_EQ(
        M::GuessAll({"Country", "CompanyName", "ContactPerson", "PostCode", "e-mail", "STATE"}),
        (QList<M::Target>{M::Country, M::CompanyName, M::ContactPerson, M::PostCode, M::Email,
                          M::State}));
    EXPECT_EQ(M::TargetName(M::Skip), "(skip)");
    EXPECT_EQ(M::TargetName(M::Note), "Remarks");
}

TEST(CsvContactMapping, ARowFillsItsTargetsAndThePersonFromTheNameParts) {
    const QList<M::Target> targets{M::FirstName, M::LastName, M::CompanyName, M::Address,
                                   M::Address,   M::Skip,     M::Note,        M::Note};
    ImportedContact c = M::Apply(
        targets, {" Anna ", "Smith", "Acme", "12 High St", "Unit 3", "ignored", "a", "b"}, 7);
    EXPECT_EQ(c.contactPerson, "Anna Smith");
    EXPECT_EQ(c.companyName, "Acme");
    EXPECT_EQ(c.address, "12 High St Unit 3");
    EXPECT_EQ(c.note, "a\nb");
    EXPECT_EQ(c.line, 7);
    // A short row leaves the missing columns empty; a whole name wins.
    c = M::Apply({M::ContactPerson, M::FirstName, M::City}, {"Dr. Bo", "Bo"}, 8);
    EXPECT_EQ(c.contactPerson, "Dr. Bo");
    EXPECT_TRUE(c.city.isEmpty());
}

} // namespace
