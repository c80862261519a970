#include "ConfigForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include "ConfigFormAliasList.h"
#include "QtsFormTools.h"
#include "QtsGuard.h"
#include "QtsWidgets.h"
#include "WindowPlacement.h"

namespace
{

const char* const NewAliasName = "New Alias";

// Filters of the file dialog, in the order the browse buttons refer to them (1-based).
const char* const FileFilters[] = {
    "Jet Database Files (*.mdb)", "Jet System Files (*.mdw)", "dBase Files (*.dbf)",
    "Paradox Files (*.db)",       "All Files (*.*)",
};

std::string Text(const QLineEdit* edit)
{
    return edit->text().toStdString();
}

void SetText(QLineEdit* edit, const std::string& text)
{
    edit->setText(QString::fromStdString(text));
}

} // namespace

TFormConfig::TFormConfig(QWidget* parent) : TFormConfig(nullptr, parent)
{
}

TFormConfig::TFormConfig(std::unique_ptr<AliasListing> firstListing, QWidget* parent)
    : QMainWindow(parent), firstListing_(std::move(firstListing))
{
    BuildControls();
    BuildMenu();
    SetTabOrder();
    ConnectHandlers();
    ShowStartNotices();
    Guarded([&] { FormCreate(); });
}

TFormConfig::~TFormConfig() = default;

void TFormConfig::ConnectHandlers()
{
    ConnectGuarded(TabRoot, &QTabBar::currentChanged, this, &TFormConfig::TabRootChange);
    ConnectGuarded(LstAliases, &QTreeWidget::itemSelectionChanged, this,
                   &TFormConfig::LstAliasesChange);
    ConnectGuarded(LstAliases, &QTreeWidget::itemChanged, this,
                   &TFormConfig::LstAliasesItemChanged);
    connect(LstAliases, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { Menu->popup(LstAliases->viewport()->mapToGlobal(at)); });
    ConnectGuarded(Menu, &QMenu::aboutToShow, this, &TFormConfig::MenuPopup);
    ConnectGuarded(ItmNew, &QAction::triggered, this, &TFormConfig::ItmNewClick);
    ConnectGuarded(ItmDelete, &QAction::triggered, this, &TFormConfig::ItmDeleteClick);
    ConnectGuarded(ItmRename, &QAction::triggered, this, &TFormConfig::ItmRenameClick);
    ConnectGuarded(ItmRefresh, &QAction::triggered, this, &TFormConfig::ItmRefreshClick);

    for (QCheckBox* box : {ChkExclusive, ChkReadOnly, ChkLockEdits, ChkSeparateWS, ChkUseDefault,
                           ChkUseConstraint, ChkUseAllowZero, ChkRenamePrimary, ChkShowGUID,
                           ChkDisableRefresh, ChkSeeChanges, ChkIndexesCaseSensitive})
        ConnectGuarded(box, &QCheckBox::toggled, this, &TFormConfig::MakeDirty);
    for (QLineEdit* edit : {EditSystemDb, EditUsername, EditPreThreshold, EditPreReset})
        ConnectGuarded(edit, &QLineEdit::textChanged, this, &TFormConfig::MakeDirty);
    ConnectGuarded(EditPath, &QLineEdit::textChanged, this, &TFormConfig::EditPathChange);
    ConnectGuarded(EditConnect, &QLineEdit::textChanged, this, &TFormConfig::EditConnectChange);
    EditConnect->installEventFilter(this);
    LstAliases->installEventFilter(this);
    for (QPushButton* button : {BtnFindPath, BtnFindSystemDb, BtnFindConnect})
        ConnectGuarded(button, &QPushButton::clicked, this,
                       [this, button] { BtnFindClick(button); });
    ConnectGuarded(BtnApply, &QPushButton::clicked, this, &TFormConfig::BtnApplyClick);
    ConnectGuarded(BtnOk, &QPushButton::clicked, this, &TFormConfig::BtnOkClick);
    ConnectGuarded(BtnCancel, &QPushButton::clicked, this, &TFormConfig::BtnCancelClick);
}

// ---------------------------------------------------------------------------------------------
// Life of the window

void TFormConfig::FormCreate()
{
    Pages->setCurrentIndex(0);
    FillList(AliasScope::Global);
    RestorePlacement();
    qApp->installEventFilter(this);
}

void TFormConfig::FormClose()
{
    SavePlacement();
}

void TFormConfig::closeEvent(QCloseEvent* event)
{
    Guarded([&] { FormClose(); });
    event->accept();
}

void TFormConfig::keyPressEvent(QKeyEvent* event)
{
    // Keys reach the window only when the focused control leaves them alone; the in-place name
    // editor keeps Enter and Esc for itself.
    // The Enter key of the number pad comes with the keypad modifier; it is Enter all the same.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        } else if (BtnApply->isEnabled()) {
            BtnApply->click();
        }
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        BtnCancel->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TFormConfig::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!placedOnScreen_) {
        placedOnScreen_ = true;
        SetOuterBounds(outerBounds_);
        // The window manager tells the frame only once it has decorated the window: watch the
        // native window until then.
        if (QWindow* native = windowHandle())
            native->installEventFilter(this);
    }
}

void TFormConfig::FrameMayBeKnown()
{
    if (frameKnown_ || !windowHandle() || windowHandle()->frameMargins().isNull())
        return;
    // Until now the client area stood where the outer bounds belong; put the frame there.
    frameKnown_ = true;
    windowHandle()->removeEventFilter(this);
    SetOuterBounds(outerBounds_);
}

void TFormConfig::SetOuterBounds(const QRect& bounds)
{
    outerBounds_ = bounds;
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    setGeometry(bounds.marginsRemoved(frame));
}

QRect TFormConfig::OuterBounds() const
{
    return placedOnScreen_ ? frameGeometry() : outerBounds_;
}

void TFormConfig::RestorePlacement()
{
    // Each stored value changes only its own dimension of the outer bounds, as it is read.
    QRect bounds = OuterBounds();
    RestoreWindowPlacement([&](PlacementPart part, std::int32_t value) {
        switch (part) {
        case PlacementPart::Left:
            bounds.moveLeft(value);
            break;
        case PlacementPart::Top:
            bounds.moveTop(value);
            break;
        case PlacementPart::Width:
            bounds.setWidth(value);
            break;
        case PlacementPart::Height:
            bounds.setHeight(value);
            break;
        }
        SetOuterBounds(bounds);
    });
}

void TFormConfig::SavePlacement()
{
    const QRect bounds = OuterBounds();
    WriteWindowPlacement({bounds.x(), bounds.y(), bounds.width(), bounds.height()});
}

// ---------------------------------------------------------------------------------------------
// Status-bar hints

bool TFormConfig::event(QEvent* event)
{
    // The status bar follows ShowStatusHint alone; the toolkit's own status tips would clear it
    // when the pointer leaves a control inside another one that has a hint.
    if (event->type() == QEvent::StatusTip)
        return true;
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        FrameMayBeKnown();
    return QMainWindow::event(event);
}

bool TFormConfig::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == windowHandle() && type == QEvent::Expose) {
        FrameMayBeKnown();
        // The hidden pages count in the layouts once the window has been drawn the first time.
        if (!pagesMeasured_) {
            pagesMeasured_ = true;
            QTimer::singleShot(0, this, [this] { MeasureLatePages(*this); });
        }
    }
    // Shift+F10 opens the list's pop-up menu, as the Menu key and a right click do.
    if (watched == LstAliases && type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            QTreeWidgetItem* item = LstAliases->currentItem();
            const QPoint at =
                item ? LstAliases->visualItemRect(item).bottomLeft() + QPoint(8, 0) : QPoint();
            Menu->popup(LstAliases->viewport()->mapToGlobal(at));
            return true;
        }
    }
    // The edit drops its selection when a button takes the focus: keep what the person had
    // selected for the connect string's "...".
    if (watched == EditConnect && type == QEvent::FocusOut)
        connectSelection_ = {EditConnect->selectionStart(), EditConnect->selectionLength()};
    if ((type == QEvent::Enter || type == QEvent::Leave) && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() == this) {
            QWidget* pointed = widget;
            if (type == QEvent::Leave)
                pointed = widget->isWindow() ? nullptr : widget->parentWidget();
            Guarded([&] { ShowStatusHint(HintOf(pointed)); });
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

QString TFormConfig::HintOf(QWidget* widget) const
{
    for (; widget; widget = widget->parentWidget()) {
        if (!widget->statusTip().isEmpty())
            return widget->statusTip();
        if (widget->isWindow())
            break;
    }
    return {};
}

void TFormConfig::ShowStatusHint(const QString& hint)
{
    if (hint == currentHint_)
        return;
    currentHint_ = hint;
    Status->showMessage(hint);
    Status->repaint();
}

// ---------------------------------------------------------------------------------------------
// The list and the pane

AliasScope TFormConfig::ShownScope() const
{
    return TabRoot->currentIndex() == 0 ? AliasScope::Global : AliasScope::CurrentUser;
}

QTreeWidgetItem* TFormConfig::SelectedItem() const
{
    const QList<QTreeWidgetItem*> selected = LstAliases->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TFormConfig::FillList(AliasScope scope)
{
    LstAliases->clear();
    std::vector<std::pair<std::string, std::string>> listed;
    // The aliases listed before a failing read are shown all the same.
    auto show = [&] {
        QList<QTreeWidgetItem*> items;
        items.reserve(static_cast<qsizetype>(listed.size()));
        for (auto& [name, path] : listed) {
            auto* item = new TAliasListItem(std::move(name), std::move(path));
            item->setFlags(item->flags() | Qt::ItemIsEditable);
            items << item;
        }
        // The store lists its aliases in an order that is mostly the list's own already; sorting
        // such a list again would only compare every alias once more.
        const bool inOrder = std::is_sorted(
            items.cbegin(), items.cend(),
            [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) { return *a < *b; });
        LstAliases->addTopLevelItems(items);
        if (inOrder)
            LstAliases->header()->setSortIndicator(0, Qt::AscendingOrder);
        else
            LstAliases->sortItems(0, Qt::AscendingOrder);
        LstAliases->clearSelection();
        for (QWidget* control : optionControls_)
            control->setEnabled(false);
        BtnApply->setEnabled(false);
    };
    try {
        ListAliases(scope, listed);
    } catch (...) {
        show();
        throw;
    }
    show();
}

void TFormConfig::ListAliases(AliasScope scope,
                              std::vector<std::pair<std::string, std::string>>& listed)
{
    const std::unique_ptr<AliasListing> first = std::move(firstListing_);
    if (first && first->Scope() == scope && !registry_) {
        registry_ = first->TakeRegistry();
        if (registry_)
            aliases_ = std::make_unique<AliasStore>(*registry_);
        first->TakeAliases(listed);
        return;
    }
    if (!registry_) {
        registry_ = std::make_unique<TRegistry>();
        aliases_ = std::make_unique<AliasStore>(*registry_);
    }
    aliases_->ListAliases(scope, listed);
}

void TFormConfig::TabRootChange()
{
    FillList(ShownScope());
}

void TFormConfig::LstAliasesChange()
{
    QTreeWidgetItem* item = SelectedItem();
    const bool editable = item && !item->text(0).isEmpty();
    for (QWidget* control : optionControls_)
        control->setEnabled(editable);
    BtnApply->setEnabled(editable && dirty_);
    if (!editable)
        return;
    // Values not read keep what the controls show: a new alias without a key keeps the values
    // of the alias shown before, and a load that fails half-way shows what it read up to the
    // failing value and leaves the pane as modified as those changes made it.
    AliasSettings settings = SettingsFromControls();
    try {
        aliases_->LoadAlias(item->text(0).toStdString(), settings);
    } catch (...) {
        ShowSettings(settings);
        throw;
    }
    ShowSettings(settings);
    SetDirty(false);
}

void TFormConfig::ShowSettings(const AliasSettings& settings)
{
    SetText(EditPath, settings.Path);
    ChkExclusive->setChecked(settings.Exclusive);
    ChkReadOnly->setChecked(settings.ReadOnly);
    ChkLockEdits->setChecked(settings.LockEdits);
    ChkSeparateWS->setChecked(settings.SeparateWorkspace);
    ChkUseDefault->setChecked(settings.UseDefaults);
    ChkUseConstraint->setChecked(settings.UseConstraints);
    ChkUseAllowZero->setChecked(settings.UseAllowZeroLength);
    ChkRenamePrimary->setChecked(settings.RenamePrimary);
    ChkShowGUID->setChecked(settings.ShowGUIDs);
    ChkDisableRefresh->setChecked(settings.DisableRefresh);
    ChkSeeChanges->setChecked(!settings.DisableSeeChanges);
    ChkIndexesCaseSensitive->setChecked(settings.ReportIndexesCaseSensitive);
    SetText(EditSystemDb, settings.SystemDb);
    SetText(EditUsername, settings.UserName);
    SetText(EditConnect, settings.Connect);
    SetText(EditPreThreshold, settings.PrefetchThreshold);
    SetText(EditPreReset, settings.PrefetchResetEvery);
}

AliasSettings TFormConfig::SettingsFromControls() const
{
    AliasSettings settings;
    settings.Path = Text(EditPath);
    settings.Exclusive = ChkExclusive->isChecked();
    settings.ReadOnly = ChkReadOnly->isChecked();
    settings.LockEdits = ChkLockEdits->isChecked();
    settings.SeparateWorkspace = ChkSeparateWS->isChecked();
    settings.UseDefaults = ChkUseDefault->isChecked();
    settings.UseConstraints = ChkUseConstraint->isChecked();
    settings.UseAllowZeroLength = ChkUseAllowZero->isChecked();
    settings.RenamePrimary = ChkRenamePrimary->isChecked();
    settings.ShowGUIDs = ChkShowGUID->isChecked();
    settings.DisableRefresh = ChkDisableRefresh->isChecked();
    settings.DisableSeeChanges = !ChkSeeChanges->isChecked();
    settings.ReportIndexesCaseSensitive = ChkIndexesCaseSensitive->isChecked();
    settings.SystemDb = Text(EditSystemDb);
    settings.UserName = Text(EditUsername);
    settings.Connect = Text(EditConnect);
    settings.PrefetchThreshold = Text(EditPreThreshold);
    settings.PrefetchResetEvery = Text(EditPreReset);
    return settings;
}

void TFormConfig::SetDirty(bool dirty)
{
    if (dirty == dirty_)
        return;
    dirty_ = dirty;
    BtnApply->setEnabled(dirty);
}

void TFormConfig::MakeDirty()
{
    SetDirty(true);
}

void TFormConfig::EditPathChange()
{
    MakeDirty();
}

void TFormConfig::EditConnectChange()
{
    // A typed change ends the selection kept for the "..." button.
    connectSelection_ = {};
    MakeDirty();
}

void TFormConfig::BtnFindClick(QPushButton* sender)
{
    QLineEdit* edit = EditPath;
    int filterIndex = 1;
    if (sender == BtnFindSystemDb) {
        edit = EditSystemDb;
        filterIndex = 2;
    } else if (sender == BtnFindConnect) {
        edit = EditConnect;
        filterIndex = 3;
    }
    const bool viaClipboard = edit == EditConnect;
    QFileDialog& dialog = FileDialog();
    dialog.selectNameFilter(FileFilters[filterIndex - 1]);
    PresetFileDialog(dialog, viaClipboard ? QString() : edit->text());
    if (!ExecFileDialog(dialog))
        return;
    const QString chosen = ChosenPath(dialog.selectedFiles().first());
    if (!viaClipboard) {
        edit->setText(chosen);
        return;
    }
    // The connect string takes the path through the clipboard: pasting replaces the selected
    // part of the string or inserts at the caret, as they were when the focus left the edit.
    // The clipboard keeps the path afterwards.
    if (!EditConnect->hasFocus() && connectSelection_.second > 0)
        EditConnect->setSelection(connectSelection_.first, connectSelection_.second);
    QApplication::clipboard()->setText(chosen);
    edit->paste();
}

QFileDialog& TFormConfig::FileDialog()
{
    if (!OpenDialog) {
        OpenDialog = NewFileDialog(this, "OpenDialog", "Find A File");
        OpenDialog->setDefaultSuffix("mdb");
        QStringList filters;
        for (const char* filter : FileFilters)
            filters << filter;
        OpenDialog->setNameFilters(filters);
    }
    return *OpenDialog;
}

bool TFormConfig::ApplyPending()
{
    QTreeWidgetItem* item = SelectedItem();
    if (!item || item->text(0).isEmpty() || !dirty_)
        return true;
    const QString name = item->text(0);
    if (!aliases_->SaveAlias(name.toStdString(), SettingsFromControls())) {
        // The key could neither be opened nor created: nothing was stored, so the edits stay
        // pending and the list keeps the path it had.
        ErrorDialog(QString("The alias \"%1\" could not be saved.").arg(name),
                    QString::fromUtf8(ApplicationTitle));
        return false;
    }
    item->setText(1, EditPath->text());
    SetDirty(false);
    return true;
}

void TFormConfig::BtnApplyClick()
{
    ApplyPending();
}

void TFormConfig::BtnOkClick()
{
    if (ApplyPending())
        close();
}

void TFormConfig::BtnCancelClick()
{
    close();
}

// ---------------------------------------------------------------------------------------------
// List operations

void TFormConfig::MenuPopup()
{
    const bool selected = SelectedItem() != nullptr;
    ItmDelete->setEnabled(selected);
    ItmRename->setEnabled(selected);
    ItmNew->setEnabled(true);
    ItmRefresh->setEnabled(true);
}

void TFormConfig::ItmNewClick()
{
    auto* item = new TAliasListItem({QString(), QString()});
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    LstAliases->addTopLevelItem(item);
    LstAliases->setCurrentItem(item);
    LstAliases->setFocus();
    LstAliases->editItem(item, 0);
}

void TFormConfig::ItmRenameClick()
{
    QTreeWidgetItem* item = SelectedItem();
    if (!item)
        return;
    LstAliases->setFocus();
    LstAliases->editItem(item, 0);
}

void TFormConfig::LstAliasesEdited(QTreeWidgetItem& item, QString& text)
{
    if (text.isEmpty())
        text = NewAliasName;
    const QString oldName = item.text(0);
    if (!oldName.isEmpty())
        aliases_->RenameAlias(oldName.toStdString(), text.toStdString());
}

void TFormConfig::LstAliasesItemChanged(QTreeWidgetItem* item, int column)
{
    // Only a new name is a change of the list; Apply setting the Path column is not.
    if (column == 0 && item)
        AliasNameSet(*item);
}

void TFormConfig::AliasNameSet(QTreeWidgetItem&)
{
    LstAliases->sortItems(0, Qt::AscendingOrder);
    LstAliasesChange();
}

void TFormConfig::ItmDeleteClick()
{
    QTreeWidgetItem* item = SelectedItem();
    if (!item)
        return;
    const QString name = item->text(0);
    if (name.isEmpty()) {
        // A new alias whose naming was cancelled has no key: it only leaves the list. Its empty
        // name must never reach the registry, where it would address every alias at once.
        // Nothing is selected afterwards, as after the delete of a stored alias; the list would
        // otherwise move the selection to a neighbour and load it.
        LstAliases->setCurrentItem(nullptr);
        LstAliases->clearSelection();
        std::unique_ptr<QTreeWidgetItem> removed(
            LstAliases->takeTopLevelItem(LstAliases->indexOfTopLevelItem(item)));
        return;
    }
    if (!ConfirmDialog("Are you sure you want to permanently delete the alias " + name + "?",
                       QString::fromUtf8(ApplicationTitle)))
        return;
    aliases_->DeleteAlias(name.toStdString());
    ItmRefreshClick();
}

void TFormConfig::ItmRefreshClick()
{
    FillList(ShownScope());
}
