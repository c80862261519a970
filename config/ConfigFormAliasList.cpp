#include "ConfigFormAliasList.h"

#include <QLineEdit>
#include <QTreeWidget>

#include "AliasNameOrder.h"

TAliasListItem::TAliasListItem(const QStringList& texts)
    : QTreeWidgetItem(texts, UserType), name_(texts.value(0).toStdString())
{
}

TAliasListItem::TAliasListItem(std::string name, std::string path)
    : QTreeWidgetItem(UserType), name_(std::move(name)), path_(std::move(path)), listed_{true, true}
{
}

QVariant TAliasListItem::data(int column, int role) const
{
    // Display and edit roles share one text in a tree item.
    if ((role == Qt::DisplayRole || role == Qt::EditRole) && (column == 0 || column == 1) &&
        listed_[column])
        return QString::fromStdString(column == 0 ? name_ : path_);
    return QTreeWidgetItem::data(column, role);
}

void TAliasListItem::setData(int column, int role, const QVariant& value)
{
    if ((role == Qt::DisplayRole || role == Qt::EditRole) && (column == 0 || column == 1)) {
        // The same text again changes nothing and says nothing, as it would for the item's own.
        if (listed_[column] && value == data(column, role))
            return;
        // Before the change: a list that sorts itself re-sorts while the text is being set.
        if (column == 0)
            name_ = value.toString().toStdString();
        // From now on the text is the item's own.
        listed_[column] = false;
        if (column == 1)
            std::string().swap(path_);
    }
    QTreeWidgetItem::setData(column, role, value);
}

bool TAliasListItem::operator<(const QTreeWidgetItem& other) const
{
    if (other.type() == UserType)
        return CompareAliasNames(name_, static_cast<const TAliasListItem&>(other).name_) < 0;
    return CompareAliasNames(name_, other.text(0).toStdString()) < 0;
}

TAliasNameDelegate::TAliasNameDelegate(QTreeWidget& list, EditedHandler edited, NamedHandler named)
    : QStyledItemDelegate(&list), list_(list), edited_(std::move(edited)), named_(std::move(named))
{
}

QWidget* TAliasNameDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const
{
    if (index.column() != 0)
        return nullptr;
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    // An edit field on the name, not a bare box over the cell.
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setFrame(true);
        edit->setAutoFillBackground(true);
    }
    editing_ = index;
    list_.viewport()->update();
    return editor;
}

void TAliasNameDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const
{
    editing_ = QPersistentModelIndex();
    list_.viewport()->update();
    QStyledItemDelegate::destroyEditor(editor, index);
}

void TAliasNameDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex& index) const
{
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    // The framed field is taller than a row: it stands centred on the row it edits.
    QRect bounds = editor->geometry();
    const int height = std::max(bounds.height(), editor->sizeHint().height());
    bounds.setTop(bounds.center().y() - height / 2);
    bounds.setHeight(height);
    editor->setGeometry(bounds);
}

void TAliasNameDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    // While a name is edited only the edit field stands out: the rest of its row is not
    // highlighted.
    if (index.column() != 0 && editing_.isValid() && editing_.row() == index.row()) {
        QStyleOptionViewItem plain(option);
        plain.state &= ~QStyle::State_Selected;
        QStyledItemDelegate::paint(painter, plain, index);
        return;
    }
    QStyledItemDelegate::paint(painter, option, index);
}

void TAliasNameDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                      const QModelIndex& index) const
{
    auto* edit = qobject_cast<QLineEdit*>(editor);
    QTreeWidgetItem* item = list_.topLevelItem(index.row());
    if (!edit || !item || index.column() != 0)
        return;
    QString text = edit->text();
    if (!edited_(*item, text))
        return;
    const bool unchanged = item->text(0) == text;
    model->setData(index, text, Qt::EditRole);
    // An unchanged name sends no change notification of its own.
    if (unchanged)
        named_(*item);
}
