#include "QtsWidgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <tuple>

namespace
{

// A label that remembers the heights it has measured for its last few widths. Layouts ask a
// word-wrapped label for the height at a width many times over, and each answer lays out the
// whole text anew; the answer depends only on the width and what the key below holds.
class TMeasuredLabel : public QLabel
{
public:
    using QLabel::QLabel;

    int heightForWidth(int width) const override
    {
        const Key key = KeyFor(width);
        for (const Measured& measured : measured_)
            if (measured.key == key)
                return measured.height;
        const int height = QLabel::heightForWidth(width);
        measured_[next_] = {key, height};
        next_ = (next_ + 1) % measured_.size();
        return height;
    }

private:
    // Everything a plain-text label's height at a width depends on, besides the width.
    struct Key {
        int width = -1;
        QString text;
        QFont font;
        int dpiX = 0;
        int dpiY = 0;
        int margin = 0;
        int indent = 0;
        int frameWidth = 0;
        Qt::Alignment alignment;
        bool wordWrap = false;
        Qt::TextFormat format = Qt::AutoText;
        const QWidget* buddy = nullptr;
        QMargins contents;
        QSize minimum;
        QSize maximum;
        auto Tied() const
        {
            return std::tie(width, text, font, dpiX, dpiY, margin, indent, frameWidth, alignment,
                            wordWrap, format, buddy, contents, minimum, maximum);
        }
        bool operator==(const Key& other) const { return Tied() == other.Tied(); }
    };
    struct Measured {
        Key key;
        int height = 0;
    };

    Key KeyFor(int width) const
    {
        return {width,
                text(),
                font(),
                logicalDpiX(),
                logicalDpiY(),
                margin(),
                indent(),
                frameWidth(),
                alignment(),
                wordWrap(),
                textFormat(),
                buddy(),
                contentsMargins(),
                minimumSize(),
                maximumSize()};
    }

    mutable std::array<Measured, 4> measured_;
    mutable std::size_t next_ = 0;
};

// See NewLateMeasuredPage().
class TLateMeasuredPage : public QWidget
{
public:
    using QWidget::QWidget;

    void Measure()
    {
        if (!late_)
            return;
        late_ = false;
        updateGeometry();
    }

    QSize sizeHint() const override { return Late() ? QSize() : QWidget::sizeHint(); }
    QSize minimumSizeHint() const override { return Late() ? QSize() : QWidget::minimumSizeHint(); }
    bool hasHeightForWidth() const override { return !Late() && QWidget::hasHeightForWidth(); }
    int heightForWidth(int width) const override
    {
        return Late() ? -1 : QWidget::heightForWidth(width);
    }

private:
    bool Late() const { return late_ && !isVisible(); }

    bool late_ = true;
};

} // namespace

void UseDialogFont(QFont font)
{
    font.setStyleStrategy(QFont::PreferNoShaping);
    QApplication::setFont(font);
}

QFont ClassicDialogFont()
{
    return QFont("MS Sans Serif", 8);
}

QWidget* NewLateMeasuredPage(const char* name)
{
    return Named(new TLateMeasuredPage, name);
}

void MeasureLatePages(QWidget& window)
{
    for (QWidget* child : window.findChildren<QWidget*>())
        if (auto* page = dynamic_cast<TLateMeasuredPage*>(child))
            page->Measure();
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = Named(new TMeasuredLabel(text, parent), name);
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
