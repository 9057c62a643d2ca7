#pragma once
// The report information dialog: operator, model and serial number of the tested item, and
// the date of the report.

#include <QDialog>

class QPushButton;
class TMainFrm;

class TSerialFrm : public QDialog {
public:
    explicit TSerialFrm(TMainFrm& owner);
    void ButtonOKClick();

    QPushButton* ButtonOK = nullptr;

private:
    TMainFrm& main_;
};
