// TFormSetup: the setup wizard. Five pages lead from the choice of a development environment
// through the defaults it fills in to "Setup Now", whose progress log shows the run.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "EnvironmentProfile.h"
#include "SetupFields.h"
#include "SetupReport.h"

class QButtonGroup;
class QCheckBox;
class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

class TFormSetup : public QDialog, public SetupReport
{
    Q_OBJECT

public:
    explicit TFormSetup(QWidget* parent = nullptr);
    ~TFormSetup() override;

    // Handlers, named after the control and the event that runs them.
    void FormCreate();
    void RadVersionClick();
    void PagesChange();
    void BtnOkClick();
    void BtnOriginalDlgClick();
    void BtnPatchedDlgClick();
    void BtnComplibClick();
    void ChkInstallDesignClick();
    void LblWebClick();
    void BtnCancelClick();

    // Fills the profile and the fields for the selected environment and shows every page tab.
    void ApplyEnvironment();
    // Recomputes the component library and search path for the Install/Remove choice.
    void UpdateDesignDefaults();

    // The progress log and the dialogs the setup operations use.
    void LogProgress(const std::string& line) override;
    bool Confirm(const std::string& message, const std::string& title) override;
    void Error(const std::string& message, const std::string& title) override;
    void Notice(const std::string& message) override;

    const EnvironmentProfile& Profile() const { return profile_; }
    // The controls as the setup operations read them, and back.
    SetupFields FieldsFromControls() const;
    void ControlsFromFields(const SetupFields& fields);

    // The support address shown on the first page.
    static const char* const SupportAddress;

    // Window controls.
    QTabWidget* Pages = nullptr;
    QPushButton* BtnNext = nullptr;
    QPushButton* BtnCancel = nullptr;

    // "Compiler"
    QWidget* TabCompiler = nullptr;
    QLabel* Label33 = nullptr;
    QLabel* Label34 = nullptr;
    QFrame* Bevel5 = nullptr;
    QLabel* Label35 = nullptr;
    QLabel* Label25 = nullptr;
    QRadioButton* RadDelphi20 = nullptr;
    QRadioButton* RadDelphi30 = nullptr;
    QRadioButton* RadDelphi40 = nullptr;
    QRadioButton* RadDelphi50 = nullptr;
    QRadioButton* RadCPP10 = nullptr;
    QRadioButton* RadCPP30 = nullptr;
    QRadioButton* RadCPP40 = nullptr;
    QFrame* Bevel9 = nullptr;
    QLabel* Label17 = nullptr;
    QLabel* Label16 = nullptr;

    // "BDE Interface"
    QWidget* TabCompile = nullptr;
    QLabel* Label4 = nullptr;
    QCheckBox* ChkGenerate = nullptr;
    QFrame* Bevel2 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label11 = nullptr;
    QPlainTextEdit* MemoOriginal = nullptr;
    QPushButton* BtnOriginalDlg = nullptr;
    QLabel* Label12 = nullptr;
    QLineEdit* EditPatched = nullptr;
    QPushButton* BtnPatchedDlg = nullptr;
    QLabel* Label32 = nullptr;

    // "Design Environment"
    QWidget* TabDesignEnv = nullptr;
    QLabel* Label21 = nullptr;
    QRadioButton* ChkInstallDesign = nullptr;
    QRadioButton* ChkRemoveDesign = nullptr;
    QRadioButton* ChkSkipDesign = nullptr;
    QFrame* Bevel6 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label22 = nullptr;
    QLineEdit* EditLibraryPath = nullptr;
    QLabel* Label46 = nullptr;
    QLabel* Label23 = nullptr;
    QLineEdit* EditComplib = nullptr;
    QPushButton* BtnComplib = nullptr;
    QLabel* Label2 = nullptr;
    QCheckBox* ChkInstallDemo = nullptr;

    // "Design Tools"
    QWidget* TabDesignTools = nullptr;
    QLabel* Label13 = nullptr;
    QRadioButton* ChkInstallTools = nullptr;
    QRadioButton* ChkRemoveTools = nullptr;
    QRadioButton* ChkSkipTools = nullptr;
    QFrame* Bevel3 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label20 = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* EditExplorerPath = nullptr;
    QLabel* LblQueryBuilder = nullptr;
    QLineEdit* EditQueryBuilderPath = nullptr;
    QLabel* Label1 = nullptr;

    // "Setup Now"
    QWidget* TabProgress = nullptr;
    QLabel* Label3 = nullptr;
    QPlainTextEdit* MemoProgress = nullptr;

    // File dialogs (not the platform's own, so that they behave alike everywhere), made when
    // first needed.
    QFileDialog* DlgOpenOriginal = nullptr;
    QFileDialog* DlgOpenComplib = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Tab and Shift+Tab: "Exit", the page tabs, the controls of the shown page, "&Next".
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    // Fill a page, already among the pages, with its controls.
    void CreateCompilerPage();
    void CreateCompilePage();
    void CreateDesignEnvPage();
    void CreateDesignToolsPage();
    void CreateProgressPage();
    QFileDialog& OriginalDialog();
    QFileDialog& ComplibDialog();
    void SetTabOrder();
    void ConnectHandlers();
    // Hands the controls' fields to an operation that fills them, and shows the result.
    void RefillControls(const std::function<void(SetupFields&)>& fill);
    bool FocusInMemo() const;
    QRadioButton* VersionRadio(Environment environment) const;

    // The controls of each page in their tab order.
    std::vector<std::pair<QWidget*, std::vector<QWidget*>>> tabStops_;
    EnvironmentProfile profile_;
    // The seven environment buttons in catalogue order.
    std::array<QRadioButton*, 7> versionRadios_{};
    // Set while ControlsFromFields writes the controls: the operation that produced the fields
    // has already done what the change handlers would do.
    bool fillingControls_ = false;
    // Lines appended to the progress log since the run began (an empty document may hold one).
    int logLineCount_ = 0;
};
