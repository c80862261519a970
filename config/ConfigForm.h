// TFormConfig: the alias configuration window. On the left the aliases of one scope, on the
// right five pages that show and edit the stored values of the selected alias; Apply or OK
// writes the whole alias at once. It is in the application's font, which the program makes the
// classic dialog font (UseDialogFont) before it opens the window.
#pragma once

#include <QMainWindow>
#include <QRect>
#include <memory>
#include <utility>
#include <vector>

#include "AliasListing.h"
#include "AliasStore.h"

class QCheckBox;
class QFileDialog;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class QStatusBar;
class QTabBar;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TRegistry;

class TFormConfig : public QMainWindow
{
    Q_OBJECT
public:
    explicit TFormConfig(QWidget* parent = nullptr);
    // With the machine-wide aliases being listed already: the window shows them when it first
    // fills its list, as if it had listed them then.
    explicit TFormConfig(std::unique_ptr<AliasListing> firstListing, QWidget* parent = nullptr);
    ~TFormConfig() override;

    // The design bounds of the window, frame included, before any stored placement.
    static constexpr int DesignLeft = 16;
    static constexpr int DesignTop = 41;
    static constexpr int DesignWidth = 688;
    static constexpr int DesignHeight = 460;

    // The controls, named as the window's object names.
    QWidget* Panel1 = nullptr;
    QTabBar* TabRoot = nullptr;
    QTreeWidget* LstAliases = nullptr;
    QWidget* Panel2 = nullptr;
    QTabWidget* Pages = nullptr;
    QWidget* Panel3 = nullptr;
    QPushButton* BtnOk = nullptr;
    QPushButton* BtnCancel = nullptr;
    QPushButton* BtnApply = nullptr;
    QStatusBar* Status = nullptr;
    // The file dialog of the three "..." buttons, made when first needed.
    QFileDialog* OpenDialog = nullptr;

    QLineEdit* EditPath = nullptr;
    QPushButton* BtnFindPath = nullptr;
    QCheckBox* ChkExclusive = nullptr;
    QCheckBox* ChkReadOnly = nullptr;
    QCheckBox* ChkLockEdits = nullptr;
    QCheckBox* ChkSeparateWS = nullptr;
    QLineEdit* EditSystemDb = nullptr;
    QPushButton* BtnFindSystemDb = nullptr;
    QLineEdit* EditUsername = nullptr;
    QLineEdit* EditConnect = nullptr;
    QPushButton* BtnFindConnect = nullptr;

    QCheckBox* ChkDisableRefresh = nullptr;
    QCheckBox* ChkRenamePrimary = nullptr;
    QCheckBox* ChkShowGUID = nullptr;

    QCheckBox* ChkUseDefault = nullptr;
    QCheckBox* ChkUseConstraint = nullptr;
    QCheckBox* ChkUseAllowZero = nullptr;
    QCheckBox* ChkSeeChanges = nullptr;

    QCheckBox* ChkIndexesCaseSensitive = nullptr;

    QLineEdit* EditPreThreshold = nullptr;
    QLineEdit* EditPreReset = nullptr;

    QMenu* Menu = nullptr;
    QAction* ItmNew = nullptr;
    QAction* ItmDelete = nullptr;
    QAction* N1 = nullptr;
    QAction* ItmRename = nullptr;
    QAction* N2 = nullptr;
    QAction* ItmRefresh = nullptr;

    // The 21 option controls in their fixed order.
    const std::vector<QWidget*>& OptionControls() const { return optionControls_; }

    bool Dirty() const { return dirty_; }
    void SetDirty(bool dirty);

    // Handlers. Each may raise a registry error; the bindings run them under the guard.
    void FormCreate();
    void FormClose();
    void FillList(AliasScope scope);
    void TabRootChange();
    void LstAliasesChange();
    void MakeDirty();
    void EditPathChange();
    void EditConnectChange();
    void BtnFindClick(QPushButton* sender);
    void BtnApplyClick();
    void BtnOkClick();
    void BtnCancelClick();
    void ShowStatusHint(const QString& hint);
    void RestorePlacement();
    void SavePlacement();

    void MenuPopup();
    void ItmNewClick();
    void ItmDeleteClick();
    void ItmRenameClick();
    void ItmRefreshClick();
    // The user accepted an in-place edit of `item`'s name (still the old one) as `text`.
    void LstAliasesEdited(QTreeWidgetItem& item, QString& text);
    // An item of the list changed: a new name is set (column 0), or Apply set its path.
    void LstAliasesItemChanged(QTreeWidgetItem* item, int column);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    // Fill a page of the pane, already in place, with its controls.
    void BuildConnectionPage(QWidget* page);
    void BuildCompatibilityPage(QWidget* page);
    void BuildSettings1Page(QWidget* page);
    void BuildSettings2Page(QWidget* page);
    void BuildRowFetchingPage(QWidget* page);
    void BuildMenu();
    void ConnectHandlers();
    void SetTabOrder();

    QFileDialog& FileDialog();
    QTreeWidgetItem* SelectedItem() const;
    // The aliases of `scope` into `listed`, from the first listing when it is of that scope.
    void ListAliases(AliasScope scope, std::vector<std::pair<std::string, std::string>>& listed);
    AliasSettings SettingsFromControls() const;
    void ShowSettings(const AliasSettings& settings);
    // Stores the selected alias when it is modified; false when its key could not be written.
    bool ApplyPending();
    void AliasNameSet(QTreeWidgetItem& item);
    AliasScope ShownScope() const;

    // Places the window so that its outer bounds, frame included, are `bounds`.
    void SetOuterBounds(const QRect& bounds);
    QRect OuterBounds() const;
    // Places the window again once the window manager has told the size of its frame.
    void FrameMayBeKnown();
    // The hint of the nearest widget, starting at `widget`, that has one.
    QString HintOf(QWidget* widget) const;

    std::unique_ptr<TRegistry> registry_;
    std::unique_ptr<AliasStore> aliases_;
    std::unique_ptr<AliasListing> firstListing_;
    std::vector<QWidget*> optionControls_;
    bool dirty_ = false;
    QRect outerBounds_{DesignLeft, DesignTop, DesignWidth, DesignHeight};
    bool placedOnScreen_ = false;
    bool frameKnown_ = false;
    bool pagesMeasured_ = false;
    QString currentHint_;
    // Start and length of the connect string's selection when the edit last lost the focus.
    std::pair<int, int> connectSelection_{-1, 0};
};
