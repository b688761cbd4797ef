// The number field: what it reads while typing, how the program sets it, when
// it tells its listener.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "controls/spinedit.h"

namespace {

struct Field {
    TSpinEdit edit;
    QSignalSpy changes{&edit, &TSpinEdit::Changed};
    Field(int min, int max, int step, int value) {
        edit.SetMinValue(min);
        edit.SetMaxValue(max);
        edit.SetIncrement(step);
        edit.SetText(QString::number(value));
        changes.clear();
    }
};

}  // namespace

TEST(SpinEdit, ReadsWhatIsTypedEvenOutsideTheRangeAndNonNumbersAsMinimum) {
    Field f(10, 300, 10, 100);
    f.edit.SetText(QStringLiteral("1"));
    EXPECT_EQ(f.edit.Value(), 1);
    f.edit.SetText(QStringLiteral("15"));
    EXPECT_EQ(f.edit.Value(), 15);
    f.edit.SetText(QStringLiteral("4000"));
    EXPECT_EQ(f.edit.Value(), 4000);
    f.edit.SetText(QString());
    EXPECT_EQ(f.edit.Value(), 10);
    f.edit.SetText(QStringLiteral("-"));
    EXPECT_EQ(f.edit.Value(), 10);
    f.edit.SetText(QStringLiteral("99999999999"));
    EXPECT_EQ(f.edit.Value(), 10) << "a number beyond 32 bits is not a number";
    EXPECT_EQ(f.changes.count(), 6) << "every text change runs the change handler";
}

TEST(SpinEdit, ProgramSetsClampAndChangeTheTextOnlyWhenTheNumberDiffers) {
    Field f(1, 25, 1, 20);
    f.edit.SetValue(20);
    EXPECT_EQ(f.changes.count(), 0);
    f.edit.SetValue(100);
    EXPECT_EQ(f.edit.Text(), QStringLiteral("25"));
    EXPECT_EQ(f.changes.count(), 1);
    f.edit.SetValue(-5);
    EXPECT_EQ(f.edit.Text(), QStringLiteral("1"));
    EXPECT_EQ(f.changes.count(), 2);

    // Equal number, other text: the text stays as typed.
    f.edit.SetText(QStringLiteral("abc"));
    f.changes.clear();
    f.edit.SetValue(1);
    EXPECT_EQ(f.edit.Text(), QStringLiteral("abc"));
    EXPECT_EQ(f.changes.count(), 0);
}

TEST(SpinEdit, NoClampWhenMinimumEqualsMaximum) {
    Field f(0, 0, 1, 5);
    f.edit.SetValue(42);
    EXPECT_EQ(f.edit.Value(), 42);
}

TEST(SpinEdit, LeavingTheFieldClampsATypedValue) {
    QWidget window;
    auto* edit = new TSpinEdit(&window);
    auto* other = new QLineEdit(&window);
    other->move(0, 40);
    edit->SetMinValue(10);
    edit->SetMaxValue(300);
    edit->SetText(QStringLiteral("100"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    edit->setFocus();
    edit->SetText(QStringLiteral("5"));
    other->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(edit->Text(), QStringLiteral("10"));

    edit->setFocus();
    edit->SetText(QStringLiteral("xyz"));
    other->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(edit->Text(), QStringLiteral("10"));
}

TEST(SpinEdit, ArrowKeysStepWithinTheRange) {
    QWidget window;
    auto* edit = new TSpinEdit(&window);
    edit->SetMinValue(10);
    edit->SetMaxValue(300);
    edit->SetIncrement(10);
    edit->SetText(QStringLiteral("290"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->Value(), 300);
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->Value(), 300);
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(edit->Value(), 290);
    edit->SetText(QStringLiteral("12"));
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(edit->Value(), 10) << "a step below the minimum stops at the minimum";
}

TEST(SpinEdit, TypingKeysBuildsTheValueStepByStep) {
    QWidget window;
    auto* edit = new TSpinEdit(&window);
    edit->SetMinValue(10);
    edit->SetMaxValue(300);
    edit->SetText(QStringLiteral("100"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    edit->setFocus();
    edit->selectAll();
    std::vector<int> seen;
    QObject::connect(edit, &TSpinEdit::Changed, [&] { seen.push_back(edit->Value()); });
    QTest::keyClicks(edit, QStringLiteral("150"));
    EXPECT_EQ(seen, (std::vector<int>{1, 15, 150}));
    QTest::keyClicks(edit, QStringLiteral("x"));
    EXPECT_EQ(edit->Text(), QStringLiteral("150")) << "letters are not typed into a number field";
}
