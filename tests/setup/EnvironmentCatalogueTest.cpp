#include <gtest/gtest.h>

#include "EnvironmentProfile.h"
#include "FileSystem.h"
#include "InstalledEnvironments.h"
#include "PackageList.h"
#include "TestEnvironment.h"

TEST(EnvironmentCatalogue, IsInTestingOrder)
{
    const auto& catalogue = EnvironmentCatalogue();
    const auto expected = AllEnvironments();
    ASSERT_EQ(catalogue.size(), expected.size());
    for (std::size_t i = 0; i < catalogue.size(); ++i)
        EXPECT_EQ(&CatalogueEntry(expected[i]), &catalogue[i]);
}

TEST(EnvironmentCatalogue, RecognisesRememberedEnvironmentsExactly)
{
    for (const EnvironmentEntry& entry : EnvironmentCatalogue())
        EXPECT_EQ(EnvironmentFromCaption(entry.caption), entry.environment) << entry.caption;
    EXPECT_EQ(EnvironmentFromCaption("C++Builder 3"), Environment::CPP3);
    EXPECT_EQ(EnvironmentFromCaption("C++Builder 3.0"), std::nullopt);
    EXPECT_EQ(EnvironmentFromCaption("delphi 2"), std::nullopt);
    EXPECT_EQ(EnvironmentFromCaption("Delphi 2 "), std::nullopt);
    EXPECT_EQ(EnvironmentFromCaption(""), std::nullopt);
}

// The catalogue names its keys on its own; an installed machine lays them out independently.
TEST(EnvironmentCatalogue, KeysAndValueNamesAreThoseOfAnInstalledEnvironment)
{
    for (const EnvironmentEntry& entry : EnvironmentCatalogue()) {
        SCOPED_TRACE(entry.caption);
        std::string key = entry.environmentKey;
        if (key.rfind("\\", 0) == 0)
            key.erase(0, 1);
        EXPECT_EQ(key, InstalledEnvironments::InstallationKey(entry.environment));
        EXPECT_EQ(std::string(entry.libraryKey),
                  InstalledEnvironments::LibraryKey(entry.environment));
        EXPECT_EQ(std::string(entry.searchPathValue),
                  InstalledEnvironments::SearchPathValueName(entry.environment));
        const bool hasComplib =
            entry.environment == Environment::Delphi2 || entry.environment == Environment::CPP1;
        EXPECT_EQ(std::string(entry.complibKey), hasComplib ? entry.libraryKey : "");
        EXPECT_EQ(std::string(entry.complibValue), hasComplib ? "ComponentLibrary" : "");
    }
}

// Every engine file a package list installs is one the engine ships, and every file it marks
// for keeping is one the environment ships.
TEST(EnvironmentCatalogue, PackageListsNameInstalledFiles)
{
    TestEnvironment testEnvironment;
    InstalledEnvironments machine(testEnvironment);
    for (const EnvironmentEntry& entry : EnvironmentCatalogue()) {
        SCOPED_TRACE(entry.caption);
        EnvironmentProfile profile;
        profile.PackageList = entry.packageList;
        profile.ProductDir = machine.ProductDir();
        profile.EnvironmentDir = InstalledEnvironments::EnvironmentDir(entry.environment);
        std::vector<std::string> sources;
        std::vector<std::string> marked;
        for (const PackageItem& item : ReadPackageList(profile)) {
            sources.push_back(item.source);
            EXPECT_TRUE(FileSystem::FileExists(item.source)) << item.source;
            EXPECT_EQ(item.target.rfind(profile.EnvironmentDir, 0), 0u) << item.target;
            if (item.marked) {
                marked.push_back(item.target);
                EXPECT_TRUE(FileSystem::FileExists(item.target)) << item.target;
            }
        }
        EXPECT_EQ(sources, machine.EnginePackageFiles(entry.environment));
        EXPECT_EQ(marked, InstalledEnvironments::MarkedPackageTargets(entry.environment));
    }
}
