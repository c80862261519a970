// The widget helpers both windows build their controls with: each control is made with its
// parent, its object name (the name the window's tables give it) and its caption.
#pragma once

#include <QFont>
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

// Makes `font` the application's font, laid out without OpenType shaping where a script does not
// need it: the classic dialog fonts have no such features, and every text the windows measure
// costs a fraction of a shaped one. Scripts that need shaping are still shaped. A widget made
// before it has its parent (a line edit lays out its text at once) then also measures in the
// window's font, not in a third one. Call once, before any window.
void UseDialogFont(QFont font);

// The font of the alias window and its dialogs, and its family.
inline constexpr char ClassicDialogFamily[] = "MS Sans Serif";
QFont ClassicDialogFont();

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
// A page of a tab control that tells the layouts around it nothing of its size while it is hidden,
// until MeasureLatePages() is called for its window. A tab control otherwise measures every
// hidden page (every text on it, several times over) to find its own size before its window
// first shows; a window of a fixed size can leave that until it is on the screen. A page that is
// shown is measured as any other.
QWidget* NewLateMeasuredPage(const char* name);
// Lets every page of `window` made by NewLateMeasuredPage() count in the layouts from now on.
void MeasureLatePages(QWidget& window);
// The layout of a page of a tab control, with the page's margins around its contents.
QVBoxLayout* NewPageLayout(QWidget* page, const QMargins& margins, int spacing = -1);
