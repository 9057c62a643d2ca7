#pragma once
// The report information dialog: operator, model and serial number of the tested item, and
// the date of the report. The remembered lists of the settings file are offered and grow by
// every new entry. It is left with OK only.

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TMainFrm;

class TSerialFrm : public QDialog {
public:
    explicit TSerialFrm(TMainFrm& owner);
    void ButtonOKClick();

    QLabel* LabelDate = nullptr;
    QLineEdit* EditDate = nullptr;
    QLabel* LabelOperator = nullptr;
    QComboBox* ComboBoxOperator = nullptr;
    QLabel* LabelModel = nullptr;
    QComboBox* ComboBoxModel = nullptr;
    QLabel* LabelSerialNumber = nullptr;
    QComboBox* ComboBoxSerialNumber = nullptr;
    QPushButton* ButtonOK = nullptr;

protected:
    // Neither Escape nor the window manager closes it: the values are confirmed with OK.
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TMainFrm& main_;
};
