#include "interface/Serial.h"

#include <QDateTime>
#include <QLocale>
#include <QPushButton>

#include "interface/Main.h"

TSerialFrm::TSerialFrm(TMainFrm& owner) : QDialog(&owner), main_(owner) {
    setObjectName("SerialFrm");
    setWindowTitle("Report Information");
    const platform::CivilTime t = owner.Services().clock.LocalTime();
    const QDateTime now(QDate(t.Year, t.Month, t.Day), QTime(t.Hour, t.Minute, t.Second));
    main_.CertDate = QLocale().toString(now, QLocale::ShortFormat).toStdString();
    ButtonOK = new QPushButton("OK", this);
    ButtonOK->setObjectName("ButtonOK");
    connect(ButtonOK, &QPushButton::clicked, this, [this] { ButtonOKClick(); });
}

void TSerialFrm::ButtonOKClick() {
    main_.OperatorName.clear();
    main_.ModelName.clear();
    main_.SerialNumber.clear();
    accept();
}
