// The labels of both windows remember the heights they measured: what they answer must stay what
// a plain label answers, whatever changed in between. Pages measured late still count once let.
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include "QtsWidgets.h"

namespace
{

// A plain label set up as the wrapping label is.
int PlainHeight(const QLabel& like, int width)
{
    QLabel plain(like.text());
    plain.setTextFormat(Qt::PlainText);
    plain.setWordWrap(like.wordWrap());
    plain.setAlignment(like.alignment());
    plain.setFont(like.font());
    plain.setMargin(like.margin());
    plain.setIndent(like.indent());
    plain.setContentsMargins(like.contentsMargins());
    plain.setMinimumSize(like.minimumSize());
    plain.setBuddy(like.buddy());
    return plain.heightForWidth(width);
}

void ExpectPlainHeights(const QLabel& label)
{
    for (const int width : {40, 120, 300, 120, 40, 1000})
        EXPECT_EQ(label.heightForWidth(width), PlainHeight(label, width)) << "width " << width;
}

} // namespace

TEST(WrappingLabel, MeasuresAsAPlainLabelAfterEachChange)
{
    QWidget page;
    QLabel* label = NewWrappingLabel(&page, "Note",
                                     "Choose the development environment to integrate the engine "
                                     "into; its files are changed only when you press Setup.");
    ExpectPlainHeights(*label);
    // Each change below alters the height at a narrow width: a remembered height would be wrong.
    const int before = label->heightForWidth(120);
    label->setText(label->text() + " " + label->text());
    EXPECT_GT(label->heightForWidth(120), before);
    ExpectPlainHeights(*label);
    QFont larger = label->font();
    larger.setPointSize(larger.pointSize() * 2);
    label->setFont(larger);
    ExpectPlainHeights(*label);
    label->setMargin(7);
    label->setIndent(9);
    label->setContentsMargins(3, 4, 5, 6);
    ExpectPlainHeights(*label);
    label->setMinimumWidth(200);
    ExpectPlainHeights(*label);
    label->setWordWrap(false);
    ExpectPlainHeights(*label);
}

TEST(LateMeasuredPage, CountsInTheTabControlsSizeOnceItsWindowLetsIt)
{
    QWidget window;
    auto* tabs = new QTabWidget(&window);
    tabs->addTab(new QWidget, "Shown");
    QWidget* hidden = NewLateMeasuredPage("Hidden");
    tabs->addTab(hidden, "Hidden");
    auto* layout = new QVBoxLayout(hidden);
    for (int line = 0; line < 12; ++line)
        layout->addWidget(NewLabel(hidden, nullptr, "A line of the hidden page"));
    const QSize pageMinimum = layout->totalMinimumSize();

    EXPECT_LT(tabs->minimumSizeHint().height(), pageMinimum.height());
    EXPECT_FALSE(hidden->sizeHint().isValid());

    MeasureLatePages(window);
    EXPECT_GE(tabs->minimumSizeHint().height(), pageMinimum.height());
    EXPECT_GE(tabs->sizeHint().width(), layout->totalSizeHint().width());

    // Shown, a page counts as any other, measured or not.
    QWidget* shownLate = NewLateMeasuredPage("ShownLate");
    tabs->addTab(shownLate, "Shown late");
    auto* lateLayout = new QVBoxLayout(shownLate);
    lateLayout->addWidget(NewLabel(shownLate, nullptr, "Shown at once"));
    tabs->setCurrentWidget(shownLate);
    window.show();
    EXPECT_TRUE(shownLate->sizeHint().isValid());
}
