#include "QtsWidgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <tuple>

namespace
{

// Lays a plain text out at any width with a single shaping of it, and answers as the toolkit's
// QFontMetrics::boundingRect(QRect(0, 0, width, 2000), flags, text) does for a text without
// tabs, line breaks, mnemonics or trailing spaces, left to right from the top left. The toolkit
// shapes the whole text anew for each width it tries; here the layout stays open, and each
// width only breaks the shaped text into lines again.
class TTextMeasure
{
public:
    void Reset(const QString& text, const QFont& font)
    {
        layout_.emplace(text, font);
        QTextOption option(Qt::AlignLeft);
        option.setTextDirection(Qt::LeftToRight);
        layout_->setTextOption(option);
        layout_->setCacheEnabled(true);
        layout_->beginLayout();
        leading_ = QFontMetricsF(font).leading();
    }

    QSize Bounds(int width, bool wrap)
    {
        const qreal lineWidth = wrap ? std::max<qreal>(0, width) : 0x01000000;
        qreal height = -leading_;
        qreal widest = 0;
        layout_->clearLayout();
        for (QTextLine line = layout_->createLine(); line.isValid(); line = layout_->createLine()) {
            line.setLineWidth(lineWidth);
            // Each line starts on a whole pixel.
            height = std::ceil(height + leading_);
            line.setPosition(QPointF(0, height));
            height += line.ascent() + line.descent();
            widest = std::max(widest, line.naturalTextWidth());
        }
        return QRectF(0, 0, widest, height).toAlignedRect().size();
    }

private:
    std::optional<QTextLayout> layout_;
    qreal leading_ = 0;
};

// A label that measures its plain text with one shaping of it for all the sizes the layouts ask
// of it, and remembers the heights it has measured for its last few widths. Layouts ask a
// word-wrapped label for the height at a width many times over; the answer depends only on the
// width and what the key below holds. A label the measure above does not cover measures as the
// toolkit's own.
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
        const int height =
            Measurable() ? SizeForWidth(width).height() : QLabel::heightForWidth(width);
        measured_[next_] = {key, height};
        next_ = (next_ + 1) % measured_.size();
        return height;
    }

    QSize sizeHint() const override { return HintsMeasured() ? hints_.size : QLabel::sizeHint(); }

    QSize minimumSizeHint() const override
    {
        return HintsMeasured() ? hints_.minimum : QLabel::minimumSizeHint();
    }

private:
    // Everything a plain-text label's size at a width depends on, besides the width.
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
        Qt::LayoutDirection direction = Qt::LeftToRight;
        auto Tied() const
        {
            return std::tie(width, text, font, dpiX, dpiY, margin, indent, frameWidth, alignment,
                            wordWrap, format, buddy, contents, minimum, maximum, direction);
        }
        bool operator==(const Key& other) const { return Tied() == other.Tied(); }
    };
    struct Measured {
        Key key;
        int height = 0;
    };
    struct MeasuredHints {
        Key key;
        QSize size;
        QSize minimum;
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
                maximumSize(),
                layoutDirection()};
    }

    // A plain text, laid out left to right from the top left, that the measure covers.
    bool Measurable() const
    {
        const QString& shown = text();
        if (textFormat() != Qt::PlainText || shown.isEmpty() || shown.isRightToLeft() ||
            layoutDirection() != Qt::LeftToRight || minimumWidth() > 0)
            return false;
        const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
        if ((horizontal != Qt::AlignLeft && horizontal != Qt::Alignment()) ||
            (alignment() & Qt::AlignBottom) || shown.back().isSpace())
            return false;
        for (const QChar c : shown)
            if (c == u'\t' || c == u'\n' || c == u'\r' || c == u'&' || c == QChar(0x9c))
                return false;
        return true;
    }

    // What the toolkit's label answers for its size at `width`: -1 for the size it prefers, 0
    // for the narrowest, QWIDGETSIZE_MAX for a single line.
    QSize SizeForWidth(int width) const
    {
        const QFontMetrics metrics = fontMetrics();
        int indentBy = indent();
        if (indentBy < 0 && frameWidth())
            indentBy = metrics.horizontalAdvance(u'x') - margin() * 2;
        int horizontal = 2 * margin();
        int vertical = horizontal;
        if (indentBy > 0) {
            horizontal += indentBy;
            if (alignment() & Qt::AlignTop)
                vertical += indentBy;
        }
        const QMargins contents = contentsMargins();
        const int contentsWidth = contents.left() + contents.right();
        const bool wrap = wordWrap();
        if (Key key = KeyFor(-2); !(measureKey_ == key)) {
            measure_.Reset(text(), font());
            measureKey_ = std::move(key);
        }
        const bool tryWidths = width < 0 && wrap;
        if (tryWidths)
            width = std::min(metrics.averageCharWidth() * 80, maximumSize().width());
        else if (width < 0)
            width = 2000;
        width -= horizontal + contentsWidth;
        QSize bounds = measure_.Bounds(width, wrap);
        if (tryWidths && bounds.height() < 4 * metrics.lineSpacing() && bounds.width() > width / 2)
            bounds = measure_.Bounds(width / 2, wrap);
        if (tryWidths && bounds.height() < 2 * metrics.lineSpacing() && bounds.width() > width / 4)
            bounds = measure_.Bounds(width / 4, wrap);
        const QSize size(bounds.width() + horizontal + contentsWidth,
                         bounds.height() + vertical + contents.top() + contents.bottom());
        return size.expandedTo(minimumSize());
    }

    // Whether the measure covers this label; if so, its hints are in hints_.
    bool HintsMeasured() const
    {
        if (!Measurable())
            return false;
        ensurePolished();
        Key key = KeyFor(-1);
        if (!(hints_.key == key)) {
            const QSize size = SizeForWidth(-1);
            QSize minimum(SizeForWidth(0).width(), SizeForWidth(QWIDGETSIZE_MAX).height());
            minimum.setHeight(std::min(minimum.height(), size.height()));
            hints_ = {std::move(key), size, minimum};
        }
        return true;
    }

    mutable std::array<Measured, 4> measured_;
    mutable std::size_t next_ = 0;
    mutable MeasuredHints hints_;
    mutable TTextMeasure measure_;
    mutable Key measureKey_;
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
    font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
    QApplication::setFont(font);
}

QFont ClassicDialogFont()
{
    return QFont(ClassicDialogFamily, 8);
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
