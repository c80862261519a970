// The alias list of the alias window: the list item that sorts by the alias name order, and the
// in-place editor of names.
#pragma once

#include <QStyledItemDelegate>
#include <QTreeWidgetItem>
#include <functional>
#include <string>

class QTreeWidget;

// A list item: the alias name in column 0, its path in column 1, sorted by CompareAliasNames.
// The item keeps its name as the core's string beside the text shown, so that a sort compares
// names without converting them.
class TAliasListItem : public QTreeWidgetItem
{
public:
    explicit TAliasListItem(const QStringList& texts);
    // An item of the store's listing: its texts stay the core's strings until the list shows
    // them or they change, so that filling a list of many aliases converts none of them.
    TAliasListItem(std::string name, std::string path);
    bool operator<(const QTreeWidgetItem& other) const override;
    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;
    // The name in column 0, as the core spells it.
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    std::string path_;
    // Whether a column's text is still name_ or path_ rather than the item's own data.
    bool listed_[2] = {false, false};
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
