// The labels of both windows remember the heights they measured: what they answer must stay what
// a plain label answers, whatever changed in between. Pages measured late still count once let.
#include <QLabel>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <string>

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

// A plain label set up as `like` is.
std::unique_ptr<QLabel> PlainLike(const QLabel& like)
{
    auto plain = std::make_unique<QLabel>(like.text());
    plain->setTextFormat(like.textFormat());
    plain->setWordWrap(like.wordWrap());
    plain->setAlignment(like.alignment());
    plain->setFont(like.font());
    plain->setMargin(like.margin());
    plain->setIndent(like.indent());
    plain->setFrameShape(like.frameShape());
    plain->setContentsMargins(like.contentsMargins());
    plain->setMinimumSize(like.minimumSize());
    plain->setMaximumSize(like.maximumSize());
    plain->setBuddy(like.buddy());
    return plain;
}

void ExpectPlainHeights(const QLabel& label)
{
    for (const int width : {40, 120, 300, 120, 40, 1000})
        EXPECT_EQ(label.heightForWidth(width), PlainHeight(label, width)) << "width " << width;
}

// Every size the layouts ask of the label, as a plain label answers it.
void ExpectPlainSizes(const QLabel& label)
{
    const std::unique_ptr<QLabel> plain = PlainLike(label);
    const std::string what = label.text().left(40).toStdString();
    EXPECT_EQ(label.sizeHint(), plain->sizeHint()) << what;
    EXPECT_EQ(label.minimumSizeHint(), plain->minimumSizeHint()) << what;
    for (const int width : {0, 1, 17, 40, 75, 120, 199, 300, 367, 1000, QWIDGETSIZE_MAX})
        EXPECT_EQ(label.heightForWidth(width), plain->heightForWidth(width))
            << what << " at width " << width;
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

TEST(WrappingLabel, MeasuresEveryTextAsAPlainLabelDoes)
{
    QStringList texts = {
        "x",
        "Prefetch",
        "%  (this is x mentioned above)",
        "Set Reset > (100/Threshold). Otherwise you get only prefetches.",
        "C:\\Program Files\\Quillon\\Tessarium\\Lib\\Delphi3;C:\\Program Files\\Borland",
        "The DataSet.Refresh operation is defined by the BDE as keeping the record pointer "
        "stable. This cannot be efficiently implemented on Jet. Refresh therefore jumps to the "
        "top of the recordset. You may alternatively turn Refresh off here.",
        "A-very-long-hyphenated-word-that-cannot-fit followed by short ones and "
        "ÄÖÜ äöü ß é — “quoted” text, numbers 1,234.56 and VCLDB??.?pl.",
        "  leading spaces and  double  spaces inside",
        "Mixed scripts: Ελληνικά кириллица 中文字符 עברית",
        "Ends with a mnemonic &Accelerator",
        "Ends with a space ",
        "Two\nlines",
    };
    // Random words of random lengths, as a layout would never meet but may.
    QRandomGenerator random(20261208);
    for (int text = 0; text < 12; ++text) {
        QString words;
        const int count = random.bounded(1, 40);
        for (int word = 0; word < count; ++word) {
            if (word)
                words += random.bounded(8) ? QStringLiteral(" ") : QStringLiteral("-");
            const int letters = random.bounded(1, 16);
            for (int letter = 0; letter < letters; ++letter)
                words += QChar(u'a' + random.bounded(26) - (random.bounded(5) ? 0 : 32));
        }
        texts << words;
    }
    QFont bold = ClassicDialogFont();
    bold.setBold(true);
    QFont unshaped = QFont("Sans Serif", 13);
    unshaped.setStyleStrategy(QFont::PreferNoShaping);
    for (const QFont& font : {QFont(), ClassicDialogFont(), bold, unshaped}) {
        for (const QString& text : texts) {
            QWidget page;
            page.setFont(font);
            QLabel* wrapping = NewWrappingLabel(&page, "Wrapping", text);
            QLabel* single = NewLabel(&page, "Single", text);
            ExpectPlainSizes(*wrapping);
            ExpectPlainSizes(*single);
            wrapping->setMargin(3);
            wrapping->setIndent(5);
            single->setFrameShape(QFrame::Box);
            single->setContentsMargins(2, 1, 4, 3);
            ExpectPlainSizes(*wrapping);
            ExpectPlainSizes(*single);
            wrapping->setMaximumWidth(250);
            wrapping->setAlignment(Qt::AlignRight | Qt::AlignBottom);
            single->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
            ExpectPlainSizes(*wrapping);
            ExpectPlainSizes(*single);
        }
    }
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
