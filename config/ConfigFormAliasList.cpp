#include "ConfigFormAliasList.h"

#include <QLineEdit>
#include <QTreeWidget>
#include <algorithm>

namespace
{

bool IsIgnored(unsigned char c)
{
    return c == '-' || c == '\'';
}

// Letter weight ignoring case; other characters keep their code order within their group.
int PrimaryWeight(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return 0x300 + (c - 'a');
    if (c >= 'A' && c <= 'Z')
        return 0x300 + (c - 'A');
    if (c >= '0' && c <= '9')
        return 0x200 + (c - '0');
    if (c < 0x80)
        return 0x100 + c;
    return 0x400 + c;
}

bool IsCapital(unsigned char c)
{
    return c >= 'A' && c <= 'Z';
}

// The characters of a name that take part in the first two comparisons.
std::string Significant(const std::string& name)
{
    std::string result;
    for (const char c : name)
        if (!IsIgnored(static_cast<unsigned char>(c)))
            result += c;
    return result;
}

int Sign(int value)
{
    return (value > 0) - (value < 0);
}

} // namespace

int CompareAliasNames(const std::string& left, const std::string& right)
{
    const std::string a = Significant(left);
    const std::string b = Significant(right);
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const int difference = PrimaryWeight(static_cast<unsigned char>(a[i])) -
                               PrimaryWeight(static_cast<unsigned char>(b[i]));
        if (difference != 0)
            return Sign(difference);
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < common; ++i) {
        const bool capitalA = IsCapital(static_cast<unsigned char>(a[i]));
        const bool capitalB = IsCapital(static_cast<unsigned char>(b[i]));
        if (capitalA != capitalB)
            return capitalA ? 1 : -1;
    }
    // Equal but for hyphens and apostrophes: the name with fewer of them first, then plain
    // byte order, so that only identical names compare equal.
    if (left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    return Sign(left.compare(right));
}

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
