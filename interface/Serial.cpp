#include "interface/Serial.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStringList>

#include <algorithm>
#include <string>
#include <vector>

#include "definitions/RememberedLists.h"
#include "interface/DialogLayout.h"
#include "interface/Main.h"
#include "interface/widgets/FrameHints.h"

namespace {

// The moment in the user's formats: the short date, a blank and the long time; at midnight
// exactly the date alone.
QString DateTimeText(const FormatSettings& formats, const platform::CivilTime& t) {
    const QLocale locale;
    QString text = locale.toString(QDate(t.Year, t.Month, t.Day),
                                   QString::fromStdString(formats.ShortDateFormat));
    if (t.Hour != 0 || t.Minute != 0 || t.Second != 0)
        text += " " + locale.toString(QTime(t.Hour, t.Minute, t.Second),
                                      QString::fromStdString(formats.LongTimeFormat));
    return text;
}

enum class Match { Locale, Exact };

// The remembered entries as the box's items, the current value selected when it is one of
// them (the last match wins); otherwise nothing is selected and the box is empty.
void Offer(QComboBox* box, const std::vector<std::string>& list, const std::string& current,
           Match match) {
    const QString value = QString::fromStdString(current);
    QStringList items;
    int selected = -1;
    for (const std::string& entry : list) {
        if (entry.empty()) continue;
        items.push_back(QString::fromStdString(entry));
        const bool same = match == Match::Locale
                              ? QString::localeAwareCompare(items.back(), value) == 0
                              : entry == current;
        if (same) selected = static_cast<int>(items.size()) - 1;
    }
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(selected);
    if (selected < 0) box->setEditText(QString());
}

QComboBox* EditableBox(QWidget* parent, const char* name, int y) {
    auto* box = Placed(new QComboBox(parent), name, 73, y, 264, 21);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert); // the list grows at OK only
    // Completion never changes the letter case of what the operator types.
    box->completer()->setCaseSensitivity(Qt::CaseSensitive);
    return box;
}

} // namespace

TSerialFrm::TSerialFrm(TMainFrm& owner) : QDialog(&owner), main_(owner) {
    setObjectName("SerialFrm");
    setWindowTitle("Report Information");
    // No system menu and no close button; above other windows. The window manager is told so
    // in so many words: it is left with OK.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    KeepFrameButtons(*this, {});
    setFont(DialogFont());
    setFixedSize(353, 233);

    LabelDate = Placed(new QLabel("Date :", this), "LabelDate", 16, 24, 56, 13);
    EditDate = Placed(new QLineEdit(this), "EditDate", 73, 21, 264, 21);
    EditDate->setReadOnly(true);
    EditDate->setEnabled(false);
    LabelOperator = Placed(new QLabel("Operator :", this), "LabelOperator", 16, 64, 56, 13);
    ComboBoxOperator = EditableBox(this, "ComboBoxOperator", 61);
    LabelModel = Placed(new QLabel("Model :", this), "LabelModel", 16, 104, 56, 13);
    ComboBoxModel = EditableBox(this, "ComboBoxModel", 101);
    LabelSerialNumber =
        Placed(new QLabel("Serial # :", this), "LabelSerialNumber", 16, 144, 56, 13);
    ComboBoxSerialNumber = EditableBox(this, "ComboBoxSerialNumber", 141);
    ButtonOK = Placed(new QPushButton("OK", this), "ButtonOK", 136, 192, 75, 25);
    ButtonOK->setDefault(true);
    connect(ButtonOK, &QPushButton::clicked, this,
            [this] { main_.RunHandler([this] { ButtonOKClick(); }); });

    // The date is disabled, so the dialog opens on OK: Enter confirms what is offered.
    setTabOrder(EditDate, ButtonOK);
    setTabOrder(ButtonOK, ComboBoxOperator);
    setTabOrder(ComboBoxOperator, ComboBoxModel);
    setTabOrder(ComboBoxModel, ComboBoxSerialNumber);
    ButtonOK->setFocus();

    EditDate->setText(DateTimeText(main_.FormatSettings, main_.Services().clock.LocalTime()));
    main_.CertDate = EditDate->text().toStdString();

    Offer(ComboBoxOperator, main_.OperatorList, main_.OperatorName, Match::Locale);
    Offer(ComboBoxModel, main_.ModelList, main_.ModelName, Match::Exact);
    Offer(ComboBoxSerialNumber, main_.SerialNumberList, main_.SerialNumber, Match::Exact);
}

void TSerialFrm::ButtonOKClick() {
    const std::pair<QComboBox*, std::vector<std::string>*> boxes[] = {
        {ComboBoxOperator, &main_.OperatorList},
        {ComboBoxModel, &main_.ModelList},
        {ComboBoxSerialNumber, &main_.SerialNumberList},
    };
    // Blanks typed around a text are no part of it: "M-100 " is the entry "M-100", and blanks
    // alone are an empty text, which is stored but never remembered.
    auto text = [](const QComboBox* box) {
        return definitions::ListEntryText(box->currentText().toStdString());
    };
    for (const auto& [box, list] : boxes) {
        const std::string entry = text(box);
        if (!entry.empty() && std::find(list->begin(), list->end(), entry) == list->end())
            list->push_back(entry);
    }
    main_.OperatorName = text(ComboBoxOperator);
    main_.ModelName = text(ComboBoxModel);
    main_.SerialNumber = text(ComboBoxSerialNumber);
    accept();
}

void TSerialFrm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TSerialFrm::closeEvent(QCloseEvent* event) {
    event->ignore();
}
