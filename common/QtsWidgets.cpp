#include "QtsWidgets.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = Named(new QLabel(text, parent), name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* NewWrappingLabel(QWidget* parent, const char* name, const QString& text)
{
    QLabel* label = NewLabel(parent, name, text);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QCheckBox* NewCheck(QWidget* parent, const char* name, const QString& text, bool ticked)
{
    auto* box = Named(new QCheckBox(text, parent), name);
    box->setChecked(ticked);
    return box;
}

QLineEdit* NewEdit(QWidget* parent, const char* name, const QString& text)
{
    return Named(new QLineEdit(text, parent), name);
}

QFrame* NewBevel(QWidget* parent, const char* name)
{
    auto* line = Named(new QFrame(parent), name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QPushButton* NewBrowseButton(QWidget* parent, const char* name, const QLineEdit& besides)
{
    auto* button = Named(new QPushButton(QStringLiteral("..."), parent), name);
    button->setAutoDefault(false);
    const int height = besides.sizeHint().height();
    const int width = std::max(height, button->fontMetrics().horizontalAdvance(button->text()) + 8);
    button->setFixedSize(width, height);
    return button;
}

QVBoxLayout* NewPageLayout(QWidget* page, const QMargins& margins, int spacing)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(margins);
    if (spacing >= 0)
        layout->setSpacing(spacing);
    return layout;
}
