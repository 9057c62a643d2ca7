// The settings file: the operator's choices, the self-test counter, four tuning values that
// only an edit of the file changes, and the remembered operators, models and serial numbers.
// Read once when the window is created, written once when it closes.

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include <array>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "definitions/DataFolders.h"
#include "definitions/RememberedLists.h"
#include "definitions/TestNameRules.h"
#include "interface/Main.h"
#include "interface/widgets/TrackBar.h"

namespace {

constexpr const char* SettingsSection = "Settings";
constexpr const char* AdvancedSection = "AdvancedSettings";
constexpr const char* ServiceSection = "Service";
constexpr int32_t Unchanged = -1; // an absent key, a value that is no number, or -1 itself
constexpr int32_t ReminderAbove = 30;

// The test boxes by their keys, in the order they are read and written.
std::array<std::pair<const char*, QCheckBox*>, 4> TestBoxes(const TMainFrm& f) {
    return {{{"Test1", f.CheckBoxTOs},
             {"Test2", f.CheckBoxCont},
             {"Test3", f.CheckBoxIso},
             {"Test4", f.CheckBoxRelays}}};
}

// Read only: a hand puts them into the file, the program never writes them.
constexpr std::pair<const char*, int32_t TMainFrm::*> TuningKeys[] = {
    {"RelaysRetryCount", &TMainFrm::RelaysRetryCount},
    {"RelaysABThreshold", &TMainFrm::RelaysABThreshold},
    {"RelaysMNThreshold", &TMainFrm::RelaysMNThreshold},
    {"ContThreshold", &TMainFrm::ContThreshold},
};

constexpr std::pair<const char*, std::vector<std::string> TMainFrm::*> RememberedLists[] = {
    {"Operators", &TMainFrm::OperatorList},
    {"Models", &TMainFrm::ModelList},
    {"SerialNumbers", &TMainFrm::SerialNumberList},
};

} // namespace

void TMainFrm::LoadSettings(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        IniFile.reset();
        return;
    }
    try {
        IniFile = std::make_unique<platform::IniFile>(path);
    } catch (const platform::IniFileError&) {
        // A file that cannot be read counts as none; the save at closing reports it.
        IniFile.reset();
        return;
    }
    const platform::IniFile& ini = *IniFile;

    IniTestFile = ini.ReadString(SettingsSection, "TestFile", "");
    if (!IniTestFile.empty()) {
        const QString name = QString::fromStdString(IniTestFile);
        for (int i = 0; i < CableLst->count(); ++i) {
            if (CableLst->itemText(i) != name) continue;
            CableLst->setCurrentIndex(i); // a choice of the program: no change handler
            LoadTestDefinition(IniTestFile, false);
        }
    }

    // The box raises its handler only when its state changes.
    const int32_t automatic = ini.ReadInteger(SettingsSection, "Automatic", Unchanged);
    if (automatic != Unchanged) CheckBoxAutomatic->setChecked(automatic != 0);
    if (automatic == 0 && ini.ReadInteger(SettingsSection, "AdvShowed", Unchanged) == 1) {
        if (AdvSettingsGroupBox->isHidden())
            AdvSettingsBtnClick(); // the group in place of the report
        AdvSettingsBtn->setChecked(true);
    }

    // Applied whether or not the loaded test allows the test.
    for (const auto& [key, box] : TestBoxes(*this)) {
        const int32_t ticked = ini.ReadInteger(SettingsSection, key, Unchanged);
        if (ticked != Unchanged) box->setChecked(ticked != 0);
    }

    // An index beyond a list leaves it without a selection and the value in force unchanged.
    if (const int32_t index = ini.ReadInteger(SettingsSection, "NodeRange", Unchanged);
        index != Unchanged) {
        const QSignalBlocker quiet(NodeRangeLst);
        NodeRangeLst->setCurrentIndex(index);
    }
    if (const int32_t index = ini.ReadInteger(AdvancedSection, "IsoTime", Unchanged);
        index != Unchanged) {
        TimeLst->setCurrentIndex(index);
        TimeLstChange();
    }
    if (const int32_t index = ini.ReadInteger(AdvancedSection, "IsoThreshold", Unchanged);
        index != Unchanged) {
        ThresholdLst->setCurrentIndex(index);
        ThresholdLstChange();
    }
    // The track bar keeps the position within its range and raises its handler on a change.
    if (const int32_t position = ini.ReadInteger(AdvancedSection, "IsoVoltage", Unchanged);
        position != Unchanged)
        TrackBarHT->SetPosition(position);
    if (const int32_t repetitive = ini.ReadInteger(AdvancedSection, "Mode", Unchanged);
        repetitive != Unchanged)
        (repetitive != 0 ? RadioButtonRepetitive : RadioButtonSingle)->setChecked(true);

    for (const auto& [key, field] : TuningKeys)
        if (const int32_t value = ini.ReadInteger(AdvancedSection, key, Unchanged);
            value != Unchanged)
            this->*field = value;

    if (const int32_t counter = ini.ReadInteger(ServiceSection, "Counter", Unchanged);
        counter != Unchanged) {
        RunsSinceSelfTest = counter;
        if (counter > ReminderAbove)
            ShowMessage(std::string("The Calbrix box istelf has not been tested for a long "
                                    "time.\nWe recommend to run the \"") +
                            std::string(definitions::SelfTestEntry) + "\" regularly.",
                        platform::MsgIcon::Information);
    }

    // Each list up to its first empty or missing key; blanks around a text are no part of it,
    // so a text of blanks only is empty.
    for (const auto& [section, member] : RememberedLists) {
        std::vector<std::string>& list = this->*member;
        list.clear();
        for (size_t n = 0;; ++n) {
            std::string text =
                definitions::ListEntryText(ini.ReadString(section, std::to_string(n), ""));
            if (text.empty()) break;
            list.push_back(std::move(text));
        }
    }
}

void TMainFrm::SaveSettings(const std::string& path) {
    if (path.empty()) return;
    services_.events.ProcessMessages();
    // Made from the file as it is, so what the program does not know stays in it; another
    // window's save waits until this one has written it.
    IniFile = std::make_unique<platform::IniFile>(path, platform::IniFile::ForSave{});
    platform::IniFile& ini = *IniFile;

    ini.WriteString(SettingsSection, "TestFile", CableLst->currentText().toStdString());
    ini.WriteInteger(SettingsSection, "Automatic", CheckBoxAutomatic->isChecked() ? 1 : 0);
    ini.WriteInteger(SettingsSection, "AdvShowed", AdvSettingsGroupBox->isHidden() ? 0 : 1);
    for (const auto& [key, box] : TestBoxes(*this))
        ini.WriteInteger(SettingsSection, key, box->isChecked() ? 1 : 0);
    ini.WriteInteger(SettingsSection, "NodeRange", NodeRangeLst->currentIndex());
    ini.WriteInteger(AdvancedSection, "IsoTime", TimeLst->currentIndex());
    ini.WriteInteger(AdvancedSection, "IsoThreshold", ThresholdLst->currentIndex());
    ini.WriteInteger(AdvancedSection, "IsoVoltage", TrackBarHT->Position());
    ini.WriteInteger(AdvancedSection, "Mode", RadioButtonRepetitive->isChecked() ? 1 : 0);
    ini.WriteInteger(ServiceSection, "Counter", RunsSinceSelfTest);
    // Keys beyond a list's length stay in the file as they are.
    for (const auto& [section, member] : RememberedLists) {
        const std::vector<std::string>& list = this->*member;
        for (size_t n = 0; n < list.size(); ++n)
            ini.WriteString(section, std::to_string(n), list[n]);
    }
    ini.UpdateFile();
}

void TMainFrm::FormCloseQuery(bool& canClose) {
    CloseAllHelp();
    const auto folders = BenchDataFolders();
    const std::string notMade = definitions::FirstFolderNotMade(folders);
    if (notMade.empty())
        SaveSettings(folders.SettingsFile);
    else
        ShowMessage(definitions::CantCreateDirectoryText(notMade), platform::MsgIcon::Error);
    canClose = true;
}

void TMainFrm::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    bool done = false;
    RunHandler([&] {
        FormCloseQuery(canClose);
        done = true;
    });
    // A save that failed (its error shown) abandons this closing, so the operator can put the
    // file right and close again. If it fails again the window closes all the same, as when a
    // folder cannot be made: a program that cannot be closed would only be killed.
    if (!done && !closeAbandoned_) {
        closeAbandoned_ = true;
        event->ignore();
        return;
    }
    closeAbandoned_ = false;
    if (canClose)
        event->accept();
    else
        event->ignore();
}
