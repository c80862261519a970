#include <gtest/gtest.h>

#include "EnvironmentProfile.h"
#include "InstalledEnvironments.h"

// The catalogue names its keys on its own; an installed machine lays them out independently.
// The C++Builder installation keys are written with a leading "\".
TEST(EnvironmentCatalogue, KeysAndValueNamesAreThoseOfAnInstalledEnvironmentInTestingOrder)
{
    const auto& catalogue = EnvironmentCatalogue();
    const auto order = AllEnvironments();
    ASSERT_EQ(catalogue.size(), order.size());
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        const EnvironmentEntry& entry = catalogue[i];
        SCOPED_TRACE(entry.caption);
        const Environment e = order[i];
        EXPECT_EQ(entry.environment, e);
        EXPECT_EQ(&CatalogueEntry(e), &entry);
        const bool builder =
            e == Environment::CPP1 || e == Environment::CPP3 || e == Environment::CPP4;
        EXPECT_EQ(entry.environmentKey,
                  (builder ? "\\" : "") + InstalledEnvironments::InstallationKey(e));
        EXPECT_EQ(entry.libraryKey, InstalledEnvironments::LibraryKey(e));
        EXPECT_EQ(entry.searchPathValue, InstalledEnvironments::SearchPathValueName(e));
        const bool hasComplib = e == Environment::Delphi2 || e == Environment::CPP1;
        EXPECT_EQ(std::string(entry.complibKey), hasComplib ? entry.libraryKey : "");
        EXPECT_EQ(std::string(entry.complibValue), hasComplib ? "ComponentLibrary" : "");
        EXPECT_EQ(EnvironmentFromCaption(entry.caption), e);
    }
}

TEST(EnvironmentCatalogue, RecognisesRememberedEnvironmentsOnlyByTheirExactText)
{
    EXPECT_EQ(EnvironmentFromCaption("C++Builder 3"), Environment::CPP3);
    EXPECT_EQ(EnvironmentFromCaption("C++Builder 3.0"), std::nullopt);
    EXPECT_EQ(EnvironmentFromCaption("delphi 2"), std::nullopt);
    EXPECT_EQ(EnvironmentFromCaption("Delphi 2 "), std::nullopt);
    EXPECT_EQ(EnvironmentFromCaption(""), std::nullopt);
}
