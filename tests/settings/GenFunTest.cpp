#include "settings/GenFun.h"
#include "support/TempSettings.h"

#include "data/DatabaseErrors.h"

#include <QDirIterator>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

std::string ErrorOf(const std::function<void()> &action) {
    try {
        action();
    } catch (const EError &e) {
        return e.Message().toStdString();
    }
    return "no error";
}

bool StoreFileExists(const QString &folder) {
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext();
}

TEST(GenFun, AFreshStoreGivesCountryOneAndTheFirstReadCreatesTheKey) {
    TempSettings settings;
    EXPECT_FALSE(StoreFileExists(settings.Folder()));
    EXPECT_EQ(GenFun::GetDefaultCountryID(), 1);
    EXPECT_TRUE(StoreFileExists(settings.Folder()));
    EXPECT_EQ(GenFun::ReadRegString(GenFun::kKey, "missing", "fallback"), "fallback");
}

TEST(GenFun, SetAsDefaultStoresTheDecimalTextAndIsReadBack) {
    TempSettings settings;
    GenFun::SetDefaultCountryID(7);
    EXPECT_EQ(GenFun::GetDefaultCountryID(), 7);
    EXPECT_EQ(GenFun::ReadRegString(GenFun::kKey, GenFun::kDefaultCountry, "1"), "7");
    // Stored where another program that shares the store would look.
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Brennart", "Corvana");
    EXPECT_EQ(store.value("defCountryID").toString(), "7");
    GenFun::SetDefaultCountryID(-12);
    EXPECT_EQ(GenFun::GetDefaultCountryID(), -12);
}

TEST(GenFun, TextAfterANulIsNotPartOfTheValue) {
    TempSettings settings;
    GenFun::WriteRegString(GenFun::kKey, GenFun::kDefaultCountry, QString("42") + QChar(0));
    EXPECT_EQ(GenFun::GetDefaultCountryID(), 42);
}

TEST(GenFun, ANonIntegerValueFailsWithTheConversionMessage) {
    TempSettings settings;
    GenFun::WriteRegString(GenFun::kKey, GenFun::kDefaultCountry, "Germany");
    EXPECT_EQ(ErrorOf([] { GenFun::GetDefaultCountryID(); }),
              "'Germany' is not a valid integer value");
    GenFun::WriteRegString(GenFun::kKey, GenFun::kDefaultCountry, "");
    EXPECT_EQ(ErrorOf([] { GenFun::GetDefaultCountryID(); }), "'' is not a valid integer value");
}

TEST(GenFun, ANonStringValueFailsOnReading) {
    TempSettings settings;
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Brennart", "Corvana");
        store.setValue("defCountryID", QStringList{"1", "2"});
    }
    EXPECT_EQ(ErrorOf([] { GenFun::GetDefaultCountryID(); }),
              "Invalid data type for 'defCountryID'");
}

} // namespace
