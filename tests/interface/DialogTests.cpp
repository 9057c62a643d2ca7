// The report information dialog and the relay range dialog: their layout, the date in the
// user's formats, what is offered and preselected, how the remembered lists grow, and which
// ranges let OK through.

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "interface/Main.h"
#include "interface/PartialRelaysTest.h"
#include "interface/Serial.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;

namespace {

using Strings = std::vector<std::string>;

// A control's place, size and caption as the design gives them.
struct Placement {
    const char* name;
    int x, y, w, h;
    const char* caption; // nullptr: none to compare
};

std::string CaptionOf(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w)) return label->text().toStdString();
    if (auto* button = qobject_cast<const QPushButton*>(w)) return button->text().toStdString();
    return {};
}

void ExpectLayout(const QDialog& dialog, const std::vector<Placement>& placements) {
    for (const auto& p : placements) {
        const auto* w = dialog.findChild<QWidget*>(p.name);
        ASSERT_NE(w, nullptr) << p.name;
        EXPECT_EQ(w->geometry(), QRect(p.x, p.y, p.w, p.h)) << p.name;
        if (p.caption) {
            EXPECT_EQ(CaptionOf(w), p.caption) << p.name;
        }
        EXPECT_EQ(w->font().pixelSize(), 11) << p.name;
        EXPECT_EQ(w->font().family(), "Tahoma") << p.name;
    }
}

// The focus chain from `first`, as Tab walks it, over the controls that take the focus.
Strings TabOrder(QWidget* first, int count) {
    Strings names;
    QWidget* w = first;
    for (int i = 0; i < count; ++i) {
        names.push_back(w->objectName().toStdString());
        do w = w->nextInFocusChain();
        while (w->objectName().isEmpty() || w->focusPolicy() == Qt::NoFocus);
    }
    return names;
}

void Press(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier,
                    key == Qt::Key_Return ? QString("\r") : QString());
    QCoreApplication::sendEvent(widget, &press);
}

class DialogTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi ftdi{p.clock};
    platform::Services services = ServicesOf(p, ftdi);
    std::unique_ptr<TMainFrm> frm;

    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        p.clock.SetLocalTime({2020, 6, 15, 14, 5, 9});
        frm = std::make_unique<TMainFrm>(services);
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    // The report information as the callers open it: a new dialog each time, shown modally
    // with the operator's actions run while it is up.
    TSerialFrm* ShowSerial(const std::function<void(TSerialFrm&)>& operatorActions) {
        auto* dialog = new TSerialFrm(*frm);
        p.dialogs.OnShow = [&](QDialog&) { operatorActions(*dialog); };
        services.dialogs.ShowModal(*dialog);
        return dialog;
    }

    static std::string Text(const QComboBox* box) { return box->currentText().toStdString(); }
    static Strings Items(const QComboBox* box) {
        Strings items;
        for (int i = 0; i < box->count(); ++i) items.push_back(box->itemText(i).toStdString());
        return items;
    }
};

TEST_F(DialogTest, ReportInformationLayout) {
    TSerialFrm dialog(*frm);
    EXPECT_EQ(dialog.objectName(), "SerialFrm");
    EXPECT_EQ(dialog.windowTitle(), "Report Information");
    EXPECT_EQ(dialog.size(), QSize(353, 233));
    EXPECT_EQ(dialog.parentWidget(), frm.get());
    // No close button, no system menu; above other windows.
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    ExpectLayout(dialog, {
                             {"LabelDate", 16, 24, 56, 13, "Date :"},
                             {"EditDate", 73, 21, 264, 21, nullptr},
                             {"LabelOperator", 16, 64, 56, 13, "Operator :"},
                             {"ComboBoxOperator", 73, 61, 264, 21, nullptr},
                             {"LabelModel", 16, 104, 56, 13, "Model :"},
                             {"ComboBoxModel", 73, 101, 264, 21, nullptr},
                             {"LabelSerialNumber", 16, 144, 56, 13, "Serial # :"},
                             {"ComboBoxSerialNumber", 73, 141, 264, 21, nullptr},
                             {"ButtonOK", 136, 192, 75, 25, "OK"},
                         });
    EXPECT_FALSE(dialog.EditDate->isEnabled());
    EXPECT_TRUE(dialog.EditDate->isReadOnly());
    for (QComboBox* box :
         {dialog.ComboBoxOperator, dialog.ComboBoxModel, dialog.ComboBoxSerialNumber})
        EXPECT_TRUE(box->isEditable());
    EXPECT_EQ(TabOrder(dialog.EditDate, 5), (Strings{"EditDate", "ButtonOK", "ComboBoxOperator",
                                                     "ComboBoxModel", "ComboBoxSerialNumber"}));
    // The date cannot take the focus: the dialog opens on OK.
    EXPECT_EQ(dialog.focusWidget(), dialog.ButtonOK);
    EXPECT_TRUE(dialog.ButtonOK->isDefault());
}

TEST_F(DialogTest, DateInTheUsersFormats) {
    const struct {
        const char* locale;
        platform::CivilTime at;
        const char* text;
    } cases[] = {
        {"C", {2020, 6, 15, 14, 5, 9}, "15 Jun 2020 14:05:09"},
        {"de_DE", {2020, 6, 15, 14, 5, 9}, "15.06.20 14:05:09"},
        {"en_US", {2020, 6, 15, 9, 5, 0}, "6/15/20 9:05:00"},
        {"sv_SE", {2021, 1, 2, 0, 0, 1}, "2021-01-02 0:00:01"},
        {"en_GB", {2021, 1, 2, 0, 0, 0}, "02/01/2021"}, // midnight exactly: the date alone
    };
    for (const auto& c : cases) {
        // The window takes the user's formats when it is made, as the program does at start.
        QLocale::setDefault(QLocale(c.locale));
        TMainFrm window(services);
        p.clock.SetLocalTime(c.at);
        TSerialFrm dialog(window);
        EXPECT_EQ(dialog.EditDate->text().toStdString(), c.text) << c.locale;
        EXPECT_EQ(window.CertDate, c.text) << c.locale;
    }
}

TEST_F(DialogTest, FirstReportInformationConfirmedAtOnce) {
    frm->OperatorList = {"Ann", "Bob"};
    frm->ModelList = {"CX-24"};
    ShowSerial([](TSerialFrm& d) {
        for (QComboBox* box : {d.ComboBoxOperator, d.ComboBoxModel, d.ComboBoxSerialNumber}) {
            EXPECT_EQ(box->currentIndex(), -1);
            EXPECT_EQ(Text(box), "");
        }
        EXPECT_EQ(Items(d.ComboBoxOperator), (Strings{"Ann", "Bob"}));
        Press(d.ButtonOK, Qt::Key_Return); // Enter on the focused OK
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(frm->OperatorName, "");
    EXPECT_EQ(frm->ModelName, "");
    EXPECT_EQ(frm->SerialNumber, "");
    EXPECT_EQ(frm->CertDate, "15 Jun 2020 14:05:09");
    EXPECT_EQ(frm->OperatorList, (Strings{"Ann", "Bob"}));
    EXPECT_EQ(frm->ModelList, (Strings{"CX-24"}));
    EXPECT_TRUE(frm->SerialNumberList.empty());
}

TEST_F(DialogTest, NewEntriesAreRememberedAndOfferedNextTime) {
    frm->OperatorList = {"Ann"};
    ShowSerial([](TSerialFrm& d) {
        d.ComboBoxOperator->setEditText("ann"); // differs in letter case only: a new entry
        d.ComboBoxModel->setEditText("CX-24");
        d.ComboBoxSerialNumber->setEditText("0042");
        d.ButtonOK->click();
    });
    EXPECT_EQ(frm->OperatorList, (Strings{"Ann", "ann"}));
    EXPECT_EQ(frm->ModelList, (Strings{"CX-24"}));
    EXPECT_EQ(frm->SerialNumberList, (Strings{"0042"}));
    EXPECT_EQ(frm->OperatorName, "ann");

    // The Save button opens it with all three values; the end of a run empties model and
    // serial number first, so there only the operator is preselected.
    ShowSerial([](TSerialFrm& d) {
        EXPECT_EQ(d.ComboBoxOperator->currentIndex(), 1);
        EXPECT_EQ(Text(d.ComboBoxOperator), "ann");
        EXPECT_EQ(Text(d.ComboBoxModel), "CX-24");
        EXPECT_EQ(Text(d.ComboBoxSerialNumber), "0042");
        d.ButtonOK->click();
    });
    frm->ModelName.clear();
    frm->SerialNumber.clear();
    ShowSerial([](TSerialFrm& d) {
        EXPECT_EQ(Text(d.ComboBoxOperator), "ann");
        EXPECT_EQ(d.ComboBoxModel->currentIndex(), -1);
        EXPECT_EQ(Text(d.ComboBoxModel), "");
        EXPECT_EQ(Items(d.ComboBoxModel), (Strings{"CX-24"}));
        d.ComboBoxModel->setEditText("CX-48");
        d.ButtonOK->click();
    });
    EXPECT_EQ(frm->ModelList, (Strings{"CX-24", "CX-48"}));
    EXPECT_EQ(frm->SerialNumber, "");
    EXPECT_EQ(frm->SerialNumberList, (Strings{"0042"})); // an empty text never enters a list
}

TEST_F(DialogTest, BlanksAroundATextAreNoPartOfIt) {
    frm->OperatorList = {"Ann"};
    frm->ModelList = {"M-100"};
    frm->SerialNumberList = {"0042"};
    const struct {
        const char* typed;
        const char* stored; // the header value, and the entry when not empty
    } operators[] = {
        {"   ", ""},         // blanks only: empty, not remembered
        {"\t Ann  ", "Ann"}, // the remembered name, not a second one
        {"\xC2\xA0"
         "Bob\xE3\x80\x80",
         "Bob"},              // a no-break and an ideographic space, pasted
        {"Jo Ann", "Jo Ann"}, // blanks inside stay
    };
    for (const auto& c : operators) {
        ShowSerial([&](TSerialFrm& d) {
            d.ComboBoxOperator->setEditText(QString::fromUtf8(c.typed));
            d.ComboBoxModel->setEditText("M-100 ");
            d.ComboBoxSerialNumber->setEditText(" \t ");
            d.ButtonOK->click();
        });
        EXPECT_EQ(frm->OperatorName, c.stored) << c.typed;
        EXPECT_EQ(frm->ModelName, "M-100") << c.typed;
        EXPECT_EQ(frm->SerialNumber, "") << c.typed;
    }
    EXPECT_EQ(frm->OperatorList, (Strings{"Ann", "Bob", "Jo Ann"}));
    EXPECT_EQ(frm->ModelList, (Strings{"M-100"}));
    EXPECT_EQ(frm->SerialNumberList, (Strings{"0042"}));
    // The stored value is found again among the entries.
    ShowSerial([](TSerialFrm& d) {
        EXPECT_EQ(d.ComboBoxModel->currentIndex(), 0);
        d.ButtonOK->click();
    });
}

TEST_F(DialogTest, PreselectionMatches) {
    // Lists from a hand-edited file may hold an entry twice: the last match stays selected.
    frm->OperatorList = {"Ann", "Bob", "Ann"};
    frm->ModelList = {"cx-24", "CX-24"};
    frm->SerialNumberList = {"0042"};
    frm->OperatorName = "Ann";
    frm->ModelName = "CX-24";
    frm->SerialNumber = "42"; // a value no longer in its list: nothing selected, empty text
    TSerialFrm dialog(*frm);
    EXPECT_EQ(dialog.ComboBoxOperator->currentIndex(), 2);
    EXPECT_EQ(dialog.ComboBoxModel->currentIndex(), 1);
    EXPECT_EQ(dialog.ComboBoxSerialNumber->currentIndex(), -1);
    EXPECT_EQ(Text(dialog.ComboBoxSerialNumber), "");
}

TEST_F(DialogTest, ReportInformationIsLeftWithOkOnly) {
    TSerialFrm* dialog = ShowSerial([](TSerialFrm& d) {
        d.ComboBoxOperator->setEditText("Zoë");
        Press(&d, Qt::Key_Escape);
        QCloseEvent close;
        QApplication::sendEvent(&d, &close);
        EXPECT_TRUE(d.isVisible());
        EXPECT_FALSE(close.isAccepted());
        d.ButtonOK->click();
    });
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(frm->OperatorName, "Zoë");
    // Dialogs stay with the main window until it goes.
    EXPECT_EQ(dialog->parent(), frm.get());
}

class RelayRangeTest : public DialogTest {
protected:
    std::unique_ptr<TPartialRelaysFrm> Open(int boards) {
        frm->RelayBoardCount = boards;
        frm->RelayFirstNode = 1;
        frm->RelayLastNode = 24 * boards;
        return std::make_unique<TPartialRelaysFrm>(*frm);
    }
    static void Enter(TPartialRelaysFrm& d, const char* from, const char* to) {
        d.EditFrom->setText(from);
        d.EditTo->setText(to);
    }
};

TEST_F(RelayRangeTest, Layout) {
    const auto dialog = Open(2);
    EXPECT_EQ(dialog->objectName(), "PartialRelaysFrm");
    EXPECT_EQ(dialog->windowTitle(), "Partial Relays Test");
    EXPECT_EQ(dialog->size(), QSize(353, 105));
    ExpectLayout(*dialog, {
                              {"LabelFrom", 16, 24, 56, 13, "From :"},
                              {"EditFrom", 73, 21, 72, 21, nullptr},
                              {"LabelTo", 200, 24, 56, 13, "To :"},
                              {"EditTo", 257, 21, 72, 21, nullptr},
                              {"ButtonOK", 136, 70, 75, 25, "OK"},
                          });
    EXPECT_EQ(TabOrder(dialog->EditFrom, 3), (Strings{"EditFrom", "ButtonOK", "EditTo"}));
    EXPECT_EQ(dialog->focusWidget(), dialog->EditFrom);
}

TEST_F(RelayRangeTest, TwoBoards) {
    const auto dialog = Open(2);
    EXPECT_EQ(dialog->EditFrom->text(), "1");
    EXPECT_EQ(dialog->EditTo->text(), "48");
    EXPECT_EQ(dialog->FirstNode, 1);
    EXPECT_EQ(dialog->LastNode, 48);
    EXPECT_TRUE(dialog->ButtonOK->isEnabled());
    const struct {
        const char* from;
        const char* to;
        bool ok;
    } cases[] = {
        {"0", "48", false},  {"49", "48", false}, {"1", "49", false},   {"30", "20", false},
        {"48", "48", true},  {"1", "1", true},    {"-5", "48", false},  {"", "48", false},
        {"1x", "48", false}, {" 7 ", "9", true},  {"0x10", "24", true}, {"1", "4294967297", false},
    };
    for (const auto& c : cases) {
        Enter(*dialog, c.from, c.to);
        EXPECT_EQ(dialog->ButtonOK->isEnabled(), c.ok) << c.from << " .. " << c.to;
    }
    // A box without a number keeps OK disabled while the other one changes.
    Enter(*dialog, "abc", "40");
    EXPECT_FALSE(dialog->ButtonOK->isEnabled());
    dialog->EditTo->setText("41");
    EXPECT_FALSE(dialog->ButtonOK->isEnabled());
    dialog->EditFrom->setText("12");
    EXPECT_TRUE(dialog->ButtonOK->isEnabled());

    dialog->ButtonOK->click();
    EXPECT_EQ(frm->RelayFirstNode, 12);
    EXPECT_EQ(frm->RelayLastNode, 41);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(RelayRangeTest, ClosingKeepsTheFullRange) {
    const auto dialog = Open(3);
    p.dialogs.OnShow = [&](QDialog&) {
        Enter(*dialog, "5", "10");
        dialog->close(); // its close button
    };
    EXPECT_EQ(services.dialogs.ShowModal(*dialog), QDialog::Rejected);
    EXPECT_EQ(frm->RelayFirstNode, 1);
    EXPECT_EQ(frm->RelayLastNode, 72);
}

TEST_F(RelayRangeTest, NoBoardsNoRange) {
    const auto dialog = Open(0);
    EXPECT_EQ(dialog->EditFrom->text(), "1");
    EXPECT_EQ(dialog->EditTo->text(), "0");
    EXPECT_FALSE(dialog->ButtonOK->isEnabled());
    for (const auto& [from, to] : {std::pair{"0", "0"}, {"1", "1"}, {"1", "0"}, {"-1", "-1"}}) {
        Enter(*dialog, from, to);
        EXPECT_FALSE(dialog->ButtonOK->isEnabled()) << from << " .. " << to;
    }
    // Enter with OK disabled does nothing either.
    Press(dialog->EditTo, Qt::Key_Return);
    EXPECT_EQ(frm->RelayLastNode, 0);
}

} // namespace
