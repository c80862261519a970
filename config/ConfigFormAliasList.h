// The alias list of the alias window: the order of alias names, the list item that sorts by it,
// and the in-place editor of names.
#pragma once

#include <QStyledItemDelegate>
#include <QTreeWidgetItem>
#include <functional>
#include <string>

class QTreeWidget;

// Orders alias names the way the Windows locale compare orders words: letters compare ignoring
// case, then the first difference in case puts the small letter first ("a" < "A" < "b"), and
// hyphens and apostrophes only count when everything else is equal. Punctuation sorts before
// digits, digits before letters. The process locale plays no part, so the order is the same on
// every machine. Result < 0, 0 or > 0; 0 only for identical names.
int CompareAliasNames(const std::string& left, const std::string& right);

// A list item: the alias name in column 0, its path in column 1, sorted by CompareAliasNames.
class TAliasListItem : public QTreeWidgetItem
{
public:
    explicit TAliasListItem(const QStringList& texts) : QTreeWidgetItem(texts, UserType) {}
    bool operator<(const QTreeWidgetItem& other) const override;
};

// Edits names in column 0 only. When the user accepts an edit, `edited` sees the item with its
// old name and may change the new text; returning false (the handler failed) leaves the name as
// it was. Afterwards the name is set, and `named` runs even when the text did not change, so the
// list re-sorts and the pane reloads for every accepted edit.
class TAliasNameDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using EditedHandler = std::function<bool(QTreeWidgetItem& item, QString& text)>;
    using NamedHandler = std::function<void(QTreeWidgetItem& item)>;

    TAliasNameDelegate(QTreeWidget& list, EditedHandler edited, NamedHandler named);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;

private:
    QTreeWidget& list_;
    EditedHandler edited_;
    NamedHandler named_;
    // The name being edited, while its editor is open.
    mutable QPersistentModelIndex editing_;
};
