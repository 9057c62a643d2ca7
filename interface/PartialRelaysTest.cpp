#include "interface/PartialRelaysTest.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "interface/DialogLayout.h"
#include "interface/Main.h"
#include "platform/IniDocument.h"

namespace {
constexpr int32_t RelaysPerBoard = 24;
// What a box that holds no whole number leaves in its field: below every range, so OK stays
// disabled until the box holds a number again.
constexpr int32_t NoNumber = 0;

// Relays of the unit, 1 to 24 x the board count.
int64_t RelayCount(const TMainFrm& f) {
    return int64_t{RelaysPerBoard} * f.RelayBoardCount;
}
} // namespace

TPartialRelaysFrm::TPartialRelaysFrm(TMainFrm& owner) : QDialog(&owner), main_(owner) {
    setObjectName("PartialRelaysFrm");
    setWindowTitle("Partial Relays Test");
    setFont(DialogFont());
    setFixedSize(353, 105);

    LabelFrom = Placed(new QLabel("From :", this), "LabelFrom", 16, 24, 56, 13);
    EditFrom = Placed(new QLineEdit(this), "EditFrom", 73, 21, 72, 21);
    LabelTo = Placed(new QLabel("To :", this), "LabelTo", 200, 24, 56, 13);
    EditTo = Placed(new QLineEdit(this), "EditTo", 257, 21, 72, 21);
    ButtonOK = Placed(new QPushButton("OK", this), "ButtonOK", 136, 70, 75, 25);
    ButtonOK->setDefault(true);
    setTabOrder(EditFrom, ButtonOK);
    setTabOrder(ButtonOK, EditTo);
    EditFrom->setFocus();

    auto handler = [this](void (TPartialRelaysFrm::*method)()) {
        return [this, method] { main_.RunHandler([this, method] { (this->*method)(); }); };
    };
    connect(EditFrom, &QLineEdit::textChanged, this, handler(&TPartialRelaysFrm::EditFromChange));
    connect(EditTo, &QLineEdit::textChanged, this, handler(&TPartialRelaysFrm::EditToChange));
    connect(ButtonOK, &QPushButton::clicked, this, handler(&TPartialRelaysFrm::ButtonOKClick));

    // Writing the texts runs the validation, as any change does.
    FirstNode = 1;
    LastNode = static_cast<int32_t>(RelayCount(main_));
    EditFrom->setText(QString::number(FirstNode));
    EditTo->setText(QString::number(LastNode));
}

void TPartialRelaysFrm::EditFromChange() {
    Validate(EditFrom, FirstNode);
}

void TPartialRelaysFrm::EditToChange() {
    Validate(EditTo, LastNode);
}

void TPartialRelaysFrm::Validate(QLineEdit* edit, int32_t& field) {
    ButtonOK->setEnabled(false);
    const auto number = platform::ParseInt32(edit->text().toStdString());
    field = number.value_or(NoNumber);
    if (!number) return;
    ButtonOK->setEnabled(1 <= FirstNode && FirstNode <= LastNode && LastNode <= RelayCount(main_));
}

void TPartialRelaysFrm::ButtonOKClick() {
    main_.RelayFirstNode = FirstNode;
    main_.RelayLastNode = LastNode;
    accept();
}
