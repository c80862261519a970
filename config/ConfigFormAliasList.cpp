#include "ConfigFormAliasList.h"

#include <QLineEdit>
#include <QTreeWidget>

#include "AliasNameOrder.h"

bool TAliasListItem::operator<(const QTreeWidgetItem& other) const
{
    return CompareAliasNames(text(0).toStdString(), other.text(0).toStdString()) < 0;
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
    return QStyledItemDelegate::createEditor(parent, option, index);
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
