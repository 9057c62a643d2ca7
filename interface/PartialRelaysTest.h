#pragma once
// The relay range dialog: the first and last relay of a partial relays test. OK is enabled
// only while the two boxes hold a range within the unit's relays; closing the dialog keeps
// the full range.

#include <QDialog>

#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;
class TMainFrm;

class TPartialRelaysFrm : public QDialog {
public:
    explicit TPartialRelaysFrm(TMainFrm& owner);
    void EditFromChange();
    void EditToChange();
    void ButtonOKClick();

    QLabel* LabelFrom = nullptr;
    QLineEdit* EditFrom = nullptr;
    QLabel* LabelTo = nullptr;
    QLineEdit* EditTo = nullptr;
    QPushButton* ButtonOK = nullptr;

    // The numbers last converted from the two boxes.
    int32_t FirstNode = 0;
    int32_t LastNode = 0;

private:
    void Validate(QLineEdit* edit, int32_t& field);

    TMainFrm& main_;
};
