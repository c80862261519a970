// The labels of both windows remember the heights they measured: what they answer must stay what
// a plain label answers, whatever changed in between.
#include <QLabel>
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
