// The setup window's fields as the setup operations read and fill them. The window copies its
// controls into a SetupFields, calls the operation, and copies the result back.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "EnvironmentProfile.h"

// One radio group of three: "Install ...", "Remove ...", "Skip this step."
enum class StepChoice { Install, Remove, Skip };

struct SetupFields {
    std::optional<Environment> environment; // the selected environment radio button
    bool generate = true;                   // ChkGenerate
    std::vector<std::string> originalFiles; // lines of MemoOriginal
    std::string patchedFolder =             // EditPatched
        "C:\\Program Files\\Quillon\\Tessarium\\Lib\\BDE.DCU";
    StepChoice design = StepChoice::Skip; // ChkInstallDesign / ChkRemoveDesign / ChkSkipDesign
    std::string libraryPath =             // EditLibraryPath
        "C:\\Program Files\\Quillon\\Tessarium\\Lib;C:\\Program Files\\Borland\\Delphi 2.0\\Lib";
    std::string complib = // EditComplib
        "C:\\Program Files\\Quillon\\Tessarium\\Lib\\CmpLib32.dcl";
    bool complibEnabled = true;
    bool installDemo = true;             // ChkInstallDemo
    StepChoice tools = StepChoice::Skip; // ChkInstallTools / ChkRemoveTools / ChkSkipTools
    std::string explorerPath =           // EditExplorerPath
        "C:\\Program Files\\Borland\\Delphi 2.0\\Bin\\DBX.dll";
    std::string queryBuilderPath = // EditQueryBuilderPath (and LblQueryBuilder)
        "C:\\Program Files\\Borland\\Delphi 2.0\\Bin\\VQBLib32.dll";
    bool queryBuilderEnabled = true;
};
