// The widget helpers both windows build their controls with: each control is made with its
// parent, its object name (the name the window's tables give it) and its caption.
#pragma once

#include <QMargins>
#include <QString>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;

template <class Widget> Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

// A label that shows its text as it is (a "<" in it is not markup). `name` may be empty.
QLabel* NewLabel(QWidget* parent, const char* name, const QString& text);
// A label that breaks its text into as many lines as its width needs, from the top left.
QLabel* NewWrappingLabel(QWidget* parent, const char* name, const QString& text);
QCheckBox* NewCheck(QWidget* parent, const char* name, const QString& text, bool ticked = false);
QLineEdit* NewEdit(QWidget* parent, const char* name, const QString& text = QString());
// A sunken horizontal line.
QFrame* NewBevel(QWidget* parent, const char* name);
// The small "..." button beside an edit field, as high as the field; never a default button.
QPushButton* NewBrowseButton(QWidget* parent, const char* name, const QLineEdit& besides);
// The layout of a page of a tab control, with the page's margins around its contents.
QVBoxLayout* NewPageLayout(QWidget* page, const QMargins& margins, int spacing = -1);
